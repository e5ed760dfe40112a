#pragma once
// The colour chooser of the editors: a popup with "Default", the 40 object colours and
// "Custom", opened at a point. User-interface thread only.

#include <QPoint>

#include <cstdint>
#include <optional>

class QWidget;

// The chosen colour as 0x00BBGGRR, or nothing when the user cancelled. "Default" gives
// defaultColour.
std::optional<uint32_t> ChooseObjectColour(QWidget* parent, const QPoint& globalPos,
                                           uint32_t current, uint32_t defaultColour);
