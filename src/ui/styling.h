// The window styling of section Setting0: the window's back colour, and for
// every label named "lbl_..." the Label keys, for every "tit_..." the Title
// keys, for every text box the Text keys (colours, font name, size, bold,
// italic, strike-through, underline).
#pragma once

#include <QFont>
#include <QWidget>

#include "startup/program_state.h"

namespace edi::ui {

// The font of a font setting ("ＭＳ ゴシック" stands for the installed
// Japanese monospace font).
QFont SettingFont(const FontSettings& font, const QFont& fallback);

// Applies the styling to `window` and its children. False when a value
// cannot be applied (the window shows "項目設定エラー" then).
bool ApplyDisplaySettings(QWidget& window, const DisplaySettings& display);

}  // namespace edi::ui
