#pragma once
// The look shared by every window: colours, fonts, the object palette as Qt colours, and the
// painted artwork of buttons and knobs. Artwork is drawn by code, never loaded, and cached as
// pixmaps sized by the device-pixel ratio, so it stays crisp on high-density screens.
//
// User-interface thread only.

#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QSize>

#include <cstdint>

class QPainter;
class QRect;

// The glyphs the transport, the editors and the mixer put on their buttons.
enum class EArtwork : int {
    Record,
    Rewind,
    Stop,
    Play,
    Forward,
    Solo,
    Mute,
    Loop,
    Sync,
    Click, // the metronome
    Step,
    ZoomInH,
    ZoomOutH,
    ZoomInV,
    ZoomOutV,
    Input, // live input passed through a track
};

// How a button face looks: at rest, held down or latched on, or disabled.
enum class EArtState : int { Normal, Pressed, Disabled };

// One face of a button: a glyph in a state.
struct CArtFace {
    EArtwork art = EArtwork::Play;
    EArtState state = EArtState::Normal;
    bool operator==(const CArtFace&) const = default;
};

class CTheme {
public:
    // Value boxes and displays.
    static QColor DisplayBackground() { return QColor(0, 28, 60); }
    static QColor FocusBackground() { return QColor(39, 63, 119); }
    static QColor ValueColour() { return QColor(38, 216, 157); }
    static QColor DisabledText() { return QColor(211, 211, 211); }
    static QColor FocusFrame() { return QColor(255, 255, 255); }
    static QColor Frame() { return QColor(128, 128, 128); }
    // The status display's "<<Desc>>" colour.
    static QColor DescColour() { return QColor(144, 238, 144); }
    // Window backgrounds behind the controls (tool windows, bars, panels).
    static QColor PanelBackground() { return QColor(24, 36, 56); }
    static QColor PanelLabel() { return QColor(255, 255, 255); }
    // Loop markers on rulers.
    static QColor LoopStartMarker() { return QColor(255, 69, 0); }
    static QColor LoopEndMarker() { return QColor(173, 216, 230); }

    // 0x00BBGGRR (the model's colour word) to a Qt colour and back.
    static QColor FromColourRef(uint32_t bgr);
    static uint32_t ToColourRef(const QColor& colour);
    // Entry `index` of the 40-colour object palette; an index outside it wraps around.
    static QColor ObjectColour(int index);
    static int ObjectColourCount();

    // The font of value boxes, labels and the status display: 8-point "Arial", or the nearest
    // sans-serif face the system has.
    static QFont SmallFont();

    // The face as a pixmap of `size` logical pixels for a screen of ratio `dpr` (cached).
    static QPixmap Artwork(const CArtFace& face, QSize size, qreal dpr);
    // Paints the face into `rect` (logical pixels) at the painter's device-pixel ratio.
    static void DrawArtwork(QPainter& painter, const QRect& rect, const CArtFace& face);

    // A knob of diameter `size` showing value 0..127; pan knobs mark the centre. Cached.
    static QPixmap Knob(int value, bool pan, bool focused, int size, qreal dpr);

    // Empties the pixmap caches (tests measure them; nothing else needs to).
    static void ClearCaches();
    static int CachedPixmapCount();
};
