#include "editors/PropertyPanel.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

#include <algorithm>

#include "controls/EditValue.h"
#include "controls/Theme.h"
#include "document/ProjectDoc.h"
#include "engine/MidiEngineProxy.h"
#include "model/Track.h"
#include "model/TrackList.h"

namespace {

constexpr int kPanelWidth = 136;
constexpr int kMargin = 2;
constexpr int32_t kNoChoice = -1;
constexpr uint8_t kNotSet = CTrack::kNotSet;

QLabel* SmallLabel(const QString& text, QWidget* parent, Qt::Alignment alignment)
{
    auto* label = new QLabel(text, parent);
    label->setFont(CTheme::SmallFont());
    label->setAlignment(alignment);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, CTheme::PanelLabel());
    label->setPalette(palette);
    return label;
}

} // namespace

std::optional<CBytePair> EditedRange(CBytePair stored, bool low, int32_t value)
{
    CBytePair pair = stored;
    const int32_t byte = std::clamp(value, 0, 255);
    if (low)
        pair.m_from = static_cast<uint8_t>(std::min<int32_t>(byte, stored.m_to));
    else
        pair.m_to = static_cast<uint8_t>(std::max<int32_t>(byte, stored.m_from));
    if (pair.m_from == stored.m_from && pair.m_to == stored.m_to) return std::nullopt;
    return pair;
}

// ---- collapse button ----

CCollapseButton::CCollapseButton(QWidget* parent) : QAbstractButton(parent)
{
    setCheckable(true);
    setFocusPolicy(Qt::StrongFocus);
    setFixedSize(kSide, kSide);
}

void CCollapseButton::paintEvent(QPaintEvent*)
{
    // Boxes and strokes without antialiasing: one-pixel lines stay crisp at any ratio.
    QPainter p(this);
    const QRect box = rect().adjusted(0, 0, -1, -1);
    p.fillRect(box, hasFocus() ? CTheme::FocusBackground() : CTheme::DisplayBackground());
    p.setPen(hasFocus() ? CTheme::FocusFrame() : CTheme::Frame());
    p.drawRect(box);
    p.setPen(CTheme::PanelLabel());
    const int mid = box.center().y();
    const int centre = box.center().x();
    p.drawLine(box.left() + 3, mid, box.right() - 3, mid);
    // Checked means collapsed: the plus says the panel opens again.
    if (isChecked()) p.drawLine(centre, box.top() + 3, centre, box.bottom() - 3);
}

void CCollapseButton::keyPressEvent(QKeyEvent* event)
{
    // Space usually belongs to the transport; Return switches the panel as well.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        event->modifiers() == Qt::NoModifier) {
        click();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

// ---- panel ----

CPropertyPanel::CPropertyPanel(CProjectDoc& doc, const QString& title, QWidget* parent)
    : QWidget(parent), m_doc(doc)
{
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, CTheme::PanelBackground());
    setPalette(palette);

    m_collapse = new CCollapseButton(this);
    m_title = SmallLabel(title, this, Qt::AlignLeft | Qt::AlignVCenter);
    m_body = new QWidget(this);
    m_grid = new QGridLayout(m_body);
    m_grid->setContentsMargins(0, 0, 0, 0);
    m_grid->setHorizontalSpacing(2);
    m_grid->setVerticalSpacing(1);
    m_grid->setColumnStretch(1, 1);
    m_grid->setColumnStretch(2, 1);

    auto* header = new QHBoxLayout;
    header->setSpacing(4);
    header->addWidget(m_collapse);
    header->addWidget(m_title, 1);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    column->setSpacing(3);
    column->addLayout(header);
    column->addWidget(m_body);
    column->addStretch(1);

    connect(m_collapse, &QAbstractButton::clicked, this,
            [this](bool checked) { SetCollapsed(checked); });
    SetCollapsed(false);
}

void CPropertyPanel::SetCollapsed(bool collapsed)
{
    const bool changed = collapsed != m_collapsed;
    m_collapsed = collapsed;
    m_collapse->setChecked(collapsed);
    m_collapse->setToolTip(collapsed ? tr("Show the %1 properties").arg(m_title->text())
                                     : tr("Hide the %1 properties").arg(m_title->text()));
    m_title->setVisible(!collapsed);
    m_body->setVisible(!collapsed);
    setFixedWidth(collapsed ? CCollapseButton::kSide + 2 * kMargin : kPanelWidth);
    if (changed) emit CollapsedChanged(collapsed);
}

