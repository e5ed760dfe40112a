#include "model/PhraseBank.h"

#include "model/Errors.h"

CPhrase& CPhraseBank::GetPhraseAt(int32_t index)
{
    CheckIndex(index, GetCount());
    return *m_phrases[static_cast<size_t>(index)];
}

const CPhrase& CPhraseBank::GetPhraseAt(int32_t index) const
{
    CheckIndex(index, GetCount());
    return *m_phrases[static_cast<size_t>(index)];
}

int32_t CPhraseBank::IndexOf(const CPhrase* phrase) const
{
    for (size_t i = 0; i < m_phrases.size(); ++i) {
        if (m_phrases[i].get() == phrase) return static_cast<int32_t>(i);
    }
    return -1;
}

void CPhraseBank::InsertAt(int32_t index, std::unique_ptr<CPhrase> phrase)
{
    CheckIndex(index, GetCount() + 1);
    if (!phrase) throw CInvalidArgument();
    m_phrases.insert(m_phrases.begin() + index, std::move(phrase));
}

std::unique_ptr<CPhrase> CPhraseBank::RemoveAt(int32_t index)
{
    CheckIndex(index, GetCount());
    std::unique_ptr<CPhrase> phrase = std::move(m_phrases[static_cast<size_t>(index)]);
    m_phrases.erase(m_phrases.begin() + index);
    return phrase;
}

void CPhraseBank::Clear()
{
    m_phrases.clear();
}

void CPhraseBank::CopyFrom(const CPhraseBank& other)
{
    // Built aside first, so copying a bank onto itself copies the original phrases.
    std::vector<std::unique_ptr<CPhrase>> copies;
    copies.reserve(other.m_phrases.size());
    for (const auto& phrase : other.m_phrases)
        copies.push_back(std::make_unique<CPhrase>(*phrase));
    m_name = other.m_name;
    m_phrases = std::move(copies);
}
