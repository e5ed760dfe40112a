#include "editors/ViewTrackList.h"

#include <QApplication>
#include <QHelpEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>

#include "controls/Theme.h"
#include "document/ProjectDoc.h"
#include "editing/TrackOperations.h"
#include "editors/DragGlue.h"
#include "editors/TracksContext.h"
#include "editors/WheelTable.h"
#include "model/Track.h"
#include "model/TrackList.h"

namespace {

constexpr int kListWidth = 176;
constexpr int kNumberWidth = 24;
constexpr int kColourStrip = 3;
constexpr int kMaxIcon = 16;
constexpr int kIconGap = 1;
const QColor kNumberColour(211, 211, 211);
const QColor kAlternateRow(30, 43, 65);
const QColor kRowLine(20, 26, 36);
const QColor kCurrentRow(48, 62, 88);

constexpr EHeaderPart kSwitches[] = {EHeaderPart::Solo, EHeaderPart::Mute, EHeaderPart::Input,
                                     EHeaderPart::Record};

EArtwork ArtOf(EHeaderPart part)
{
    switch (part) {
    case EHeaderPart::Solo:
        return EArtwork::Solo;
    case EHeaderPart::Mute:
        return EArtwork::Mute;
    case EHeaderPart::Input:
        return EArtwork::Input;
    default:
        return EArtwork::Record;
    }
}

QString SwitchName(EHeaderPart part)
{
    switch (part) {
    case EHeaderPart::Solo:
        return QStringLiteral("Solo");
    case EHeaderPart::Mute:
        return QStringLiteral("Mute");
    case EHeaderPart::Input:
        return QStringLiteral("Input");
    default:
        return QStringLiteral("Record");
    }
}

} // namespace

CViewTrackList::CViewTrackList(CTracksContext& context, QWidget* parent)
    : QWidget(parent), m_context(context)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setAcceptDrops(true);
    setAccessibleName(tr("Track list"));
    connect(&context, &CTracksContext::ViewChanged, this, &CViewTrackList::OnViewChanged);
    connect(&context, &CTracksContext::CurrentTrackChanged, this, qOverload<>(&QWidget::update));
    connect(&context, &CTracksContext::ContentChanged, this, qOverload<>(&QWidget::update));
}

void CViewTrackList::OnViewChanged()
{
    HideRename();
    const CTracksGeometry& g = m_context.Geometry();
    const auto shown = std::tuple{g.GetRowHeight(), g.GetClientHeight(),
                                  m_context.GetDoc().GetTracks().GetCount(), width()};
    const int dy = (m_shownFirstRow - g.GetFirstRow()) * g.GetRowHeight();
    const bool onlyRows =
        shown == m_shown && dy != 0 && std::abs(dy) < g.GetClientHeight() && m_dropIndex < 0;
    m_shownFirstRow = g.GetFirstRow();
    m_shown = shown;
    // Only the rows moved (the wheel, the scroll bar): shift the picture, draw the new rows.
    if (onlyRows)
        scroll(0, dy, QRect(0, 0, width(), g.GetClientHeight()));
    else
        update();
}

QSize CViewTrackList::sizeHint() const
{
    return {kListWidth, 200};
}

// ---- geometry ----

CTrack* CViewTrackList::TrackAt(int32_t row) const
{
    return m_context.GetDoc().GetTracks().GetAt(row);
}

CTrack* CViewTrackList::Current() const
{
    return m_context.GetCurrentTrackObject();
}

int CViewTrackList::IconSide() const
{
    return std::min(kMaxIcon, m_context.Geometry().GetRowHeight() - 4);
}

QRect CViewTrackList::RowRect(int32_t row) const
{
    const CTracksGeometry& g = m_context.Geometry();
    return {0, g.RowToY(row), width(), g.GetRowHeight()};
}

QRect CViewTrackList::PartRect(int32_t row, EHeaderPart part) const
{
    const QRect line = RowRect(row);
    const int side = IconSide();
    const int iconsLeft = line.right() - 2 - 4 * (side + kIconGap);
    switch (part) {
    case EHeaderPart::Number:
        return {kColourStrip, line.top(), kNumberWidth, line.height()};
    case EHeaderPart::Name:
        return {kColourStrip + kNumberWidth + 4, line.top(),
                iconsLeft - 3 - (kColourStrip + kNumberWidth + 4), line.height()};
    case EHeaderPart::None:
        return {};
    default:
        break;
    }
    const int index = static_cast<int>(part) - static_cast<int>(EHeaderPart::Solo);
    return {iconsLeft + 1 + index * (side + kIconGap), line.top() + (line.height() - side) / 2,
            side, side};
}

