#include "devices/InputPort.h"

CInputPort::CInputPort(int32_t index) { SetNodeName("Inp" + std::to_string(index + 1)); }

ENodeKind CInputPort::GetKind() const { return ENodeKind::InputPort; }
