#pragma once
// A popup selector: a box showing the short text of the chosen item. Items are (value, short
// text, long text) entries with optional separators and submenus; the popup lists the long texts
// (the short text where the long one is empty).
//
// Two uses: with EMode::OwnList the box opens its own list on a click and emits ValueChanged when
// an entry is chosen (the note-value selectors); with EMode::NotifyOnly a click only takes the
// focus and emits Clicked, and the owner builds the list, shows it with RunPopup and stores the
// chosen value and text. User-interface thread only.

#include <QString>
#include <QWidget>

#include <cstdint>
#include <optional>
#include <vector>

class QMenu;

struct CSelectItem {
    int32_t value = 0;
    QString shortText;
    QString longText;
    bool separator = false;
    std::vector<CSelectItem> submenu; // non-empty: the entry opens these

    static CSelectItem Separator()
    {
        CSelectItem item;
        item.separator = true;
        return item;
    }
    // What the popup lists for the entry.
    const QString& MenuText() const { return longText.isEmpty() ? shortText : longText; }
};

// The note-value table (grid, snap and quantize choosers) as selector items, "Off" first.
std::vector<CSelectItem> NoteValueItems();

class CSelectList : public QWidget {
    Q_OBJECT
public:
    enum class EMode { OwnList, NotifyOnly };
    // Notification codes, for owners that dispatch on one code.
    static constexpr int kNotifyValueChanged = 18600;
    static constexpr int kNotifyClicked = 18603;

    explicit CSelectList(EMode mode = EMode::OwnList, QWidget* parent = nullptr);

    void SetId(int id) { m_id = id; }
    int GetId() const { return m_id; }
    EMode GetMode() const { return m_mode; }
    // What the field chooses, shown in the tooltip.
    void SetName(const QString& name);

    void SetItems(std::vector<CSelectItem> items);
    void AddItem(int32_t value, const QString& shortText, const QString& longText = {});
    void AddSeparator();
    const std::vector<CSelectItem>& GetItems() const { return m_items; }
    // The entry with this value, searched through submenus too, or null.
    const CSelectItem* FindItem(int32_t value) const;

    // Shows the item with this value (its short text; the value itself when there is no such
    // item); true when the value changed. No notification.
    bool SetValue(int32_t value);
    int32_t GetValue() const { return m_value; }
    // Shows a value with a text of the owner's choosing (NotifyOnly fields).
    void SetSelection(int32_t value, const QString& text);
    const QString& GetText() const { return m_text; }
    // The text as painted: cut with an ellipsis where the field is too narrow (the tooltip keeps
    // all of it), and the room it is painted in.
    QString GetShownText() const;
    QRect TextRect() const;

    // Shows `items` as a popup menu below the field and returns the chosen value, or nothing
    // when the menu was dismissed.
    std::optional<int32_t> RunPopup(const std::vector<CSelectItem>& items);
    // The menu the popup shows (the caller owns it); each action's data is the item's value.
    static QMenu* BuildMenu(const std::vector<CSelectItem>& items, QWidget* parent);

    QSize sizeHint() const override;

signals:
    void ValueChanged(int id);
    void Clicked(int id);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void Activate();
    // Chooses the item next to the current one (OwnList, arrow keys); separators are skipped.
    void ChooseNeighbour(int direction);
    void ChooseByUser(int32_t value);

    int m_id = 0;
    EMode m_mode;
    QString m_name;
    std::vector<CSelectItem> m_items;
    int32_t m_value = 0;
    QString m_text;
};
