// Inputs and helpers for the converter benchmarks, all for one format that
// uses every attribute (X, 9 with decimals, Y, K, B, N), a repeated group
// nested in a repeated group and an item of the extended tag mode (300).
//
//   cii-bench setup-db FILE                  the format tables, in a new SQLite file
//   cii-bench gen-local FILE MEGABYTES       local records of that format, Japanese text
//   cii-bench walk FILE                      read every element of a CII file, print counts
//   cii-bench one-message XML OUT MEGABYTES  a document of XML's vocabulary holding a
//                                            single message of about MEGABYTES
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <span>
#include <sstream>
#include <string>

#include "cii/syntax/cii_reader.h"
#include "fuzz_format.h"

namespace {

using namespace edi::cii;

class Walker : public CiiVisitor {
 public:
  size_t bytes = 0;
  size_t elements = 0;
  size_t messages = 0;
  bool OnGroupHeader(std::span<const uint8_t>, uint64_t) override { return true; }
  bool OnGroupTrailer(std::span<const uint8_t>, uint64_t) override { return true; }
  bool OnMessageStart(const MessageInfo&) override {
    ++messages;
    return true;
  }
  bool OnElement(uint32_t, std::string_view value, uint64_t) override {
    ++elements;
    bytes += value.size();
    return true;
  }
  bool OnGroupStart(const GroupMarker&) override { return true; }
  bool OnRepetition(uint64_t) override { return true; }
  bool OnGroupEnd(uint64_t) override { return true; }
  bool OnMessageEnd(const MessageInfo&, long) override { return true; }
  bool OnError(int, std::string_view, uint64_t) override { return true; }
};

int SetUpDatabase(const std::string& path) {
  fuzz::FormatFixture fixture;
  std::error_code ec;
  std::filesystem::remove(path, ec);
  std::filesystem::copy_file(fixture.Path("fuzz.sqlite"), path, ec);
  if (ec) return 1;
  // A second partner, so that the records can change group before a group
  // reaches the 99,999 messages its trailer can count.
  edi::Database db;
  return db.OpenSqlite(path) &&
                 db.ExecuteSql("INSERT INTO FL1916メッセージグループ情報マスタ (相手先コード, 自社コード, 情報区分, BPID,"
                               " 運用モード, 発信者コード, 受信者コード, 格納モード, \"8ビット文字コード\","
                               " \"16ビット文字コード\") VALUES ('PARTNER2', 'OWNCO', '0101', 'BP000001', 'P', 'OWNCO',"
                               " 'PARTNER2', 'M', '1', 'M')")
             ? 0
             : 1;
}

// Windows-31J kanji, two bytes each: 部品東京工場
const char* const kKanji[] = {"\x95\x94", "\x95\x69", "\x93\x8c", "\x8b\x9e", "\x8d\x48", "\x8f\xea"};

std::string Digits(std::mt19937& random, int count) {
  std::string out;
  for (int i = 0; i < count; ++i) out += static_cast<char>('0' + random() % 10);
  return out;
}

// One record of the format: X10, 9(7,2), Y8, K10, B4, group 1 twice (X5, group 2
// twice (N4)), X9 at the extended item 300.
std::string Record(std::mt19937& random, long n) {
  char code[16];
  std::snprintf(code, sizeof code, "ORD%07ld", n % 10000000);
  std::string r = code;
  r += Digits(random, 5) + "." + Digits(random, 2);  // seven digits, two of them decimals
  r += "20260" + std::string(1, static_cast<char>('1' + random() % 9)) + std::to_string(10 + random() % 19);
  for (int i = 0; i < 5; ++i) r += kKanji[random() % 6];
  for (int i = 0; i < 4; ++i) r += static_cast<char>('A' + random() % 26);  // binary bytes kept printable
  for (int g = 0; g < 2; ++g) {
    r += "P" + Digits(random, 4);
    for (int h = 0; h < 2; ++h) r += Digits(random, 4);
  }
  r += "X" + Digits(random, 8);
  return r;
}

constexpr char kFirstKey[] = "     0101      OWNCO       PARTNER     ";
constexpr char kSecondKey[] = "     0101      OWNCO       PARTNER2    ";
static_assert(sizeof kFirstKey == sizeof fuzz::kKey && sizeof kSecondKey == sizeof fuzz::kKey);

int GenerateLocal(const std::string& path, long megabytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  std::mt19937 random(42);
  const size_t target = static_cast<size_t>(megabytes) << 20;
  std::string buffer;
  size_t written = 0;
  for (long n = 1; written < target; ++n) {
    buffer += ((n / 50000) % 2 == 0 ? kFirstKey : kSecondKey) + Record(random, n) + "\r\n";
    if (buffer.size() > (1 << 20)) {
      out << buffer;
      written += buffer.size();
      buffer.clear();
    }
  }
  out << buffer;
  return out ? 0 : 1;
}

int Walk(const std::string& path) {
  CiiInput input;
  if (!input.Open(path)) return 1;
  Walker walker;
  const ReadOutcome outcome = ReadCiiFile(input, walker);
  std::printf("%zu messages, %zu elements, %zu value bytes\n", walker.messages, walker.elements, walker.bytes);
  return outcome == ReadOutcome::kComplete ? 0 : 1;
}

// The document's text up to its first message, one message whose groups
// repeat until it holds about `megabytes`, and the document's end.
int OneMessage(const std::string& template_path, const std::string& path, long megabytes) {
  std::ifstream in(template_path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  const std::string document = text.str();
  const size_t first = document.find("<JPTRM"), firstEnd = document.find("</JPTRM>");
  const size_t last = document.rfind("</JPTRM>");
  if (first == std::string::npos || firstEnd == std::string::npos) return 1;
  const std::string message = document.substr(first, firstEnd - first);
  const size_t group = message.find("<JPM0>"), groupEnd = message.rfind("</JPM0>");
  if (group == std::string::npos || groupEnd == std::string::npos) return 1;
  const std::string repeated = message.substr(group, groupEnd + 7 - group);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << document.substr(0, first) << message.substr(0, groupEnd + 7);
  for (size_t written = 0; written < (static_cast<size_t>(megabytes) << 20); written += repeated.size()) {
    out << repeated;
  }
  out << message.substr(groupEnd + 7) << document.substr(last);
  return out ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "setup-db" && argc == 3) return SetUpDatabase(argv[2]);
  if (command == "gen-local" && argc == 4) return GenerateLocal(argv[2], std::stol(argv[3]));
  if (command == "walk" && argc == 3) return Walk(argv[2]);
  if (command == "one-message" && argc == 5) return OneMessage(argv[2], argv[3], std::stol(argv[4]));
  std::cerr << "usage: cii-bench setup-db FILE | gen-local FILE MB | walk FILE | one-message XML OUT MB\n";
  return 2;
}
