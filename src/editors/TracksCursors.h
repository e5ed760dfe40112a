#pragma once
// The mouse cursors of the tracks tools, painted by code at twice the logical size so that they
// stay crisp on high-density screens. User-interface thread only.

#include <QCursor>

// Over the song-position line: a double arrow around a bar.
QCursor PositionCursor();
QCursor EraserCursor();
QCursor ScissorsCursor();
QCursor GlueCursor();
// The tool glyphs for the palette buttons (tool 0..3), `size` logical pixels at ratio dpr.
QPixmap ToolGlyph(int tool, int size, qreal dpr, bool pressed);
