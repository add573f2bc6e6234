#include "ui/mail_progress_window.h"

#include <gtest/gtest.h>

#include "qt_app.h"

namespace edi::ui {
namespace {

TEST(MailProgressWindowTest, ListsTheStepsInOrderAndStartsEmptyOnEveryOpen) {
  test::TestApplication();
  MailProgressWindow window;
  window.Open();
  EXPECT_TRUE(window.isVisible());
  window.AddStep("ログオン");
  window.AddStep("受信トレイ検索");
  window.AddStep("添付ファイル格納");
  ASSERT_EQ(window.list().count(), 3);
  EXPECT_EQ(window.list().item(0)->text(), QString::fromUtf8("ログオン"));
  EXPECT_EQ(window.list().item(2)->text(), QString::fromUtf8("添付ファイル格納"));
  window.Close();
  EXPECT_FALSE(window.isVisible());
  window.Open();
  EXPECT_EQ(window.list().count(), 0);
}

TEST(MailProgressWindowTest, AnErrorGoesToTheErrorBoxWithItsText) {
  test::TestApplication();
  MailProgressWindow window;
  QString shown;
  window.showErrorBox = [&](const QString& text) { shown = text; };
  window.ShowError("Error 3: 接続できません");
  EXPECT_EQ(shown, QString::fromUtf8("Error 3: 接続できません"));
}

}  // namespace
}  // namespace edi::ui
