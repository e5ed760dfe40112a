#include "shell/EditText.h"

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

} // namespace

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