// ---- building ----

CEditNumber* CPropertyPanel::Box(CEditNumber* box, int32_t lower, int32_t upper, int32_t small,
                                 int32_t large)
{
    box->SetLimits(lower, upper);
    box->SetSteps(small, large);
    return box;
}

int CPropertyPanel::AddLabel(const QString& label)
{
    const int row = m_grid->rowCount();
    m_grid->addWidget(SmallLabel(label, m_body, Qt::AlignLeft | Qt::AlignVCenter), row, 0);
    return row;
}

void CPropertyPanel::AddSection(const QString& text)
{
    m_grid->addWidget(SmallLabel(text, m_body, Qt::AlignCenter), m_grid->rowCount(), 0, 1, 3);
}

void CPropertyPanel::Bind(CControl control, int row, int span)
{
    control.widget->setParent(m_body);
    control.widget->setFont(CTheme::SmallFont());
    m_grid->addWidget(control.widget, row, 1, 1, span);
    const size_t index = m_controls.size();
    if (auto* box = qobject_cast<CEditNumber*>(control.widget)) {
        connect(box, &CEditValue::ValueChanged, this, [this, index] { OnChanged(index); });
    } else if (auto* list = qobject_cast<CSelectList*>(control.widget)) {
        connect(list, &CSelectList::ValueChanged, this, [this, index] { OnChanged(index); });
        connect(list, &CSelectList::Clicked, this, [this, index] { OnPortClicked(index); });
    }
    m_controls.push_back(control);
}

CEditNumber* CPropertyPanel::AddNumber(const QString& label, CEditNumber* box, const QString& name,
                                       int32_t number, int32_t neutral, int32_t offset)
{
    box->SetName(name);
    Bind(CControl{box, number, EBinding::Number, neutral, offset}, AddLabel(label), 2);
    return box;
}

CEditNumber* CPropertyPanel::ByteBox()
{
    return Box(new CEditNumber, 0, 127, 1, 16);
}

CEditNumber* CPropertyPanel::AddDelay(int32_t number)
{
    auto* delay = new CEditTime(CEditTime::EForm::Length);
    delay->SetLimits(-3840, 3840);
    return AddNumber(QStringLiteral("delay"), delay, QStringLiteral("Delay"), number, 0);
}

CEditNumber* CPropertyPanel::AddUndefinable(const QString& label, CEditNumber* box,
                                            const QString& name, int32_t number, int32_t neutral)
{
    AddNumber(label, box, name, number, neutral);
    box->SetFlags(box->GetFlags() | CEditValue::kFlagUndefinable);
    m_controls.back().binding = EBinding::Undefinable;
    return box;
}

CSelectList* CPropertyPanel::AddChoice(const QString& label, const QString& name, int32_t number,
                                       std::vector<CSelectItem> items)
{
    auto* list = new CSelectList(CSelectList::EMode::OwnList, m_body);
    list->SetName(name);
    list->SetItems(std::move(items));
    Bind(CControl{list, number, EBinding::Choice, kNoChoice}, AddLabel(label), 2);
    return list;
}

CSelectList* CPropertyPanel::AddFlag(const QString& label, const QString& name, int32_t number,
                                     const QString& on, const QString& off)
{
    CSelectList* list =
        AddChoice(label, name, number, {{1, on, {}, false, {}}, {2, off, {}, false, {}}});
    m_controls.back().binding = EBinding::Flag;
    return list;
}

CSelectList* CPropertyPanel::AddPort(const QString& label, const QString& name, int32_t number,
                                     uint16_t kind, int count, bool withTracks)
{
    auto* list = new CSelectList(CSelectList::EMode::NotifyOnly, m_body);
    list->SetName(name);
    CControl control{list, number, EBinding::Port, kNoChoice};
    control.kind = kind;
    control.count = count;
    control.withTracks = withTracks;
    Bind(control, AddLabel(label), 2);
    return list;
}

