#include "cii/cii_reader.h"

#include <gtest/gtest.h>

#include <array>
#include <random>

#include "cii/cii_layout.h"
#include "cii/cii_writer.h"
#include "cii/err_log.h"

namespace edi::cii {
namespace {

// Records the walk as readable event lines.
class Recorder : public CiiVisitor {
 public:
  std::vector<std::string> events;
  bool OnGroupHeader(std::span<const uint8_t> h, uint64_t) override {
    events.push_back("header " + std::string(1, static_cast<char>(h[header::kStorageMode])));
    return true;
  }
  bool OnGroupTrailer(std::span<const uint8_t> t, uint64_t) override {
    events.push_back("trailer " + std::string(reinterpret_cast<const char*>(t.data()), 5));
    return true;
  }
  bool OnMessageStart(const MessageInfo& m) override {
    events.push_back("message " + std::to_string(m.number) + (m.longForm ? " long" : ""));
    return true;
  }
  bool OnElement(uint32_t tag, std::string_view value, uint64_t) override {
    events.push_back("element " + std::to_string(tag) + "=" + std::string(value));
    return true;
  }
  bool OnGroupStart(const GroupMarker& m) override {
    events.push_back("group " + std::to_string(m.marker) + (m.hasNumber ? ":" + std::to_string(m.number) : ""));
    return true;
  }
  bool OnRepetition(uint64_t) override { events.push_back("repeat"); return true; }
  bool OnGroupEnd(uint64_t) override { events.push_back("end group"); return true; }
  bool OnMessageEnd(const MessageInfo&, long remaining) override {
    events.push_back("end " + std::to_string(remaining));
    return true;
  }
  bool OnError(int code, std::string_view message, uint64_t) override {
    events.push_back("error " + std::to_string(code) + std::string(message));
    return true;
  }
};

std::array<uint8_t, kRecordSize> Header(char mode, const char* kind = "  ") {
  std::array<uint8_t, kRecordSize> h;
  h.fill(' ');
  h[header::kStorageMode] = static_cast<uint8_t>(mode);
  h[header::kGroupKind] = static_cast<uint8_t>(kind[0]);
  h[header::kGroupKind + 1] = static_cast<uint8_t>(kind[1]);
  return h;
}

std::vector<std::string> Walk(const std::string& file, ReadOutcome expected = ReadOutcome::kComplete) {
  CiiInput in;
  in.OpenMemory(file);
  Recorder r;
  EXPECT_EQ(ReadCiiFile(in, r), expected);
  return r.events;
}

std::string Group(char mode, const std::vector<std::string>& bodies, const char* kind = "  ") {
  std::string out;
  AppendGroupHeader(out, Header(mode, kind));
  int n = 0;
  for (const auto& b : bodies) AppendMessageBlocks(out, MessageData(++n, b), mode);
  std::array<uint8_t, kRecordSize> trailer;
  FillTrailer(trailer, n);
  AppendGroupTrailer(out, trailer);
  return out;
}

std::string Body(std::initializer_list<std::pair<uint32_t, std::string>> elements) {
  MessageBody body;
  for (const auto& [tag, value] : elements) body.AppendElement(tag, value);
  return body.bytes();
}

TEST(CiiReader, GroupsMessagesAndElementsInEveryStorageMode) {
  for (char mode : {'M', ' ', 'S'}) {
    auto events = Walk(Group(mode, {Body({{1, "A"}, {2, std::string(300, 'b')}}), Body({{3, "C"}})}));
    ASSERT_EQ(events.size(), 9u) << mode;
    EXPECT_EQ(events[0], std::string("header ") + mode);
    EXPECT_EQ(events[1], "message 1");
    EXPECT_EQ(events[2], "element 1=A");
    EXPECT_EQ(events[3], "element 2=" + std::string(300, 'b'));
    EXPECT_EQ(events[4], "end 0");
    EXPECT_EQ(events[7], "end 0");
    EXPECT_EQ(events[8], "trailer 00002");
  }
}

TEST(CiiInput, ElementLengthForms) {
  std::string bytes = std::string("\xF2\x01\x00" "\x05" "\xF5", 5);
  CiiInput in;
  in.OpenMemory(bytes);
  in.blockRemaining = 100;
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
  in.blockRemaining = 2;
  std::string out;
  ASSERT_TRUE(in.ReadCiiBytes(4, out));
  EXPECT_EQ(out, "abcd");
  EXPECT_EQ(in.blockRemaining, 248);
  EXPECT_FALSE(in.ReadCiiBytes(1, out));
  uint8_t buffer[4];
  int want = 4;
  in.OpenMemory("xy");
  EXPECT_TRUE(in.ReadFileBytes(buffer, want));  // the end came first
  EXPECT_EQ(want, 2);
  want = 0;
  EXPECT_FALSE(in.ReadFileBytes(buffer, want));
}

TEST(CiiReader, ThreeByteLengthPrefixAndLongMessages) {
  auto events = Walk(Group('M', {Body({{9, std::string(256, 'z')}}), std::string(32760, '\x01')}));
  EXPECT_EQ(events[2], "element 9=" + std::string(256, 'z'));
  EXPECT_EQ(events[4], "message 2 long");
}

TEST(CiiReader, ExtendedTagsAndGroupMarkers) {
  MessageBody body;
  body.AppendElement(5, "a");
  body.AppendGroupStart("1", false);
  body.AppendElement(6, "b");
  body.AppendRepetition();
  body.AppendElement(6, "c");
  body.AppendGroupEnd();
  body.AppendElement(241, "d");
  body.AppendGroupStart("12", false);
  body.AppendElement(70000, "e");
  body.AppendGroupEnd();
  auto events = Walk(Group('M', {body.bytes()}));
  std::vector<std::string> expected = {"header M", "message 1", "element 5=a", "group 250", "element 6=b",
                                       "repeat", "element 6=c", "end group", "element 241=d",
                                       "group 253:12", "element 70000=e", "end group", "end 0",
                                       "trailer 00001"};
  EXPECT_EQ(events, expected);
}

TEST(CiiReader, DamageIsReportedAndTheWalkGoesOn) {
  std::string file = "X?";                           // unknown block: 8 -02
  file += "1Q";                                      // digit without D: 8 -01
  file += "0Z";                                      // "0" and any other letter: ignored
  MessageBody body;
  body.AppendElement(1, "a");
  std::string odd = body.bytes() + "\xFD" "\xF5" "\xF4";  // 0xFD one-byte mode, 0xF5, length prefix
  file += Group('M', {odd + "\x02\x01" "b"});
  auto events = Walk(file);
  std::vector<std::string> expected = {"error 8-02", "error 8-01", "header M", "message 1", "element 1=a",
                                       "error 11", "error 13", "error 13", "element 2=b", "end 0",
                                       "trailer 00001"};
  EXPECT_EQ(events, expected);
}

TEST(CiiReader, UnknownStorageModeStopsInsteadOfLooping) {
  std::string file;
  AppendGroupHeader(file, Header('Q'));
  file += std::string(10000, '9');
  auto events = Walk(file, ReadOutcome::kFailed);
  EXPECT_EQ(events, std::vector<std::string>{"error 16"});
}

TEST(CiiReader, EndOfFileInsideAMessageIsAnError) {
  std::string file = Group('M', {Body({{1, std::string(400, 'a')}})});
  file.resize(251 + 300);  // cut inside the message
  auto events = Walk(file, ReadOutcome::kFailed);
  EXPECT_EQ(events.back(), "error 7");
  std::string header = Group('M', {});
  header.resize(100);
  EXPECT_EQ(Walk(header, ReadOutcome::kFailed), std::vector<std::string>{"error 7"});
}

TEST(CiiReader, NoDataGroupsAreSkippedWholeAcrossBlocks) {
  std::string file = Group('M', {Body({{1, std::string(700, 'x')}}), Body({{2, "y"}})}, "20");
  file += Group('S', {Body({{1, std::string(40000, 'x')}})}, "20");
  file += Group('M', {Body({{3, "z"}})});
  auto events = Walk(file);
  std::vector<std::string> expected = {"header M", "trailer 00002", "header S", "trailer 00001",
                                       "header M", "message 1", "element 3=z", "end 0", "trailer 00001"};
  EXPECT_EQ(events, expected);
}

TEST(CiiReader, LengthMismatchIsReportedAtTheEndMark) {
  std::string file = Group('M', {Body({{1, "abc"}})});
  file[251 + 8] = static_cast<char>(file[251 + 8] + 1);  // declared one byte too long
  auto events = Walk(file);
  EXPECT_EQ(events[3], "end 1");
}

// Random messages written by the writer read back element for element.
TEST(CiiReader, ReadsBackWhatTheWriterWrote) {
  std::mt19937 random(20261208);
  for (int round = 0; round < 60; ++round) {
    const char mode = "M S"[round % 3];
    std::string file;
    std::vector<std::string> expected;
    AppendGroupHeader(file, Header(mode));
    expected.push_back(std::string("header ") + mode);
    const int messages = 1 + static_cast<int>(random() % 4);
    for (int m = 1; m <= messages; ++m) {
      MessageBody body;
      expected.push_back("message " + std::to_string(m));
      const int elements = static_cast<int>(random() % 40);
      int depth = 0;
      for (int e = 0; e < elements; ++e) {
        const int choice = static_cast<int>(random() % 10);
        if (choice == 0 && depth < 3) {
          const std::string number = std::to_string(1 + random() % 9);
          body.AppendGroupStart(number, false);
          expected.push_back(body.extended() ? "group 250:" + std::to_string(number[0]) : "group 250");
          ++depth;
        } else if (choice == 1 && depth > 0) {
          body.AppendRepetition();
          expected.push_back("repeat");
        } else if (choice == 2 && depth > 0) {
          body.AppendGroupEnd();
          expected.push_back("end group");
          --depth;
        } else {
          uint32_t tag = random() % 8 == 0 ? 241 + random() % 100000 : 1 + random() % 239;
          if (tag == kExtendedSwitch) tag = 1;
          if (tag >= 0xF000 && tag < 0x10000) tag = 0xEFFF;  // first byte would be the 0xF0 switch
          std::string value(random() % 8 == 0 ? random() % 700 : random() % 20, '\0');
          for (auto& c : value) c = static_cast<char>(random());
          body.AppendElement(tag, value);
          expected.push_back("element " + std::to_string(tag) + "=" + value);
        }
      }
      AppendMessageBlocks(file, MessageData(m, body.bytes()), mode);
      expected.push_back("end 0");
    }
    std::array<uint8_t, kRecordSize> trailer;
    FillTrailer(trailer, messages);
    AppendGroupTrailer(file, trailer);
    expected.push_back("trailer " + std::string(reinterpret_cast<const char*>(trailer.data()), 5));
    ASSERT_EQ(Walk(file), expected) << "round " << round;
  }
}

}  // namespace
}  // namespace edi::cii
