#include "editors/ViewPhraseList.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPixmapCache>
#include <QScrollBar>

#include <algorithm>

#include "controls/Theme.h"
#include "document/ProjectDoc.h"
#include "editing/PhraseOperations.h"
#include "editors/PhraseLiveState.h"
#include "model/Phrase.h"
#include "model/PhraseBank.h"

namespace {

// The level falls by this share of full scale every 40 ms (about a third of a second from full).
constexpr int kDecayPeriodMs = 40;
constexpr int32_t kDecayStep = 12;

const QColor kNumberColour(211, 211, 211);
const QColor kCurrentFill(0, 0, 128);
const QColor kRowLine(40, 56, 82);
const QColor kWhiteKey(236, 236, 236);
const QColor kWhiteInRange(120, 200, 255);
const QColor kBlackKey(20, 20, 20);
const QColor kBlackInRange(20, 90, 170);
const QColor kKeyLine(150, 150, 150);
const QColor kPlaying(60, 220, 90);
const QColor kWaiting(250, 190, 40);
const QColor kStopped(110, 120, 140);
const QColor kInsertMark(255, 200, 0);

QColor Lighter(const QColor& c, int by)
{
    return QColor(std::min(255, c.red() + by), std::min(255, c.green() + by),
                  std::min(255, c.blue() + by));
}

QRect ToRect(const CPixelBox& box)
{
    return {box.x, box.y, box.width, box.height};
}

} // namespace

CViewPhraseList::CViewPhraseList(CProjectDoc& doc, CPhraseBank& bank, CUserServices* user,
                                 QWidget* parent)
    : CCanvasView(parent), m_doc(doc), m_bank(bank), m_user(user)
{
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setToolTip(tr("Phrases of the bank: click a row to make it current, drag on its keyboard to "
                  "set the keys that trigger it, drag its colour handle onto a track"));
    m_geometry.SetRowCount(m_bank.GetCount());
    m_decay.setInterval(kDecayPeriodMs);
    connect(&m_decay, &QTimer::timeout, this, [this] {
        if (!CPhraseLiveStates::Instance().DecayLevels(kDecayStep)) m_decay.stop();
        RefreshChangedRows();
    });
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this,
            [this](int value) { SetFirstRow(value); });
}

CViewPhraseList::~CViewPhraseList() = default;

QSize CViewPhraseList::sizeHint() const
{
    return {520, CPhraseListGeometry::kRowHeight * 12};
}

CPhrase* CViewPhraseList::GetCurrentPhrase() const
{
    if (m_current < 0 || m_current >= m_bank.GetCount()) return nullptr;
    return &m_bank.GetPhraseAt(m_current);
}

void CViewPhraseList::SetCurrentRow(int32_t row)
{
    const int32_t count = m_bank.GetCount();
    const int32_t next = count == 0 || row < 0 ? -1 : std::min(row, count - 1);
    if (next >= 0) {
        const int32_t first = m_geometry.GetFirstRow();
        m_geometry.MakeVisible(next);
        if (first != m_geometry.GetFirstRow()) SetFirstRow(m_geometry.GetFirstRow());
    }
    m_currentPhrase = next >= 0 ? &m_bank.GetPhraseAt(next) : nullptr;
    m_currentLost = false;
    m_current = next;
    RefreshChangedRows();
    EmitIfCurrentChanged();
}

void CViewPhraseList::EmitIfCurrentChanged()
{
    const CPhrase* phrase = GetCurrentPhrase();
    if (m_current == m_emittedRow && phrase == m_emittedPhrase) return;
    m_emittedRow = m_current;
    m_emittedPhrase = phrase;
    emit CurrentChanged();
}

void CViewPhraseList::SetFirstRow(int32_t row)
{
    const int32_t before = m_geometry.GetFirstRow();
    m_geometry.SetFirstRow(row);
    SyncScrollBar();
    if (before == m_geometry.GetFirstRow()) return;
    if (m_nameEditor != nullptr && m_nameEditor->isVisible()) HideRename();
    m_drawn.clear();
    InvalidateContent();
}

