#pragma once
// A small streaming JSON writer for the command-line dump. Strings are our 8-bit Latin-1 text; each
// byte of 0x80 and above becomes the \u00XX escape of its character, so the output is plain ASCII
// and valid UTF-8 whatever the text holds.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class CJsonWriter {
public:
    void BeginObject();
    void EndObject();
    void BeginArray();
    void EndArray();
    // The key of the next value inside an object.
    void Key(std::string_view key);
    void Int(int64_t value);
    void String(std::string_view latin1);

    // Shorthands for a keyed value.
    void Field(std::string_view key, int64_t value);
    void Field(std::string_view key, std::string_view latin1);
    // A keyed array of two integers, such as a range.
    void Pair(std::string_view key, int64_t first, int64_t second);

    // The text written so far.
    const std::string& GetText() const { return m_out; }

private:
    // Puts the comma between values of one container.
    void BeforeValue();

    std::string m_out;
    std::vector<bool> m_hasValue; // per open container: a value was written
    bool m_afterKey = false;
};
