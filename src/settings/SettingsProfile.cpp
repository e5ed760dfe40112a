#include "settings/SettingsProfile.h"

#include <QByteArray>
#include <QVariant>

namespace {

const char kName[] = "Tonalweaver";
// An empty name would vanish in QSettings' key syntax; a lone '%' never comes out of the escaping
// of a non-empty one.
const char kEmptyKey[] = "%";

bool IsUtf8(const std::string& bytes)
{
    const QByteArray raw = QByteArray::fromStdString(bytes);
    return QString::fromUtf8(raw).toUtf8() == raw;
}

int HexValue(char16_t c)
{
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    return -1;
}

void AppendEscaped(std::string& out, unsigned char byte)
{
    static const char digits[] = "0123456789ABCDEF";
    out += '%';
    out += digits[byte >> 4];
    out += digits[byte & 0x0F];
}

} // namespace

QString EscapeKey(const std::string& key)
{
    if (key.empty()) return QString::fromLatin1(kEmptyKey);
    const bool utf8 = IsUtf8(key);
    std::string out;
    out.reserve(key.size());
    for (const char c : key) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '%' || c == '/' || c == '\\' || (!utf8 && byte >= 0x80))
            AppendEscaped(out, byte);
        else
            out += c;
    }
    return QString::fromUtf8(QByteArray::fromStdString(out));
}

std::string UnescapeKey(const QString& stored)
{
    if (stored == QLatin1String(kEmptyKey)) return {};
    // Escapes stand for single bytes; the text between them is UTF-8.
    std::string out;
    qsizetype literalStart = 0;
    auto flushLiteral = [&](qsizetype end) {
        out += stored.mid(literalStart, end - literalStart).toUtf8().toStdString();
    };
    for (qsizetype i = 0; i < stored.size(); ++i) {
        if (stored[i] != u'%' || i + 2 >= stored.size()) continue;
        const int high = HexValue(stored[i + 1].unicode());
        const int low = HexValue(stored[i + 2].unicode());
        if (high < 0 || low < 0) continue;
        flushLiteral(i);
        out += static_cast<char>(high * 16 + low);
        i += 2;
        literalStart = i + 1;
    }
    flushLiteral(stored.size());
    return out;
}

CSettingsProfile::CSettingsProfile()
    : m_settings(
          std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, kName, kName))
{}

CSettingsProfile::CSettingsProfile(const QString& path)
    : m_settings(std::make_unique<QSettings>(path, QSettings::IniFormat))
{}

CSettingsProfile::~CSettingsProfile() = default;

QString CSettingsProfile::StoredKey(const std::string& section, const std::string& key) const
{
    return EscapeKey(section) + u'/' + EscapeKey(key);
}

int32_t CSettingsProfile::GetInt(const std::string& section, const std::string& key,
                                 int32_t def) const
{
    const QVariant value = m_settings->value(StoredKey(section, key));
    if (!value.isValid()) return def;
    bool ok = false;
    const int result = value.toString().trimmed().toInt(&ok);
    return ok ? static_cast<int32_t>(result) : def;
}

void CSettingsProfile::SetInt(const std::string& section, const std::string& key, int32_t value)
{
    m_settings->setValue(StoredKey(section, key), static_cast<int>(value));
}

std::string CSettingsProfile::GetString(const std::string& section, const std::string& key,
                                        const std::string& def) const
{
    const QVariant value = m_settings->value(StoredKey(section, key));
    if (!value.isValid()) return def;
    if (value.typeId() == QMetaType::QByteArray) return value.toByteArray().toStdString();
    return value.toString().toUtf8().toStdString();
}

void CSettingsProfile::SetString(const std::string& section, const std::string& key,
                                 const std::string& value)
{
    const QByteArray raw = QByteArray::fromStdString(value);
    if (IsUtf8(value))
        m_settings->setValue(StoredKey(section, key), QString::fromUtf8(raw));
    else
        m_settings->setValue(StoredKey(section, key), raw);
}

std::vector<std::string> CSettingsProfile::GetKeys(const std::string& section) const
{
    m_settings->beginGroup(EscapeKey(section));
    const QStringList stored = m_settings->childKeys();
    m_settings->endGroup();
    std::vector<std::string> keys;
    keys.reserve(static_cast<size_t>(stored.size()));
    for (const QString& key : stored)
        keys.push_back(UnescapeKey(key));
    return keys;
}

bool CSettingsProfile::Sync()
{
    m_settings->sync();
    return m_settings->status() == QSettings::NoError;
}

QString CSettingsProfile::GetFileName() const
{
    return m_settings->fileName();
}
