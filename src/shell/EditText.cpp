#include "shell/EditText.h"

#include <QKeyEvent>

namespace {

// Names are 8-bit text in the model: printable ASCII and Latin-1.
QString PrintableCharacters()
{
    QString chars;
    for (char16_t c = 0x20; c < 0x7f; ++c)
        chars += QChar(c);
    for (char16_t c = 0xa0; c <= 0xff; ++c)
        chars += QChar(c);
    return chars;
}

class CEditorKeys : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::ShortcutOverride) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if ((key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) ==
                0) {
                event->accept();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

void KeepKeysInEditor(QWidget& editor)
{
    editor.installEventFilter(new CEditorKeys(&editor));
}

CEditText::CEditText(QWidget* parent) : CEditValue(parent)
{
    static const QString printable = PrintableCharacters();
    SetAllowedChars(printable);
    SetAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    ValueShown();
}

void CEditText::SetText(const QString& text)
{
    const QString cut = text.left(GetMaxLength());
    if (cut == m_text) return;
    m_text = cut;
    ValueShown();
}

bool CEditText::AcceptText(const QString& text)
{
    m_text = text.left(GetMaxLength());
    ValueShown();
    return true;
}
