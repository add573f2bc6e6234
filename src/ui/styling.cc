#include "ui/styling.h"

#include <QLabel>
#include <QLineEdit>

#include "startup/setting_numbers.h"
#include "ui/windows_colour.h"

namespace edi::ui {
namespace {

bool IsTrue(const std::string& flag) { return flag == "True" || flag == "true" || flag == "-1" || flag == "1"; }

void Colour(QWidget& widget, QPalette::ColorRole role, double number) {
  QPalette palette = widget.palette();
  palette.setColor(role, WindowsColour(number, palette));
  widget.setPalette(palette);
}

void Style(QWidget& widget, double back, double fore, const FontSettings& font, QPalette::ColorRole backRole,
           QPalette::ColorRole foreRole) {
  widget.setAutoFillBackground(true);
  Colour(widget, backRole, back);
  Colour(widget, foreRole, fore);
  widget.setFont(SettingFont(font, widget.font()));
}

}  // namespace

QFont SettingFont(const FontSettings& settings, const QFont& fallback) {
  QFont font = fallback;
  if (!settings.name.empty()) font.setFamily(QString::fromStdString(settings.name));
  if (auto size = ParseSettingNumber(settings.size); size && *size > 0) font.setPointSizeF(*size);
  font.setBold(IsTrue(settings.bold));
  font.setItalic(IsTrue(settings.italic));
  font.setStrikeOut(IsTrue(settings.strikethru));
  font.setUnderline(IsTrue(settings.underline));
  return font;
}

bool ApplyDisplaySettings(QWidget& window, const DisplaySettings& display) {
  if (auto back = ParseSettingNumber(display.formBackColor)) {
    window.setAutoFillBackground(true);
    Colour(window, QPalette::Window, *back);
  }
  for (QLabel* label : window.findChildren<QLabel*>()) {
    const QString name = label->objectName();
    if (name.startsWith("lbl_")) {
      Style(*label, display.labelBackColor, display.labelForeColor, display.labelFont, QPalette::Window,
            QPalette::WindowText);
    } else if (name.startsWith("tit_")) {
      Style(*label, display.titleBackColor, display.titleForeColor, display.titleFont, QPalette::Window,
            QPalette::WindowText);
    }
  }
  for (QLineEdit* box : window.findChildren<QLineEdit*>()) {
    Style(*box, display.textBackColor, display.textForeColor, display.textFont, QPalette::Base, QPalette::Text);
  }
  return true;
}

}  // namespace edi::ui
