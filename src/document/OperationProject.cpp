#include "document/OperationProject.h"

#include "model/Errors.h"

#include <utility>

bool COperationProject::IsSameType(const COperation& other) const
{
    const auto* project = dynamic_cast<const COperationProject*>(&other);
    return project && project->GetTypeId() == GetTypeId();
}

bool COperationProject::Do(CProjectDoc&)
{
    return false;
}

void COperationProject::ShowDo(CProjectDoc&)
{}
void COperationProject::UndoPrepare(CProjectDoc&)
{}
void COperationProject::UndoApply(CProjectDoc&)
{}
void COperationProject::UndoShow(CProjectDoc&)
{}
void COperationProject::RedoPrepare(CProjectDoc&)
{}

void COperationProject::RedoApply(CProjectDoc& doc)
{
    Do(doc);
}

void COperationProject::RedoShow(CProjectDoc& doc)
{
    ShowDo(doc);
}

bool COperationProject::Absorb(CProjectDoc&, COperation&)
{
    return false;
}

void COperationProject::ShowAbsorbed(CProjectDoc&)
{}

bool COperationProject::Do(COperationHistory& history)
{
    return Do(ProjectOf(history));
}

void COperationProject::ShowDo(COperationHistory& history)
{
    ShowDo(ProjectOf(history));
}

void COperationProject::UndoPrepare(COperationHistory& history)
{
    UndoPrepare(ProjectOf(history));
}

void COperationProject::UndoApply(COperationHistory& history)
{
    UndoApply(ProjectOf(history));
}

void COperationProject::UndoShow(COperationHistory& history)
{
    UndoShow(ProjectOf(history));
}

void COperationProject::RedoPrepare(COperationHistory& history)
{
    RedoPrepare(ProjectOf(history));
}

void COperationProject::RedoApply(COperationHistory& history)
{
    RedoApply(ProjectOf(history));
}

void COperationProject::RedoShow(COperationHistory& history)
{
    RedoShow(ProjectOf(history));
}

bool COperationProject::Absorb(COperationHistory& history, COperation& newOp)
{
    return Absorb(ProjectOf(history), newOp);
}

void COperationProject::ShowAbsorbed(COperationHistory& history)
{
    ShowAbsorbed(ProjectOf(history));
}

void COperationGroup::Add(std::unique_ptr<COperationProject> member)
{
    if (!member) throw CInvalidArgument();
    m_members.push_back(std::move(member));
}

COperationProject& COperationGroup::GetAt(std::size_t index) const
{
    CheckIndex(static_cast<long long>(index), static_cast<long long>(m_members.size()));
    return *m_members[index];
}

bool COperationGroup::Do(CProjectDoc& doc)
{
    return DoAll(doc);
}

void COperationGroup::ShowDo(CProjectDoc& doc)
{
    ShowDoAll(doc);
}

void COperationGroup::UndoPrepare(CProjectDoc& doc)
{
    UndoPrepareAll(doc);
}

void COperationGroup::UndoApply(CProjectDoc& doc)
{
    UndoApplyAll(doc);
}

void COperationGroup::UndoShow(CProjectDoc& doc)
{
    UndoShowAll(doc, EOrder::LastToFirst);
}

void COperationGroup::RedoPrepare(CProjectDoc& doc)
{
    RedoPrepareAll(doc);
}

void COperationGroup::RedoApply(CProjectDoc& doc)
{
    RedoApplyAll(doc);
}

void COperationGroup::RedoShow(CProjectDoc& doc)
{
    RedoShowAll(doc);
}

bool COperationGroup::DoAll(CProjectDoc& doc)
{
    if (m_members.empty()) return false;
    for (std::size_t i = 0; i < m_members.size(); ++i) {
        bool done = false;
        try {
            done = m_members[i]->Do(doc);
        } catch (...) {
            // A model error must not leave the earlier members' changes behind without an entry.
            RollBackFrom(doc, i);
            throw;
        }
        if (!done) {
            RollBackFrom(doc, i);
            return false;
        }
    }
    return true;
}

void COperationGroup::RollBackFrom(CProjectDoc& doc, std::size_t failed)
{
    m_members.erase(m_members.begin() + static_cast<std::ptrdiff_t>(failed), m_members.end());
    UndoApplyAll(doc);
}

void COperationGroup::ShowDoAll(CProjectDoc& doc)
{
    ForEachMember(EOrder::FirstToLast, [&](COperationProject& op) { op.ShowDo(doc); });
}

void COperationGroup::UndoPrepareAll(CProjectDoc& doc)
{
    ForEachMember(EOrder::LastToFirst, [&](COperationProject& op) { op.UndoPrepare(doc); });
}

void COperationGroup::UndoApplyAll(CProjectDoc& doc)
{
    ForEachMember(EOrder::LastToFirst, [&](COperationProject& op) { op.UndoApply(doc); });
}

void COperationGroup::UndoShowAll(CProjectDoc& doc, EOrder order)
{
    ForEachMember(order, [&](COperationProject& op) { op.UndoShow(doc); });
}

void COperationGroup::RedoPrepareAll(CProjectDoc& doc)
{
    ForEachMember(EOrder::FirstToLast, [&](COperationProject& op) { op.RedoPrepare(doc); });
}

void COperationGroup::RedoApplyAll(CProjectDoc& doc)
{
    ForEachMember(EOrder::FirstToLast, [&](COperationProject& op) { op.RedoApply(doc); });
}

void COperationGroup::RedoShowAll(CProjectDoc& doc)
{
    ForEachMember(EOrder::FirstToLast, [&](COperationProject& op) { op.RedoShow(doc); });
}

void COperationGroup::ForEachMember(EOrder order,
                                    const std::function<void(COperationProject&)>& step)
{
    const std::size_t count = m_members.size();
    for (std::size_t i = 0; i < count; ++i)
        step(*m_members[order == EOrder::FirstToLast ? i : count - 1 - i]);
}
