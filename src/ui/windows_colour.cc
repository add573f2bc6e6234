#include "ui/windows_colour.h"

#include <QFont>
#include <QFontDatabase>

#include <cmath>
#include <cstdint>

namespace edi::ui {
namespace {

// The Windows system colour indices the settings use, by palette role.
QColor SystemColour(uint32_t index, const QPalette& p) {
  switch (index) {
    case 5: return p.color(QPalette::Base);              // COLOR_WINDOW
    case 8: return p.color(QPalette::Text);              // COLOR_WINDOWTEXT
    case 13: return p.color(QPalette::Highlight);        // COLOR_HIGHLIGHT
    case 14: return p.color(QPalette::HighlightedText);  // COLOR_HIGHLIGHTTEXT
    case 15: return p.color(QPalette::Button);           // COLOR_BTNFACE
    case 16: return p.color(QPalette::Dark);             // COLOR_BTNSHADOW
    case 17: return p.color(QPalette::PlaceholderText);  // COLOR_GRAYTEXT
    case 18: return p.color(QPalette::ButtonText);       // COLOR_BTNTEXT
    case 20: return p.color(QPalette::Light);            // COLOR_BTNHIGHLIGHT
    case 7: return p.color(QPalette::WindowText);        // COLOR_MENUTEXT
    case 9: return p.color(QPalette::HighlightedText);   // COLOR_CAPTIONTEXT
    default: return p.color(QPalette::Window);
  }
}

}  // namespace

QColor WindowsColour(double number, const QPalette& palette) {
  const auto value = static_cast<uint32_t>(static_cast<int64_t>(std::llround(number)));
  if ((value & 0x80000000u) != 0) return SystemColour(value & 0xFFu, palette);
  return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                static_cast<int>((value >> 16) & 0xFF));
}

QString JapaneseMonospaceFamily() {
  static const QString family = [] {
    const QStringList families = QFontDatabase::families();
    for (const char* wanted : {"Noto Sans Mono CJK JP", "IPAGothic", "VL Gothic", "Noto Sans CJK JP"}) {
      if (families.contains(QString::fromUtf8(wanted))) return QString::fromUtf8(wanted);
    }
    return QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
  }();
  return family;
}

void SubstituteJapaneseFonts() {
  for (const char* name : {"ＭＳ ゴシック", "MS Gothic", "ＭＳ Ｐゴシック"}) {
    QFont::insertSubstitution(QString::fromUtf8(name), JapaneseMonospaceFamily());
  }
}

}  // namespace edi::ui
