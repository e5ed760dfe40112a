#pragma once
// "Out1".."Out8": what tracks and phrases send to; normally routed to one output driver.
// Everything received passes on unchanged. Engine thread.

#include "devices/MidiNode.h"

#include <cstdint>
#include <string>

class COutputPort : public CMidiNode {
public:
    static constexpr int32_t kCount = 8;
    static constexpr int32_t kParamSendProgram = 7001; // value: channel 0..15
    static constexpr int32_t kParamSendVolume = 7002;
    static constexpr int32_t kParamSendPan = 7003;

    // index 0..7 gives "Out1".."Out8".
    explicit COutputPort(int32_t index);

    ENodeKind GetKind() const override;
    // Port name + ": " + the name of the first output, or + "<no driver>".
    std::string GetName() const override;
    // 7001..7003: send the program, volume or pan of the channel's first track among the inputs.
    int SetParameter(int32_t code, intptr_t value, intptr_t extra) override;

private:
    void SendProgram(uint8_t channel);
    void SendController(uint8_t channel, uint8_t controller);
};