void CViewPhraseList::SyncScrollBar()
{
    QScrollBar* bar = verticalScrollBar();
    const QSignalBlocker quiet(bar);
    bar->setRange(0, m_geometry.GetMaxFirstRow());
    bar->setPageStep(m_geometry.GetPageRows());
    bar->setSingleStep(1);
    bar->setValue(m_geometry.GetFirstRow());
}

// ---- bank changes ----

void CViewPhraseList::PhraseInserted(int32_t index)
{
    const bool returning = m_currentLost && index >= 0 && index < m_bank.GetCount() &&
                           &m_bank.GetPhraseAt(index) == m_currentPhrase;
    if (returning) {
        m_current = index;
        m_currentLost = false;
    } else if (m_current >= index) {
        ++m_current;
    }
    RowsChanged();
}

void CViewPhraseList::PhraseRemoved(int32_t index)
{
    if (m_renaming != nullptr && m_bank.IndexOf(m_renaming) < 0) HideRename();
    if (m_current == index)
        m_currentLost = true;
    else if (m_current > index)
        --m_current;
    RowsChanged();
}

void CViewPhraseList::RowsChanged()
{
    const int32_t count = m_bank.GetCount();
    const int32_t first = m_geometry.GetFirstRow();
    m_geometry.SetRowCount(count);
    SyncScrollBar();
    if (m_current >= count) m_current = count - 1;
    if (!m_currentLost) m_currentPhrase = GetCurrentPhrase();
    if (first != m_geometry.GetFirstRow()) {
        m_drawn.clear();
        InvalidateContent();
    }
    RefreshChangedRows();
    EmitIfCurrentChanged();
}

void CViewPhraseList::PlayStatesChanged()
{
    bool lit = false;
    for (int32_t i = 0; i < m_bank.GetCount() && !lit; ++i) {
        const CPhraseLive* live = CPhraseLiveStates::Instance().Find(m_bank.GetPhraseAt(i));
        lit = live != nullptr && live->level > 0;
    }
    if (lit && !m_decay.isActive()) m_decay.start();
    RefreshChangedRows();
}

CViewPhraseList::SRowLook CViewPhraseList::LookOf(int32_t row) const
{
    SRowLook look;
    if (row < 0 || row >= m_bank.GetCount()) return look;
    const CPhrase& phrase = m_bank.GetPhraseAt(row);
    look.phrase = &phrase;
    look.name = phrase.GetName();
    look.colour = phrase.GetColour();
    look.from = phrase.GetTriggerFrom();
    look.to = phrase.GetTriggerTo();
    look.current = row == m_current;
    look.playPressed = row == m_playHeld;
    if (const CPhraseLive* live =
            m_doc.IsActive() ? CPhraseLiveStates::Instance().Find(phrase) : nullptr) {
        look.solo = live->solo && m_doc.IsSoloActive();
        look.mute = live->mute && m_doc.IsMuteActive();
        look.state = live->IsPlaying() ? 2 : live->IsWaiting() ? 1 : 0;
        const int32_t height = CPhraseListGeometry::kRowHeight - 6;
        look.levelPixels = static_cast<int16_t>(live->level * height / CPhraseLive::kFullLevel);
    }
    return look;
}

void CViewPhraseList::RefreshChangedRows()
{
    const int32_t first = m_geometry.GetFirstRow();
    const int32_t rows = m_geometry.GetPageRows() + 1;
    m_drawn.resize(static_cast<size_t>(rows));
    for (int32_t i = 0; i < rows; ++i) {
        SRowLook& drawn = m_drawn[static_cast<size_t>(i)];
        const SRowLook now = LookOf(first + i);
        if (drawn == now) continue;
        // While phrases play, mostly the state and level change: then only their zone is drawn.
        SRowLook stateOnly = drawn;
        stateOnly.state = now.state;
        stateOnly.levelPixels = now.levelPixels;
        const bool onlyState = drawn.phrase != nullptr && stateOnly == now;
        // Marked as drawn now, so a second refresh before the paint asks for nothing more.
        drawn = now;
        if (!m_geometry.IsRowVisible(first + i)) continue;
        const EPhraseZone zone = onlyState ? EPhraseZone::State : EPhraseZone::Row;
        InvalidateContent(ToRect(m_geometry.ZoneBox(first + i, zone)));
    }
}

