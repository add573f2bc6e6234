// The window tests' main: one QApplication, on the offscreen platform unless
// the environment names another (a real X server shows the windows).
#include <gtest/gtest.h>

#include <QApplication>

#include "ui/translations.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  edi::ui::InstallJapaneseTranslations(app);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
