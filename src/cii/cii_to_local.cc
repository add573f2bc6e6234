#include <fstream>
#include <vector>

#include "cii/ansi_text.h"
#include "cii/cii_reader.h"
#include "cii/decimal_text.h"
#include "cii/err_log.h"
#include "cii/field_codec.h"
#include "cii/format_lookup.h"
#include "cii/local_converter.h"

namespace edi::cii {
namespace {

constexpr char kFullWidthSpace[] = "\x81\x40";

std::string HeaderText(const ConverterState& state, size_t offset, size_t length) {
  std::string text(reinterpret_cast<const char*>(state.header.data() + offset), length);
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// Pads or cuts `bytes` to exactly `length` bytes: cut never inside a two-byte
// character, filled with `pad` (two-byte fill ends with a space when one byte
// is left).
std::string FitField(std::string_view bytes, size_t length, std::string_view pad) {
  std::string out(CutAnsiBytes(bytes, length));
  while (out.size() + pad.size() <= length) out += pad;
  while (out.size() < length) out.push_back(' ');
  return out;
}

// The local side of one nesting level of the message being read.
struct Level {
  int groupRow = -1;   // index of the group's CII row (-1 at level 0)
  int cursor = 0;      // where this level's rows are searched from
  int occurrence = 1;
  int localLength = 0;  // byte length of one occurrence on the local side
  int limit = 1;        // occurrences the local record has room for
  int offset = 0;       // byte offset of the current occurrence in the record
};

class CiiToLocalVisitor : public CiiVisitor {
 public:
  CiiToLocalVisitor(ConverterState& state, Database& db, std::string localPath)
      : state_(state), db_(db), localPath_(std::move(localPath)) {}

  bool OnGroupHeader(std::span<const uint8_t> header, uint64_t) override {
    std::copy(header.begin(), header.end(), state_.header.begin());
    CloseOutput();
    haveFormats_ = false;
    state_.groupBpid = HeaderText(state_, header::kBpid, header::kBpidLength);
    state_.groupInfoCode = HeaderText(state_, header::kInfoCode, header::kInfoCodeLength);
    if (!Load(LoadFormatInfo(db_, state_.groupInfoCode, state_.groupBpid, state_.formatInfo), kErrNoFormatInfo) ||
        !Load(LoadRecordFormatRows(db_, 'E', state_.groupInfoCode, state_.groupBpid, state_.ciiRows), kErrNoCiiRows) ||
        !Load(LoadRecordFormatRows(db_, 'L', state_.groupInfoCode, state_.groupBpid, state_.localRows), kErrNoLocalRows)) {
      return false;
    }
    state_.localRecordLength = LocalRecordLength(state_.localRows);
    state_.localRecordTemplate = LocalRecordTemplate(state_.localRows, state_.localRecordLength);
    key_ = RecordKey(state_);
    fileName_ = LocalFileName(localPath_, std::string(reinterpret_cast<const char*>(header.data() + header::kInfoCode),
                                                      header::kInfoCodeLength));
    doubleByteCode_ = static_cast<char>(header[header::kDoubleByteSet]);
    haveFormats_ = true;
    return true;
  }

  bool OnGroupTrailer(std::span<const uint8_t>, uint64_t) override {
    CloseOutput();
    return true;
  }

  bool OnMessageStart(const MessageInfo&) override {
    inMessage_ = haveFormats_;
    if (!haveFormats_) {
      WriteErrLog(state_, kErrNoGroupHeader, "", 1);
      return true;
    }
    state_.recordBuffer = state_.localRecordTemplate;
    levels_.assign(1, Level{});
    dropNest_ = 0;
    dropRepetition_ = false;
    return true;
  }

  bool OnElement(uint32_t tag, std::string_view value, uint64_t) override {
    if (!inMessage_) return true;
    if (value.empty()) {
      WriteErrLog(state_, kErrZeroLength, "", 0);
      return false;
    }
    if (Dropping()) return true;
    Level& level = levels_.back();
    const int depth = static_cast<int>(levels_.size()) - 1;
    if (!FindCiiRowByItemNo(state_.ciiRows, level.cursor, static_cast<int>(tag), depth)) {
      WriteErrLog(state_, kErrUnknownTag, "", 1);
      return true;
    }
    const RecordFormatRow& e = state_.ciiRows[static_cast<size_t>(level.cursor)];
    const RecordFormatRow* l = LocalRowFor(level.cursor);
    if (l == nullptr) {
      WriteErrLog(state_, kErrUnknownTag, "", 1);
      return true;
    }
    std::string field;
    if (!Convert(e, *l, value, field)) return false;
    Put(l->PositionNumber() + OccurrenceOffset(), static_cast<size_t>(l->FieldBytes()), field);
    return true;
  }

  bool OnGroupStart(const GroupMarker& marker) override {
    if (!inMessage_) return true;
    if (Dropping()) {
      ++dropNest_;
      return true;
    }
    const int depth = static_cast<int>(levels_.size()) - 1;
    Level& level = levels_.back();
    int row = level.cursor;
    MultiNoKey key;
    if (marker.hasNumber) {
      key.kind = marker.marker == kGroupStart ? MultiNoKey::kCharacter : MultiNoKey::kNumber;
      key.value = marker.number;
      row = depth == 0 ? 0 : levels_.back().groupRow + 1;
    }
    if (!FindCiiGroupRow(state_.ciiRows, row, depth, key)) {
      WriteErrLog(state_, kErrGroupMarker, "", 1);
      dropNest_ = 1;  // drop the group's elements up to its 0xFC
      return true;
    }
    if (!marker.hasNumber) level.cursor = row;
    Level inner;
    inner.groupRow = row;
    inner.cursor = row + 1;
    const RecordFormatRow* local = LocalRowFor(row);
    inner.localLength = local != nullptr ? local->length : 0;
    inner.limit = local != nullptr ? local->RepeatCount() : 1;
    inner.offset = level.offset;
    levels_.push_back(inner);
    return true;
  }

  bool OnRepetition(uint64_t) override {
    if (!inMessage_ || dropNest_ > 0) return true;
    if (levels_.size() == 1) {
      WriteErrLog(state_, kErrGroupMarker, "", 1);
      return true;
    }
    Level& level = levels_.back();
    ++level.occurrence;
    level.cursor = level.groupRow + 1;
    level.offset += level.localLength;
    if (level.occurrence > level.limit) {
      if (!dropRepetition_) WriteErrLog(state_, kErrRepetitions, "", 1);
      dropRepetition_ = true;
    }
    return true;
  }

  bool OnGroupEnd(uint64_t) override {
    if (!inMessage_) return true;
    if (dropNest_ > 0) {
      --dropNest_;
      return true;
    }
    if (levels_.size() == 1) {
      WriteErrLog(state_, kErrGroupMarker, "", 1);
      return true;
    }
    const int closed = levels_.back().groupRow;
    levels_.pop_back();
    dropRepetition_ = false;
    levels_.back().cursor = closed + 1;  // a sibling group is searched after this one
    return true;
  }

  bool OnMessageEnd(const MessageInfo&, long remaining) override {
    if (!inMessage_) return true;
    inMessage_ = false;
    if (remaining != 0) WriteErrLog(state_, kErrLengthMismatch, "長さ違い", 1);
    return WriteLine();
  }

  bool OnError(int code, std::string_view message, uint64_t) override {
    const bool stops = code == kErrTruncated || code == kErrStorageMode;
    WriteErrLog(state_, code, message, stops ? 0 : 1);
    return !stops;
  }

  void CloseOutput() {
    if (out_.is_open()) out_.close();
  }

 private:
  bool Load(LoadStatus status, int notFoundCode) {
    if (status == LoadStatus::kFound) return true;
    WriteErrLog(state_, status == LoadStatus::kNotFound ? notFoundCode : kErrDatabase, "", 0);
    return false;
  }

  bool Dropping() const { return dropNest_ > 0 || dropRepetition_; }

  // The local row of a CII row: the row its 対応項目通番 names, else the row
  // at the same index.
  const RecordFormatRow* LocalRowFor(int ciiIndex) const {
    const RecordFormatRow& e = state_.ciiRows[static_cast<size_t>(ciiIndex)];
    int local = FindLocalRowBySerial(state_.localRows, e.counterpartSerial);
    if (local < 0 && static_cast<size_t>(ciiIndex) < state_.localRows.size()) local = ciiIndex;
    return local < 0 ? nullptr : &state_.localRows[static_cast<size_t>(local)];
  }

  int OccurrenceOffset() const { return levels_.back().offset; }

  // Writes a converted field at its position, never past the record's end.
  void Put(int position, size_t fieldBytes, const std::string& field) {
    if (field.empty() || position < 1) return;
    const size_t start = static_cast<size_t>(position - 1);
    const size_t record = state_.recordBuffer.size();
    if (start >= record) return;
    const size_t room = std::min(fieldBytes, record - start);
    PutFieldAt(state_.recordBuffer, position, CutAnsiBytes(field, room));
  }

  bool Number(const RecordFormatRow& e, const RecordFormatRow& l, std::string_view value, std::string& out) {
    auto number = ParseDecimal(DecodeSingleByteField(value), e.decimals);
    if (!number) {
      WriteErrLog(state_, kErrNumberOverflow, "", 0);
      return false;
    }
    auto laid = LayoutDecimal(*number, l.length - l.decimals, l.decimals);
    if (!laid) {
      WriteErrLog(state_, kErrNumberOverflow, "", 0);
      return false;
    }
    out = *laid;
    return true;
  }

  // The local field text of an element (Windows-31J), by the attribute pair.
  bool Convert(const RecordFormatRow& e, const RecordFormatRow& l, std::string_view value, std::string& out) {
    const std::string pair = e.attribute + l.attribute;
    const size_t fieldBytes = static_cast<size_t>(std::max(l.FieldBytes(), 0));
    if (pair == "9N" || pair == "99" || pair == "N9" || pair == "NN") return Number(e, l, value, out);
    if (pair == "Y9" || pair == "YY" || pair == "9Y") {
      std::string digits(value);
      if (digits.size() < static_cast<size_t>(e.length)) digits.insert(0, static_cast<size_t>(e.length) - digits.size(), '0');
      if (digits.size() == 6) digits.insert(0, digits.compare(0, 2, "50") <= 0 ? "20" : "19");
      const size_t keep = static_cast<size_t>(std::max(l.length, 0));
      out = digits.size() > keep ? digits.substr(digits.size() - keep) : digits;
      return true;
    }
    if (pair == "XX" || pair == "BB") {
      // Binary fields are copied as they are, so they round-trip with the
      // local-to-CII direction, which writes them unchanged.
      out = pair == "XX" ? FitField(value, fieldBytes, " ") : std::string(value.substr(0, fieldBytes));
      if (out.size() < fieldBytes) out.append(fieldBytes - out.size(), ' ');
      return true;
    }
    if (pair == "KK") {
      const std::string bytes = doubleByteCode_ == 'M' || doubleByteCode_ == ' '
                                    ? std::string(value)
                                    : ToAnsiBytes(DecodeDoubleBytes(value, doubleByteCode_));
      out = FitField(bytes, fieldBytes, kFullWidthSpace);
      return true;
    }
    WriteErrLog(state_, kErrAttributePair, "", 1);
    out.clear();
    return true;
  }

  bool WriteLine() {
    if (!out_.is_open()) {
      out_.open(fileName_, std::ios::binary | std::ios::app);
      if (!out_) {
        WriteErrLog(state_, kErrFile, "", 0);
        return false;
      }
    }
    out_ << key_ << state_.recordBuffer << "\r\n";
    if (!out_) {
      WriteErrLog(state_, kErrFile, "", 0);
      return false;
    }
    return true;
  }

  ConverterState& state_;
  Database& db_;
  std::string localPath_;
  std::string fileName_;
  std::string key_;
  std::ofstream out_;
  std::vector<Level> levels_;
  char doubleByteCode_ = 'M';
  bool haveFormats_ = false;
  bool inMessage_ = false;
  int dropNest_ = 0;
  bool dropRepetition_ = false;
};

}  // namespace

std::string LocalFileName(const std::string& path, std::string_view category) {
  const size_t slash = path.find_last_of('/');
  const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  const size_t dot = path.find('.', nameStart);
  if (dot == std::string::npos) return path + std::string(category);
  return path.substr(0, dot) + std::string(category) + path.substr(dot);
}

std::string RecordKey(const ConverterState& state) {
  auto bytes = [&](size_t offset, size_t length) {
    return std::string(reinterpret_cast<const char*>(state.header.data() + offset), length);
  };
  return std::string(5, ' ') + bytes(header::kInfoCode, 4) + std::string(6, ' ') +
         bytes(header::kSenderCode, 12) + bytes(header::kReceiverCode, 12);
}

void CiiToLocal(ConverterState& state, Database& db, const std::string& ciiPath,
                const std::string& localPath) {
  CiiInput input;
  if (!input.Open(ciiPath)) {
    WriteErrLog(state, kErrFile, "", 0);
    return;
  }
  CiiToLocalVisitor visitor(state, db, localPath);
  ReadCiiFile(input, visitor);
  visitor.CloseOutput();
  state.blockRemaining = input.blockRemaining;
}

}  // namespace edi::cii
