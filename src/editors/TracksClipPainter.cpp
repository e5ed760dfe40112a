#include "editors/TracksClipPainter.h"

#include <QPainter>
#include <QStaticText>

#include <algorithm>
#include <string>
#include <string_view>
#include <unordered_map>

#include "controls/Theme.h"
#include "editors/TracksContext.h"
#include "editors/ViewTracks.h"
#include "model/Clip.h"

namespace {

const QColor kLightEdge(192, 192, 192);
const QColor kDarkEdge(105, 105, 105);
const QColor kSelectedText(211, 211, 211);

QColor ContrastText(const QColor& fill)
{
    const int luma = (fill.red() * 299 + fill.green() * 587 + fill.blue() * 114) / 1000;
    return luma >= 140 ? QColor(Qt::black) : QColor(Qt::white);
}

// Laid-out names by text and room (laying out text is the dearest part of drawing a clip),
// looked up by a view of the name so that a hit makes no copy while painting.
struct SNameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const
    {
        return std::hash<std::string_view>{}(text);
    }
};
using CNameTexts = std::unordered_map<std::string, QStaticText, SNameHash, std::equal_to<>>;

QStaticText& NameText(const QFontMetrics& metrics, const std::string& name, int width)
{
    // One table per room in pixels; songs repeat both names and lengths.
    static std::unordered_map<int, CNameTexts> cache;
    constexpr std::size_t kMaxWidths = 512;
    if (cache.size() > kMaxWidths) cache.clear();
    CNameTexts& texts = cache[width];
    if (const auto it = texts.find(std::string_view(name)); it != texts.end()) return it->second;
    QStaticText& text = texts[name];
    text.setText(metrics.elidedText(QString::fromStdString(name), Qt::ElideRight, width));
    text.setTextFormat(Qt::PlainText);
    text.setPerformanceHint(QStaticText::AggressiveCaching);
    return text;
}

void DrawName(QPainter& painter, const QRect& box, const CMidiData& data, const QColor& colour)
{
    const QRect text = box.adjusted(4, 1, -3, -1);
    if (text.width() < 6) return;
    painter.setPen(colour);
    painter.drawStaticText(text.topLeft(),
                           NameText(painter.fontMetrics(), data.GetName(), text.width()));
}

} // namespace

CTracksClipPainter::CTracksClipPainter(const CViewTracks& view, QPainter& painter)
    : m_view(view), m_painter(painter), m_focused(view.hasFocus())
{
    m_painter.setFont(CTheme::SmallFont());
}

void CTracksClipPainter::Draw(const CClip& clip, int32_t row)
{
    const QRect box = m_view.ClipRect(clip, row).adjusted(0, 1, 0, -1);
    const QColor own = CTheme::FromColourRef(clip.GetColour());
    const bool current = m_view.GetCurrent().clip == &clip;
    const bool selected = m_view.IsSelected(&clip) || m_view.IsInBandDrawn(&clip);
    QColor text;
    if (current && m_focused) {
        m_painter.fillRect(box, Qt::black);
        m_painter.setPen(Qt::white);
        m_painter.setBrush(Qt::NoBrush);
        m_painter.drawRect(box.adjusted(0, 0, -1, -1));
        text = Qt::white;
    } else if (selected || current) {
        m_painter.fillRect(box, Qt::black);
        m_painter.setPen(QPen(Qt::white, 1, Qt::DotLine));
        m_painter.setBrush(Qt::NoBrush);
        m_painter.drawRect(box.adjusted(0, 0, -1, -1));
        text = kSelectedText;
    } else {
        // A raised border: light above and left, dark below and right (the dark edges own the
        // two corners they share with the light ones); each pixel is filled once.
        const int w = box.width();
        const int h = box.height();
        m_painter.fillRect(box.adjusted(1, 1, -1, -1), own);
        m_painter.fillRect(QRect(box.left(), box.top(), std::max(0, w - 1), 1), kLightEdge);
        m_painter.fillRect(QRect(box.left(), box.top() + 1, 1, std::max(0, h - 2)), kLightEdge);
        m_painter.fillRect(QRect(box.left(), box.bottom(), w, 1), kDarkEdge);
        m_painter.fillRect(QRect(box.right(), box.top(), 1, std::max(0, h - 1)), kDarkEdge);
        text = ContrastText(own);
    }
    if (selected || current) {
        const QRect frame = box.adjusted(2, 2, -3, -3);
        if (frame.width() > 0 && frame.height() > 0) {
            m_painter.setPen(own);
            m_painter.drawRect(frame);
        }
    }
    if (box.height() >= kMiniatureRowHeight - 2 && box.width() > 8) DrawNotes(clip, box);
    DrawName(m_painter, box, clip, text);
}

void CTracksClipPainter::DrawNotes(const CClip& clip, const QRect& box)
{
    const CNoteList& notes = clip.GetNotes();
    if (notes.IsEmpty() || clip.GetLength() <= 0) return;
    const CNoteBounds bounds = notes.Bounds();
    const int low = bounds.m_lowPitch;
    const int high = bounds.m_highPitch - 1;
    // Notes go below the name, one line per pitch step.
    const QRect area = box.adjusted(2, m_painter.fontMetrics().height() + 1, -2, -3);
    if (area.height() < 3) return;
    const int span = std::max(1, high - low);
    const QColor own = CTheme::FromColourRef(clip.GetColour());
    const QColor colour = m_view.IsSelected(&clip) ? own : ContrastText(own);
    const int64_t length = clip.GetLength();
    const QRect visible = area & m_painter.clipBoundingRect().toAlignedRect();
    for (const CNote& note : notes) {
        if (note.m_start >= length) break;
        const int x1 = area.left() + static_cast<int>(note.m_start * area.width() / length);
        if (!visible.isNull() && x1 > visible.right()) break;
        const int64_t end = std::min<int64_t>(note.m_end, length);
        const int x2 = area.left() + static_cast<int>(end * area.width() / length);
        const int y = area.bottom() - (note.m_pitch - low) * (area.height() - 1) / span;
        m_painter.fillRect(QRect(x1, y, std::max(1, x2 - x1), 1), colour);
    }
}

void CTracksClipPainter::DrawOutline(QPainter& painter, const QRect& rect, const CMidiData& data)
{
    const QRect box = rect.adjusted(0, 1, -1, -2);
    painter.setPen(QPen(Qt::white, 1, Qt::DashLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(box);
    painter.setFont(CTheme::SmallFont());
    DrawName(painter, box, data, Qt::white);
}
