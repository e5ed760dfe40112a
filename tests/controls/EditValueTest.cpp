// The value boxes: parsing, formatting and clamping of each kind over its range, the stepping
// rule, and the keys, drags and wheel turns that change a box and notify its owner.

#include "controls/EditValue.h"
#include "controls/ControlsTestSupport.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>

#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace {

// One row: typed text, and the value it gives (none: rejected, the box keeps its value).
struct ParseRow {
    const char* text;
    std::optional<int32_t> value;
};

constexpr int32_t kKept = 4242; // a value no row produces, to see that rejected text keeps it

void CheckParses(CEditNumber& box, const std::vector<ParseRow>& rows)
{
    for (const ParseRow& row : rows) {
        box.SetValue(kKept);
        const int32_t before = box.GetValue();
        const bool accepted = box.AcceptText(QString::fromUtf8(row.text));
        EXPECT_EQ(accepted, row.value.has_value()) << "text \"" << row.text << "\"";
        EXPECT_EQ(box.GetValue(), row.value.value_or(before)) << "text \"" << row.text << "\"";
    }
}

// Every value of the range formats to a text that parses back to itself; values beyond the
// range are brought to the nearest limit.
void CheckRoundTripAndClamp(CEditNumber& box, const std::vector<int32_t>& values)
{
    for (int32_t v : values) {
        ASSERT_GE(v, box.GetLower());
        ASSERT_LE(v, box.GetUpper());
        box.SetValue(v);
        const QString text = box.GetText();
        box.SetValue(v == box.GetLower() ? box.GetUpper() : box.GetLower());
        ASSERT_TRUE(box.AcceptText(text)) << text.toStdString();
        EXPECT_EQ(box.GetValue(), v) << text.toStdString();
    }
    box.SetValue(box.GetLower() == INT32_MIN + 1 ? box.GetLower() : box.GetLower() - 1);
    EXPECT_EQ(box.GetValue(), box.GetLower());
    if (box.GetUpper() < INT32_MAX) {
        box.SetValue(box.GetUpper() + 1);
        EXPECT_EQ(box.GetValue(), box.GetUpper());
    }
    box.SetValue(INT32_MAX);
    EXPECT_EQ(box.GetValue(), box.GetUpper());
}

std::vector<int32_t> AllValues(int32_t lower, int32_t upper)
{
    std::vector<int32_t> values;
    for (int32_t v = lower; v <= upper; ++v)
        values.push_back(v);
    return values;
}

std::vector<int32_t> RandomValues(int32_t lower, int32_t upper, int count, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int32_t> pick(lower, upper);
    std::vector<int32_t> values{lower, upper};
    for (int i = 0; i < count; ++i)
        values.push_back(pick(rng));
    return values;
}

} // namespace

TEST(EditValueTest, NumberParsesLeadingIntegerAndClamps)
{
    CEditNumber box;
    EXPECT_EQ(box.GetText(), "0");
    CheckParses(box, {{"17", 17},
                      {"-17", -17},
                      {"  12abc", 12},
                      {"abc", 0},
                      {"", 0},
                      {"-", 0},
                      {"99999999999999", 2147483647},
                      {"-99999999999999", -2147483647}});
    box.SetLimits(-5, 300);
    EXPECT_EQ(box.GetMaxLength(), 4); // floor(log10(300)) + 2
    CheckParses(box, {{"301", 300}, {"-6", -5}, {"250", 250}});
    CheckRoundTripAndClamp(box, AllValues(-5, 300));
    box.SetValue(CEditNumber::kUndefined);
    EXPECT_TRUE(box.IsUndefined());
    EXPECT_EQ(box.GetText(), "-");
    EXPECT_EQ(CEditNumber().GetMaxLength(), 11);
}

TEST(EditValueTest, ByteKeepsToSevenBits)
{
    CEditByte box;
    CheckParses(box, {{"0", 0}, {"127", 127}, {"128", 127}, {"300x", 127}, {"x", 0}});
    CheckRoundTripAndClamp(box, AllValues(0, 127));
    EXPECT_EQ(box.GetMaxLength(), 4);
    EXPECT_EQ(box.GetLargeStep(), 10);
}

