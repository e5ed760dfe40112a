#include "ui/PianoRollFixture.h"

#include "model/PhraseBank.h"

void CPianoRollFixture::Open(tick length, const std::vector<CNote>& notes)
{
    Start();
    m_doc = Projects().GetActiveProject();
    auto bank = std::make_unique<CPhraseBank>("Bank A");
    auto phrase = std::make_unique<CPhrase>();
    phrase->SetName("Riff");
    phrase->SetLength(length);
    phrase->SetColour(0x3366CC);
    phrase->SetId(m_doc->NewObjectId());
    for (const CNote& note : notes)
        phrase->GetNotes().Insert(note);
    m_phrase = phrase.get();
    bank->InsertAt(0, std::move(phrase));
    m_doc->InsertBank(-1, std::move(bank));
    WindowsOf(*m_doc).OpenPianoRoll(*m_phrase, true);
    Settle();
    CFramePianoRoll& frame = RollFrame();
    frame.resize(900, 560);
    m_editor = &frame.GetEditor();
    Settle();
    Canvas().setFocus();
    Settle();
}

CFramePianoRoll& CPianoRollFixture::RollFrame()
{
    CFramePianoRoll* frame = WindowsOf(*m_doc).GetPianoRoll(*m_phrase);
    EXPECT_NE(frame, nullptr);
    return *frame;
}

void CPianoRollFixture::Key(int key, Qt::KeyboardModifiers modifiers)
{
    QTest::keyClick(&Canvas(), static_cast<Qt::Key>(key), modifiers);
}

QPoint CPianoRollFixture::PointAt(tick at, int32_t pitch)
{
    Context().MakeVisible(at, pitch);
    const CPianoRollGeometry& g = Context().Geometry();
    return {g.TickToX(at) + 1, g.PitchToY(pitch) + g.GetPitchHeight() / 2};
}

void CPianoRollFixture::Click(tick at, int32_t pitch, Qt::KeyboardModifiers modifiers)
{
    QTest::mouseClick(Canvas().viewport(), Qt::LeftButton, modifiers, PointAt(at, pitch));
}

void CPianoRollFixture::Band(tick fromTick, int32_t fromPitch, tick toTick, int32_t toPitch)
{
    QWidget* viewport = Canvas().viewport();
    QTest::mousePress(viewport, Qt::LeftButton, {}, PointAt(fromTick, fromPitch));
    const CPianoRollGeometry& g = Context().Geometry();
    const QPoint to(g.TickToX(toTick) + 1, g.PitchToY(toPitch) + g.GetPitchHeight() / 2);
    QTest::mouseMove(viewport, to);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, to);
}

void CPianoRollFixture::DoubleClick(tick at, int32_t pitch)
{
    QTest::mouseDClick(Canvas().viewport(), Qt::LeftButton, {}, PointAt(at, pitch));
}

std::string CPianoRollFixture::LastOperation()
{
    const CCommandState state = m_doc->UpdateUndo();
    if (!state.enabled) return {};
    // "&Undo <name>  \tCtrl+Z"
    std::string text = state.text.substr(state.text.find(' ') + 1);
    return text.substr(0, text.find("  \t"));
}

std::vector<CNote> CPianoRollFixture::Notes() const
{
    const CNoteList& notes = m_phrase->GetNotes();
    return {notes.begin(), notes.end()};
}

void CPianoRollFixture::Place(tick at, int32_t pitch)
{
    Canvas().MoveCursor(at, pitch, false);
}
