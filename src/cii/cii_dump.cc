#include "cii/cii_dump.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>

#include "base/text.h"
#include "cii/ansi_text.h"
#include "cii/err_log.h"
#include "cii/field_codec.h"
#include "cii/converter_state.h"
#include "cii/format_tables.h"
#include "cii/syntax/cii_layout.h"
#include "cii/syntax/cii_reader.h"

namespace edi::cii {
namespace {

std::string Hex(std::string_view bytes, size_t limit = 64) {
  std::string out;
  char buffer[4];
  for (size_t i = 0; i < bytes.size() && i < limit; ++i) {
    std::snprintf(buffer, sizeof buffer, "%02X", static_cast<unsigned char>(bytes[i]));
    if (i > 0) out.push_back(' ');
    out += buffer;
  }
  if (bytes.size() > limit) out += " ...";
  return out;
}

// A decoded value shown between quotes; control bytes as "."
std::string Printable(std::string text) {
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '.';
  }
  return text;
}

// Nesting deeper than this is shown as a number, not as more indentation,
// so that the listing grows with the file, not with its depth.
constexpr int kMaxIndent = 8;

class DumpVisitor : public CiiVisitor {
 public:
  DumpVisitor(Database* db, std::ostream& out) : db_(db), out_(out) {}

  int problems() const { return problems_; }

  bool OnGroupHeader(std::span<const uint8_t> header, uint64_t offset) override {
    ++groups_;
    messagesInGroup_ = 0;
    doubleByteCode_ = static_cast<char>(header[header::kDoubleByteSet]);
    out_ << "@" << offset << " group header " << groups_ << "\n";
    for (const auto& f : kHeaderFields) {
      if (f.element == nullptr) continue;
      out_ << "    " << f.element << " \"" << TrimTrailingSpacesView(FieldText(header.subspan(f.offset, f.length)))
           << "\"\n";
    }
    const char mode = static_cast<char>(header[header::kStorageMode]);
    out_ << "    storage mode '" << mode << "' ("
         << (mode == kStorageLarge ? "32001-byte blocks" : "251-byte blocks") << ")\n";
    if (header[header::kGroupKind] == '2' && header[header::kGroupKind + 1] == '0') {
      out_ << "    group kind \"20\": its messages carry no data and are not listed\n";
    }
    LoadNames(header);
    return true;
  }

  bool OnGroupTrailer(std::span<const uint8_t> trailer, uint64_t offset) override {
    // A count that matches neither has been reported by the reader (0032)
    // and is counted as a problem there.
    const std::string count(reinterpret_cast<const char*>(trailer.data()), 5);
    out_ << "@" << offset << " group trailer: count " << count;
    if (count == Count(messagesInGroup_)) {
      out_ << " (matches the " << messagesInGroup_ << " messages of the group)\n";
    } else if (count == Count(messagesTotal_)) {
      out_ << " (counts all " << messagesTotal_ << " messages so far)\n";
    } else {
      out_ << " MISMATCH: " << messagesInGroup_ << " messages in the group, " << messagesTotal_ << " in the file\n";
    }
    return true;
  }

  bool OnMessageStart(const MessageInfo& m) override {
    ++messagesInGroup_;
    ++messagesTotal_;
    depth_ = 1;
    char number[8];
    std::snprintf(number, sizeof number, "%05d", m.number);
    out_ << "@" << m.offset << " message " << number << ", " << (m.longForm ? "long" : "short")
         << " length form, " << m.declaredLength << " bytes declared\n";
    return true;
  }

  bool OnElement(uint32_t tag, std::string_view value, uint64_t offset) override {
    Indent();
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "@%llu tag %u len %zu", static_cast<unsigned long long>(offset),
                  tag, value.size());
    out_ << buffer;
    const auto name = names_.find(static_cast<int>(tag));
    const bool wide = name != names_.end() && name->second.attribute == "K";
    if (name != names_.end()) {
      out_ << " " << name->second.name << " [" << name->second.attribute << "]";
    }
    out_ << ": " << Hex(value) << " \""
         << Printable(wide ? DecodeDoubleBytes(value, doubleByteCode_) : DecodeSingleByteField(value))
         << "\"\n";
    return true;
  }

  bool OnGroupStart(const GroupMarker& marker) override {
    Indent();
    out_ << "@" << marker.offset << " group start " << (marker.marker == kGroupStart ? "0xFA" : "0xFD");
    if (marker.hasNumber) {
      if (marker.marker == kGroupStart) {
        out_ << " number '" << static_cast<char>(marker.number) << "'";
      } else {
        out_ << " number " << marker.number;
      }
    }
    out_ << "\n";
    ++depth_;
    return true;
  }

  bool OnRepetition(uint64_t offset) override {
    Indent(-1);
    out_ << "@" << offset << " next repetition 0xFB\n";
    return true;
  }

  bool OnGroupEnd(uint64_t offset) override {
    if (depth_ > 1) --depth_;
    Indent();
    out_ << "@" << offset << " group end 0xFC\n";
    return true;
  }

  bool OnMessageEnd(const MessageInfo&, long remaining) override {
    Indent();
    out_ << "end mark 0xFE";
    if (remaining != 0) {
      out_ << ": LENGTH MISMATCH (" << remaining << " declared bytes left)";
      ++problems_;
    }
    out_ << "\n";
    depth_ = 0;
    return true;
  }

  bool OnError(int code, std::string_view message, uint64_t offset) override {
    ++problems_;
    const std::string_view meaning = DescribeConverterCode(code);
    out_ << "@" << offset << " ERROR " << FourDigits(code) << message << ": "
         << (meaning.empty() ? "damaged data" : meaning) << (IsStoppingDamage(code) ? " (the listing stops)" : "")
         << "\n";
    return true;
  }

 private:
  static std::string Count(long n) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%05ld", n);
    return digits;
  }

  void Indent(int adjust = 0) {
    const int depth = depth_ + adjust;
    for (int i = 0; i < std::min(depth, kMaxIndent); ++i) out_ << "    ";
    if (depth > kMaxIndent) out_ << "[depth " << depth << "] ";
  }

  void LoadNames(std::span<const uint8_t> header) {
    names_.clear();
    if (db_ == nullptr) return;
    FormatRows rows;
    if (LoadRecordFormatRows(*db_, 'E', HeaderField(header, header::kInfoCode, header::kInfoCodeLength),
                             HeaderField(header, header::kBpid, header::kBpidLength), rows) != LoadStatus::kFound) {
      out_ << "    (no 'E' format rows for this group)\n";
      return;
    }
    for (const auto& row : rows) names_.emplace(row.itemNo, row);
  }

  Database* db_;
  std::ostream& out_;
  std::map<int, RecordFormatRow> names_;
  char doubleByteCode_ = 'M';
  int problems_ = 0;
  int groups_ = 0;
  long messagesInGroup_ = 0;
  long messagesTotal_ = 0;
  int depth_ = 0;
};

}  // namespace

int DumpCiiFile(const std::filesystem::path& path, Database* db, std::ostream& out) {
  CiiInput input;
  if (!input.Open(path)) return -1;
  DumpVisitor visitor(db, out);
  const ReadOutcome outcome = ReadCiiFile(input, visitor);
  if (input.ReadFailed()) return -1;
  if (outcome == ReadOutcome::kFailed) out << "the rest of the file cannot be read\n";
  out << (visitor.problems() == 0 ? "no problems found\n"
                                  : std::to_string(visitor.problems()) + " problem(s) found\n");
  return visitor.problems();
}

}  // namespace edi::cii
