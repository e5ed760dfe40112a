#include "controls/WndStatusDisplay.h"

#include "controls/Theme.h"

#include <QPainter>

CWndStatusDisplay::CWndStatusDisplay(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFont(CTheme::SmallFont());
}

void CWndStatusDisplay::SetText(const QString& text)
{
    m_text = text;
    update();
}

void CWndStatusDisplay::RegisterTag(const QString& tag, const QColor& text,
                                    const QColor& background)
{
    m_tags.try_emplace(tag, CColours{text, background});
}

void CWndStatusDisplay::RegisterEditorTags()
{
    RegisterTag(QStringLiteral("<<Desc>>"), CTheme::DescColour(), CTheme::DisplayBackground());
    RegisterTag(QStringLiteral("<<Name>>"), Qt::white, CTheme::DisplayBackground());
    RegisterTag(QStringLiteral("<<Value>>"), CTheme::ValueColour(), CTheme::DisplayBackground());
}

std::vector<CStatusSegment> CWndStatusDisplay::Segments(const QString& text, const TagMap& tags)
{
    std::vector<CStatusSegment> segments;
    QColor fore = Qt::white;
    QColor back = CTheme::DisplayBackground();
    QString rest = text;
    while (!rest.isEmpty()) {
        const qsizetype open = rest.indexOf(QStringLiteral("<<"));
        const qsizetype close = rest.indexOf(QStringLiteral(">>"));
        QString segment;
        QString tag;
        if (open < 0 || close < 0 || open >= close) {
            segment = rest;
            rest.clear();
        } else {
            segment = rest.left(open);
            tag = rest.mid(open, close + 2 - open);
            rest = rest.mid(close + 2);
        }
        if (!segment.isEmpty()) segments.push_back({segment, fore, back});
        if (!tag.isEmpty()) {
            const auto it = tags.find(tag);
            fore = it != tags.end() ? it->second.text : QColor(Qt::white);
            back = it != tags.end() ? it->second.background : CTheme::DisplayBackground();
        }
    }
    return segments;
}

QSize CWndStatusDisplay::sizeHint() const
{
    return QSize(200, QFontMetrics(font()).height() + 4);
}

void CWndStatusDisplay::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), CTheme::DisplayBackground());
    const QFontMetrics metrics(font());
    int x = 2;
    for (const CStatusSegment& segment : Segments(m_text, m_tags)) {
        const int width = metrics.horizontalAdvance(segment.text);
        const QRect box(x, 0, width, height());
        p.fillRect(box, segment.background);
        p.setPen(segment.textColour);
        p.drawText(box, Qt::AlignLeft | Qt::AlignVCenter, segment.text);
        x += width;
        if (x >= this->width()) break;
    }
}