CHeaderHit CViewTrackList::HitTest(const QPoint& pos) const
{
    const CTracksGeometry& g = m_context.Geometry();
    if (g.GetClientHeight() > 0 && pos.y() >= g.GetClientHeight()) return {};
    const int32_t row = g.YToRow(pos.y());
    if (row < 0 || TrackAt(row) == nullptr) return {};
    for (EHeaderPart part : kSwitches)
        if (PartRect(row, part).contains(pos)) return {row, part};
    const bool number = PartRect(row, EHeaderPart::Number).contains(pos);
    return {row, number ? EHeaderPart::Number : EHeaderPart::Name};
}

int32_t CViewTrackList::InsertionIndex(int y) const
{
    const CTracksGeometry& g = m_context.Geometry();
    const int32_t count = m_context.GetDoc().GetTracks().GetCount();
    const int32_t row = g.YToRow(y);
    if (row >= count) return count;
    const bool lowerHalf = y - g.RowToY(row) >= g.GetRowHeight() / 2;
    return std::clamp(row + (lowerHalf ? 1 : 0), 0, count);
}

// ---- painting ----

bool CViewTrackList::IsOn(const CTrack& track, EHeaderPart part) const
{
    const CProjectDoc& doc = m_context.GetDoc();
    switch (part) {
    case EHeaderPart::Solo:
        return track.GetSolo() && doc.IsSoloActive();
    case EHeaderPart::Mute:
        return track.GetMute() && doc.IsMuteActive();
    case EHeaderPart::Input:
        return track.GetInput();
    case EHeaderPart::Record:
        return track.GetRecord();
    default:
        return false;
    }
}

void CViewTrackList::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const QRect exposed = event->rect();
    painter.fillRect(exposed, CTheme::PanelBackground());
    const CTracksGeometry& g = m_context.Geometry();
    // Rows end where the canvas rows do (above its scroll bar).
    if (g.GetClientHeight() > 0) painter.setClipRect(0, 0, width(), g.GetClientHeight());
    const int32_t count = m_context.GetDoc().GetTracks().GetCount();
    const int32_t first = std::max(0, g.YToRow(exposed.top()));
    const int32_t last = std::min(count - 1, g.YToRow(exposed.bottom()));
    painter.setFont(CTheme::SmallFont());
    for (int32_t row = first; row <= last; ++row)
        PaintRow(painter, row);
    if (m_dropIndex >= 0) {
        const int y = std::clamp(g.RowToY(m_dropIndex), 0, height() - 2);
        painter.fillRect(QRect(0, y - 1, width(), 2), CTheme::FocusFrame());
    }
    // The edge towards the canvas.
    painter.fillRect(QRect(width() - 1, exposed.top(), 1, exposed.height()), kRowLine);
}

void CViewTrackList::PaintRow(QPainter& painter, int32_t row)
{
    const CTrack& track = *TrackAt(row);
    const QRect line = RowRect(row);
    const bool current = row == m_context.GetCurrentTrack();
    QColor background = row % 2 == 1 ? kAlternateRow : CTheme::PanelBackground();
    if (current) background = hasFocus() ? CTheme::FocusBackground() : kCurrentRow;
    painter.fillRect(line, background);
    painter.fillRect(QRect(line.left(), line.bottom(), line.width(), 1), kRowLine);
    painter.fillRect(QRect(0, line.top(), kColourStrip, line.height() - 1),
                     CTheme::FromColourRef(track.GetColour()));

    painter.setPen(kNumberColour);
    painter.drawText(PartRect(row, EHeaderPart::Number).adjusted(0, 0, -2, 0),
                     Qt::AlignRight | Qt::AlignVCenter, QString::number(row + 1));
    const QRect nameRect = PartRect(row, EHeaderPart::Name);
    const QString name = QString::fromStdString(track.GetName());
    painter.setPen(current && hasFocus() ? CTheme::FocusFrame() : CTheme::PanelLabel());
    painter.drawText(nameRect, Qt::AlignLeft | Qt::AlignVCenter,
                     painter.fontMetrics().elidedText(name, Qt::ElideRight, nameRect.width()));
    for (EHeaderPart part : kSwitches) {
        const EArtState state = IsOn(track, part) ? EArtState::Pressed : EArtState::Normal;
        CTheme::DrawArtwork(painter, PartRect(row, part), CArtFace{ArtOf(part), state});
    }
}

