#include "cii/format_lookup.h"

#include <gtest/gtest.h>

namespace edi::cii {
namespace {

RecordFormatRow Row(int serial, int level, int itemNo, const char* attribute, const char* multiNo = "") {
  RecordFormatRow r;
  r.serial = serial;
  r.level = level;
  r.itemNo = itemNo;
  r.attribute = attribute;
  r.multiNo = multiNo;
  return r;
}

const FormatRows kRows = {
    Row(1, 0, 1, "X"),      Row(2, 0, 5, "M", "1"), Row(3, 1, 6, "X"), Row(4, 1, 7, "9"),
    Row(5, 0, 5, "M", "A"), Row(6, 1, 6, "X"),      Row(7, 0, 9, "M", "300"), Row(8, 1, 6, "K"),
};

TEST(FormatLookup, ItemNumbersAtALevel) {
  int start = 0;
  EXPECT_TRUE(FindCiiRowByItemNo(kRows, start, 1, 0));
  EXPECT_EQ(start, 0);
  start = 0;
  EXPECT_FALSE(FindCiiRowByItemNo(kRows, start, 6, 1));  // row 1 is of a lower level
  start = 2;
  EXPECT_TRUE(FindCiiRowByItemNo(kRows, start, 6, 1));
  EXPECT_EQ(start, 2);
  start = 0;
  EXPECT_TRUE(FindCiiRowByItemNo(kRows, start, 9, 0));  // level-1 rows are passed over
  EXPECT_EQ(start, 6);
  start = 3;
  EXPECT_FALSE(FindCiiRowByItemNo(kRows, start, 6, 1));  // row 5 is of a lower level
  start = 0;
  EXPECT_FALSE(FindCiiRowByItemNo(kRows, start, 42, 0));  // past the end
  EXPECT_EQ(start, 0);
}

TEST(FormatLookup, GroupsByPositionCharacterAndNumber) {
  int start = 0;
  EXPECT_TRUE(FindCiiGroupRow(kRows, start, 0, {}));
  EXPECT_EQ(start, 1);
  start = 2;  // after the first group: its members are passed over, the sibling is found
  EXPECT_TRUE(FindCiiGroupRow(kRows, start, 0, {}));
  EXPECT_EQ(start, 4);
  start = 3;
  EXPECT_FALSE(FindCiiGroupRow(kRows, start, 1, {}));  // the level-0 row 5 ends the search
  start = 0;
  EXPECT_TRUE(FindCiiGroupRow(kRows, start, 0, {MultiNoKey::kCharacter, 'A'}));
  EXPECT_EQ(start, 4);
  start = 0;
  EXPECT_TRUE(FindCiiGroupRow(kRows, start, 0, {MultiNoKey::kCharacter, '1'}));
  EXPECT_EQ(start, 1);
  start = 0;
  EXPECT_FALSE(FindCiiGroupRow(kRows, start, 0, {MultiNoKey::kCharacter, 1}));  // 0x01 is not "1"
  start = 0;
  EXPECT_TRUE(FindCiiGroupRow(kRows, start, 0, {MultiNoKey::kNumber, 300}));
  EXPECT_EQ(start, 6);
  start = 0;
  EXPECT_FALSE(FindCiiGroupRow(kRows, start, 0, {MultiNoKey::kNumber, 301}));
  EXPECT_EQ(FindLocalRowBySerial(kRows, 4), 3);
  EXPECT_EQ(FindLocalRowBySerial(kRows, 99), -1);
  EXPECT_EQ(FindLocalRowBySerial({}, 1), -1);
}

}  // namespace
}  // namespace edi::cii
