#include "files/JsonWriter.h"

#include <charconv>

void CJsonWriter::BeforeValue()
{
    if (m_afterKey) {
        m_afterKey = false;
        return;
    }
    if (m_hasValue.empty()) return;
    if (m_hasValue.back()) m_out.push_back(',');
    m_hasValue.back() = true;
}

void CJsonWriter::BeginObject()
{
    BeforeValue();
    m_out.push_back('{');
    m_hasValue.push_back(false);
}

void CJsonWriter::EndObject()
{
    m_out.push_back('}');
    m_hasValue.pop_back();
}

void CJsonWriter::BeginArray()
{
    BeforeValue();
    m_out.push_back('[');
    m_hasValue.push_back(false);
}

void CJsonWriter::EndArray()
{
    m_out.push_back(']');
    m_hasValue.pop_back();
}

void CJsonWriter::Key(std::string_view key)
{
    String(key);
    m_out.push_back(':');
    m_afterKey = true;
}

void CJsonWriter::Int(int64_t value)
{
    BeforeValue();
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    m_out.append(digits, result.ptr);
}

void CJsonWriter::String(std::string_view latin1)
{
    BeforeValue();
    static const char kHex[] = "0123456789abcdef";
    m_out.push_back('"');
    for (const char c : latin1) {
        const auto byte = static_cast<unsigned char>(c);
        switch (byte) {
        case '"':
            m_out += "\\\"";
            break;
        case '\\':
            m_out += "\\\\";
            break;
        case '\n':
            m_out += "\\n";
            break;
        case '\r':
            m_out += "\\r";
            break;
        case '\t':
            m_out += "\\t";
            break;
        default:
            if (byte < 0x20 || byte >= 0x80) {
                m_out += "\\u00";
                m_out.push_back(kHex[byte >> 4]);
                m_out.push_back(kHex[byte & 15]);
            } else {
                m_out.push_back(c);
            }
        }
    }
    m_out.push_back('"');
}

void CJsonWriter::Field(std::string_view key, int64_t value)
{
    Key(key);
    Int(value);
}

void CJsonWriter::Field(std::string_view key, std::string_view latin1)
{
    Key(key);
    String(latin1);
}

void CJsonWriter::Pair(std::string_view key, int64_t first, int64_t second)
{
    Key(key);
    BeginArray();
    Int(first);
    Int(second);
    EndArray();
}