// ---- painting ----

void CViewPhraseList::resizeEvent(QResizeEvent* event)
{
    m_geometry.SetClientSize(viewport()->width(), viewport()->height());
    SyncScrollBar();
    m_drawn.clear();
    CCanvasView::resizeEvent(event);
}

void CViewPhraseList::scrollContentsBy(int, int)
{
    // The scroll bar's value is the first row; SetFirstRow redraws.
}

void CViewPhraseList::PaintContent(QPainter& painter, const QRect& exposed)
{
    painter.fillRect(exposed, CTheme::PanelBackground());
    painter.setFont(CTheme::SmallFont());
    const int32_t first = m_geometry.GetFirstRow();
    const int32_t top = std::max(first, m_geometry.RowAtY(exposed.top()));
    const int32_t bottom = std::min(m_bank.GetCount() - 1, m_geometry.RowAtY(exposed.bottom()));
    m_drawn.resize(static_cast<size_t>(std::max<int32_t>(
        static_cast<int32_t>(m_drawn.size()), m_geometry.GetPageRows() + 1)));
    for (int32_t row = top; row <= bottom; ++row) {
        const SRowLook look = LookOf(row);
        const size_t slot = static_cast<size_t>(row - first);
        if (slot < m_drawn.size()) m_drawn[slot] = look;
        const CPixelBox state = m_geometry.ZoneBox(row, EPhraseZone::State);
        const bool stateOnly = exposed.left() >= state.x && exposed.right() < state.x + state.width;
        PaintRow(painter, row, look, stateOnly);
        ++m_rowPaints;
    }
}

void CViewPhraseList::PaintRow(QPainter& painter, int32_t row, const SRowLook& look,
                               bool stateOnly)
{
    const QRect line = ToRect(m_geometry.RowBox(row));
    if (look.current) {
        painter.fillRect(line, kCurrentFill);
        painter.setPen(Qt::white);
        painter.drawRect(line.adjusted(0, 0, -1, -1));
    } else {
        painter.setPen(kRowLine);
        painter.drawLine(line.bottomLeft(), line.bottomRight());
    }
    if (stateOnly) {
        PaintState(painter, m_geometry.ZoneBox(row, EPhraseZone::State), look);
        return;
    }
    auto box = [&](EPhraseZone zone) { return ToRect(m_geometry.ZoneBox(row, zone)); };

    painter.setPen(kNumberColour);
    painter.drawText(box(EPhraseZone::Number).adjusted(0, 0, -4, 0),
                     Qt::AlignRight | Qt::AlignVCenter, QString::asprintf("%d", row + 1));
    auto icon = [&](EPhraseZone zone, EArtwork art, bool down) {
        const QRect r = box(zone);
        const int side = std::min(r.width(), r.height()) - 4;
        const QRect face(r.center().x() - side / 2, r.center().y() - side / 2, side, side);
        CTheme::DrawArtwork(painter, face,
                            CArtFace{art, down ? EArtState::Pressed : EArtState::Normal});
    };
    icon(EPhraseZone::Solo, EArtwork::Solo, look.solo);
    icon(EPhraseZone::Mute, EArtwork::Mute, look.mute);
    icon(EPhraseZone::Play, EArtwork::Play, look.playPressed);
    icon(EPhraseZone::Stop, EArtwork::Stop, false);

    const QRect name = box(EPhraseZone::Name).adjusted(4, 0, -2, 0);
    painter.setPen(Qt::white);
    const QString text = QString::fromStdString(look.name);
    painter.drawText(name, Qt::AlignLeft | Qt::AlignVCenter,
                     painter.fontMetrics().elidedText(text, Qt::ElideRight, name.width()));

    // The handle is the phrase's colour as a small raised swatch.
    const QRect swatch = box(EPhraseZone::Handle).adjusted(2, 4, -2, -4);
    const QColor colour = CTheme::FromColourRef(look.colour);
    painter.fillRect(swatch, colour);
    painter.setPen(Lighter(colour, 90));
    painter.drawLine(swatch.topLeft(), swatch.topRight());
    painter.drawLine(swatch.topLeft(), swatch.bottomLeft());
    painter.setPen(colour.darker(220));
    painter.drawLine(swatch.bottomLeft(), swatch.bottomRight());
    painter.drawLine(swatch.topRight(), swatch.bottomRight());

    PaintState(painter, m_geometry.ZoneBox(row, EPhraseZone::State), look);
    PaintKeyboard(painter, m_geometry.ZoneBox(row, EPhraseZone::Keys), look.from, look.to);
}

