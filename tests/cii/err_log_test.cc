#include "cii/err_log.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "support/test_db.h"

namespace edi::cii {
namespace {

std::string ReadAll(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(WriteErrLog, CodesLinesAndTheKeptErrorCode) {
  ConverterState state;
  state.errLogPath = test::TempDir("log") / "ERR.LOG";
  WriteErrLog(state, 0, "x", 0);
  EXPECT_EQ(state.convErrorText, "");
  WriteErrLog(state, 3, "", 0);
  EXPECT_EQ(state.convErrorText, "0003");
  WriteErrLog(state, 9, "", 1);
  EXPECT_EQ(state.convErrorText, "0003");
  WriteErrLog(state, 12, "長さ違い", 1);
  WriteErrLog(state, 7, "", 0);
  EXPECT_EQ(state.convErrorText, "0007");
  EXPECT_EQ(ReadAll(state.errLogPath), "0000x\r\n0003\r\n0009\r\n0012長さ違い\r\n0007\r\n");
}

}  // namespace
}  // namespace edi::cii
