// Knob, fader, bitmap button, popup selector, status display and the theme's artwork.

#include "controls/ButtonBitmap.h"
#include "controls/ControlsTestSupport.h"
#include "controls/Fader.h"
#include "controls/Knob.h"
#include "controls/SelectList.h"
#include "controls/Theme.h"
#include "controls/WndStatusDisplay.h"
#include "model/ObjectColours.h"

#include <gtest/gtest.h>

#include <QMenu>
#include <QTest>
#include <QTimer>

#include <random>
#include <set>
#include <tuple>

TEST(KnobTest, KeysWheelAndDragChangeWithinSevenBits)
{
    QWidget owner;
    auto* knob = new CKnob(CKnob::EKind::Value, &owner);
    knob->setGeometry(0, 0, 28, 28);
    knob->SetId(31);
    CIdRecorder changes(knob, &CKnob::ValueChanged);
    EXPECT_EQ(knob->GetValue(), 0);
    EXPECT_EQ(knob->toolTip(), "Value: 0");

    struct Step {
        Qt::Key key;
        int expected;
    };
    const Step steps[] = {{Qt::Key_Plus, 1},          {Qt::Key_BracketRight, 17},
                          {Qt::Key_BracketRight, 33}, {Qt::Key_Minus, 32},
                          {Qt::Key_BracketLeft, 16},  {Qt::Key_BracketLeft, 0},
                          {Qt::Key_BracketLeft, 0},   {Qt::Key_0, 0}};
    for (const Step& s : steps) {
        QTest::keyClick(knob, s.key);
        EXPECT_EQ(knob->GetValue(), s.expected);
    }
    EXPECT_EQ(changes.ids.size(), 6u); // the steps that changed nothing notify nothing
    EXPECT_EQ(knob->toolTip(), "Value: 0");

    SendWheel(*knob, 120);
    SendWheel(*knob, 240);
    EXPECT_EQ(knob->GetValue(), 8);
    SendWheel(*knob, -120);
    EXPECT_EQ(knob->GetValue(), 4);
    knob->SetValue(125);
    SendWheel(*knob, 120);
    EXPECT_EQ(knob->GetValue(), 127);

    const QPoint c = knob->rect().center();
    Drag(*knob, c, {c + QPoint(0, 20)});
    EXPECT_EQ(knob->GetValue(), 107);
    Drag(*knob, c, {c + QPoint(9, -2)}); // sideways and within the threshold: nothing
    EXPECT_EQ(knob->GetValue(), 107);
    EXPECT_EQ(knob->toolTip(), "Value: 107");
    EXPECT_EQ(changes.ids, std::vector<int>(changes.ids.size(), 31));

    CKnob pan(CKnob::EKind::Pan);
    EXPECT_EQ(pan.GetValue(), 64);
    EXPECT_EQ(pan.toolTip(), "Pan: 0");
    pan.SetValue(52);
    EXPECT_EQ(pan.toolTip(), "Pan: 12L");
    QTest::keyClick(&pan, Qt::Key_0);
    EXPECT_EQ(pan.GetValue(), 64);
    pan.SetValue(200);
    EXPECT_EQ(pan.GetValue(), 127);
    EXPECT_EQ(pan.toolTip(), "Pan: 63R");
}

TEST(FaderTest, ThumbGeometryAndValueAgree)
{
    struct Row {
        int value, height, top;
    };
    for (const Row& r :
         {Row{127, 146, 1}, Row{0, 146, 128}, Row{64, 146, 64}, Row{127, 18, 0}, Row{100, 80, 13}})
        EXPECT_EQ(CFader::ThumbTop(r.value, r.height), r.top) << r.value << "/" << r.height;
    // The thumb moves down as the value falls, and putting it where a value draws it gives
    // that value back, up to the rounding of one pixel.
    for (int height = 60; height <= 300; height += 7) {
        const int travel = height - CFader::kThumbHeight;
        for (int v = 0; v <= 127; ++v) {
            const int back = CFader::ValueAt(CFader::ThumbTop(v, height), height);
            ASSERT_GE(back, v) << height << " " << v;
            ASSERT_LE(back, v + 128 / travel + 1) << height << " " << v;
            if (v > 0) {
                ASSERT_LE(CFader::ThumbTop(v, height), CFader::ThumbTop(v - 1, height));
            }
        }
        EXPECT_EQ(CFader::ValueAt(CFader::ThumbTop(0, height), height), 0);
    }
    EXPECT_EQ(CFader::ValueAt(-50, 146), 127);
    EXPECT_EQ(CFader::ValueAt(500, 146), 0);
}

