// Colours and sizes as the settings file gives them: Windows colour numbers
// (0x00BBGGRR, or a system colour when the high bit 0x80000000 is set) and
// twips (15 to a pixel).
#pragma once

#include <QColor>
#include <QPalette>

namespace edi::ui {

// The colour of a Windows colour number, as read from EDI.ini (a double;
// negative values are the signed form of numbers with the high bit set).
// System colours come from `palette`.
QColor WindowsColour(double number, const QPalette& palette);

// Twips to pixels.
constexpr int Twips(int twips) { return (twips + 7) / 15; }

// The font family that stands in for "ＭＳ ゴシック": an installed Japanese
// monospace font.
QString JapaneseMonospaceFamily();

// Registers the substitution for "ＭＳ ゴシック" (and "MS Gothic") with Qt.
void SubstituteJapaneseFonts();

}  // namespace edi::ui
