#pragma once
// The per-user settings profile over QSettings: organisation and application "Tonalweaver", INI
// format in the user's configuration folder (~/.config/Tonalweaver/Tonalweaver.conf).
//
// Keys and string values come back byte for byte as they were given. Device names serve as keys,
// so a key may hold '/', '\\', '%', spaces, non-ASCII or bytes that are not UTF-8: such keys are
// written percent-escaped (QSettings would read '/' and '\\' as group separators). Values that
// are not UTF-8 are kept as byte arrays.
//
// Threads: the thread that created it (QSettings is reentrant, not thread-safe).

#include "model/Profile.h"

#include <QSettings>
#include <QString>

#include <memory>
#include <string>
#include <vector>

class CSettingsProfile : public CProfile {
public:
    // The user's profile of the application.
    CSettingsProfile();
    // A profile in the INI file at path (tests, tools that keep their own file).
    explicit CSettingsProfile(const QString& path);
    ~CSettingsProfile() override;

    // A missing value, or one that is not a whole number in 32 bits, gives def.
    int32_t GetInt(const std::string& section, const std::string& key, int32_t def) const override;
    void SetInt(const std::string& section, const std::string& key, int32_t value) override;
    std::string GetString(const std::string& section, const std::string& key,
                          const std::string& def) const override;
    void SetString(const std::string& section, const std::string& key,
                   const std::string& value) override;

    // The keys of a section as they were given, sorted by their stored form.
    std::vector<std::string> GetKeys(const std::string& section) const override;
    // Writes pending changes to the file. False when the file cannot be written or read.
    bool Sync();
    // The file the profile lives in.
    QString GetFileName() const;

private:
    QString StoredKey(const std::string& section, const std::string& key) const;

    std::unique_ptr<QSettings> m_settings;
};

// The escaping used for sections and keys, exposed for tests and the fuzz target: EscapeKey
// leaves UTF-8 text readable and escapes '%', '/', '\\' and any byte of an invalid sequence as
// %XX; UnescapeKey inverts it and reads anything else literally.
QString EscapeKey(const std::string& key);
std::string UnescapeKey(const QString& stored);
