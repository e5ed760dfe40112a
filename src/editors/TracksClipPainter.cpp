#include "editors/TracksClipPainter.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QStaticText>

#include <algorithm>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "controls/Theme.h"
#include "editors/ScanlineRaster.h"
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

// Clip names drawn once onto their box colour, looked up by text, room, colours and pixel ratio:
// copying a label is a fraction of the cost of drawing its glyphs. Songs repeat names, lengths and
// colours, so a frame finds nearly all of them. A lookup holds a view of the name, so that a hit
// copies nothing.
template <class TName> struct SLabelKeyOf {
    TName name;
    int room = 0;
    QRgb fill = 0;
    QRgb text = 0;
    qreal ratio = 1;
};
using SLabelKey = SLabelKeyOf<std::string>;
using SLabelLookup = SLabelKeyOf<std::string_view>;

struct SLabelKeyHash {
    using is_transparent = void;
    template <class TName> std::size_t operator()(const SLabelKeyOf<TName>& key) const
    {
        std::size_t hash = std::hash<std::string_view>{}(key.name);
        for (const std::size_t part : {std::size_t(key.room), std::size_t(key.fill),
                                       std::size_t(key.text), std::hash<qreal>{}(key.ratio)})
            hash = hash * 1000003u ^ part;
        return hash;
    }
};

struct SLabelKeyEqual {
    using is_transparent = void;
    template <class TLeft, class TRight>
    bool operator()(const SLabelKeyOf<TLeft>& left, const SLabelKeyOf<TRight>& right) const
    {
        return left.room == right.room && left.fill == right.fill && left.text == right.text &&
               left.ratio == right.ratio && std::string_view(left.name) == right.name;
    }
};

class CLabelCache {
public:
    // The label for key, drawn with text() (asked for only when the label is new).
    template <class FText>
    const QImage& Label(const SLabelLookup& key, const FText& text, int height)
    {
        if (const auto it = m_labels.find(key); it != m_labels.end()) {
            it->second.used = m_frame;
            return it->second.image;
        }
        // The label reaches over the room's margins inside the border (two pixels to the right).
        const int advance = Advance(text().text());
        const int width = std::min(key.room + 2 * kLabelMargin - 1, advance + 2 * kLabelMargin);
        QPainter& painter = Scratch(QSize(width, height), key.ratio);
        painter.fillRect(QRect(0, 0, width, height), QColor(key.fill));
        painter.setPen(QColor(key.text));
        painter.drawStaticText(QPoint(kLabelMargin, 0), text());
        QImage label = m_scratch.copy(QRect(QPoint(), QSize(width, height) * key.ratio));
        label.setDevicePixelRatio(key.ratio);
        m_bytes += label.sizeInBytes();
        const SLabelKey stored{std::string(key.name), key.room, key.fill, key.text, key.ratio};
        return m_labels.emplace(stored, SLabel{std::move(label), m_frame}).first->second.image;
    }

    // Starts a frame in the given font. Bounded between frames (labels stay alive within one): a
    // frame of a big song needs a few megabytes. The labels used longest ago go first, so
    // scrolling draws only the new ones.
    void BeginFrame(const QFont& font)
    {
        ++m_frame;
        if (font != m_font) {
            m_labels.clear();
            m_advances.clear();
            m_bytes = 0;
            m_font = font;
            m_painter.reset();
        }
        constexpr qsizetype kMaxBytes = qsizetype{32} << 20;
        if (m_bytes <= kMaxBytes) return;
        std::vector<uint64_t> used;
        used.reserve(m_labels.size());
        for (const auto& entry : m_labels)
            used.push_back(entry.second.used);
        const auto half = used.begin() + static_cast<std::ptrdiff_t>(used.size() / 2);
        std::nth_element(used.begin(), half, used.end());
        std::erase_if(m_labels, [&](const auto& entry) {
            if (entry.second.used > *half) return false;
            m_bytes -= entry.second.image.sizeInBytes();
            return true;
        });
    }

    // Closes the scratch painter, which is opened once in a frame that draws new labels.
    void EndFrame() { m_painter.reset(); }

    // Room left and right of the text for glyphs that reach outside their advance.
    static constexpr int kLabelMargin = 3;

private:
    struct SLabel {
        QImage image;
        uint64_t used = 0; // the frame that last drew it
    };