namespace {

// The play-state mark, drawn once per state and ratio: while many phrases play, their rows are
// drawn again on every change, and copying a small picture costs far less than antialiasing a
// shape. A dot for a stopped phrase, an outlined triangle while a start waits for its beat, a
// filled one while it plays. The picture has a margin of 2 for the pen.
QPixmap StateMark(int8_t state, qreal ratio)
{
    const QString key = QStringLiteral("tw-phrase-state-%1-%2").arg(state).arg(ratio);
    QPixmap mark;
    if (QPixmapCache::find(key, &mark)) return mark;
    mark = QPixmap(QSize(14, 14) * ratio);
    mark.setDevicePixelRatio(ratio);
    mark.fill(Qt::transparent);
    QPainter painter(&mark);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF shape(2, 2, 10, 10);
    if (state == 0) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(kStopped);
        painter.drawEllipse(shape.center(), 2.5, 2.5);
    } else {
        const QPointF tri[3] = {shape.topLeft(), shape.bottomLeft(),
                                QPointF(shape.right(), shape.center().y())};
        const QColor c = state == 2 ? kPlaying : kWaiting;
        painter.setPen(QPen(c, 1.2));
        painter.setBrush(state == 2 ? QBrush(c) : QBrush(Qt::NoBrush));
        painter.drawPolygon(tri, 3);
    }
    painter.end();
    QPixmapCache::insert(key, mark);
    return mark;
}

} // namespace

void CViewPhraseList::PaintState(QPainter& painter, const CPixelBox& box,
                                 const SRowLook& look) const
{
    // The mark, then the level as a bar growing upwards.
    painter.drawPixmap(QPoint(box.x + 1, box.y + 3),
                       StateMark(look.state, painter.device()->devicePixelRatioF()));
    const QRect well(box.x + 17, box.y + 3, 6, box.height - 6);
    painter.fillRect(well, QColor(10, 16, 26));
    if (look.levelPixels > 0)
        painter.fillRect(QRect(well.left(), well.bottom() + 1 - look.levelPixels, well.width(),
                               look.levelPixels),
                         kPlaying);
}

void CViewPhraseList::PaintKeyboard(QPainter& painter, const CPixelBox& zone, uint8_t from,
                                    uint8_t to) const
{
    // Most phrases share a few ranges, so each keyboard picture is drawn once per size, ratio
    // and range.
    const qreal ratio = painter.device()->devicePixelRatioF();
    const QString key = QStringLiteral("tw-keys-%1-%2-%3-%4-%5")
                            .arg(zone.width)
                            .arg(zone.height)
                            .arg(ratio)
                            .arg(from)
                            .arg(to);
    QPixmap picture;
    if (!QPixmapCache::find(key, &picture)) {
        picture = QPixmap(QSize(zone.width, zone.height) * ratio);
        picture.setDevicePixelRatio(ratio);
        picture.fill(CTheme::PanelBackground());
        QPainter p(&picture);
        DrawKeyboard(p, CPixelBox{0, 0, zone.width, zone.height}, from, to);
        p.end();
        QPixmapCache::insert(key, picture);
    }
    painter.drawPixmap(zone.x, zone.y, picture);
}

