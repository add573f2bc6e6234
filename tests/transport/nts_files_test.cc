#include "transport/nts_files.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace edi {
namespace {

TEST(NtsStatus, FirstFieldOfTheStatusFile) {
  EXPECT_EQ(StatusFirstField("\"0105\",00000012,1\r\n"), "0105");
  EXPECT_EQ(StatusFirstField("  0000 ,x"), "0000");
  EXPECT_EQ(StatusFirstField("\" 0\"\r\n"), " 0");
  EXPECT_EQ(StatusFirstField("0105\r\nsecond line"), "0105");
  EXPECT_EQ(StatusFirstField(""), "");
  EXPECT_EQ(StatusFirstField("\"unclosed"), "unclosed");
}

TEST(NtsStatus, NumericallyZeroIsSuccess) {
  EXPECT_EQ(PackageStatus("0"), "0000");
  EXPECT_EQ(PackageStatus(" 0"), "0000");
  EXPECT_EQ(PackageStatus(""), "0000");
  EXPECT_EQ(PackageStatus("A123"), "0000") << "a letter first is numerically zero";
  EXPECT_EQ(PackageStatus("0105"), "0105");
  EXPECT_EQ(PackageStatus("01050"), "0105") << "the first four characters";
  EXPECT_EQ(PackageStatus("12AB"), "12AB");
}

// A log: a first line, then 88-byte records of (count, key).
std::string Log(std::initializer_list<std::pair<long, std::string>> records) {
  std::string log = "NTS100 LOG\n";
  for (const auto& [count, key] : records) {
    char record[96];
    std::snprintf(record, sizeof record, "%-71s%07ld %8.8s\n", "P01 F01", count, key.c_str());
    log += record;
  }
  return log;
}

TEST(NtsLog, TheRecordNearestTheEndWins) {
  long long count = 0;
  const std::string log = Log({{7, "00000123"}, {5, "00000200"}, {9, "00000123"}});
  ASSERT_TRUE(FindTransferInLog(log, 123, count));
  EXPECT_EQ(count, 9);
  ASSERT_TRUE(FindTransferInLog(log, 200, count));
  EXPECT_EQ(count, 5);
  EXPECT_FALSE(FindTransferInLog(log, 124, count));
}

TEST(NtsLog, KeysCompareAsNumbers) {
  long long count = 0;
  ASSERT_TRUE(FindTransferInLog(Log({{42, "     123"}}), 123, count));
  EXPECT_EQ(count, 42);
}

TEST(NtsLog, TheFirstLineAndShortFilesAreNoRecords) {
  long long count = 0;
  EXPECT_FALSE(FindTransferInLog("", 1, count));
  EXPECT_FALSE(FindTransferInLog("00000001", 1, count));
  // A first line that looks like a record's end is not read.
  EXPECT_FALSE(FindTransferInLog(std::string(80, ' ') + "0000007 00000001\n", 1, count));
  EXPECT_FALSE(FindTransferInLog("no newline at all but long enough to hold 0000007 00000001\n", 2, count));
}

}  // namespace
}  // namespace edi
