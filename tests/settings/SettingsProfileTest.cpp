#include "settings/SettingsProfile.h"

#include "files/TempFolder.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <algorithm>
#include <climits>
#include <map>
#include <ostream>
#include <random>
#include <string>
#include <utility>

// Readable failure messages for Qt strings.
void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace {

// Points the user's configuration folder at a fresh temporary folder for the test.
class SettingsProfileTest : public ::testing::Test {
protected:
    SettingsProfileTest()
    {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           QString::fromStdString(folder.Path()));
    }

    CTempFolder folder;
};

// Names as devices report them, and the characters QSettings' own syntax gives meaning to.
std::string RandomText(std::mt19937& random)
{
    static const std::vector<std::string> pieces = {
        "a",  "Z",       "0",  " ", "/", "\\",   "%",    "%2F",      ":",
        ";",  "=",       "#",  "[", "]", "\"",   "'",    "@",        ",",
        "\t", "\n",      "\r", "é", "ß", "日本", "\xff", "\xc3\x28", "\xe2\x82",
        "\0", "General", "&",  "<", ">", "..",   "%U",   "%G1",      "Synth A:0"};
    std::uniform_int_distribution<int> count(0, 6);
    std::uniform_int_distribution<size_t> pick(0, pieces.size() - 1);
    std::string text;
    for (int i = count(random); i > 0; --i) {
        const std::string& piece = pieces[pick(random)];
        text += piece.empty() ? std::string(1, '\0') : piece;
    }
    return text;
}

TEST_F(SettingsProfileTest, UserProfileLivesInTheConfigFolderAndSurvivesReopening)
{
    {
        CSettingsProfile profile;
        EXPECT_EQ(profile.GetFileName(),
                  QString::fromStdString(folder.Path()) + "/Tonalweaver/Tonalweaver.conf");
        profile.SetInt("Transport", "Master", 0);
        profile.SetString("Port Drivers", "Out1", "Synth A");
    }
    EXPECT_TRUE(QFile::exists(QString::fromStdString(folder / "Tonalweaver/Tonalweaver.conf")));
    CSettingsProfile again;
    EXPECT_EQ(again.GetInt("Transport", "Master", 1), 0);
    EXPECT_EQ(again.GetString("Port Drivers", "Out1", ""), "Synth A");
}

TEST_F(SettingsProfileTest, MissingOrMalformedValuesGiveTheDefault)
{
    const QString path = QString::fromStdString(folder / "odd.conf");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[Transport]\nMaster=yes\nBig=99999999999\nNeg=-7\nSpaced= 12 \n");
    file.close();
    CSettingsProfile profile(path);
    EXPECT_EQ(profile.GetInt("Transport", "Master", 1), 1);
    EXPECT_EQ(profile.GetInt("Transport", "Big", 5), 5);
    EXPECT_EQ(profile.GetInt("Transport", "Neg", 0), -7);
    EXPECT_EQ(profile.GetInt("Transport", "Spaced", 0), 12);
    EXPECT_EQ(profile.GetInt("Transport", "Absent", 42), 42);
    EXPECT_EQ(profile.GetInt("Absent Section", "Master", 3), 3);
    EXPECT_EQ(profile.GetString("Transport", "Absent", "fallback"), "fallback");
    // The same key in two sections are two values.
    profile.SetInt("A", "k", 1);
    profile.SetInt("B", "k", 2);
    EXPECT_EQ(profile.GetInt("A", "k", 0), 1);
    EXPECT_EQ(profile.GetInt("B", "k", 0), 2);
}

TEST_F(SettingsProfileTest, AnyKeyAndValueComeBackByteForByteAfterReopening)
{
    std::mt19937 random(20261207);
    std::uniform_int_distribution<int32_t> anyInt(INT32_MIN, INT32_MAX);
    const std::vector<std::string> sections = {
        "MIDI OUT Drivers", "MIDI OUT Drivers MclkSend", "Port Drivers", "a/b", "", "General"};
    std::map<std::pair<std::string, std::string>, std::string> strings;
    std::map<std::pair<std::string, std::string>, int32_t> ints;
    {
        CSettingsProfile profile;
        for (int i = 0; i < 400; ++i) {
            const std::string& section = sections[static_cast<size_t>(i) % sections.size()];
            const std::string key = RandomText(random);
            if (i % 2 == 0) {
                const std::string value = RandomText(random);
                strings[{section, key}] = value;
                ints.erase({section, key});
                profile.SetString(section, key, value);
            } else {
                const int32_t value =
                    i % 7 == 0 ? (i % 3 == 0 ? INT32_MIN : INT32_MAX) : anyInt(random);
                ints[{section, key}] = value;
                strings.erase({section, key});
                profile.SetInt(section, key, value);
            }
        }
        ASSERT_TRUE(profile.Sync());
    }
    CSettingsProfile profile;
    for (const auto& [where, value] : strings)
        EXPECT_EQ(profile.GetString(where.first, where.second, "<absent>"), value)
            << "[" << where.first << "] " << where.second;
    for (const auto& [where, value] : ints)
        EXPECT_EQ(profile.GetInt(where.first, where.second, 0), value)
            << "[" << where.first << "] " << where.second;

    // Every key of a section, and nothing else, is listed under its own name.
    for (const std::string& section : sections) {
        std::vector<std::string> expected;
        for (const auto& entry : strings)
            if (entry.first.first == section) expected.push_back(entry.first.second);
        for (const auto& entry : ints)
            if (entry.first.first == section) expected.push_back(entry.first.second);
        std::vector<std::string> keys = profile.GetKeys(section);
        std::sort(keys.begin(), keys.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(keys, expected) << section;
    }
}

TEST(SettingsKeyEscaping, UnescapeInvertsEscapeAndReadsStrayPercentsLiterally)
{
    std::mt19937 random(7);
    for (int i = 0; i < 2000; ++i) {
        const std::string key = RandomText(random);
        EXPECT_EQ(UnescapeKey(EscapeKey(key)), key);
    }
    EXPECT_EQ(EscapeKey("a/b\\c%d"), "a%2Fb%5Cc%25d");
    EXPECT_EQ(UnescapeKey("100%"), "100%");
    EXPECT_EQ(UnescapeKey("%4"), "%4");
    EXPECT_EQ(UnescapeKey("%zz%41"), "%zzA");
}

} // namespace