TEST(FaderTest, PressDragKeysAndWheelNotify)
{
    QWidget owner;
    auto* fader = new CFader(&owner);
    fader->setGeometry(0, 0, 22, 146); // 128 pixels of travel: one value per pixel
    fader->SetId(4);
    CIdRecorder changes(fader, &CFader::ValueChanged);
    EXPECT_FALSE(fader->SetValue(0));
    EXPECT_TRUE(fader->SetValue(100));
    EXPECT_TRUE(changes.ids.empty());

    // A press beside the thumb brings its middle under the pointer at once.
    SendMouse(*fader, QEvent::MouseButtonPress, {10, 9 + 28}, Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(fader->GetValue(), 100);
    SendMouse(*fader, QEvent::MouseButtonRelease, {10, 37}, Qt::LeftButton, Qt::NoButton);
    SendMouse(*fader, QEvent::MouseButtonPress, {10, 9 + 64}, Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(fader->GetValue(), 64);
    // While held, moves follow with the same grab offset, limited to 0..127.
    SendMouse(*fader, QEvent::MouseMove, {10, 9 + 100}, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(fader->GetValue(), 28);
    SendMouse(*fader, QEvent::MouseMove, {10, -40}, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(fader->GetValue(), 127);
    SendMouse(*fader, QEvent::MouseButtonRelease, {10, -40}, Qt::LeftButton, Qt::NoButton);
    SendMouse(*fader, QEvent::MouseMove, {10, 140}, Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(fader->GetValue(), 127);
    EXPECT_EQ(fader->toolTip(), "127");

    // Grabbing the thumb away from its middle keeps that offset.
    fader->SetValue(64); // thumb top at 64
    SendMouse(*fader, QEvent::MouseButtonPress, {10, 64 + 2}, Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(fader->GetValue(), 64);
    SendMouse(*fader, QEvent::MouseMove, {10, 64 + 2 + 10}, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(fader->GetValue(), 54);
    SendMouse(*fader, QEvent::MouseButtonRelease, {10, 76}, Qt::LeftButton, Qt::NoButton);

    QTest::keyClick(fader, Qt::Key_BracketRight);
    EXPECT_EQ(fader->GetValue(), 70);
    QTest::keyClick(fader, Qt::Key_0);
    EXPECT_EQ(fader->GetValue(), 0);
    SendWheel(*fader, 240);
    EXPECT_EQ(fader->GetValue(), 4);
    EXPECT_EQ(changes.ids, std::vector<int>({4, 4, 4, 4, 4, 4, 4}));
}

TEST(ButtonBitmapTest, SignalsFacesAndLatch)
{
    QWidget owner;
    auto* button = new CButtonBitmap(&owner);
    button->setGeometry(0, 0, 16, 19);
    button->SetId(12);
    std::vector<std::string> log;
    QObject::connect(button, &CButtonBitmap::Command,
                     [&](int id) { log.push_back("cmd" + std::to_string(id)); });
    QObject::connect(button, &CButtonBitmap::ButtonPressed,
                     [&](int id) { log.push_back("down" + std::to_string(id)); });
    QObject::connect(button, &CButtonBitmap::ButtonReleased,
                     [&](int id) { log.push_back("up" + std::to_string(id)); });
    QObject::connect(button, &CButtonBitmap::RightButton,
                     [&](int id) { log.push_back("right" + std::to_string(id)); });

    EXPECT_FALSE(button->GetShownFace().has_value()); // no artwork: a black face
    EXPECT_EQ(button->grab().toImage().pixelColor(8, 9), QColor(Qt::black));
    button->SetArtwork(EArtwork::Play);
    const CArtFace normal{EArtwork::Play, EArtState::Normal};
    const CArtFace pressed{EArtwork::Play, EArtState::Pressed};
    EXPECT_EQ(button->GetShownFace(), normal);

    SendMouse(*button, QEvent::MouseButtonPress, {8, 9}, Qt::LeftButton, Qt::LeftButton);
    EXPECT_TRUE(button->IsHeld());
    EXPECT_EQ(button->GetShownFace(), pressed);
    SendMouse(*button, QEvent::MouseButtonRelease, {8, 9}, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(button->GetShownFace(), normal);
    SendMouse(*button, QEvent::MouseButtonPress, {8, 9}, Qt::RightButton, Qt::RightButton);
    QTest::keyPress(button, Qt::Key_Space);
    QTest::keyRelease(button, Qt::Key_Space);
    EXPECT_EQ(log, std::vector<std::string>(
                       {"cmd12", "down12", "up12", "right12", "cmd12", "down12", "up12"}));

    button->SetLatched(true);
    EXPECT_EQ(button->GetShownFace(), pressed);
    button->setEnabled(false);
    EXPECT_EQ(button->GetShownFace(), (CArtFace{EArtwork::Play, EArtState::Disabled}));
    button->setEnabled(true);
    // The owner swaps the pair to show a state (the loop button).
    button->SetFaces({EArtwork::Loop, EArtState::Pressed}, {EArtwork::Loop, EArtState::Pressed});
    button->SetLatched(false);
    EXPECT_EQ(button->GetShownFace(), (CArtFace{EArtwork::Loop, EArtState::Pressed}));
}

TEST(SelectListTest, OwnListChoosesAndNotifyOnlyLeavesItToTheOwner)
{
    QWidget owner;
    owner.resize(200, 100);
    auto* list = new CSelectList(CSelectList::EMode::OwnList, &owner);
    list->setGeometry(10, 10, 80, 18);
    list->SetId(3);
    list->SetItems({CSelectItem{0, "Off", "", false, {}}, CSelectItem::Separator(),
                    CSelectItem{96, "1/4", "Quarter (1/4)", false, {}},
                    CSelectItem{48, "1/8", "Eighth (1/8)", false, {}},
                    CSelectItem{0, "More", "", false, {CSelectItem{18, "1/32.", "", false, {}}}}});
    owner.show();
    CIdRecorder changes(list, &CSelectList::ValueChanged);
    CIdRecorder clicks(list, &CSelectList::Clicked);

    EXPECT_TRUE(list->SetValue(96));
    EXPECT_EQ(list->GetText(), "1/4");
    EXPECT_EQ(list->FindItem(18)->shortText, "1/32.");

    // A click opens the list of long texts; choosing an entry notifies.
    QStringList shown;
    QTimer::singleShot(0, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        for (QAction* a : menu->actions())
            shown << a->text();
        // The chosen entry is active when the list opens; one down is the eighth.
        QTest::keyClick(menu, Qt::Key_Down);
        QTest::keyClick(menu, Qt::Key_Return);
    });
    SendMouse(*list, QEvent::MouseButtonPress, {5, 5}, Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(shown, QStringList({"Off", "", "Quarter (1/4)", "Eighth (1/8)", "More"}));
    EXPECT_EQ(list->GetValue(), 48);
    EXPECT_EQ(list->GetText(), "1/8");
    // Arrow keys walk the entries, skipping the separator.
    QTest::keyClick(list, Qt::Key_Up);
    QTest::keyClick(list, Qt::Key_Up);
    EXPECT_EQ(list->GetValue(), 0);
    EXPECT_EQ(changes.ids, std::vector<int>({3, 3, 3}));
    EXPECT_TRUE(clicks.ids.empty());

    auto* field = new CSelectList(CSelectList::EMode::NotifyOnly, &owner);
    field->setGeometry(10, 40, 80, 18);
    field->SetId(8);
    CIdRecorder fieldClicks(field, &CSelectList::Clicked);
    SendMouse(*field, QEvent::MouseButtonPress, {5, 5}, Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(fieldClicks.ids, std::vector<int>{8});
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    field->SetSelection(2, "Synth A");
    EXPECT_EQ(field->GetText(), "Synth A");
}

TEST(StatusDisplayTest, MarkupSplitsIntoColouredRuns)
{
    CWndStatusDisplay display;
    display.RegisterEditorTags();
    display.RegisterTag("<<Name>>", Qt::red, Qt::red); // already there: keeps the first colours
    const QColor bg = CTheme::DisplayBackground();
    const QColor white(Qt::white);
    using Runs = std::vector<CStatusSegment>;
    struct Row {
        const char* text;
        Runs runs;
    };
    const Row rows[] = {
        {"", {}},
        {"plain", {{"plain", white, bg}}},
        {"<<Desc>>Pitch: <<Value>>C5",
         {{"Pitch: ", CTheme::DescColour(), bg}, {"C5", CTheme::ValueColour(), bg}}},
        {"a>>b<<c", {{"a>>b<<c", white, bg}}},
        {"x<<Desc>>", {{"x", white, bg}}},
        {"<<Value>>1<<Text>>2<<Name>>3",
         {{"1", CTheme::ValueColour(), bg}, {"2", white, bg}, {"3", white, bg}}},
        {"<<Desc>>a<<b", {{"a<<b", CTheme::DescColour(), bg}}},
    };
    for (const Row& row : rows)
        EXPECT_EQ(CWndStatusDisplay::Segments(row.text, display.GetTags()), row.runs) << row.text;

    // Painted: the value run shows in the value colour on the display background.
    display.resize(200, 16);
    display.SetText("<<Value>>||||||||||||||||||||");
    const QImage image = display.grab().toImage();
    bool background = false, value = false;
    for (int x = 0; x < image.width(); ++x) {
        const QColor c = image.pixelColor(x, image.height() / 2);
        background |= c == bg;
        value |= c.green() > 150 && c.red() < 100 && c.blue() > 100;
    }
    EXPECT_TRUE(background);
    EXPECT_TRUE(value);
}

TEST(ThemeTest, ArtworkIsSizedByPixelRatioAndCached)
{
    CTheme::ClearCaches();
    for (qreal dpr : {1.0, 2.0}) {
        std::set<size_t> fingerprints;
        for (int art = 0; art <= static_cast<int>(EArtwork::Input); ++art)
            for (int state = 0; state <= 2; ++state) {
                const CArtFace face{static_cast<EArtwork>(art), static_cast<EArtState>(state)};
                const QPixmap pixmap = CTheme::Artwork(face, QSize(23, 14), dpr);
                ASSERT_EQ(pixmap.size(), QSize(23, 14) * dpr);
                EXPECT_EQ(pixmap.devicePixelRatio(), dpr);
                // Every face draws something of its own: no two images are the same.
                const QImage image = pixmap.toImage();
                fingerprints.insert(qHashBits(image.constBits(), image.sizeInBytes()));
            }
        EXPECT_EQ(fingerprints.size(), (static_cast<size_t>(EArtwork::Input) + 1) * 3);
    }
    const int cached = CTheme::CachedPixmapCount();
    CTheme::Artwork({EArtwork::Play, EArtState::Normal}, QSize(23, 14), 2.0);
    EXPECT_EQ(CTheme::CachedPixmapCount(), cached);
    EXPECT_EQ(CTheme::Knob(300, false, false, 28, 2.0).size(), QSize(56, 56));
    EXPECT_EQ(CTheme::Knob(300, false, false, 28, 2.0).toImage(),
              CTheme::Knob(127, false, false, 28, 2.0).toImage());

    // The object palette comes from the model, word for word.
    for (int i = 0; i < CObjectColours::kCount; ++i)
        EXPECT_EQ(CTheme::ToColourRef(CTheme::ObjectColour(i)), CObjectColours::kPalette[i]);
    EXPECT_EQ(CTheme::ObjectColour(-1), CTheme::ObjectColour(CObjectColours::kCount - 1));
    EXPECT_EQ(CTheme::FromColourRef(0x3C14DC), QColor(0xDC, 0x14, 0x3C));
}
