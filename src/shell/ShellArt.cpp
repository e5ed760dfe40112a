#include "shell/ShellArt.h"

#include "controls/Theme.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

// Shapes are drawn on a 16 x 16 design grid and scaled to the requested rectangle.
void PaintImage(QPainter& p, EShellImage image)
{
    const QColor ink(0x2b, 0x33, 0x40);
    const QColor accent(0x3d, 0x8b, 0xd9);
    const QColor warm(0xe0, 0x8a, 0x2e);
    const QColor paper(0xf4, 0xf6, 0xf8);
    p.setRenderHint(QPainter::Antialiasing);
    QPen outline(ink, 1.0);
    outline.setJoinStyle(Qt::RoundJoin);
    switch (image) {
    case EShellImage::Project: {
        // A folder with a note on it.
        p.setPen(outline);
        p.setBrush(warm);
        QPainterPath folder;
        folder.moveTo(1.5, 3.5);
        folder.lineTo(6, 3.5);
        folder.lineTo(7.5, 5);
        folder.lineTo(14.5, 5);
        folder.lineTo(14.5, 13.5);
        folder.lineTo(1.5, 13.5);
        folder.closeSubpath();
        p.drawPath(folder);
        p.setBrush(ink);
        p.setPen(Qt::NoPen);
        p.drawEllipse(QRectF(6, 9.5, 3, 2.4));
        p.fillRect(QRectF(8.2, 6.5, 0.9, 4.3), ink);
        break;
    }
    case EShellImage::Tracks:
        // Lanes with clips.
        p.setPen(outline);
        p.setBrush(paper);
        p.drawRect(QRectF(1.5, 2.5, 13, 11));
        p.setPen(Qt::NoPen);
        p.setBrush(accent);
        p.drawRect(QRectF(3, 4, 5, 2));
        p.setBrush(warm);
        p.drawRect(QRectF(6, 7, 7, 2));
        p.setBrush(accent);
        p.drawRect(QRectF(4, 10, 4, 2));
        p.drawRect(QRectF(9, 10, 3.5, 2));
        break;
    case EShellImage::Mixer:
        // Three faders.
        p.setPen(QPen(ink, 1.2, Qt::SolidLine, Qt::RoundCap));
        for (int i = 0; i < 3; ++i)
            p.drawLine(QPointF(4 + i * 4, 2), QPointF(4 + i * 4, 14));
        p.setPen(outline);
        p.setBrush(accent);
        p.drawRect(QRectF(2.5, 8.5, 3, 2));
        p.setBrush(warm);
        p.drawRect(QRectF(6.5, 4.5, 3, 2));
        p.setBrush(accent);
        p.drawRect(QRectF(10.5, 10.5, 3, 2));
        break;
    case EShellImage::Track:
        p.setPen(outline);
        p.setBrush(paper);
        p.drawRect(QRectF(1.5, 5.5, 13, 5));
        p.setPen(Qt::NoPen);
        p.setBrush(accent);
        p.drawRect(QRectF(3, 7, 6, 2));
        break;
    case EShellImage::PhraseBank:
        // A stack of cards.
        p.setPen(outline);
        p.setBrush(paper);
        p.drawRect(QRectF(4.5, 1.5, 10, 8));
        p.drawRect(QRectF(3, 3.5, 10, 8));
        p.setBrush(accent);
        p.drawRect(QRectF(1.5, 5.5, 10, 8.5));
        break;
    case EShellImage::Phrase:
        p.setPen(outline);
        p.setBrush(accent);
        p.drawRoundedRect(QRectF(1.5, 4.5, 13, 7), 1.5, 1.5);
        p.setPen(QPen(paper, 1.2));
        p.drawLine(QPointF(4, 9.5), QPointF(7, 9.5));
        p.drawLine(QPointF(6, 7.5), QPointF(9, 7.5));
        p.drawLine(QPointF(9.5, 6.5), QPointF(12, 6.5));
        break;
    case EShellImage::PianoRoll: {
        // Keys on the left, notes on a grid.
        p.setPen(outline);
        p.setBrush(paper);
        p.drawRect(QRectF(1.5, 1.5, 13, 13));
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        for (int i = 0; i < 3; ++i)
            p.drawRect(QRectF(2, 3 + i * 4, 2.5, 1.6));
        p.setBrush(warm);
        p.drawRect(QRectF(6, 3, 4, 1.8));
        p.drawRect(QRectF(9, 7, 4.5, 1.8));
        p.drawRect(QRectF(7, 11, 3, 1.8));
        break;
    }
    }
}

class CPaintedIconEngine : public QIconEngine {
public:
    explicit CPaintedIconEngine(EShellImage image) : m_image(image) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override
    {
        painter->save();
        painter->translate(rect.topLeft());
        painter->scale(rect.width() / 16.0, rect.height() / 16.0);
        if (mode == QIcon::Disabled) painter->setOpacity(0.4);
        PaintImage(*painter, m_image);
        painter->restore();
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return scaledPixmap(size, mode, state, 1.0);
    }

    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override
    {
        QPixmap pixmap(size * scale);
        pixmap.fill(Qt::transparent);
        pixmap.setDevicePixelRatio(scale);
        QPainter painter(&pixmap);
        paint(&painter, QRect(QPoint(0, 0), size), mode, state);
        return pixmap;
    }

    QIconEngine* clone() const override { return new CPaintedIconEngine(m_image); }

private:
    EShellImage m_image;
};

} // namespace

QIcon ShellIcon(EShellImage image)
{
    return QIcon(new CPaintedIconEngine(image));
}

QIcon ApplicationIcon()
{
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/%1/tonalweaver.png").arg(size), QSize(size, size));
    return icon;
}

QColor ViewBackground()
{
    return CTheme::PanelBackground();
}

QColor ViewGrid()
{
    return CTheme::PanelBackground().lighter(125);
}