TEST(EditValueTest, TimeBoxUsesItsTimeSignature)
{
    CEditTime position;
    EXPECT_EQ(position.GetText(), "1.1.01");
    CheckParses(position, {{"1.1.01", 0},
                           {"2.1.01", 384},
                           {"3", 768},
                           {"1.4.96", 383},
                           {"", std::nullopt},
                           {"   ", std::nullopt}});
    CheckRoundTripAndClamp(position, RandomValues(0, 100000000, 300, 7));
    position.SetTimeSignature(CTimeSignature(3, 4));
    EXPECT_EQ(position.GetLargeStep(), 96);
    CheckParses(position, {{"2.1.01", 288}, {"1.3.96", 287}});
    position.SetTimeSignature(CTimeSignature(6, 8));
    EXPECT_EQ(position.GetLargeStep(), 48);
    position.SetValue(48);
    EXPECT_EQ(position.GetText(), "1.2.01");

    CEditTime length(CEditTime::EForm::Length);
    EXPECT_EQ(length.GetText(), "0.0.00");
    CheckParses(length, {{"+0.1.00", 96}, {"-1.0.16", -400}, {" ", std::nullopt}});
    CheckRoundTripAndClamp(length, RandomValues(-2147483647, 2147483647, 300, 11));
    // The lowest length stays a number, never the undefined value.
    length.SetValue(INT32_MIN + 1);
    length.AcceptText("-99999999999.0.0");
    EXPECT_FALSE(length.IsUndefined());
}

TEST(EditValueTest, NoteNamesCoverAllPitches)
{
    CEditNote box;
    CheckParses(box, {{"c5", 60},
                      {"C5", 60},
                      {"g10", 127},
                      {"h10", std::nullopt},
                      {"C#0", 1},
                      {"  a#4 ", 58},
                      {"C#10x", 121},
                      {"C5xyz", std::nullopt}, // the first four characters are compared
                      {"g10 x", 127},
                      {"x", std::nullopt},
                      {"", std::nullopt}});
    box.SetValue(60);
    EXPECT_EQ(box.GetText(), "C5");
    box.SetValue(127);
    EXPECT_EQ(box.GetText(), "G10");
    box.SetValue(11);
    EXPECT_EQ(box.GetText(), "H0");
    CheckRoundTripAndClamp(box, AllValues(0, 127));
}

TEST(EditValueTest, PanTextsAndOutsideValue)
{
    CEditPan box;
    EXPECT_EQ(box.GetValue(), 64);
    EXPECT_EQ(box.GetText(), "0");
    CheckParses(box, {{"12L", 52},
                      {"12l", 52},
                      {"64L", 0},
                      {"63R", 127},
                      {"0", 64},
                      {"65L", std::nullopt},
                      {"64R", std::nullopt},
                      {"L", std::nullopt}});
    box.SetValue(0);
    EXPECT_EQ(box.GetText(), "64L");
    box.SetValue(65);
    EXPECT_EQ(box.GetText(), "1R");
    CheckRoundTripAndClamp(box, AllValues(0, 127));
}

TEST(EditValueTest, TempoInHundredthsWithinItsRange)
{
    CEditTempo box;
    EXPECT_EQ(box.GetValue(), 12000);
    EXPECT_EQ(box.GetText(), "120.00");
    CheckParses(box, {{"300.00", 25000},
                      {"12.5", 2000},
                      {"120", 12000},
                      {"99.5", 9950},
                      {"99.05", 9905},
                      {"99.999", 9999},
                      {"140.25bpm", 14025},
                      {"", 2000}});
    box.SetValue(2005);
    EXPECT_EQ(box.GetText(), "20.05");
    CheckRoundTripAndClamp(box, AllValues(2000, 25000));
}