void CViewPhraseList::DrawKeyboard(QPainter& painter, const CPixelBox& zone, uint8_t from,
                                   uint8_t to)
{
    const CKeyboardGeometry keys(zone.width, zone.height);
    const int32_t w = keys.GetWhiteWidth();
    auto place = [&](const CPixelBox& b) {
        return QRect(zone.x + b.x, zone.y + b.y, b.width, b.height);
    };
    painter.fillRect(QRect(zone.x, zone.y, keys.GetKeysWidth(), zone.height), kWhiteKey);
    // The white keys in the range form one run: from the first white key at or after from to the
    // last at or before to.
    int32_t low = from;
    while (low <= to && CKeyboardGeometry::IsBlack(low))
        ++low;
    int32_t high = to;
    while (high >= from && CKeyboardGeometry::IsBlack(high))
        --high;
    if (low <= high) {
        const QRect a = place(keys.KeyBox(low));
        const QRect b = place(keys.KeyBox(high));
        painter.fillRect(QRect(a.topLeft(), b.bottomRight()), kWhiteInRange);
    }
    if (w >= 3) {
        painter.setPen(kKeyLine);
        for (int32_t i = 1; i < CKeyboardGeometry::kWhiteKeys; ++i) {
            const int32_t x = zone.x + i * w;
            painter.drawLine(x, zone.y, x, zone.y + zone.height - 1);
        }
    }
    for (int32_t key = 1; key < CKeyboardGeometry::kKeys; ++key) {
        if (!CKeyboardGeometry::IsBlack(key)) continue;
        const bool in = key >= from && key <= to;
        painter.fillRect(place(keys.KeyBox(key)), in ? kBlackInRange : kBlackKey);
    }
}

void CViewPhraseList::PaintOverlays(QPainter& painter, const QRect&)
{
    if (m_insertRow < 0) return;
    const int32_t y = m_geometry.RowTop(m_insertRow);
    painter.fillRect(QRect(0, y - 1, viewport()->width(), 3), kInsertMark);
}

void CViewPhraseList::SetInsertionRow(int32_t row)
{
    if (row == m_insertRow) return;
    auto strip = [this](int32_t at) {
        if (at >= 0) RepaintStrip(QRect(0, m_geometry.RowTop(at) - 2, viewport()->width(), 5));
    };
    strip(m_insertRow);
    m_insertRow = row;
    strip(m_insertRow);
}

// ---- keys ----

bool CViewPhraseList::event(QEvent* event)
{
    // Control+Space plays the current phrase here, before the window's play/stop key takes it;
    // M and / are the list's own keys.
    if (event->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
        if ((key->key() == Qt::Key_Space && mods == Qt::ControlModifier) ||
            ((key->key() == Qt::Key_M || key->key() == Qt::Key_Slash) && mods == Qt::NoModifier)) {
            event->accept();
            return true;
        }
    }
    return CCanvasView::event(event);
}

