#include "cii/group_walker.h"

#include <gtest/gtest.h>

#include "cii/syntax/cii_layout.h"

namespace edi::cii {
namespace {

RecordFormatRow Row(int level, int itemNo, const std::string& attribute = "X", const std::string& multiNo = "") {
  RecordFormatRow row;
  row.level = level;
  row.itemNo = itemNo;
  row.attribute = attribute;
  row.multiNo = multiNo;
  return row;
}

GroupMarker OneByteStart() { return GroupMarker{kGroupStart, false, 0, 0}; }
GroupMarker NumberedStart(int number) { return GroupMarker{kGroupStartNumber, true, number, 0}; }

// 0: item 1 | 1: group "1" { 2: item 10, 3: group "2" { 4: item 11 } } | 5: group "45" { 6: item 12 } | 7: item 2
const FormatRows kRows = {Row(0, 1),      Row(0, 0, "M", "1"), Row(1, 10),  Row(1, 0, "M", "2"),
                          Row(2, 11),     Row(0, 0, "M", "45"), Row(1, 12), Row(0, 2)};

TEST(GroupWalker, ElementsAreFoundAtTheirLevelInTableOrder) {
  GroupWalker walker(kRows);
  walker.StartMessage();
  EXPECT_EQ(walker.ElementRow(1), 0);
  EXPECT_EQ(walker.ElementRow(10), -1) << "item 10 lies inside a group";
  ASSERT_EQ(walker.EnterGroup(OneByteStart()), GroupWalker::Marker::kApplied);
  EXPECT_EQ(walker.depth(), 1);
  EXPECT_EQ(walker.ElementRow(10), 2);
  ASSERT_EQ(walker.EnterGroup(OneByteStart()), GroupWalker::Marker::kApplied);
  EXPECT_EQ(walker.ElementRow(11), 4);
  EXPECT_EQ(walker.NextRepetition(), GroupWalker::Marker::kApplied);
  EXPECT_EQ(walker.levels().back().occurrence, 2);
  EXPECT_EQ(walker.ElementRow(11), 4) << "a repetition searches its rows again";
  EXPECT_EQ(walker.LeaveGroup(), GroupWalker::Marker::kApplied);
  EXPECT_EQ(walker.LeaveGroup(), GroupWalker::Marker::kApplied);
  // The sibling group of one-byte mode is the next group row, not the one just closed.
  ASSERT_EQ(walker.EnterGroup(OneByteStart()), GroupWalker::Marker::kApplied);
  EXPECT_EQ(walker.levels().back().groupRow, 5);
  EXPECT_EQ(walker.ElementRow(12), 6);
  EXPECT_EQ(walker.LeaveGroup(), GroupWalker::Marker::kApplied);
  EXPECT_EQ(walker.ElementRow(2), 7);
}

TEST(GroupWalker, NumberedGroupsMayComeInAnyOrder) {
  GroupWalker walker(kRows);
  walker.StartMessage();
  ASSERT_EQ(walker.EnterGroup(NumberedStart(45)), GroupWalker::Marker::kApplied);
  EXPECT_EQ(walker.levels().back().groupRow, 5);
  EXPECT_EQ(walker.LeaveGroup(), GroupWalker::Marker::kApplied);
  ASSERT_EQ(walker.EnterGroup(GroupMarker{kGroupStart, true, '1', 0}), GroupWalker::Marker::kApplied);
  EXPECT_EQ(walker.levels().back().groupRow, 1);
}

TEST(GroupWalker, AGroupWithoutRowIsSkippedToItsOwnEnd) {
  GroupWalker walker(kRows);
  walker.StartMessage();
  EXPECT_EQ(walker.EnterGroup(NumberedStart(99)), GroupWalker::Marker::kNoGroupRow);
  EXPECT_TRUE(walker.Skipping());
  EXPECT_EQ(walker.EnterGroup(OneByteStart()), GroupWalker::Marker::kIgnored) << "nested inside the skipped one";
  EXPECT_EQ(walker.NextRepetition(), GroupWalker::Marker::kIgnored);
  EXPECT_EQ(walker.LeaveGroup(), GroupWalker::Marker::kIgnored);
  EXPECT_TRUE(walker.Skipping());
  EXPECT_EQ(walker.LeaveGroup(), GroupWalker::Marker::kIgnored);
  EXPECT_FALSE(walker.Skipping());
  EXPECT_EQ(walker.depth(), 0);
  EXPECT_EQ(walker.ElementRow(1), 0);
}

TEST(GroupWalker, MarkersOutsideAGroupAreOutOfPlace) {
  GroupWalker walker(kRows);
  walker.StartMessage();
  EXPECT_EQ(walker.NextRepetition(), GroupWalker::Marker::kOutOfPlace);
  EXPECT_EQ(walker.LeaveGroup(), GroupWalker::Marker::kOutOfPlace);
  EXPECT_EQ(walker.depth(), 0);
}

}  // namespace
}  // namespace edi::cii
