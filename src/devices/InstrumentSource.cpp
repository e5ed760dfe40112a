#include "devices/InstrumentSource.h"

#include "model/Errors.h"

namespace {
void SetIfUnset(uint8_t& field, uint8_t value)
{
    if (field > 127 && value <= 127) field = value;
}
} // namespace

void CInstrumentTable::FillUnset(int32_t channel, const SInstrumentSettings& settings)
{
    if (channel < 0 || channel >= kChannels) return;
    SInstrumentSettings& entry = m_channels[static_cast<size_t>(channel)];
    SetIfUnset(entry.program, settings.program);
    SetIfUnset(entry.volume, settings.volume);
    SetIfUnset(entry.pan, settings.pan);
}

const SInstrumentSettings& CInstrumentTable::Get(int32_t channel) const
{
    CheckIndex(channel, kChannels);
    return m_channels[static_cast<size_t>(channel)];
}