void CPropertyPanel::AddRangePair(const QString& label, CEditNumber* from, const QString& fromName,
                                  CEditNumber* to, const QString& toName, int32_t number)
{
    const int row = AddLabel(label);
    const size_t index = m_pairs.size();
    int column = 1;
    for (auto [box, name, low] : {std::tuple{from, fromName, true}, {to, toName, false}}) {
        box->setParent(m_body);
        box->setFont(CTheme::SmallFont());
        box->SetName(name);
        m_grid->addWidget(box, row, column++);
        connect(box, &CEditValue::ValueChanged, this,
                [this, index, low = low] { OnPairChanged(index, low); });
    }
    m_pairs.push_back(CPair{from, to, number});
}

// ---- showing ----

void CPropertyPanel::Refresh()
{
    const bool attached = HasObject();
    for (const CControl& control : m_controls) {
        control.widget->setEnabled(attached);
        if (auto* time = qobject_cast<CEditTime*>(control.widget))
            time->SetTimeSignature(m_doc.GetTimeSignature());
        const std::optional<int64_t> value = attached ? ReadProperty(control.number) : std::nullopt;
        if (value)
            ShowValue(control, *value);
        else
            ShowNeutral(control);
    }
    for (const CPair& pair : m_pairs) {
        pair.from->setEnabled(attached);
        pair.to->setEnabled(attached);
        const std::optional<int64_t> packed = attached ? ReadProperty(pair.number) : std::nullopt;
        const std::optional<CBytePair> value = packed ? UnpackBytePair(*packed) : std::nullopt;
        pair.from->SetValue(value ? value->m_from : 0);
        pair.to->SetValue(value ? value->m_to : 127);
    }
    Refreshed();
}

void CPropertyPanel::ShowNeutral(const CControl& control)
{
    if (auto* box = qobject_cast<CEditNumber*>(control.widget)) {
        box->SetValue(control.neutral);
        return;
    }
    auto* list = static_cast<CSelectList*>(control.widget);
    list->SetSelection(kNoChoice,
                       control.binding == EBinding::Port ? QStringLiteral("-") : QString());
}

void CPropertyPanel::ShowValue(const CControl& control, int64_t value)
{
    switch (control.binding) {
    case EBinding::Number:
        static_cast<CEditNumber*>(control.widget)
            ->SetValue(static_cast<int32_t>(value + control.offset));
        return;
    case EBinding::Undefinable:
        static_cast<CEditNumber*>(control.widget)
            ->SetValue(value > 127 ? CEditNumber::kUndefined : static_cast<int32_t>(value));
        return;
    case EBinding::Choice:
    case EBinding::Flag: {
        auto* list = static_cast<CSelectList*>(control.widget);
        const int32_t choice =
            control.binding == EBinding::Flag ? (value != 0 ? 1 : 2) : static_cast<int32_t>(value);
        if (const CSelectItem* item = list->FindItem(choice))
            list->SetSelection(choice, item->shortText);
        else
            list->SetSelection(kNoChoice, QString());
        return;
    }
    case EBinding::Port: {
        const CNodeAddress address = UnpackNodeAddress(value).value_or(CNodeAddress());
        static_cast<CSelectList*>(control.widget)
            ->SetSelection(EntryOf(address), AddressText(address));
        return;
    }
    }
}

QString CPropertyPanel::PortName(CMidiEngineProxy& engine, const CNodeAddress& address)
{
    const std::string name = engine.GetNodeName(address);
    if (!name.empty()) return QString::fromStdString(name);
    const bool input = address.m_kind == CNodeAddress::kKindInputPort;
    return (input ? QStringLiteral("Inp%1") : QStringLiteral("Out%1")).arg(address.m_index + 1);
}

QString CPropertyPanel::AddressText(const CNodeAddress& address) const
{
    switch (address.m_kind) {
    case CNodeAddress::kKindOutputPort:
    case CNodeAddress::kKindInputPort:
        return PortName(m_doc.GetEngineProxy(), address);
    case CNodeAddress::kKindTrack: {
        const CTrackList& tracks = m_doc.GetTracks();
        for (int32_t i = 0; i < tracks.GetCount(); ++i)
            if (tracks.GetAt(i)->GetId() == address.m_index)
                return QStringLiteral("Tr%1: %2")
                    .arg(i + 1)
                    .arg(QString::fromStdString(tracks.GetAt(i)->GetName()));
        return QString();
    }
    default:
        return QStringLiteral("-");
    }
}

