#pragma once
// What the phrase and track property panels share: a title with the plus/minus button that
// collapses the panel, labelled rows of value boxes and selectors bound to numbered properties,
// low/high range pairs, port fields whose popups list the engine's port names, and the neutral
// values every control shows while the panel has no object. A panel subclass names its object
// and says how a property is read and written; everything else happens here.
// User-interface thread only.

#include <QAbstractButton>
#include <QWidget>

#include <cstdint>
#include <optional>
#include <vector>

#include "controls/SelectList.h"
#include "model/NodeAddress.h"
#include "model/Properties.h"

class CEditNumber;
class CMidiEngineProxy;
class CProjectDoc;
class QGridLayout;
class QLabel;

// The low/high pair after the user entered value into its low (or high) box: a low value is
// kept at most the high one, a high value at least the low one. Empty when the pair would stay
// as stored, so that no operation runs.
std::optional<CBytePair> EditedRange(CBytePair stored, bool low, int32_t value);

// The square button at the top of a panel: a minus while the panel is open, a plus while it is
// collapsed.
class CCollapseButton : public QAbstractButton {
    Q_OBJECT
public:
    static constexpr int kSide = 13;

    explicit CCollapseButton(QWidget* parent = nullptr);
    QSize sizeHint() const override { return {kSide, kSide}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

class CPropertyPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int kInputPorts = 4;
    static constexpr int kOutputPorts = 8;
    // Popup entries for tracks start here; port entries are the port index.
    static constexpr int32_t kTrackEntry = 1000;

    // doc: the project whose object the panel shows (borrowed).
    CPropertyPanel(CProjectDoc& doc, const QString& title, QWidget* parent = nullptr);

    // Every control set again from the model, or to its neutral value without an object.
    void Refresh();
    bool IsCollapsed() const { return m_collapsed; }
    void SetCollapsed(bool collapsed);
    CCollapseButton& CollapseButton() const { return *m_collapse; }

    // The text a port field shows for an address: "-" for none, the engine's port name, or
    // "Tr%d: %s" for a track (empty when no track has that id).
    QString AddressText(const CNodeAddress& address) const;
    // The engine's name of a port, or "Out%d" / "Inp%d" when the engine has none.
    static QString PortName(CMidiEngineProxy& engine, const CNodeAddress& address);

signals:
    void CollapsedChanged(bool collapsed);

protected:
    // Whether the panel shows an object now.
    virtual bool HasObject() const = 0;
    // The object's property packed as model/Properties.h says; empty without an object.
    virtual std::optional<int64_t> ReadProperty(int32_t number) const = 0;
    // Runs the change the user made (the panel refreshes afterwards).
    virtual void WriteProperty(int32_t number, int64_t value) = 0;
    // After the controls were set from the model: what depends on several properties.
    virtual void Refreshed() {}

    CProjectDoc& GetDoc() const { return m_doc; }

    // A number box with its limits and its small and large steps.
    static CEditNumber* Box(CEditNumber* box, int32_t lower, int32_t upper, int32_t small,
                            int32_t large);

    // A 0..127 box stepping by 1 and 16 (program, velocity limits).
    static CEditNumber* ByteBox();

    // Building, in the order shown. label may be empty; name is what the tooltip says.
    void AddSection(const QString& text);
    // shown = stored + offset; neutral is the shown value without an object.
    CEditNumber* AddNumber(const QString& label, CEditNumber* box, const QString& name,
                           int32_t number, int32_t neutral, int32_t offset = 0);
    // The "delay" row: a signed length of at most ten 4/4 bars either way.
    CEditNumber* AddDelay(int32_t number);
    // A 0..127 value that may be undefined: Delete or Escape store 255.
    CEditNumber* AddUndefinable(const QString& label, CEditNumber* box, const QString& name,
                                int32_t number, int32_t neutral);
    // A selector whose item value is the stored value (note values, modes).
    CSelectList* AddChoice(const QString& label, const QString& name, int32_t number,
                           std::vector<CSelectItem> items);
    // A selector of (1, on) and (2, off) for a flag stored as 1 / 0.
    CSelectList* AddFlag(const QString& label, const QString& name, int32_t number,
                         const QString& on, const QString& off);
    // A click field whose popup lists count ports of kind; withTracks adds a "To tracks" submenu.
    CSelectList* AddPort(const QString& label, const QString& name, int32_t number, uint16_t kind,
                         int count, bool withTracks);
    // Two boxes of a byte pair (low, high).
    void AddRangePair(const QString& label, CEditNumber* from, const QString& fromName,
                      CEditNumber* to, const QString& toName, int32_t number);

    // The popup of a port field (for the tests and the keyboard).
    std::vector<CSelectItem> PortItems(uint16_t kind, int count, bool withTracks) const;
    // The popup entry that stands for an address (a port index, kTrackEntry + a track's
    // position), or -1.
    int32_t EntryOf(const CNodeAddress& address) const;
    // What a popup entry chooses.
    CNodeAddress AddressOfEntry(uint16_t kind, int32_t entry) const;

private:
    enum class EBinding { Number, Undefinable, Choice, Flag, Port };
    struct CControl {
        QWidget* widget = nullptr;
        int32_t number = 0;
        EBinding binding = EBinding::Number;
        int32_t neutral = 0;
        int32_t offset = 0;
        uint16_t kind = 0; // ports
        int count = 0;
        bool withTracks = false;
    };
    struct CPair {
        CEditNumber* from;
        CEditNumber* to;
        int32_t number;
    };

    // The label in the first column of a new row; returns the row.
    int AddLabel(const QString& label);
    void Bind(CControl control, int row, int span);
    void ShowNeutral(const CControl& control);
    void ShowValue(const CControl& control, int64_t value);
    void OnChanged(size_t index);
    void OnPortClicked(size_t index);
    void OnPairChanged(size_t index, bool low);

    CProjectDoc& m_doc;
    QLabel* m_title;
    CCollapseButton* m_collapse;
    QWidget* m_body;
    QGridLayout* m_grid;
    std::vector<CControl> m_controls;
    std::vector<CPair> m_pairs;
    bool m_collapsed = false;
};
