#include "controls/Theme.h"

#include "model/ObjectColours.h"

#include <QFontMetricsF>
#include <QHash>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>

namespace {

QHash<QString, QPixmap>& Cache()
{
    static QHash<QString, QPixmap> cache;
    return cache;
}

// A transparent pixmap of `size` logical pixels with its painter set up for smooth drawing.
QPixmap BlankPixmap(QSize size, qreal dpr)
{
    QPixmap pixmap(QSize(qCeil(size.width() * dpr), qCeil(size.height() * dpr)));
    pixmap.setDevicePixelRatio(dpr);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

bool IsToggle(EArtwork art)
{
    switch (art) {
    case EArtwork::Solo:
    case EArtwork::Mute:
    case EArtwork::Loop:
    case EArtwork::Sync:
    case EArtwork::Click:
    case EArtwork::Step:
    case EArtwork::Input:
        return true;
    default:
        return false;
    }
}

// The glyph's colour: transport symbols keep their meaning (record red, play green), toggles
// light up when on.
QColor GlyphColour(EArtwork art, EArtState state)
{
    if (state == EArtState::Disabled) return QColor(110, 116, 128);
    const bool on = state == EArtState::Pressed;
    switch (art) {
    case EArtwork::Record:
        return on ? QColor(255, 64, 56) : QColor(200, 52, 48);
    case EArtwork::Play:
        return on ? QColor(120, 255, 140) : QColor(70, 200, 96);
    default:
        break;
    }
    if (IsToggle(art)) return on ? QColor(255, 214, 64) : QColor(200, 206, 216);
    return on ? QColor(255, 255, 255) : QColor(214, 220, 230);
}

void DrawFace(QPainter& p, const QRectF& r, EArtwork art, EArtState state)
{
    const qreal radius = std::min(r.width(), r.height()) * 0.18;
    QLinearGradient fill(r.topLeft(), r.bottomLeft());
    if (state == EArtState::Pressed) {
        const bool lit = IsToggle(art);
        fill.setColorAt(0, lit ? QColor(70, 58, 20) : QColor(22, 30, 44));
        fill.setColorAt(1, lit ? QColor(108, 88, 28) : QColor(40, 52, 72));
    } else if (state == EArtState::Disabled) {
        fill.setColorAt(0, QColor(46, 52, 62));
        fill.setColorAt(1, QColor(46, 52, 62));
    } else {
        fill.setColorAt(0, QColor(84, 96, 116));
        fill.setColorAt(1, QColor(44, 52, 68));
    }
    const QRectF body = r.adjusted(0.5, 0.5, -0.5, -0.5);
    p.setPen(QPen(state == EArtState::Pressed ? QColor(12, 16, 24) : QColor(16, 20, 28), 1.0));
    p.setBrush(fill);
    p.drawRoundedRect(body, radius, radius);
    if (state == EArtState::Normal) {
        // A thin highlight along the top edge makes the face read as raised.
        p.setPen(QPen(QColor(255, 255, 255, 60), 1.0));
        p.drawLine(QPointF(body.left() + radius, body.top() + 1.0),
                   QPointF(body.right() - radius, body.top() + 1.0));
    }
}

QPainterPath Triangle(const QRectF& r, bool right)
{
    QPainterPath path;
    if (right) {
        path.moveTo(r.left(), r.top());
        path.lineTo(r.right(), r.center().y());
        path.lineTo(r.left(), r.bottom());
    } else {
        path.moveTo(r.right(), r.top());
        path.lineTo(r.left(), r.center().y());
        path.lineTo(r.right(), r.bottom());
    }
    path.closeSubpath();
    return path;
}

// A square of side `side` centred in r.
QRectF CentredSquare(const QRectF& r, qreal side)
{
    return QRectF(r.center().x() - side / 2, r.center().y() - side / 2, side, side);
}

void DrawLabel(QPainter& p, const QRectF& r, const QString& text, const QColor& colour, bool bold)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setStretch(QFont::SemiCondensed);
    font.setBold(bold);
    // As large as the face allows, but never wider than it.
    int size = std::max(6, qRound(r.height() * (bold ? 0.78 : 0.66)));
    font.setPixelSize(size);
    while (size > 6 && QFontMetricsF(font).horizontalAdvance(text) > r.width() - 3) {
        font.setPixelSize(--size);
    }
    p.setFont(font);
    p.setPen(colour);
    p.drawText(r, Qt::AlignCenter, text);
}

void DrawLoop(QPainter& p, const QRectF& g, const QColor& colour)
{
    const qreal w = std::max(1.2, g.height() / 7);
    QPen pen(colour, w, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    const QRectF loop = g.adjusted(w, w * 1.5, -w, -w * 1.5);
    const qreal radius = loop.height() / 2;
    // Round-cornered loop, open at the top right where the arrow head sits.
    QPainterPath path;
    path.moveTo(loop.right() - radius * 1.6, loop.top());
    path.lineTo(loop.left() + radius, loop.top());
    path.arcTo(QRectF(loop.left(), loop.top(), 2 * radius, 2 * radius), 90, 180);
    path.lineTo(loop.right() - radius, loop.bottom());
    path.arcTo(QRectF(loop.right() - 2 * radius, loop.top(), 2 * radius, 2 * radius), 270, 150);
    p.drawPath(path);
    const qreal head = std::max(2.5, loop.height() * 0.55);
    const QPointF tip(loop.right() - radius * 1.6 - head * 0.2, loop.top());
    QPainterPath arrow;
    arrow.moveTo(tip + QPointF(head * 0.9, -head * 0.6));
    arrow.lineTo(tip);
    arrow.lineTo(tip + QPointF(head * 0.9, head * 0.6));
    arrow.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPath(arrow);
}

void DrawZoom(QPainter& p, const QRectF& g, const QColor& colour, bool in, bool horizontal)
{
    // A lens with + or -, and a double arrow along the axis the zoom acts on.
    const qreal w = std::max(1.2, g.height() / 9);
    p.setPen(QPen(colour, w, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    const qreal d = std::min(g.width(), g.height()) * 0.6;
    const QRectF lens = horizontal ? QRectF(g.center().x() - d / 2, g.top() + w / 2, d, d)
                                   : QRectF(g.left() + w / 2, g.center().y() - d / 2, d, d);
    p.drawEllipse(lens);
    const QPointF c = lens.center();
    const qreal s = d * 0.24;
    p.drawLine(c - QPointF(s, 0), c + QPointF(s, 0));
    if (in) p.drawLine(c - QPointF(0, s), c + QPointF(0, s));
    const qreal head = w * 1.5;
    const QPointF a =
        horizontal ? QPointF(g.left() + w, g.bottom() - w) : QPointF(g.right() - w, g.top() + w);
    const QPointF b = horizontal ? QPointF(g.right() - w, g.bottom() - w)
                                 : QPointF(g.right() - w, g.bottom() - w);
    const QPointF across = horizontal ? QPointF(0, head) : QPointF(head, 0);
    const QPointF along = horizontal ? QPointF(head, 0) : QPointF(0, head);
    p.setPen(QPen(colour, w * 0.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(a, b);
    p.drawPolyline(QPolygonF({a + along + across, a, a + along - across}));
    p.drawPolyline(QPolygonF({b - along + across, b, b - along - across}));
}

void DrawInput(QPainter& p, const QRectF& g, const QColor& colour)
{
    // An arrow running into a bar: what comes in goes through.
    const qreal w = std::max(1.2, g.height() / 6);
    const qreal bar = g.right() - w / 2;
    p.setPen(QPen(colour, w, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QPointF(bar, g.top()), QPointF(bar, g.bottom()));
    const qreal tip = bar - w * 1.5;
    const qreal head = g.height() * 0.38;
    p.drawLine(QPointF(g.left(), g.center().y()), QPointF(tip - head * 0.6, g.center().y()));
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    QPainterPath arrow;
    arrow.moveTo(tip, g.center().y());
    arrow.lineTo(tip - head, g.center().y() - head);
    arrow.lineTo(tip - head, g.center().y() + head);
    arrow.closeSubpath();
    p.drawPath(arrow);
}

void DrawGlyph(QPainter& p, const QRectF& r, EArtwork art, const QColor& colour)
{
    const qreal unit = std::min(r.width(), r.height());
    const QRectF g = CentredSquare(r, unit * 0.62);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    switch (art) {
    case EArtwork::Record:
        p.drawEllipse(CentredSquare(r, unit * 0.56));
        break;
    case EArtwork::Stop:
        p.drawRect(CentredSquare(r, unit * 0.46));
        break;
    case EArtwork::Play:
        p.drawPath(Triangle(g.adjusted(unit * 0.06, 0, 0, 0), true));
        break;
    case EArtwork::Rewind:
    case EArtwork::Forward: {
        const bool right = art == EArtwork::Forward;
        const QRectF half(g.left(), g.top() + g.height() * 0.15, g.width() / 2, g.height() * 0.7);
        p.drawPath(Triangle(half, right));
        p.drawPath(Triangle(half.translated(g.width() / 2, 0), right));
        break;
    }
    case EArtwork::Solo:
        DrawLabel(p, r, QStringLiteral("S"), colour, true);
        break;
    case EArtwork::Mute:
        DrawLabel(p, r, QStringLiteral("M"), colour, true);
        break;
    case EArtwork::Sync:
        DrawLabel(p, r, QStringLiteral("sync"), colour, false);
        break;
    case EArtwork::Click:
        DrawLabel(p, r, QStringLiteral("click"), colour, false);
        break;
    case EArtwork::Step:
        DrawLabel(p, r, QStringLiteral("step"), colour, false);
        break;
    case EArtwork::Input:
        DrawInput(p, g, colour);
        break;
    case EArtwork::Loop:
        DrawLoop(p, r.adjusted(r.width() * 0.12, 0, -r.width() * 0.12, 0), colour);
        break;
    case EArtwork::ZoomInH:
    case EArtwork::ZoomOutH:
    case EArtwork::ZoomInV:
    case EArtwork::ZoomOutV:
        DrawZoom(p, CentredSquare(r, unit * 0.8), colour,
                 art == EArtwork::ZoomInH || art == EArtwork::ZoomInV,
                 art == EArtwork::ZoomInH || art == EArtwork::ZoomOutH);
        break;
    }
}

QPixmap PaintFace(const CArtFace& face, QSize size, qreal dpr)
{
    QPixmap pixmap = BlankPixmap(size, dpr);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QRectF r(0, 0, size.width(), size.height());
    DrawFace(p, r, face.art, face.state);
    // A held button's glyph sits one pixel lower, as if pushed in.
    const QRectF glyph = face.state == EArtState::Pressed ? r.translated(0, 0.5) : r;
    DrawGlyph(p, glyph, face.art, GlyphColour(face.art, face.state));
    return pixmap;
}

QPixmap PaintKnob(int value, bool pan, bool focused, int size, qreal dpr)
{
    QPixmap pixmap = BlankPixmap(QSize(size, size), dpr);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    const qreal track = std::max(1.5, s / 10);
    const QRectF arcRect(track, track, s - 2 * track, s - 2 * track);
    // The value runs clockwise over 270 degrees from the lower left to the lower right.
    constexpr int kStart = 225 * 16;
    constexpr int kSweep = -270 * 16;
    p.setPen(QPen(QColor(20, 26, 36), track, Qt::SolidLine, Qt::FlatCap));
    p.drawArc(arcRect, kStart, kSweep);
    const int valueAngle = kStart + kSweep * value / 127;
    const QColor lit = focused ? CTheme::ValueColour().lighter(125) : CTheme::ValueColour();
    p.setPen(QPen(lit, track, Qt::SolidLine, Qt::FlatCap));
    const int from = pan ? 90 * 16 : kStart;
    p.drawArc(arcRect, from, valueAngle - from);

    const QRectF body = arcRect.adjusted(track * 1.2, track * 1.2, -track * 1.2, -track * 1.2);
    QRadialGradient fill(body.center() - QPointF(body.width() * 0.2, body.height() * 0.25),
                         body.width());
    fill.setColorAt(0, focused ? QColor(120, 134, 158) : QColor(96, 108, 128));
    fill.setColorAt(1, QColor(34, 40, 52));
    p.setPen(QPen(focused ? CTheme::FocusFrame() : QColor(14, 18, 26), 1.0));
    p.setBrush(fill);
    p.drawEllipse(body);

    const qreal angle = (valueAngle / 16.0) * M_PI / 180.0;
    const QPointF c = body.center();
    const qreal inner = body.width() * 0.12;
    const qreal outer = body.width() * 0.46;
    const QPointF dir(std::cos(angle), -std::sin(angle));
    p.setPen(QPen(QColor(240, 244, 250), std::max(1.2, s / 14), Qt::SolidLine, Qt::RoundCap));
    p.drawLine(c + dir * inner, c + dir * outer);
    return pixmap;
}

QString FaceKey(const CArtFace& face, QSize size, qreal dpr)
{
    return QStringLiteral("a%1/%2/%3x%4@%5")
        .arg(static_cast<int>(face.art))
        .arg(static_cast<int>(face.state))
        .arg(size.width())
        .arg(size.height())
        .arg(dpr);
}

} // namespace

QColor CTheme::FromColourRef(uint32_t bgr)
{
    return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                  static_cast<int>((bgr >> 16) & 0xFF));
}

uint32_t CTheme::ToColourRef(const QColor& colour)
{
    return static_cast<uint32_t>(colour.red()) | static_cast<uint32_t>(colour.green()) << 8 |
           static_cast<uint32_t>(colour.blue()) << 16;
}

QColor CTheme::ObjectColour(int index)
{
    const int count = CObjectColours::kCount;
    const int wrapped = ((index % count) + count) % count;
    return FromColourRef(CObjectColours::kPalette[static_cast<size_t>(wrapped)]);
}

int CTheme::ObjectColourCount()
{
    return CObjectColours::kCount;
}

QFont CTheme::SmallFont()
{
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(8);
    return font;
}

QPixmap CTheme::Artwork(const CArtFace& face, QSize size, qreal dpr)
{
    if (size.isEmpty()) return {};
    const QString key = FaceKey(face, size, dpr);
    auto it = Cache().find(key);
    if (it == Cache().end()) it = Cache().insert(key, PaintFace(face, size, dpr));
    return *it;
}

void CTheme::DrawArtwork(QPainter& painter, const QRect& rect, const CArtFace& face)
{
    const qreal dpr = painter.device() != nullptr ? painter.device()->devicePixelRatioF() : 1.0;
    painter.drawPixmap(rect.topLeft(), Artwork(face, rect.size(), dpr));
}

QPixmap CTheme::Knob(int value, bool pan, bool focused, int size, qreal dpr)
{
    if (size <= 0) return {};
    const int v = std::clamp(value, 0, 127);
    const QString key =
        QStringLiteral("k%1/%2/%3/%4@%5").arg(v).arg(pan).arg(focused).arg(size).arg(dpr);
    auto it = Cache().find(key);
    if (it == Cache().end()) it = Cache().insert(key, PaintKnob(v, pan, focused, size, dpr));
    return *it;
}

void CTheme::ClearCaches()
{
    Cache().clear();
}

int CTheme::CachedPixmapCount()
{
    return static_cast<int>(Cache().size());
}
