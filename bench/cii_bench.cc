// Benchmark helpers for the CII reader and converters.
//
//   cii-bench gen-cii FILE MEGABYTES [MODE]   write a CII file of many messages
//                                             (Japanese text, numbers, groups)
//   cii-bench walk FILE                       read every element, print nothing
#include <array>
#include <cstdlib>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <random>
#include <span>
#include <string>

#include "cii/syntax/cii_layout.h"
#include "cii/syntax/cii_reader.h"
#include "cii/syntax/cii_writer.h"
#include "db/database.h"
#include "db/schema.h"

namespace {

using namespace edi::cii;

class Walker : public CiiVisitor {
 public:
  size_t bytes = 0;
  size_t elements = 0;
  bool OnGroupHeader(std::span<const uint8_t>, uint64_t) override { return true; }
  bool OnGroupTrailer(std::span<const uint8_t>, uint64_t) override { return true; }
  bool OnMessageStart(const MessageInfo&) override { return true; }
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

std::array<uint8_t, kRecordSize> BenchHeader(char mode) {
  std::array<uint8_t, kRecordSize> h;
  h.fill(' ');
  const std::string bpid = "BENCH001", info = "0101";
  std::copy(bpid.begin(), bpid.end(), h.begin() + header::kBpid);
  std::copy(info.begin(), info.end(), h.begin() + header::kInfoCode);
  h[header::kStorageMode] = static_cast<uint8_t>(mode);
  h[header::kSingleByteSet] = '1';
  h[header::kDoubleByteSet] = 'M';
  return h;
}

// Windows-31J kanji and kana for the text fields.
const char* const kWords[] = {"\x95\x94\x95\x69", "\x8a\x94\x8e\xae\x89\xef\x8e\xd0",
                              "\x93\x8c\x8b\x9e", "\x8d\x48\x8f\xea", "\x83\x6c\x83\x57"};

// The generated values always fit: a refusal would be a fault of the writer.
void Put(MessageBody& body, uint32_t item, const std::string& value) {
  if (body.AppendElement(item, value) != 0) std::abort();
}

std::string Message(std::mt19937& random, int groupsOf) {
  MessageBody body;
  Put(body, 1, "ORD" + std::to_string(random() % 1000000));
  Put(body, 2, "20261208");
  std::string kanji;
  for (int i = 0; i < 8; ++i) kanji += kWords[random() % 5];
  Put(body, 3, kanji);
  Put(body, 4, std::to_string(random() % 100000));
  if (!body.AppendGroupStart("1", false)) std::abort();
  for (int r = 0; r < groupsOf; ++r) {
    if (r > 0) body.AppendRepetition();
    Put(body, 10, "PART-" + std::to_string(random() % 100000));
    Put(body, 11, std::to_string(random() % 1000));
    Put(body, 12, std::string(kWords[random() % 5]) + kWords[random() % 5]);
  }
  body.AppendGroupEnd();
  return body.bytes();
}

int Generate(const std::string& path, long megabytes, char mode) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  std::mt19937 random(42);
  const size_t target = static_cast<size_t>(megabytes) << 20;
  size_t written = 0;
  std::string buffer;
  while (written < target) {
    buffer.clear();
    AppendGroupHeader(buffer, BenchHeader(mode));
    int count = 0;
    for (; count < 5000 && written + buffer.size() < target; ++count) {
      std::string data;
      if (MessageData(count + 1, Message(random, 1 + random() % 6), data) != 0) std::abort();
      AppendMessageBlocks(buffer, data, mode);
    }
    if (AppendGroupTrailer(buffer, count) != 0) std::abort();
    out.write(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    written += buffer.size();
  }
  return out ? 0 : 1;
}

// The format tables of the generated messages, in a new SQLite file.
int SetUpDatabase(const std::string& path) {
  std::remove(path.c_str());
  edi::Database db;
  if (!db.CreateSqlite(path) || !edi::CreateSchema(db)) return 1;
  struct Row { int serial, level, item; const char* attribute; int length, decimals, repeat; int position; };
  const Row e[] = {{1, 0, 1, "X", 10, 0, 0, 0},   {2, 0, 2, "Y", 8, 0, 0, 0},  {3, 0, 3, "K", 64, 0, 0, 0},
                   {4, 0, 4, "9", 6, 0, 0, 0},    {5, 0, 0, "M", 0, 0, 6, 0},  {6, 1, 10, "X", 12, 0, 0, 0},
                   {7, 1, 11, "9", 4, 0, 0, 0},   {8, 1, 12, "K", 16, 0, 0, 0}};
  const Row l[] = {{1, 0, 0, "X", 10, 0, 0, 1},   {2, 0, 0, "Y", 8, 0, 0, 11}, {3, 0, 0, "K", 64, 0, 0, 19},
                   {4, 0, 0, "N", 8, 2, 0, 83},   {5, 0, 0, "M", 0, 0, 6, 92}, {6, 1, 0, "X", 12, 0, 0, 92},
                   {7, 1, 0, "9", 4, 0, 0, 104},  {8, 1, 0, "K", 16, 0, 0, 108}};
  bool ok = db.ExecuteSql("INSERT INTO FL1902フォーマット情報マスタ (情報区分コード, BPID, 格納モード) VALUES ('0101', 'BENCH001', 'M')");
  for (char kind : {'E', 'L'}) {
    for (const Row& r : kind == 'E' ? std::span<const Row>(e) : std::span<const Row>(l)) {
      ok = ok && db.ExecuteSql(
          "INSERT INTO FL1903レコードフォーマット情報マスタ (フォーマット種別, 情報区分コード, BPID, 項目通番,"
          " 対応項目通番, レベル番号, 項目№, 項目位置, 属性, 長さ, 小数部長さ, 繰返し数, マルチ明細番号)"
          " VALUES (:1, '0101', 'BENCH001', :2, :3, :4, :5, :6, :7, :8, :9, :10, :11)",
          {std::string(1, kind), static_cast<long long>(r.serial), static_cast<long long>(r.serial),
           static_cast<long long>(r.level), static_cast<long long>(r.item),
           r.position ? std::to_string(r.position) : std::string(), std::string(r.attribute),
           static_cast<long long>(r.length), static_cast<long long>(r.decimals), static_cast<long long>(r.repeat),
           std::string(std::string_view(r.attribute) == "M" ? "1" : "")});
    }
  }
  return ok ? 0 : 1;
}

// An XML document of the CII vocabulary for the generated format: one JPMGH
// and JPTRM messages with Japanese text and repeated groups, in UTF-8.
int GenerateXml(const std::string& path, long megabytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  std::mt19937 random(7);
  const char* const words[] = {"部品", "株式会社", "東京", "工場", "ネジ"};
  out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<CII-BENCH0010101-V10>\r\n    <JPMGH>"
         "<JPC06>SENDER</JPC06><JPC09>RECEIVER</JPC09><JPC10>BENC</JPC10><JPC11>H0</JPC11><JPC12>01</JPC12>"
         "<JPC14>0101</JPC14><JPC23>M</JPC23><JPC24>1</JPC24><JPC25>M</JPC25></JPMGH>\r\n";
  const size_t target = static_cast<size_t>(megabytes) << 20;
  std::string message;
  size_t written = 0;
  for (long n = 1; written < target; ++n) {
    message = "    <JPTRM SEQ=\"" + std::to_string(n) + "\">\r\n        <JP00001>ORD" + std::to_string(random() % 1000000) +
              "</JP00001>\r\n        <JP00002>20261208</JP00002>\r\n        <JP00003>";
    for (int i = 0; i < 8; ++i) message += words[random() % 5];
    message += "</JP00003>\r\n        <JP00004>" + std::to_string(random() % 100000) + "</JP00004>\r\n        <JPM1>\r\n";
    const int repetitions = 1 + static_cast<int>(random() % 6);
    for (int r = 0; r < repetitions; ++r) {
      message += "            <JPM1R>\r\n                <JP00010>PART-" + std::to_string(random() % 100000) +
                 "</JP00010>\r\n                <JP00011>" + std::to_string(random() % 1000) +
                 "</JP00011>\r\n                <JP00012>" + words[random() % 5] + words[random() % 5] +
                 "</JP00012>\r\n            </JPM1R>\r\n";
    }
    message += "        </JPM1>\r\n    </JPTRM>\r\n";
    out << message;
    written += message.size();
  }
  out << "</CII-BENCH0010101-V10>\r\n";
  return out ? 0 : 1;
}

int Walk(const std::string& path) {
  CiiInput input;
  if (!input.Open(path)) return 1;
  Walker walker;
  ReadOutcome outcome = ReadCiiFile(input, walker);
  std::fprintf(stderr, "%zu elements, %zu value bytes\n", walker.elements, walker.bytes);
  return outcome == ReadOutcome::kComplete ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "gen-cii" && argc >= 4) return Generate(argv[2], std::stol(argv[3]), argc > 4 ? argv[4][0] : 'M');
  if (command == "walk" && argc == 3) return Walk(argv[2]);
  if (command == "setup-db" && argc == 3) return SetUpDatabase(argv[2]);
  if (command == "gen-xml" && argc == 4) return GenerateXml(argv[2], std::stol(argv[3]));
  std::cerr << "usage: cii-bench gen-cii FILE MB [MODE] | walk FILE | setup-db FILE | gen-xml FILE MB\n";
  return 2;
}
