#pragma once
// Moving the pitches of selected notes with the help of a harmonic scale: onto the scale, or to
// random scale tones within the selection's pitch range. User-interface thread.

#include <string>

#include "editing/Modifiers.h"
#include "model/HarmonicScale.h"

class CProjectDoc;
class CRandomGenerator;

// Every pitch snapped to the scale (a tone outside it goes up to the next scale tone).
class CModifierTransposeToScale : public CModifier {
public:
    explicit CModifierTransposeToScale(const CHarmonicScale& scale) : m_scale(scale) {}
    void ModifyNotes(const CNoteList& src, const CNoteArea& area, CNoteList& dst) override;
    std::string GetName() const override { return "Transpose To Harmonic Scale"; }

private:
    CHarmonicScale m_scale;
};

// Every pitch drawn from the area's pitch range [low edge, high edge) with random (borrowed),
// then snapped to the scale. An area whose pitch edges are equal has no range: the notes stay.
class CModifierTransposeRandom : public CModifier {
public:
    CModifierTransposeRandom(const CHarmonicScale& scale, CRandomGenerator& random)
        : m_scale(scale), m_random(random)
    {}
    void ModifyNotes(const CNoteList& src, const CNoteArea& area, CNoteList& dst) override;
    std::string GetName() const override { return "Transpose Randomize"; }

private:
    CHarmonicScale m_scale;
    CRandomGenerator& m_random;
};

// The area of transposed notes: the old area with its pitch edges snapped to the scale, joined
// with the notes' bounding rectangle; time and pitch edges in ascending order.
CNoteArea TransposedArea(const CNoteArea& area, const CNoteList& notes,
                         const CHarmonicScale& scale);

// Text of the Key chooser for a key: its name, or "-" while the mode is 0 ("None").
std::string KeyChoiceText(int key, int mode);

// Gives the project the key and mode of scale and refreshes its windows. Not an operation: no
// history entry, but the project counts as modified (the scale is saved with it). False, with
// nothing changed, when the scale is the same.
bool SetProjectScale(CProjectDoc& doc, const CHarmonicScale& scale);
