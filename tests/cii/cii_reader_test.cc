#include "cii/syntax/cii_reader.h"

#include <gtest/gtest.h>

#include <array>
#include <random>

#include "cii/syntax/cii_layout.h"
#include "cii/syntax/cii_writer.h"
#include "support/format_fixture.h"
#include "support/recording_visitor.h"
#include "support/test_db.h"

namespace edi::cii {
namespace {

using Lines = std::vector<std::string>;

std::array<uint8_t, kRecordSize> Header(char mode, const char* kind = "  ") {
  std::array<uint8_t, kRecordSize> h;
  h.fill(' ');
  h[header::kStorageMode] = static_cast<uint8_t>(mode);
  h[header::kGroupKind] = static_cast<uint8_t>(kind[0]);
  h[header::kGroupKind + 1] = static_cast<uint8_t>(kind[1]);
  return h;
}

Lines Walk(const std::string& file, ReadOutcome expected = ReadOutcome::kComplete) {
  ReadOutcome outcome;
  auto recording = test::RecordBytes(file, &outcome);
  EXPECT_EQ(outcome, expected);
  return recording.lines;
}

// A group's messages without its trailer.
std::string OpenGroup(char mode, const std::vector<std::string>& bodies, const char* kind = "  ") {
  std::string out;
  AppendGroupHeader(out, Header(mode, kind));
  int n = 0;
  for (const auto& b : bodies) AppendMessageBlocks(out, test::Data(++n, b), mode);
  return out;
}

std::string Group(char mode, const std::vector<std::string>& bodies, const char* kind = "  ") {
  std::string out = OpenGroup(mode, bodies, kind);
  test::AppendTrailer(out, static_cast<long>(bodies.size()));
  return out;
}

std::string Body(std::initializer_list<std::pair<uint32_t, std::string>> elements) {
  MessageBody body;
  for (const auto& [tag, value] : elements) EXPECT_EQ(body.AppendElement(tag, value), 0);
  return std::string(body.bytes());
}

TEST(CiiReader, GroupsMessagesAndElementsInEveryStorageMode) {
  for (char mode : {'M', ' ', 'S'}) {
    auto events = Walk(Group(mode, {Body({{1, "A"}, {2, std::string(300, 'b')}}), Body({{3, "C"}})}));
    ASSERT_EQ(events.size(), 9u) << mode;
    EXPECT_EQ(events[0], std::string("0C ") + mode);
    EXPECT_EQ(events[1], "D 1");
    EXPECT_EQ(events[2], "1=A");
    EXPECT_EQ(events[3], "2=" + std::string(300, 'b'));
    EXPECT_EQ(events[4], "end");
    EXPECT_EQ(events[7], "end");
    EXPECT_EQ(events[8], "0E 00002");
  }
}

TEST(CiiInput, ElementLengthForms) {
  std::string bytes = std::string("\xF2\x01\x00" "\x05" "\xF5", 5);
  CiiInput in;
  in.OpenMemory(bytes);
  in.BeginMessage(150);  // 100 data bytes left in the block
  long remaining = 10, length = 0;
  bool unknown = false;
  ASSERT_TRUE(in.ReadElementLength(remaining, length, unknown));
  EXPECT_EQ(length, 256);
  EXPECT_EQ(remaining, 7);
  EXPECT_EQ(in.Offset(), 3u);
  ASSERT_TRUE(in.ReadElementLength(remaining, length, unknown));
  EXPECT_EQ(length, 5);
  ASSERT_TRUE(in.ReadElementLength(remaining, length, unknown));
  EXPECT_TRUE(unknown);
  EXPECT_EQ(length, 0);
  EXPECT_FALSE(in.ReadElementLength(remaining, length, unknown));
}

TEST(CiiInput, DataBytesSkipBlockControlCharacters) {
  std::string bytes = "ab" + std::string("2") + "cd";
  CiiInput in;
  in.OpenMemory(bytes);
  ASSERT_TRUE(in.SetStorageMode('M'));
  EXPECT_FALSE(in.SetStorageMode('Q'));
  in.BeginMessage(248);  // 2 data bytes left in the block
  std::string out;
  ASSERT_TRUE(in.ReadCiiBytes(4, out));
  EXPECT_EQ(out, "abcd");
  EXPECT_EQ(in.BlockRemaining(), 248);
  EXPECT_FALSE(in.ReadCiiBytes(1, out));
  uint8_t buffer[4];
  int want = 4;
  in.OpenMemory("xy");
  EXPECT_TRUE(in.ReadFileBytes(buffer, want));  // the end came first
  EXPECT_EQ(want, 2);
  want = 0;
  EXPECT_FALSE(in.ReadFileBytes(buffer, want));
}

TEST(CiiInput, AFolderIsNotAnInput) {
  CiiInput in;
  EXPECT_FALSE(in.Open(test::TempDir("folder-input")));
  EXPECT_TRUE(in.Open("/dev/null"));
}

TEST(CiiReader, ThreeByteLengthPrefixAndLongMessages) {
  auto events = Walk(Group('M', {Body({{9, std::string(256, 'z')}}), std::string(32760, '\x01')}));
  EXPECT_EQ(events[2], "9=" + std::string(256, 'z'));
  EXPECT_EQ(events[4], "D 2 long");
}

TEST(CiiReader, ExtendedTagsAndGroupMarkers) {
  MessageBody body;
  ASSERT_EQ(body.AppendElement(5, "a"), 0);
  ASSERT_TRUE(body.AppendGroupStart("1", false));
  ASSERT_EQ(body.AppendElement(6, "b"), 0);
  body.AppendRepetition();
  ASSERT_EQ(body.AppendElement(6, "c"), 0);
  body.AppendGroupEnd();
  ASSERT_EQ(body.AppendElement(241, "d"), 0);
  ASSERT_TRUE(body.AppendGroupStart("12", false));
  // A three-byte tag (0xF1 ...) as partners may send it: item 70000.
  std::string bytes = std::string(body.bytes()) + std::string("\xF1\x11\x70\x01" "e", 5);
  MessageBody end;
  end.AppendGroupEnd();
  bytes += end.bytes();
  auto events = Walk(Group('M', {bytes}));
  Lines expected = {"0C M", "D 1", "5=a", "{250", "6=b", "|", "6=c", "}", "241=d",
                    "{253:12", "70000=e", "}", "end", "0E 00001"};
  EXPECT_EQ(events, expected);
}

TEST(CiiReader, DamageIsReportedAndTheWalkGoesOn) {
  std::string file;
  AppendGroupHeader(file, Header('M'));
  file += "X?";  // unknown block: 8 -02
  file += "1Q";  // digit without D: 8 -01
  file += "0Z";  // "0" and any other letter: ignored
  MessageBody body;
  ASSERT_EQ(body.AppendElement(1, "a"), 0);
  std::string odd = std::string(body.bytes()) + "\xFD" "\xF5" "\xF4";  // 0xFD one-byte mode, 0xF5, length prefix
  AppendMessageBlocks(file, test::Data(1, odd + "\x02\x01" "b"), 'M');
  test::AppendTrailer(file, 1);
  auto events = Walk(file);
  Lines expected = {"0C M", "error 8-02", "error 8-01", "D 1", "1=a", "error 11", "error 13", "error 13",
                    "2=b", "end", "0E 00001"};
  EXPECT_EQ(events, expected);
}

TEST(CiiReader, WhatIsNoCiiFileStopsAtOnce) {
  EXPECT_EQ(Walk("X?" + Group('M', {}), ReadOutcome::kFailed), Lines{"error 35"}) << "junk before the first header";
  EXPECT_EQ(Walk(std::string(5000, '\0'), ReadOutcome::kFailed), Lines{"error 35"}) << "/dev/zero";
  EXPECT_TRUE(Walk("").empty()) << "an empty file holds nothing";
}

TEST(CiiReader, TooMuchDamageStopsTheWalk) {
  std::string file;
  AppendGroupHeader(file, Header('M'));
  for (int i = 0; i < 500; ++i) file += "X?";
  auto events = Walk(file, ReadOutcome::kFailed);
  ASSERT_EQ(events.size(), 1u + kMaxDamageReports);
  EXPECT_EQ(events.back(), "error 36");
}

TEST(CiiReader, UnknownStorageModeStopsInsteadOfLooping) {
  std::string file;
  AppendGroupHeader(file, Header('Q'));
  file += std::string(10000, '9');
  auto events = Walk(file, ReadOutcome::kFailed);
  EXPECT_EQ(events, Lines{"error 16"});
}

TEST(CiiReader, EndOfFileInsideAMessageOrAGroupIsAnError) {
  std::string file = Group('M', {Body({{1, std::string(400, 'a')}})});
  file.resize(251 + 300);  // cut inside the message
  auto events = Walk(file, ReadOutcome::kFailed);
  EXPECT_EQ(events.back(), "error 7");
  std::string header = Group('M', {});
  header.resize(100);
  EXPECT_EQ(Walk(header, ReadOutcome::kFailed), Lines{"error 7"});
  // A group whose trailer never comes.
  events = Walk(OpenGroup('M', {Body({{1, "a"}})}), ReadOutcome::kFailed);
  EXPECT_EQ(events, (Lines{"0C M", "D 1", "1=a", "end", "error 7"}));
}

TEST(CiiReader, AnEndMarkInsideAnOpenGroupStops) {
  // Two group starts and then the end mark.
  auto events = Walk(Group('M', {std::string("\x01\x0a" "ORD0000001" "\xFA\xFA", 14)}), ReadOutcome::kFailed);
  EXPECT_EQ(events, (Lines{"0C M", "D 1", "1=ORD0000001", "{250", "{250", "error 30"}));
}

TEST(CiiReader, TrailerCountsOfTheGroupOrOfTheFileAreAccepted) {
  // The group's own count, and the count of every message so far (as the
  // XML direction writes it) pass; any other count is reported.
  std::string file = Group('M', {Body({{1, "a"}})}) + OpenGroup('M', {Body({{1, "b"}})});
  test::AppendTrailer(file, 2);
  file += OpenGroup('M', {Body({{1, "c"}})});
  test::AppendTrailer(file, 7);
  auto events = Walk(file);
  EXPECT_EQ(std::count(events.begin(), events.end(), "error 32"), 1);
  EXPECT_EQ(events.back(), "0E 00007");
}

TEST(CiiReader, NoDataGroupsAreSkippedWholeAcrossBlocks) {
  std::string file = Group('M', {Body({{1, std::string(700, 'x')}}), Body({{2, "y"}})}, "20");
  file += Group('S', {Body({{1, std::string(40000, 'x')}})}, "20");
  file += Group('M', {Body({{3, "z"}})});
  auto events = Walk(file);
  Lines expected = {"0C M", "0E 00002", "0C S", "0E 00001", "0C M", "D 1", "3=z", "end", "0E 00001"};
  EXPECT_EQ(events, expected);
}

TEST(CiiReader, LengthMismatchIsReportedAtTheEndMark) {
  std::string file = Group('M', {Body({{1, "abc"}})});
  file[251 + 8] = static_cast<char>(file[251 + 8] + 1);  // declared one byte too long
  auto events = Walk(file);
  EXPECT_EQ(events[3], "end 1");
}

// An item number for the random messages: often at the limits of the tag
// forms (239, 240, 241, 61439, 65536, 524287), else anywhere in them.
uint32_t RandomItem(std::mt19937& random) {
  static const uint32_t kLimits[] = {1, 238, 239, 240, 241, 255, 256, 61438, 61439, 65536, 65537, 524287};
  switch (random() % 5) {
    case 0: return kLimits[random() % std::size(kLimits)];
    case 1: return 241 + random() % (kLastTwoByteItem - 240);
    case 2: return kFirstThreeByteItem + random() % (kMaxItemNumber - kFirstThreeByteItem + 1);
    default: return 1 + random() % kMaxOneByteTag;
  }
}

// Random messages written by the writer read back element for element.
TEST(CiiReader, ReadsBackWhatTheWriterWrote) {
  std::mt19937 random(20261208);
  for (int round = 0; round < 60; ++round) {
    const char mode = "M S"[round % 3];
    std::string file;
    Lines expected;
    AppendGroupHeader(file, Header(mode));
    expected.push_back(std::string("0C ") + mode);
    const int messages = 1 + static_cast<int>(random() % 4);
    for (int m = 1; m <= messages; ++m) {
      MessageBody body;
      expected.push_back("D " + std::to_string(m));
      const int elements = static_cast<int>(random() % 40);
      int depth = 0;
      for (int e = 0; e < elements || depth > 0; ++e) {
        const int choice = e >= elements ? 2 : static_cast<int>(random() % 10);
        if (choice == 0 && depth < 3) {
          const std::string number = std::to_string(1 + random() % 9);
          ASSERT_TRUE(body.AppendGroupStart(number, false));
          expected.push_back(body.extended() ? "{250:" + std::to_string(number[0]) : "{250");
          ++depth;
        } else if (choice == 1 && depth > 0) {
          body.AppendRepetition();
          expected.push_back("|");
        } else if (choice == 2 && depth > 0) {
          body.AppendGroupEnd();
          expected.push_back("}");
          --depth;
        } else if (e < elements) {
          const uint32_t tag = RandomItem(random);
          std::string value(random() % 8 == 0 ? random() % 700 : random() % 20, '\0');
          for (auto& c : value) c = static_cast<char>(random());
          ASSERT_EQ(body.AppendElement(tag, value), 0);
          expected.push_back(std::to_string(tag) + "=" + value);
        }
      }
      AppendMessageBlocks(file, test::Data(m, std::string(body.bytes())), mode);
      expected.push_back("end");
    }
    test::AppendTrailer(file, messages);
    char count[8];
    std::snprintf(count, sizeof count, "%05d", messages);
    expected.push_back(std::string("0E ") + count);
    ASSERT_EQ(Walk(file), expected) << "round " << round;
  }
}

}  // namespace
}  // namespace edi::cii