TEST(EditValueTest, SteppingStopsAtMultiplesOfTheLargeStep)
{
    struct Row {
        int64_t value, units, large, origin, expected;
    };
    const Row rows[] = {{37, 1, 100, 0, 38},      {37, 100, 100, 0, 100}, {37, -100, 100, 0, 0},
                        {100, -100, 100, 0, 0},   {61, 12, 12, 0, 72},    {61, -12, 12, 0, 60},
                        {-5, -100, 100, 0, -100}, {-5, 100, 100, 0, 0},   {74, 10, 10, 64, 84},
                        {70, -10, 10, 64, 64},    {5, 7, 1, 0, 12},       {5, -7, 0, 0, -2}};
    for (const Row& r : rows)
        EXPECT_EQ(CEditNumber::SteppedValue(r.value, r.units, r.large, r.origin), r.expected)
            << r.value << " by " << r.units << " large " << r.large;

    // Against the rule as written: one unit at a time, stopping at a multiple.
    std::mt19937 rng(3);
    std::uniform_int_distribution<int64_t> value(-1000, 1000), units(-300, 300), large(2, 120);
    for (int i = 0; i < 2000; ++i) {
        const int64_t v = value(rng), n = units(rng), l = large(rng), o = value(rng) % 50;
        int64_t walked = v;
        for (int64_t k = 0; k < (n < 0 ? -n : n); ++k) {
            walked += n < 0 ? -1 : 1;
            if (((walked - o) % l) == 0) break;
        }
        ASSERT_EQ(CEditNumber::SteppedValue(v, n, l, o), walked) << v << " " << n << " " << l;
    }
}

TEST(EditValueTest, KeysStepAndNotifyWithTheIdentifier)
{
    QWidget owner;
    auto* note = new CEditNote(&owner);
    note->SetId(77);
    CIdRecorder changes(note, &CEditValue::ValueChanged);
    note->SetValue(61);
    EXPECT_TRUE(changes.ids.empty()); // the program setting a value is not a change by the user

    QTest::keyClick(note, Qt::Key_BracketRight, Qt::NoModifier);
    EXPECT_EQ(note->GetValue(), 72);
    QTest::keyClick(note, Qt::Key_BracketLeft, Qt::NoModifier);
    EXPECT_EQ(note->GetValue(), 60);
    QTest::keyClick(note, Qt::Key_Plus, Qt::NoModifier);
    EXPECT_EQ(note->GetValue(), 61);
    QTest::keyClick(note, Qt::Key_Minus, Qt::KeypadModifier);
    EXPECT_EQ(note->GetValue(), 60);
    QTest::keyClick(note, Qt::Key_0, Qt::NoModifier);
    EXPECT_EQ(note->GetValue(), 0);
    QTest::keyClick(note, Qt::Key_Minus, Qt::NoModifier); // already at the lower limit
    EXPECT_EQ(note->GetValue(), 0);
    EXPECT_EQ(changes.ids, std::vector<int>({77, 77, 77, 77, 77}));

    // Escape and Delete make the value undefined only when the box allows it; a step then sets
    // the start value.
    QTest::keyClick(note, Qt::Key_Delete);
    EXPECT_FALSE(note->IsUndefined());
    note->SetFlags(CEditValue::kFlagUndefinable);
    note->SetStartValue(48);
    QTest::keyClick(note, Qt::Key_Escape);
    EXPECT_TRUE(note->IsUndefined());
    EXPECT_EQ(note->GetText(), "-");
    QTest::keyClick(note, Qt::Key_Plus, Qt::NoModifier);
    EXPECT_EQ(note->GetValue(), 48);
    EXPECT_EQ(changes.ids.size(), 7u);
}

