#include "devices/MidiNames.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <utility>

namespace {
constexpr std::pair<uint8_t, const char*> kControllerNames[] = {
    {0, "BankSel"},      {1, "ModWheel"},     {2, "Breath"},       {4, "Foot"},
    {5, "Porta.Time"},   {6, "Data Entry"},   {7, "Volume"},       {8, "Balance"},
    {10, "Pan"},         {11, "Expression"},  {16, "Gen.Purp#1"},  {17, "Gen.Purp#2"},
    {18, "Gen.Purp#3"},  {19, "Gen.Purp#4"},  {32, "BankSelLSB"},  {33, "Modul. LSB"},
    {34, "Breath LSB"},  {36, "Foot LSB"},    {37, "Port.T.LSB"},  {38, "DataEntLSB"},
    {39, "Volume LSB"},  {40, "BalanceLSB"},  {42, "Pan LSB"},     {43, "Expr. LSB"},
    {48, "Gen.P#1LSB"},  {49, "Gen.P#2LSB"},  {50, "Gen.P#3LSB"},  {51, "Gen.P#4LSB"},
    {64, "Sustain"},     {65, "Porta.Ped"},   {66, "Sostenuto"},   {67, "Soft Pedal"},
    {69, "Hold 2"},      {71, "HarmonicCo"},  {72, "ReleaseTime"}, {73, "AttackTime"},
    {74, "Brightness"},  {80, "Gen.Purp#5"},  {81, "Gen.Purp#6"},  {82, "Gen.Purp#7"},
    {83, "Gen.Purp#8"},  {84, "PortaCtrl"},   {91, "Reverb Dep"},  {92, "TremoloDep"},
    {93, "Chorus Dep"},  {94, "Detune Dep"},  {95, "Phaser Dep"},  {96, "Data Incr"},
    {97, "Data Decr"},   {98, "NRPN LSB"},    {99, "NRPN MSB"},    {100, "RPN LSB"},
    {101, "RPN MSB"},    {120, "AllSoundsOff"}, {121, "Reset Ctrl"}, {122, "Local Ctrl"},
    {123, "AllNotesOff"}, {124, "Omni Off"},  {125, "Omni On"},    {126, "Poly Off"},
    {127, "Poly On"},
};

constexpr std::array<const char*, 12> kPitchNames = {"C",  "C#", "D",  "D#", "E",  "F",
                                                     "F#", "G",  "G#", "A",  "A#", "H"};

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string Trim(const std::string& text)
{
    const auto blank = [](unsigned char c) { return std::isspace(c) != 0; };
    auto first = std::find_if_not(text.begin(), text.end(), blank);
    auto last = std::find_if_not(text.rbegin(), text.rend(), blank).base();
    return first < last ? std::string(first, last) : std::string();
}

std::string WithoutBlanks(std::string text)
{
    text.erase(std::remove_if(text.begin(), text.end(),
                              [](unsigned char c) { return std::isspace(c) != 0; }),
               text.end());
    return text;
}
} // namespace

std::string ControllerName(uint8_t controller)
{
    if (controller > 127) return {};
    for (const auto& [number, name] : kControllerNames) {
        if (number == controller) return name;
    }
    return "Control " + std::to_string(controller);
}

std::string KeyName(uint8_t key)
{
    if (key > 127) return {};
    return kPitchNames[key % 12] + std::to_string(key / 12);
}

uint8_t KeyFromName(const std::string& text)
{
    const std::string wanted = Lower(Trim(text));
    for (uint8_t key = 0; key <= 127; ++key) {
        if (Lower(KeyName(key)) == wanted) return key;
    }
    return 255;
}

std::string PanName(uint8_t value)
{
    if (value > 127) return {};
    if (value < 64) return std::to_string(64 - value) + "L";
    if (value == 64) return "0";
    return std::to_string(value - 64) + "R";
}

int32_t PanFromName(const std::string& text)
{
    const std::string wanted = Lower(WithoutBlanks(text));
    for (uint8_t value = 0; value <= 127; ++value) {
        if (Lower(PanName(value)) == wanted) return value - 64;
    }
    return 1000;
}

std::string MessageKindName(uint8_t status)
{
    switch (status & 0xF0) {
    case 0x80: return "Vel.Off";
    case 0x90: return "Vel.On";
    case 0xA0: return "PolyP";
    case 0xB0: return "CC";
    case 0xC0: return "PC";
    case 0xD0: return "ChAft";
    case 0xE0: return "Bender";
    default: return {};
    }
}
