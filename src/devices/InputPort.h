#pragma once
// "Inp1".."Inp4": where phrases listen to an input driver. Engine thread.

#include "devices/InputFilterNode.h"

class CInputPort : public CInputFilterNode {
public:
    static constexpr int32_t kCount = 4;

    // index 0..3 gives "Inp1".."Inp4".
    explicit CInputPort(int32_t index);
    ENodeKind GetKind() const override;
};
