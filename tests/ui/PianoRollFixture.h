#pragma once
// A running program with one phrase in a bank and its piano roll open, driven with real keys
// and mouse clicks on the note canvas.

#include <QTest>

#include <string>
#include <vector>

#include "editors/PianoRollContext.h"
#include "editors/PianoRollEditor.h"
#include "editors/ViewPianoRoll.h"
#include "model/Phrase.h"
#include "ui/UiFixture.h"

class CPianoRollFixture : public CUiFixture {
protected:
    // Starts the program with phrase "Riff" (length, notes) and opens its piano roll, 900 x 560.
    void Open(tick length, const std::vector<CNote>& notes = {});

    CProjectDoc& Doc() { return *m_doc; }
    CPhrase& Phrase() { return *m_phrase; }
    CPianoRollEditor& Editor() { return *m_editor; }
    CViewPianoRoll& Canvas() { return m_editor->Canvas(); }
    CPianoRollContext& Context() { return m_editor->Context(); }
    CFramePianoRoll& RollFrame();

    void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    // The centre of a cell in the canvas's viewport.
    QPoint PointAt(tick at, int32_t pitch);
    void Click(tick at, int32_t pitch, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    // Presses at one cell, moves to another and lets go.
    void Band(tick fromTick, int32_t fromPitch, tick toTick, int32_t toPitch);
    void DoubleClick(tick at, int32_t pitch);

    // Name of the operation Undo would undo now; empty when none.
    std::string LastOperation();
    std::vector<CNote> Notes() const;
    void Place(tick at, int32_t pitch);

    CProjectDoc* m_doc = nullptr;
    CPhrase* m_phrase = nullptr;
    CPianoRollEditor* m_editor = nullptr;
};
