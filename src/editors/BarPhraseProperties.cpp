#include "editors/BarPhraseProperties.h"

#include "controls/EditValue.h"
#include "document/ProjectDoc.h"
#include "editing/PhraseOperations.h"
#include "engine/MidiEngineProxy.h"
#include "model/Phrase.h"
#include "model/PhraseBank.h"

CBarPhraseProperties::CBarPhraseProperties(CProjectDoc& doc, QWidget* parent)
    : CPropertyPanel(doc, QStringLiteral("Phrase"), parent)
{
    using P = EPhraseProperty;
    AddSection(QStringLiteral("- Input -"));
    m_input = AddPort({}, QStringLiteral("InputPort"), PropertyNumber(P::Input),
                      CNodeAddress::kKindInputPort, kInputPorts, false);
    m_triggerFrom = new CEditNote;
    m_triggerTo = new CEditNote;
    AddRangePair(QStringLiteral("inlim"), m_triggerFrom, QStringLiteral("NoteFrom"), m_triggerTo,
                 QStringLiteral("TriggerTo"), PropertyNumber(P::TriggerRange));
    AddFlag({}, QStringLiteral("Pitch Key Follow"), PropertyNumber(P::KeyFollow),
            QStringLiteral("PKF On"), QStringLiteral("PKF Off"));
    AddChoice(QStringLiteral("startq"), QStringLiteral("QLevelStart"),
              PropertyNumber(P::StartQuantize), NoteValueItems());
    AddChoice(QStringLiteral("endq"), QStringLiteral("QLevelStop"), PropertyNumber(P::StopQuantize),
              NoteValueItems());

    AddSection(QStringLiteral("- Output -"));
    m_output = AddPort({}, QStringLiteral("OutputPort"), PropertyNumber(P::Output),
                       CNodeAddress::kKindOutputPort, kOutputPorts, true);
    m_channel = AddNumber(QStringLiteral("channel"), Box(new CEditNumber, 1, 16, 1, 1),
                          QStringLiteral("OutCh"), PropertyNumber(P::OutputChannel),
                          CEditNumber::kUndefined, 1);
    m_playMode =
        AddChoice(QStringLiteral("mode"), QStringLiteral("Playmode"), PropertyNumber(P::PlayMode),
                  {{1, QStringLiteral("Poly"), {}, false, {}},
                   {2, QStringLiteral("Mono"), {}, false, {}},
                   {3, QStringLiteral("Mono lkt"), {}, false, {}}});
    AddFlag({}, QStringLiteral("Loop"), PropertyNumber(P::Loop), QStringLiteral("Loop On"),
            QStringLiteral("Loop Off"));
    AddFlag({}, QStringLiteral("Hold"), PropertyNumber(P::Hold), QStringLiteral("Hold On"),
            QStringLiteral("Hold Off"));
    AddFlag({}, QStringLiteral("Continue"), PropertyNumber(P::Continue), QStringLiteral("Cont. On"),
            QStringLiteral("Cont. Off"));
    m_velocity = AddNumber(QStringLiteral("vel"), Box(new CEditNumber, -127, 127, 1, 16),
                           QStringLiteral("Vel"), PropertyNumber(P::VelocityOffset), 0);
    AddNumber(QStringLiteral("pitch"), Box(new CEditNumber, -127, 127, 1, 12),
              QStringLiteral("Pitch"), PropertyNumber(P::Transpose), 0);
    AddChoice(QStringLiteral("playq"), QStringLiteral("QLevelOutput"),
              PropertyNumber(P::OutputQuantize), NoteValueItems());
    m_delay = AddDelay(PropertyNumber(P::Delay));
    AddRangePair(QStringLiteral("plim"), new CEditNote, QStringLiteral("from"), new CEditNote,
                 QStringLiteral("to"), PropertyNumber(P::PitchLimits));
    m_velocityFrom = ByteBox();
    m_velocityTo = ByteBox();
    AddRangePair(QStringLiteral("vlim"), m_velocityFrom, QStringLiteral("from"), m_velocityTo,
                 QStringLiteral("to"), PropertyNumber(P::VelocityLimits));
    Refresh();
}

void CBarPhraseProperties::SetPhrase(CPhraseBank* bank, CPhrase* phrase)
{
    m_bank = phrase != nullptr ? bank : nullptr;
    m_phrase = bank != nullptr ? phrase : nullptr;
    Refresh();
}

bool CBarPhraseProperties::HasObject() const
{
    return m_phrase != nullptr && m_bank != nullptr;
}

std::optional<int64_t> CBarPhraseProperties::ReadProperty(int32_t number) const
{
    return HasObject() ? ReadPhraseProperty(*m_phrase, number) : std::nullopt;
}

void CBarPhraseProperties::WriteProperty(int32_t number, int64_t value)
{
    if (!HasObject()) return;
    CProjectDoc& doc = GetDoc();
    if (number != PropertyNumber(EPhraseProperty::Input)) {
        doc.Execute(std::make_unique<COpPhraseSetProperty>(*m_bank, *m_phrase, number, value));
        return;
    }
    // The input port is a live routing switch: straight to the engine, no operation.
    doc.GetEngineProxy().SetPhraseProperty(*m_phrase, number, value);
    const int32_t index = m_bank->IndexOf(m_phrase);
    if (index >= 0) doc.GetWindows().BankPhraseChanged(*m_bank, index);
}

void CBarPhraseProperties::Refreshed()
{
    // A phrase that plays into a track uses the track's channel.
    const bool toTrack = HasObject() && m_phrase->GetOutput().m_kind == CNodeAddress::kKindTrack;
    m_channel->setEnabled(HasObject() && !toTrack);
}

std::vector<CSelectItem> CBarPhraseProperties::InputItems() const
{
    return PortItems(CNodeAddress::kKindInputPort, kInputPorts, false);
}

std::vector<CSelectItem> CBarPhraseProperties::OutputItems() const
{
    return PortItems(CNodeAddress::kKindOutputPort, kOutputPorts, true);
}