TEST(EditValueTest, TypingOpensTheEditorAndReturnStores)
{
    QWidget owner;
    auto* note = new CEditNote(&owner);
    note->setGeometry(10, 10, 60, 20);
    owner.show();
    note->SetId(5);
    CIdRecorder changes(note, &CEditValue::ValueChanged);

    // A letter key opens the editor with that letter; only allowed characters get in.
    QTest::keyClick(note, Qt::Key_C);
    ASSERT_TRUE(note->IsEditing());
    EXPECT_EQ(note->GetEditor()->text(), "C");
    EXPECT_EQ(note->GetEditor()->geometry(), note->rect().adjusted(3, 1, -3, -1));
    QTest::keyClicks(note->GetEditor(), "x#z4");
    EXPECT_EQ(note->GetEditor()->text(), "C#4");
    QTest::keyClick(note->GetEditor(), Qt::Key_Return);
    EXPECT_FALSE(note->IsEditing());
    EXPECT_EQ(note->GetValue(), 49);
    EXPECT_EQ(changes.ids, std::vector<int>{5});
    EXPECT_EQ(owner.focusWidget(), &owner); // typing done: the focus goes to the owner

    // Unparsable text is dropped; Escape leaves without a change.
    QTest::keyClick(note, Qt::Key_F2);
    ASSERT_TRUE(note->IsEditing());
    EXPECT_EQ(note->GetEditor()->text(), "C#4");
    note->GetEditor()->setText("H10");
    QTest::keyClick(note->GetEditor(), Qt::Key_Return);
    EXPECT_EQ(note->GetValue(), 49);
    QTest::keyClick(note, Qt::Key_Space);
    note->GetEditor()->setText("C1");
    QTest::keyClick(note->GetEditor(), Qt::Key_Escape);
    EXPECT_FALSE(note->IsEditing());
    EXPECT_EQ(note->GetValue(), 49);
    EXPECT_EQ(changes.ids.size(), 1u);

    // The editor's length follows the limits: four characters for a 7-bit number.
    auto* number = new CEditNumber(&owner);
    number->setGeometry(10, 40, 60, 20);
    number->show();
    number->SetLimits(0, 127);
    QTest::keyClick(number, Qt::Key_1);
    ASSERT_TRUE(number->IsEditing());
    QTest::keyClicks(number->GetEditor(), "23456");
    EXPECT_EQ(number->GetEditor()->text(), "1234");
    number->SetFocusOwner(nullptr); // this one keeps the focus after typing
    QTest::keyClick(number->GetEditor(), Qt::Key_Enter);
    EXPECT_EQ(number->GetValue(), 127);
    EXPECT_EQ(owner.focusWidget(), number);
}

TEST(EditValueTest, DragAndWheelStepTheValue)
{
    QWidget owner;
    auto* tempo = new CEditTempo(&owner);
    tempo->setGeometry(0, 0, 60, 20);
    tempo->SetId(9);
    CIdRecorder changes(tempo, &CEditValue::ValueChanged);

    // Up is more; three pixels or less do nothing; tempo steps a beat per minute per pixel.
    Drag(*tempo, {30, 10}, {{30, 7}});
    EXPECT_EQ(tempo->GetValue(), 12000);
    Drag(*tempo, {30, 10}, {{30, 5}});
    EXPECT_EQ(tempo->GetValue(), 12100); // stops at the next multiple of the large step
    Drag(*tempo, {30, 10}, {{30, 15}});
    EXPECT_EQ(tempo->GetValue(), 12000);
    SendWheel(*tempo, 120);
    EXPECT_EQ(tempo->GetValue(), 12100);
    SendWheel(*tempo, -240);
    EXPECT_EQ(tempo->GetValue(), 11900);
    SendWheel(*tempo, 60); // half a notch waits for the other half
    EXPECT_EQ(tempo->GetValue(), 11900);
    SendWheel(*tempo, 60);
    EXPECT_EQ(tempo->GetValue(), 12000);
    EXPECT_EQ(changes.ids, std::vector<int>({9, 9, 9, 9, 9, 9})); // a notch per step

    auto* byte = new CEditByte(&owner);
    byte->setGeometry(0, 30, 60, 20);
    byte->SetValue(37);
    Drag(*byte, {30, 10}, {{30, 0}});
    EXPECT_EQ(byte->GetValue(), 40); // ten up, but the large step of 10 stops it at 40
    Drag(*byte, {30, 10}, {{30, 2}});
    EXPECT_EQ(byte->GetValue(), 48);
    Drag(*byte, {30, 2}, {{30, 300}});
    EXPECT_EQ(byte->GetValue(), 40);
    SendWheel(*byte, 120, Qt::ControlModifier);
    EXPECT_EQ(byte->GetValue(), 50);
}
