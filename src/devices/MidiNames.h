#pragma once
// The MIDI vocabulary shown in dialogs and editors: controller, key, pan and message-kind names.
// Pure functions, any thread.

#include <cstdint>
#include <string>

// "Volume" for 7, "Control 3" for a number without a name; "" when the top bit is set.
std::string ControllerName(uint8_t controller);
// "C5" for 60 (B is written H); "" when the top bit is set.
std::string KeyName(uint8_t key);
// The first key whose name matches (leading/trailing blanks and case ignored), or 255.
uint8_t KeyFromName(const std::string& text);
// "64L".."1L" for 0..63, "0" for 64, "1R".."63R" for 65..127; "" when the top bit is set.
std::string PanName(uint8_t value);
// value − 64 (−64..63) of the matching pan name (blanks and case ignored), or 1000.
int32_t PanFromName(const std::string& text);
// "Vel.On", "CC", ... by the status byte's high nibble; "" for system statuses and data bytes.
std::string MessageKindName(uint8_t status);