void CViewPhraseList::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    const bool plain = mods == Qt::NoModifier;
    const int32_t count = m_bank.GetCount();
    const int32_t page = m_geometry.GetPageRows();
    const int32_t at = m_current < 0 ? (key == Qt::Key_Up ? count : -1) : m_current;
    if (key == Qt::Key_Up && plain) {
        SetCurrentRow(std::max(0, at - 1));
    } else if (key == Qt::Key_Down && plain) {
        SetCurrentRow(std::min(count - 1, at + 1));
    } else if (key == Qt::Key_PageUp && plain) {
        SetCurrentRow(std::max(0, at - page));
    } else if (key == Qt::Key_PageDown && plain) {
        SetCurrentRow(std::min(count - 1, std::max(0, at + page)));
    } else if (key == Qt::Key_Home && plain) {
        SetCurrentRow(0);
    } else if (key == Qt::Key_End && plain) {
        SetCurrentRow(count - 1);
    } else if (key == Qt::Key_Space && mods == Qt::ControlModifier) {
        Run(EPhraseCommand::Play);
    } else if (key == Qt::Key_M && plain) {
        Run(EPhraseCommand::Mute);
    } else if (key == Qt::Key_Slash && plain) {
        Run(EPhraseCommand::Solo);
    } else if ((key == Qt::Key_Return || key == Qt::Key_Enter) && plain) {
        Run(EPhraseCommand::OpenEditor);
    } else if (key == Qt::Key_Insert && plain) {
        Run(EPhraseCommand::Insert);
    } else if (key == Qt::Key_Delete && plain) {
        Run(EPhraseCommand::Delete);
    } else if (key == Qt::Key_F2 && plain) {
        Run(EPhraseCommand::Rename);
    } else if (key == Qt::Key_Plus && mods == Qt::ControlModifier) {
        Run(EPhraseCommand::Add);
    } else if (key == Qt::Key_Menu || (key == Qt::Key_F10 && mods == Qt::ShiftModifier)) {
        ShowContextMenu(QPoint(), true);
    } else {
        CCanvasView::keyPressEvent(event);
        return;
    }
    event->accept();
}

// ---- renaming in place ----

void CViewPhraseList::StartRename()
{
    CPhrase* phrase = GetCurrentPhrase();
    if (phrase == nullptr) return;
    if (m_nameEditor == nullptr) {
        m_nameEditor = new QLineEdit(viewport());
        m_nameEditor->setFrame(false);
        m_nameEditor->setFont(CTheme::SmallFont());
        m_nameEditor->setToolTip(tr("New name of the phrase: Return keeps it, Escape cancels"));
        connect(m_nameEditor, &QLineEdit::returnPressed, this, &CViewPhraseList::CommitRename);
        connect(m_nameEditor, &QLineEdit::editingFinished, this, [this] {
            if (m_nameEditor != nullptr && !m_nameEditor->hasFocus()) HideRename();
        });
        m_nameEditor->installEventFilter(this);
    }
    m_geometry.MakeVisible(m_current);
    SetFirstRow(m_geometry.GetFirstRow());
    m_renaming = phrase;
    m_nameEditor->setGeometry(ToRect(m_geometry.ZoneBox(m_current, EPhraseZone::Name)));
    m_nameEditor->setText(QString::fromStdString(phrase->GetName()));
    m_nameEditor->selectAll();
    m_nameEditor->show();
    m_nameEditor->setFocus();
}

void CViewPhraseList::CommitRename()
{
    if (m_renaming == nullptr || m_nameEditor == nullptr) return;
    CPhrase* phrase = m_renaming;
    const std::string name = m_nameEditor->text().toStdString();
    HideRename();
    setFocus();
    if (m_bank.IndexOf(phrase) >= 0 && name != phrase->GetName())
        Execute(std::make_unique<COpPhraseRename>(*phrase, name));
}

void CViewPhraseList::HideRename()
{
    m_renaming = nullptr;
    if (m_nameEditor != nullptr) m_nameEditor->hide();
}

bool CViewPhraseList::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_nameEditor) return CCanvasView::eventFilter(watched, event);
    const int key = event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride
                        ? static_cast<QKeyEvent*>(event)->key()
                        : 0;
    // Return and Escape belong to the name editor, not to the window's keys.
    if (event->type() == QEvent::ShortcutOverride &&
        (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape)) {
        event->accept();
        return true;
    }
    if (event->type() == QEvent::KeyPress && key == Qt::Key_Escape) {
        HideRename();
        setFocus();
        return true;
    }
    return CCanvasView::eventFilter(watched, event);
}
