#include "cii/err_log.h"

#include <gtest/gtest.h>

#include "support/format_fixture.h"
#include "support/test_db.h"

namespace edi::cii {
namespace {

TEST(ErrLog, EveryCallWritesOneLineWithItsFourDigitCode) {
  ErrLog log(test::TempDir("log") / "ERR.LOG");
  ConversionResult result(log);
  log.Write(0, "x");
  result.Stop(3);
  EXPECT_EQ(result.Text(), "0003");
  result.Note(9);
  EXPECT_EQ(result.Text(), "0003") << "a noted code does not change the result";
  result.Note(12, "長さ違い");
  EXPECT_FALSE(result.Stop(7)) << "a stop returns false, to stop a walk";
  EXPECT_EQ(result.Text(), "0003") << "the first stopping error is the result";
  EXPECT_EQ(test::ReadFile(log.path().string()), "0000x\r\n0003\r\n0009\r\n0012長さ違い\r\n0007\r\n");
}

TEST(ErrLog, ALogThatCannotBeWrittenIsReported) {
  ErrLog log(test::TempDir("log-folder"));  // a folder: no line can be appended
  testing::internal::CaptureStderr();
  log.Write(22, "cannot write /x");
  log.Write(22, "again");
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("ERR.LOG cannot be written"), std::string::npos);
  EXPECT_NE(said.find("0022cannot write /x"), std::string::npos);
  EXPECT_EQ(said.find("again"), std::string::npos) << "reported once";
}

TEST(ErrLog, EveryCodeTheConvertersWriteIsDescribed) {
  for (int code : {1, 2, 3, 4, 5, 7, 8, 9, 10, 11, 12, 13, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27,
                   28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38}) {
    EXPECT_FALSE(DescribeConverterCode(code).empty()) << code;
  }
  EXPECT_TRUE(DescribeConverterCode(6).empty());
}

}  // namespace
}  // namespace edi::cii