    // The width of a shown name, measured once per font: songs repeat names in many colours and
    // lengths, and measuring lays the text out again.
    int Advance(const QString& text)
    {
        if (const auto it = m_advances.find(text); it != m_advances.end()) return it->second;
        constexpr std::size_t kMaxAdvances = 4096;
        if (m_advances.size() >= kMaxAdvances) m_advances.clear();
        return m_advances.emplace(text, QFontMetrics(m_font).horizontalAdvance(text)).first->second;
    }

    // A painter kept open on a scratch image for the frame: opening one per label cost more than
    // the label.
    QPainter& Scratch(const QSize& size, qreal ratio)
    {
        if (m_painter && m_scratch.devicePixelRatio() == ratio &&
            m_scratch.width() >= size.width() * ratio &&
            m_scratch.height() >= size.height() * ratio)
            return *m_painter;
        m_painter.reset();
        const QSize room = size.expandedTo(m_scratch.size() / std::max<qreal>(1, ratio));
        m_scratch = QImage(room.expandedTo(QSize(256, 32)) * ratio, QImage::Format_RGB32);
        m_scratch.setDevicePixelRatio(ratio);
        m_painter = std::make_unique<QPainter>(&m_scratch);
        m_painter->setFont(m_font);
        return *m_painter;
    }

    QFont m_font;
    QImage m_scratch;
    std::unique_ptr<QPainter> m_painter;
    std::unordered_map<SLabelKey, SLabel, SLabelKeyHash, SLabelKeyEqual> m_labels;
    std::unordered_map<QString, int> m_advances;
    qsizetype m_bytes = 0;
    uint64_t m_frame = 0;
};

CLabelCache& Labels()
{
    static CLabelCache labels;
    return labels;
}

} // namespace

CTracksClipPainter::CTracksClipPainter(const CViewTracks& view, QPainter& painter)
    : m_view(view), m_painter(painter), m_focused(view.hasFocus())
{
    m_painter.setFont(CTheme::SmallFont());
    m_fontHeight = m_painter.fontMetrics().height();
    m_ratio = m_painter.device()->devicePixelRatioF();
    Labels().BeginFrame(m_painter.font());
}

CTracksClipPainter::~CTracksClipPainter()
{
    Labels().EndFrame();
}

CTracksClipPainter::SLook CTracksClipPainter::Look(const CClip& clip, int32_t row) const
{
    SLook look;
    look.box = m_view.ClipRect(clip, row).adjusted(0, 1, 0, -1);
    look.own = CTheme::FromColourRef(clip.GetColour());
    look.current = m_view.GetCurrent().clip == &clip;
    look.selected = m_view.IsSelected(&clip) || m_view.IsInBandDrawn(&clip);
    return look;
}

void CTracksClipPainter::Draw(const CClip& clip, int32_t row)
{
    const SLook look = Look(clip, row);
    if (!look.Plain()) {
        DrawMarked(clip, look);
        return;
    }
    // A raised border: light above and left, dark below and right (the dark edges own the two
    // corners they share with the light ones); each pixel is filled once.
    const QRect& box = look.box;
    const int w = box.width();
    const int h = box.height();
    m_painter.fillRect(box.adjusted(1, 1, -1, -1), look.own);
    m_painter.fillRect(QRect(box.left(), box.top(), std::max(0, w - 1), 1), kLightEdge);
    m_painter.fillRect(QRect(box.left(), box.top() + 1, 1, std::max(0, h - 2)), kLightEdge);
    m_painter.fillRect(QRect(box.left(), box.bottom(), w, 1), kDarkEdge);
    m_painter.fillRect(QRect(box.right(), box.top(), 1, std::max(0, h - 1)), kDarkEdge);
    DrawInside(clip, box);
    DrawName(m_painter, box, clip, ContrastText(look.own));
}

void CTracksClipPainter::BeginRow(const std::vector<const CClip*>& clips, int32_t row)
{
    m_rowClips = &clips;
    m_rowLooks.clear();
    for (const CClip* clip : clips)
        m_rowLooks.push_back(Look(*clip, row));
}

