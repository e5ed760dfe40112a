#pragma once
// The shell's own artwork: the images of the project tree and the child frames (indices as the
// theme's image list numbers them) and the application icon. Images are painted as vectors at
// the size and device-pixel ratio asked for, so they stay crisp at any scale.

#include <QColor>
#include <QIcon>

enum class EShellImage {
    Project = 0,
    Tracks = 1,
    Mixer = 2,
    Track = 3,
    PhraseBank = 4,
    Phrase = 5,
    PianoRoll = 6,
};

QIcon ShellIcon(EShellImage image);
// The program's icon in every shipped size.
QIcon ApplicationIcon();

// Colours of the window background that views show until they draw content of their own.
QColor ViewBackground();
QColor ViewGrid();
