#include <gtest/gtest.h>

#include <array>

#include "cii/cii_layout.h"
#include "cii/cii_writer.h"

namespace edi::cii {
namespace {

TEST(MessageBlocks, ExactlyOneFullBlockHasNoFiller) {
  std::string out;
  AppendMessageBlocks(out, std::string(250, 'x'), 'M');
  ASSERT_EQ(out.size(), 251u);
  EXPECT_EQ(out[0], '9');
}

TEST(MessageBlocks, OneByteMoreStartsASecondFilledBlock) {
  std::string out;
  AppendMessageBlocks(out, std::string(251, 'x'), ' ');
  ASSERT_EQ(out.size(), 502u);
  EXPECT_EQ(out[0], '1');
  EXPECT_EQ(out[251], '9');
  EXPECT_EQ(out[252], 'x');
  EXPECT_EQ(out.substr(253), std::string(249, ' '));
}

TEST(MessageBlocks, ControlCharactersCycleOneToEightThenNine) {
  std::string out;
  AppendMessageBlocks(out, std::string(250 * 10 + 1, 'x'), 'M');
  std::string controls;
  for (size_t i = 0; i < out.size(); i += 251) controls.push_back(out[i]);
  EXPECT_EQ(controls, "12345678129");
}

TEST(MessageBlocks, LargeModeIsNotFilled) {
  std::string out;
  AppendMessageBlocks(out, std::string(32001, 'x'), 'S');
  ASSERT_EQ(out.size(), 32001u + 2u);
  EXPECT_EQ(out[0], '1');
  EXPECT_EQ(out[32001], '9');
}

TEST(MessageData, ShortAndLongLengthForms) {
  std::string shortData = MessageData(1, std::string(32759, 'b'));
  EXPECT_EQ(shortData.substr(0, 6), "D00001");
  EXPECT_EQ(static_cast<unsigned char>(shortData[6]), 0x80);  // 32768
  EXPECT_EQ(static_cast<unsigned char>(shortData[7]), 0x00);
  EXPECT_EQ(shortData.size(), 32768u);
  std::string longData = MessageData(12, std::string(32760, 'b'));
  EXPECT_EQ(longData.substr(0, 16), "D00012\x80\x80\xF7" "0032777");
  EXPECT_EQ(longData.size(), 32777u);
  EXPECT_EQ(static_cast<unsigned char>(longData.back()), 0xFE);
  std::string empty = MessageData(3, "");
  EXPECT_EQ(empty, std::string("D00003\x00\x09\xFE", 9));
}

TEST(MessageBody, LengthsAndExtendedTags) {
  MessageBody body;
  body.AppendElement(7, std::string(239, 'v'));
  EXPECT_EQ(body.bytes().substr(0, 2), "\x07\xEF");
  body.Clear();
  body.AppendElement(7, std::string(240, 'v'));
  EXPECT_EQ(body.bytes().substr(0, 4), std::string("\x07\xF2\x00\xF0", 4));
  body.Clear();
  body.AppendElement(3, "a");
  body.AppendElement(241, "b");
  body.AppendElement(5, "c");
  body.AppendElement(0x12345, "d");
  EXPECT_EQ(body.bytes(), std::string("\x03\x01" "a" "\xF0\x00\xF1\x01" "b" "\x00\x05\x01" "c"
                                      "\xF1\x23\x45\x01" "d", 17));
}

TEST(MessageBody, GroupMarkers) {
  MessageBody body;
  EXPECT_TRUE(body.AppendGroupStart("7", false));
  EXPECT_EQ(body.bytes(), "\xFA");  // one-byte tag mode: the marker alone
  body.Clear();
  body.AppendElement(300, "x");
  const size_t before = body.bytes().size();
  EXPECT_TRUE(body.AppendGroupStart("7", false));
  EXPECT_TRUE(body.AppendGroupStart("B", false));
  EXPECT_TRUE(body.AppendGroupStart("300", false));
  EXPECT_FALSE(body.AppendGroupStart("0", false));
  EXPECT_TRUE(body.AppendGroupStart("0", true));
  EXPECT_FALSE(body.AppendGroupStart("70000", true));
  EXPECT_EQ(body.bytes().substr(before), "\xF0\xFA" "7" "\xF0\xFA" "B" "\xF0\xFD\x01\x2C" "\xFA" "0");
}

TEST(Trailer, CountInFiveDigits) {
  std::array<uint8_t, kRecordSize> trailer;
  FillTrailer(trailer, 3);
  EXPECT_EQ(std::string(trailer.begin(), trailer.begin() + 6), "00003 ");
  EXPECT_EQ(trailer.back(), ' ');
}

}  // namespace
}  // namespace edi::cii
