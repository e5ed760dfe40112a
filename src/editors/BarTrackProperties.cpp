#include "editors/BarTrackProperties.h"

#include "controls/EditValue.h"
#include "document/ProjectDoc.h"
#include "editing/TrackOperations.h"
#include "editors/TracksContext.h"
#include "model/Track.h"

CBarTrackProperties::CBarTrackProperties(CTracksContext& context, QWidget* parent)
    : CPropertyPanel(context.GetDoc(), QStringLiteral("Track"), parent), m_context(context)
{
    using P = ETrackProperty;
    AddSection(QStringLiteral("- Output -"));
    m_output = AddPort({}, QStringLiteral("OutputPort"), PropertyNumber(P::Output),
                       CNodeAddress::kKindOutputPort, kOutputPorts, false);
    m_channel = AddNumber(QStringLiteral("ch"), Box(new CEditNumber, 1, 16, 1, 1),
                          QStringLiteral("OutCh"), PropertyNumber(P::OutputChannel), 1, 1);
    m_program = AddUndefinable(QStringLiteral("prg"), ByteBox(), QStringLiteral("Program"),
                               PropertyNumber(P::Program), 0);
    auto* volume = new CEditByte;
    volume->SetSteps(1, 16);
    m_volume = AddUndefinable(QStringLiteral("vol"), volume, QStringLiteral("Volume"),
                              PropertyNumber(P::Volume), 127);
    m_pan = AddUndefinable(QStringLiteral("pan"), new CEditPan, QStringLiteral("Pan"),
                           PropertyNumber(P::Pan), 64);
    m_velocity = AddNumber(QStringLiteral("vel"), Box(new CEditNumber, -127, 127, 1, 16),
                           QStringLiteral("Vel"), PropertyNumber(P::VelocityOffset), 0);
    m_pitch = AddNumber(QStringLiteral("pitch"), Box(new CEditNumber, -127, 127, 1, 12),
                        QStringLiteral("Pitch"), PropertyNumber(P::Transpose), 0);
    m_quantize = AddChoice(QStringLiteral("playq"), QStringLiteral("Play - Quant"),
                           PropertyNumber(P::PlayQuantize), NoteValueItems());
    m_delay = AddDelay(PropertyNumber(P::Delay));
    m_pitchFrom = new CEditNote;
    m_pitchTo = new CEditNote;
    AddRangePair(QStringLiteral("plim"), m_pitchFrom, QStringLiteral("PlimFrom"), m_pitchTo,
                 QStringLiteral("PLimTo"), PropertyNumber(P::PitchLimits));
    m_velocityFrom = ByteBox();
    m_velocityTo = ByteBox();
    AddRangePair(QStringLiteral("vlim"), m_velocityFrom, QStringLiteral("VlimFrom"), m_velocityTo,
                 QStringLiteral("VLimTo"), PropertyNumber(P::VelocityLimits));
    Refresh();
}

CTrack* CBarTrackProperties::Track() const
{
    return m_context.GetCurrentTrackObject();
}

bool CBarTrackProperties::HasObject() const
{
    return Track() != nullptr;
}

std::optional<int64_t> CBarTrackProperties::ReadProperty(int32_t number) const
{
    const CTrack* track = Track();
    return track != nullptr ? ReadTrackProperty(*track, number) : std::nullopt;
}

void CBarTrackProperties::WriteProperty(int32_t number, int64_t value)
{
    CTrack* track = Track();
    if (track == nullptr) return;
    CProjectDoc& doc = GetDoc();
    // Program, volume and pan belong to the port and channel: every track there follows.
    const auto byte = static_cast<uint8_t>(value);
    switch (static_cast<ETrackProperty>(number)) {
    case ETrackProperty::Program:
        doc.SetChannelProgram(*track, byte);
        return;
    case ETrackProperty::Volume:
        doc.SetChannelVolume(*track, byte);
        return;
    case ETrackProperty::Pan:
        doc.SetChannelPan(*track, byte);
        return;
    default:
        doc.Execute(std::make_unique<COpTrackSetProperty>(*track, number, value));
    }
}

std::vector<CSelectItem> CBarTrackProperties::OutputItems() const
{
    return PortItems(CNodeAddress::kKindOutputPort, kOutputPorts, false);
}