void CTracksClipPainter::Compose(CScanlineRaster& raster, EScan part) const
{
    for (size_t i = 0; i < m_rowLooks.size(); ++i)
        Compose(raster, *(*m_rowClips)[i], m_rowLooks[i], part);
}

void CTracksClipPainter::Compose(CScanlineRaster& raster, const CClip& clip, const SLook& look,
                                 EScan part) const
{
    const QRect& box = look.box;
    if (!look.Plain()) {
        raster.Fill(box.left(), box.right() + 1, qRgb(0, 0, 0));
        return;
    }
    // In this order a box one or two pixels wide comes out as Draw paints it.
    switch (part) {
    case EScan::Top:
        raster.Fill(box.left(), box.right(), kLightEdge.rgb());
        raster.Fill(box.right(), box.right() + 1, kDarkEdge.rgb());
        break;
    case EScan::Middle: {
        raster.Fill(box.left(), box.left() + 1, kLightEdge.rgb());
        raster.Fill(box.left() + 1, box.right(), look.own.rgb());
        raster.Fill(box.right(), box.right() + 1, kDarkEdge.rgb());
        const QImage* label = raster.IsWholeScale() ? Label(clip, look) : nullptr;
        if (label != nullptr) raster.Overlay(*label, box.left() + 1, box.top() + 1);
        break;
    }
    case EScan::Bottom:
        raster.Fill(box.left(), box.right() + 1, kDarkEdge.rgb());
        break;
    }
}

void CTracksClipPainter::DrawOver(const CScanlineRaster& raster, const CClip& clip, int32_t row)
{
    const SLook look = Look(clip, row);
    if (!look.Plain()) {
        DrawMarked(clip, look);
        return;
    }
    DrawInside(clip, look.box);
    if (!raster.IsWholeScale() || !LabelFits(look.box))
        DrawName(m_painter, look.box, clip, ContrastText(look.own));
}

void CTracksClipPainter::DrawMarked(const CClip& clip, const SLook& look)
{
    const QRect& box = look.box;
    m_painter.fillRect(box, Qt::black);
    m_painter.setBrush(Qt::NoBrush);
    QColor text = kSelectedText;
    if (look.current && m_focused) {
        m_painter.setPen(Qt::white);
        text = Qt::white;
    } else {
        m_painter.setPen(QPen(Qt::white, 1, Qt::DotLine));
    }
    m_painter.drawRect(box.adjusted(0, 0, -1, -1));
    const QRect frame = box.adjusted(2, 2, -3, -3);
    if (frame.width() > 0 && frame.height() > 0) {
        m_painter.setPen(look.own);
        m_painter.drawRect(frame);
    }
    DrawInside(clip, box);
    DrawName(m_painter, box, clip, text);
}

void CTracksClipPainter::DrawInside(const CClip& clip, const QRect& box)
{
    if (box.height() >= kMiniatureRowHeight - 2 && box.width() > 8) DrawNotes(clip, box);
}

bool CTracksClipPainter::LabelFits(const QRect& box) const
{
    return m_fontHeight <= box.height() - 2;
}

// The name of a plain clip drawn once on the box's colour, or null where there is no room for it
// (or only under the border, where the painter draws it).
const QImage* CTracksClipPainter::Label(const CClip& clip, const SLook& look) const
{
    const QRect& box = look.box;
    const QRect room = box.adjusted(4, 1, -3, -1);
    if (room.width() < 6 || !LabelFits(box)) return nullptr;
    const SLabelLookup key{clip.GetName(), room.width(), look.own.rgb(),
                           ContrastText(look.own).rgb(), m_ratio};
    const auto text = [&]() -> const QStaticText& {
        return NameText(m_painter.fontMetrics(), clip.GetName(), room.width());
    };
    return &Labels().Label(key, text, m_fontHeight);
}

void CTracksClipPainter::DrawNotes(const CClip& clip, const QRect& box)
{
    const CNoteList& notes = clip.GetNotes();
    if (notes.IsEmpty() || clip.GetLength() <= 0) return;
    const CNoteBounds bounds = notes.Bounds();
    const int low = bounds.m_lowPitch;
    const int high = bounds.m_highPitch - 1;
    // Notes go below the name, one line per pitch step.
    const QRect area = box.adjusted(2, m_fontHeight + 1, -2, -3);
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
