#pragma once
// A named, ordered folder of phrases. The bank owns its phrases; the project owns its banks.

#include "model/Phrase.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CPhraseBank {
public:
    CPhraseBank() = default;
    explicit CPhraseBank(const std::string& name) : m_name(name) {}
    virtual ~CPhraseBank() = default;

    CPhraseBank(const CPhraseBank&) = delete;
    CPhraseBank& operator=(const CPhraseBank&) = delete;

    const std::string& GetName() const { return m_name; }
    void SetName(const std::string& name) { m_name = name; }

    int32_t GetCount() const { return static_cast<int32_t>(m_phrases.size()); }
    // Borrowed; throws CInvalidArgument when index is out of range.
    CPhrase& GetPhraseAt(int32_t index);
    const CPhrase& GetPhraseAt(int32_t index) const;
    // Position of the phrase in this bank, -1 when the bank does not hold it.
    int32_t IndexOf(const CPhrase* phrase) const;

    // Takes ownership; index 0..count (count appends). Throws CInvalidArgument on a bad index or
    // a null phrase, leaving the bank unchanged.
    void InsertAt(int32_t index, std::unique_ptr<CPhrase> phrase);
    // Hands the phrase at index to the caller; throws CInvalidArgument when out of range.
    std::unique_ptr<CPhrase> RemoveAt(int32_t index);
    // Destroys every phrase.
    virtual void Clear();
    // Takes the other bank's name and a copy of each of its phrases; the copies get id 0 so that
    // a look-up by id never finds a copy in place of its source.
    virtual void CopyFrom(const CPhraseBank& other);

private:
    std::string m_name;
    std::vector<std::unique_ptr<CPhrase>> m_phrases;
};
