// Qt's own texts in Japanese (the buttons of message boxes, the file
// dialogs), from the translations Debian installs with Qt.
#pragma once

#include <QCoreApplication>

namespace edi::ui {

// Installs Qt's Japanese translations into `app`; false when they are not
// installed (Qt's texts then stay English).
bool InstallJapaneseTranslations(QCoreApplication& app);

}  // namespace edi::ui