// ---- mouse ----

void CViewTrackList::mousePressEvent(QMouseEvent* event)
{
    HideRename();
    setFocus(Qt::MouseFocusReason);
    const CHeaderHit hit = HitTest(event->position().toPoint());
    m_pressRow = -1;
    if (hit.row < 0 || event->button() != Qt::LeftButton) {
        if (hit.row >= 0) m_context.SetCurrentTrack(hit.row);
        return;
    }
    if (hit.part != EHeaderPart::Number && hit.part != EHeaderPart::Name) {
        ToggleSwitch(hit.row, hit.part);
        return;
    }
    m_context.SetCurrentTrack(hit.row);
    m_pressRow = hit.row;
    m_pressPos = event->position().toPoint();
}

void CViewTrackList::mouseMoveEvent(QMouseEvent* event)
{
    if (m_pressRow < 0 || !(event->buttons() & Qt::LeftButton)) return;
    if ((event->position().toPoint() - m_pressPos).manhattanLength() <
        QApplication::startDragDistance())
        return;
    const int32_t row = m_pressRow;
    m_pressRow = -1;
    const QRect line = RowRect(row);
    QPixmap picture(line.size() * devicePixelRatioF());
    picture.setDevicePixelRatio(devicePixelRatioF());
    render(&picture, QPoint(), QRegion(line));
    RunDrag(this, std::make_unique<CDragTrack>(m_context.GetDoc(), row), &picture);
}

void CViewTrackList::mouseReleaseEvent(QMouseEvent*)
{
    m_pressRow = -1;
}

void CViewTrackList::mouseDoubleClickEvent(QMouseEvent* event)
{
    const CHeaderHit hit = HitTest(event->position().toPoint());
    if (hit.part == EHeaderPart::Name || hit.part == EHeaderPart::Number) {
        m_context.SetCurrentTrack(hit.row);
        StartRename();
    } else if (hit.row >= 0 && event->button() == Qt::LeftButton) {
        ToggleSwitch(hit.row, hit.part); // a quick second click switches back
    }
}

void CViewTrackList::wheelEvent(QWheelEvent* event)
{
    const std::optional<CWheelScroll> scroll =
        WheelScrollFor(EWheelArea::TrackList, event->angleDelta().y());
    if (!scroll) {
        event->ignore();
        return;
    }
    m_context.SetFirstRow(m_context.Geometry().GetFirstRow() + scroll->amount);
    event->accept();
}

bool CViewTrackList::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QString text = ToolTipAt(help->pos());
        if (text.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), text, this);
        return true;
    }
    return QWidget::event(event);
}

QString CViewTrackList::ToolTipAt(const QPoint& pos) const
{
    const CHeaderHit hit = HitTest(pos);
    if (hit.row < 0) return tr("Track list: right click for Add, Import from MIDI file...");
    const CTrack& track = *TrackAt(hit.row);
    switch (hit.part) {
    case EHeaderPart::Number:
    case EHeaderPart::Name:
        return tr("Track %1: %2 (drag to move, double click or F2 to rename)")
            .arg(hit.row + 1)
            .arg(QString::fromStdString(track.GetName()));
    default:
        return tr("%1: %2 (click or key %3 to switch)")
            .arg(SwitchName(hit.part), IsOn(track, hit.part) ? tr("on") : tr("off"),
                 SwitchName(hit.part).left(1));
    }
}

// ---- keyboard ----

void CViewTrackList::MoveCurrent(int32_t row)
{
    const int32_t count = m_context.GetDoc().GetTracks().GetCount();
    if (count == 0) return;
    row = std::clamp(row, 0, count - 1);
    m_context.SetCurrentTrack(row);
    m_context.MakeVisible(m_context.Geometry().GetLeftTick(), row);
}