// ---- changes ----

std::vector<CSelectItem> CPropertyPanel::PortItems(uint16_t kind, int count, bool withTracks) const
{
    std::vector<CSelectItem> items;
    if (withTracks) {
        CSelectItem tracks{0, tr("To tracks"), {}, false, {}};
        const CTrackList& list = m_doc.GetTracks();
        for (int32_t i = 0; i < list.GetCount(); ++i)
            tracks.submenu.push_back(CSelectItem{
                kTrackEntry + i,
                AddressText(CNodeAddress(CNodeAddress::kKindTrack, list.GetAt(i)->GetId())),
                {},
                false,
                {}});
        // An empty submenu cannot be chosen from; it still says where tracks would be.
        if (tracks.submenu.empty()) tracks.submenu.push_back(CSelectItem::Separator());
        items.push_back(std::move(tracks));
    }
    for (int port = 0; port < count; ++port)
        items.push_back(CSelectItem{
            port, PortName(m_doc.GetEngineProxy(), CNodeAddress(kind, port)), {}, false, {}});
    return items;
}

int32_t CPropertyPanel::EntryOf(const CNodeAddress& address) const
{
    if (address.m_kind == CNodeAddress::kKindTrack) {
        const CTrackList& tracks = m_doc.GetTracks();
        for (int32_t i = 0; i < tracks.GetCount(); ++i)
            if (tracks.GetAt(i)->GetId() == address.m_index) return kTrackEntry + i;
        return kNoChoice;
    }
    return address.IsNone() ? kNoChoice : address.m_index;
}

CNodeAddress CPropertyPanel::AddressOfEntry(uint16_t kind, int32_t entry) const
{
    if (entry < kTrackEntry) return CNodeAddress(kind, entry);
    const CTrack* track = m_doc.GetTracks().GetAt(entry - kTrackEntry);
    return track != nullptr ? CNodeAddress(CNodeAddress::kKindTrack, track->GetId())
                            : CNodeAddress();
}

void CPropertyPanel::OnChanged(size_t index)
{
    if (!HasObject()) return;
    const CControl& control = m_controls[index];
    int64_t value = 0;
    if (auto* box = qobject_cast<CEditNumber*>(control.widget)) {
        const bool none = control.binding == EBinding::Undefinable && box->IsUndefined();
        value = none ? kNotSet : int64_t{box->GetValue()} - control.offset;
    } else {
        const int32_t choice = static_cast<CSelectList*>(control.widget)->GetValue();
        value = control.binding == EBinding::Flag ? (choice == 1 ? 1 : 0) : choice;
    }
    WriteProperty(control.number, value);
    Refresh();
}

void CPropertyPanel::OnPortClicked(size_t index)
{
    const CControl& control = m_controls[index];
    if (!HasObject() || control.binding != EBinding::Port) return;
    const std::optional<int32_t> chosen =
        static_cast<CSelectList*>(control.widget)
            ->RunPopup(PortItems(control.kind, control.count, control.withTracks));
    if (!chosen) return;
    const CNodeAddress address = AddressOfEntry(control.kind, *chosen);
    if (address.IsNone()) return;
    WriteProperty(control.number, PackNodeAddress(address));
    Refresh();
}

void CPropertyPanel::OnPairChanged(size_t index, bool low)
{
    const CPair& pair = m_pairs[index];
    const std::optional<int64_t> packed = ReadProperty(pair.number);
    const std::optional<CBytePair> stored = packed ? UnpackBytePair(*packed) : std::nullopt;
    if (stored) {
        const CEditNumber* box = low ? pair.from : pair.to;
        if (const std::optional<CBytePair> edited = EditedRange(*stored, low, box->GetValue()))
            WriteProperty(pair.number, PackBytePair(*edited));
    }
    // A limited or refused entry shows what is stored.
    Refresh();
}
