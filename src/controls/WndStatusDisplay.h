#pragma once
// The one-line status display of the editors. Its text carries colour markup: a tag such as
// "<<Name>>" switches the colours of the text that follows to the pair registered for the tag
// (white on the display background for a tag nobody registered). User-interface thread only.

#include <QColor>
#include <QString>
#include <QWidget>

#include <map>
#include <vector>

// One run of text in one pair of colours.
struct CStatusSegment {
    QString text;
    QColor textColour;
    QColor background;
    bool operator==(const CStatusSegment&) const = default;
};

class CWndStatusDisplay : public QWidget {
    Q_OBJECT
public:
    struct CColours {
        QColor text;
        QColor background;
    };
    using TagMap = std::map<QString, CColours>;

    explicit CWndStatusDisplay(QWidget* parent = nullptr);

    // Replaces the text and redraws.
    void SetText(const QString& text);
    const QString& GetText() const { return m_text; }
    // Adds a tag ("<<Desc>>") with its colours; a tag already present keeps its first colours.
    void RegisterTag(const QString& tag, const QColor& text, const QColor& background);
    // The three tags both editors use: "<<Desc>>", "<<Name>>" and "<<Value>>".
    void RegisterEditorTags();
    const TagMap& GetTags() const { return m_tags; }

    // Splits marked-up text into its runs: text before a "<<" that comes before a ">>" is one
    // run, the tag then sets the colours of what follows. Empty runs are left out.
    static std::vector<CStatusSegment> Segments(const QString& text, const TagMap& tags);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_text;
    TagMap m_tags;
};