void CViewTrackList::keyPressEvent(QKeyEvent* event)
{
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    const int32_t current = m_context.GetCurrentTrack();
    const int32_t page = std::max(1, m_context.Geometry().VisibleRows() - 1);
    const bool plain = mods == Qt::NoModifier;
    switch (plain ? event->key() : 0) {
    case Qt::Key_Up:
        MoveCurrent(current < 0 ? 0 : current - 1);
        break;
    case Qt::Key_Down:
        MoveCurrent(current + 1);
        break;
    case Qt::Key_PageUp:
        MoveCurrent(current - page);
        break;
    case Qt::Key_PageDown:
        MoveCurrent(current + page);
        break;
    case Qt::Key_Home:
        MoveCurrent(0);
        break;
    case Qt::Key_End:
        MoveCurrent(m_context.GetDoc().GetTracks().GetCount() - 1);
        break;
    case Qt::Key_F2:
        StartRename();
        break;
    case Qt::Key_Insert:
        InsertTrack();
        break;
    case Qt::Key_Delete:
        DeleteTrack();
        break;
    case Qt::Key_S:
        ToggleSwitch(current, EHeaderPart::Solo);
        break;
    case Qt::Key_M:
        ToggleSwitch(current, EHeaderPart::Mute);
        break;
    case Qt::Key_I:
        ToggleSwitch(current, EHeaderPart::Input);
        break;
    case Qt::Key_R:
        ToggleSwitch(current, EHeaderPart::Record);
        break;
    case Qt::Key_Menu:
        ShowContextMenu(QPoint());
        break;
    default:
        if (event->key() == Qt::Key_F10 && mods == Qt::ShiftModifier) {
            ShowContextMenu(QPoint());
            break;
        }
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void CViewTrackList::focusInEvent(QFocusEvent* event)
{
    update();
    QWidget::focusInEvent(event);
}

void CViewTrackList::focusOutEvent(QFocusEvent* event)
{
    update();
    QWidget::focusOutEvent(event);
}

// ---- drag and drop ----

bool CViewTrackList::AcceptsPayload(const CDragPayload& payload) const
{
    return payload.GetKind() == EDragKind::Track && &payload.GetSource() == &m_context.GetDoc();
}

void CViewTrackList::ShowDropLine(int32_t index)
{
    if (index == m_dropIndex) return;
    m_dropIndex = index;
    update();
}

EDropEffect CViewTrackList::DragEnter(const CDragPayload& payload, const CDragPoint& point)
{
    return DragOver(payload, point);
}

EDropEffect CViewTrackList::DragOver(const CDragPayload& payload, const CDragPoint& point)
{
    if (!AcceptsPayload(payload)) {
        ShowDropLine(-1);
        return EDropEffect::None;
    }
    // Near the top or bottom edge the list scrolls, so that far rows can be reached.
    const int edge = m_context.Geometry().GetRowHeight() / 2;
    if (point.m_y < edge)
        m_context.SetFirstRow(m_context.Geometry().GetFirstRow() - 1);
    else if (point.m_y > height() - edge)
        m_context.SetFirstRow(m_context.Geometry().GetFirstRow() + 1);
    ShowDropLine(InsertionIndex(point.m_y));
    return EDropEffect::Move;
}

void CViewTrackList::DragLeave(const CDragPayload&)
{
    ShowDropLine(-1);
}

bool CViewTrackList::Drop(const CDragPayload& payload, const CDragPoint& point)
{
    ShowDropLine(-1);
    if (!AcceptsPayload(payload)) return false;
    const int32_t source = static_cast<const CDragTrack&>(payload).GetIndex();
    const int32_t target = InsertionIndex(point.m_y);
    // Before or right after itself, the track stays where it is.
    if (target == source || target == source + 1) return false;
    auto op = std::make_unique<COpTrackMove>(source, target);
    const int32_t placed = op->GetTarget();
    if (!m_context.GetDoc().Execute(std::move(op))) return false;
    MoveCurrent(placed);
    return true;
}

void CViewTrackList::dragEnterEvent(QDragEnterEvent* event)
{
    ForwardDragEnter(*this, event);
}

void CViewTrackList::dragMoveEvent(QDragMoveEvent* event)
{
    ForwardDragMove(*this, event);
}

void CViewTrackList::dragLeaveEvent(QDragLeaveEvent* event)
{
    CDragContext::Instance().Leave(*this);
    event->accept();
}

void CViewTrackList::dropEvent(QDropEvent* event)
{
    ForwardDrop(*this, event);
}

// ---- the project's calls ----

void CViewTrackList::TracksChanged()
{
    if (m_renaming != nullptr && m_context.GetDoc().GetTracks().IndexOf(m_renaming) < 0)
        HideRename();
    update();
}
