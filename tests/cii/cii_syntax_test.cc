#include <gtest/gtest.h>

#include <array>

#include "cii/syntax/cii_layout.h"
#include "cii/syntax/cii_writer.h"
#include "support/format_fixture.h"
#include "support/recording_visitor.h"

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

std::string Data(long number, const std::string& body) {
  std::string data;
  EXPECT_EQ(MessageData(number, body, data), 0);
  return data;
}

// The one-step writer must lay out exactly what the two steps do, around
// every block boundary and both length forms, in every storage mode.
TEST(MessageData, AppendMessageMatchesDataThenBlocks) {
  for (char mode : {'M', ' ', 'S'}) {
    for (size_t size : {0u, 1u, 240u, 241u, 242u, 490u, 491u, 2000u, 32759u, 32760u, 70000u}) {
      std::string body(size, 'b');
      for (size_t i = 0; i < size; ++i) body[i] = static_cast<char>('a' + i % 26);
      std::string data, expected = "prefix", actual = "prefix";
      ASSERT_EQ(MessageData(42, body, data), 0);
      AppendMessageBlocks(expected, data, mode);
      ASSERT_EQ(AppendMessage(actual, 42, body, mode), 0);
      ASSERT_EQ(actual, expected) << "mode '" << mode << "', body " << size;
    }
  }
  std::string out = "kept";
  EXPECT_EQ(AppendMessage(out, 100000, "x", 'M'), refusal::kTooLong);
  EXPECT_EQ(out, "kept");
}

TEST(MessageData, ShortAndLongLengthForms) {
  std::string shortData = Data(1, std::string(32759, 'b'));
  EXPECT_EQ(shortData.substr(0, 6), "D00001");
  EXPECT_EQ(static_cast<unsigned char>(shortData[6]), 0x80);  // 32768
  EXPECT_EQ(static_cast<unsigned char>(shortData[7]), 0x00);
  EXPECT_EQ(shortData.size(), 32768u);
  std::string longData = Data(12, std::string(32760, 'b'));
  EXPECT_EQ(longData.substr(0, 16), "D00012\x80\x80\xF7" "0032777");
  EXPECT_EQ(longData.size(), 32777u);
  EXPECT_EQ(static_cast<unsigned char>(longData.back()), 0xFE);
  std::string empty = Data(3, "");
  EXPECT_EQ(empty, std::string("D00003\x00\x09\xFE", 9));
}

TEST(MessageBody, LengthsAndExtendedTags) {
  MessageBody body;
  EXPECT_EQ(body.AppendElement(7, std::string(239, 'v')), 0);
  EXPECT_EQ(body.bytes().substr(0, 2), "\x07\xEF");
  body.Clear();
  EXPECT_EQ(body.AppendElement(7, std::string(240, 'v')), 0);
  EXPECT_EQ(body.bytes().substr(0, 4), std::string("\x07\xF2\x00\xF0", 4));
  body.Clear();
  EXPECT_EQ(body.AppendElement(3, "a"), 0);
  EXPECT_EQ(body.AppendElement(241, "b"), 0);
  EXPECT_EQ(body.AppendElement(5, "c"), 0);
  EXPECT_EQ(body.AppendElement(0xEFFF, "d"), 0);
  EXPECT_EQ(body.bytes(), std::string("\x03\x01" "a" "\xF0\x00\xF1\x01" "b" "\x00\x05\x01" "c"
                                      "\xEF\xFF\x01" "d", 16));
}

// Item 240 is written in extended form (as a one-byte tag it would be the
// switch byte); numbers whose tag would start with the switch (61440-65535)
// or with a control byte (above 524287) are refused, every other one is
// written and read back as itself.
TEST(MessageBody, ItemNumbersAtTheLimitsOfTheTagForms) {
  const struct {
    uint32_t item;
    std::string tag;  // empty: refused
  } kCases[] = {
      {239, "\xEF"},
      {240, std::string("\xF0\x00\xF0", 3)},
      {241, std::string("\xF0\x00\xF1", 3)},
      {61439, "\xF0\xEF\xFF"},
      {61440, ""},
      {65535, ""},
      {65536, std::string("\xF0\xF1\x00\x00", 4)},
      {65537, std::string("\xF0\xF1\x00\x01", 4)},
      {70000, "\xF0\xF1\x11\x70"},
      {524287, "\xF0\xF7\xFF\xFF"},
      {524288, ""},
  };
  for (const auto& [item, tag] : kCases) {
    MessageBody body;
    ASSERT_EQ(body.AppendElement(1, "a"), 0);
    const int refused = body.AppendElement(item, "v");
    if (tag.empty()) {
      EXPECT_EQ(refused, refusal::kItemNumber) << item;
      EXPECT_EQ(body.bytes(), "\x01\x01" "a") << "nothing appended for " << item;
      continue;
    }
    ASSERT_EQ(refused, 0) << item;
    EXPECT_EQ(body.bytes(), "\x01\x01" "a" + tag + "\x01" "v") << item;
    std::array<uint8_t, kRecordSize> header;
    header.fill(' ');
    header[header::kStorageMode] = 'M';
    std::string file;
    AppendGroupHeader(file, header);
    ASSERT_EQ(AppendMessage(file, 1, body.bytes(), 'M'), 0);
    test::AppendTrailer(file, 1);
    const auto messages = test::RecordBytes(file).messages;
    ASSERT_EQ(messages.size(), 1u) << item;
    EXPECT_EQ(messages[0], (std::vector<std::string>{"1=a", std::to_string(item) + "=v"}));
  }
}

TEST(MessageBody, FieldsThatWouldWrapAreRefused) {
  MessageBody body;
  EXPECT_EQ(body.AppendElement(1, std::string(65535, 'v')), 0);
  EXPECT_EQ(body.AppendElement(1, std::string(65536, 'v')), refusal::kTooLong);  // 70,000 once became 4,464
  std::string data;
  EXPECT_EQ(MessageData(100000, "", data), refusal::kTooLong);
  EXPECT_EQ(MessageData(99999, "", data), 0);
  EXPECT_EQ(MessageData(1, std::string(kMaxLongMessageData - kLongHeaderSize + 1, 'b'), data), refusal::kTooLong);
  EXPECT_EQ(MessageData(1, std::string(kMaxLongMessageData - kLongHeaderSize, 'b'), data), 0);
  EXPECT_EQ(data.substr(6, 10), "\x80\x80\xF7" "9999999");
  std::string out;
  EXPECT_EQ(AppendGroupTrailer(out, 100000), refusal::kTooLong);
  EXPECT_TRUE(out.empty());
}

TEST(MessageBody, GroupMarkers) {
  MessageBody body;
  EXPECT_TRUE(body.AppendGroupStart("7", false));
  EXPECT_EQ(body.bytes(), "\xFA");  // one-byte tag mode: the marker alone
  body.Clear();
  EXPECT_EQ(body.AppendElement(300, "x"), 0);
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
  std::string out;
  ASSERT_EQ(AppendGroupTrailer(out, 3), 0);
  ASSERT_EQ(out.size(), 251u);
  EXPECT_EQ(out.substr(0, 8), "0E00003 ");
  EXPECT_EQ(out.back(), ' ');
}

}  // namespace
}  // namespace edi::cii
