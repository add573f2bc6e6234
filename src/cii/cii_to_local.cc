#include <algorithm>
#include <map>
#include <memory>
#include <span>
#include <vector>

#include "cii/ansi_text.h"
#include "cii/decimal_text.h"
#include "cii/field_codec.h"
#include "cii/format_lookup.h"
#include "cii/group_walker.h"
#include "cii/local_converter.h"
#include "cii/output_file.h"
#include "cii/syntax/cii_reader.h"

namespace edi::cii {
namespace {

constexpr char kFullWidthSpace[] = "\x81\x40";

// How the elements of one CII row become local bytes, settled once per group.
enum class FieldKind { kNone, kNumber, kDate, kText, kWide, kBinary, kNoPair };

struct FieldPlan {
  FieldKind kind = FieldKind::kNone;
  int local = -1;        // index of the local row, -1 when there is none
  int position = 0;      // 1-based byte position of the first occurrence
  int fieldBytes = 0;    // bytes of the local field
  int groupLength = 0;   // for a group row: bytes of one local occurrence
  int groupLimit = 1;    // for a group row: occurrences the record has room for
};

FieldKind KindOfPair(const std::string& e, const std::string& l) {
  const std::string pair = e + l;
  if (pair == "9N" || pair == "99" || pair == "N9" || pair == "NN") return FieldKind::kNumber;
  if (pair == "Y9" || pair == "YY" || pair == "9Y") return FieldKind::kDate;
  if (pair == "XX") return FieldKind::kText;
  if (pair == "KK") return FieldKind::kWide;
  if (pair == "BB") return FieldKind::kBinary;
  return FieldKind::kNoPair;
}

class CiiToLocalVisitor : public CiiVisitor {
 public:
  CiiToLocalVisitor(ConverterState& state, Database& db, ConversionResult& result, std::string localPath,
                    Outputs& outputs)
      : state_(state), db_(db), result_(result), localPath_(std::move(localPath)), outputs_(outputs),
        walker_(state.ciiRows) {}

  bool OnGroupHeader(std::span<const uint8_t> header, uint64_t) override {
    state_.TakeHeader(header);
    output_ = nullptr;
    haveFormats_ = false;
    if (!LoadGroupFormats(state_, db_, GroupFormats{.localRows = true}, result_)) return false;
    Plan();
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
    output_ = nullptr;
    return true;
  }

  bool OnMessageStart(const MessageInfo&) override {
    inMessage_ = haveFormats_;
    if (!haveFormats_) {
      result_.Note(kErrNoGroupHeader);
      return true;
    }
    state_.recordBuffer = state_.localRecordTemplate;
    walker_.StartMessage();
    return true;
  }

  bool OnElement(uint32_t tag, std::string_view value, uint64_t) override {
    if (!inMessage_) return true;
    if (value.empty()) return result_.Stop(kErrZeroLength);
    if (walker_.Skipping() || BeyondTheRecord()) return true;
    const int row = walker_.ElementRow(tag);
    if (row < 0 || plans_[static_cast<size_t>(row)].local < 0) {
      result_.Note(kErrUnknownTag);
      return true;
    }
    return Convert(state_.ciiRows[static_cast<size_t>(row)], plans_[static_cast<size_t>(row)], value, Offset());
  }

  bool OnGroupStart(const GroupMarker& marker) override {
    if (inMessage_ && walker_.EnterGroup(marker) == GroupWalker::Marker::kNoGroupRow) {
      result_.Note(kErrGroupMarker);  // its elements are dropped up to its 0xFC
    }
    return true;
  }

  bool OnRepetition(uint64_t) override {
    if (!inMessage_) return true;
    const bool wasBeyond = BeyondTheRecord();
    const GroupWalker::Marker step = walker_.NextRepetition();
    if (step == GroupWalker::Marker::kOutOfPlace) result_.Note(kErrGroupMarker);
    if (step == GroupWalker::Marker::kApplied && !wasBeyond && BeyondTheRecord()) {
      result_.Note(kErrRepetitions);  // more repetitions than the record holds
    }
    return true;
  }

  bool OnGroupEnd(uint64_t) override {
    if (inMessage_ && walker_.LeaveGroup() == GroupWalker::Marker::kOutOfPlace) result_.Note(kErrGroupMarker);
    return true;
  }

  bool OnMessageEnd(const MessageInfo&, long remaining) override {
    if (!inMessage_) return true;
    inMessage_ = false;
    if (remaining != 0) result_.Note(kErrLengthMismatch, "長さ違い");
    return WriteLine();
  }

  bool OnError(int code, std::string_view message, uint64_t) override { return result_.Damage(code, message); }

  // Closes every local file the conversion appended to (checked) and keeps
  // them, or, when the conversion failed, drops what it appended to each.
  void Finish() {
    for (auto& [name, file] : files_) {
      if (result_.ok() && !file->Close()) result_.Stop(kErrFile, file->error());
    }
    for (auto& [name, file] : files_) {
      if (!result_.ok()) {
        file->Drop();
      } else if (!file->Keep()) {
        result_.Stop(kErrFile, file->error());
      }
    }
    files_.clear();
  }

 private:
  // The byte offset of the current occurrence of every enclosing group.
  int Offset() const {
    int offset = 0;
    for (const auto& level : walker_.levels()) {
      if (level.groupRow >= 0) {
        offset += (level.occurrence - 1) * plans_[static_cast<size_t>(level.groupRow)].groupLength;
      }
    }
    return offset;
  }

  // True while some enclosing group is in a repetition the record has no
  // room for: its elements are dropped.
  bool BeyondTheRecord() const {
    for (const auto& level : walker_.levels()) {
      if (level.groupRow >= 0 && level.occurrence > plans_[static_cast<size_t>(level.groupRow)].groupLimit) return true;
    }
    return false;
  }

  // The local row of a CII row: the row its 対応項目通番 names, else the row
  // at the same index.
  int LocalIndexFor(size_t ciiIndex) const {
    const RecordFormatRow& e = state_.ciiRows[ciiIndex];
    int local = FindLocalRowBySerial(state_.localRows, e.counterpartSerial);
    if (local < 0 && ciiIndex < state_.localRows.size()) local = static_cast<int>(ciiIndex);
    return local;
  }

  void Plan() {
    plans_.assign(state_.ciiRows.size(), FieldPlan{});
    for (size_t i = 0; i < state_.ciiRows.size(); ++i) {
      FieldPlan& plan = plans_[i];
      plan.local = LocalIndexFor(i);
      if (plan.local < 0) continue;
      const RecordFormatRow& l = state_.localRows[static_cast<size_t>(plan.local)];
      plan.kind = KindOfPair(state_.ciiRows[i].attribute, l.attribute);
      plan.position = l.PositionNumber();
      plan.fieldBytes = std::max(l.FieldBytes(), 0);
      plan.groupLength = l.length;
      plan.groupLimit = l.RepeatCount();
    }
  }

  // The field's bytes in the record, cut at the record's end; empty when the
  // field lies outside it.
  std::span<char> Field(const FieldPlan& plan, int offset) {
    const long start = static_cast<long>(plan.position) - 1 + offset;
    const long record = static_cast<long>(state_.recordBuffer.size());
    if (plan.position < 1 || start >= record) return {};
    const size_t room = static_cast<size_t>(std::min<long>(plan.fieldBytes, record - start));
    return std::span<char>(state_.recordBuffer.data() + start, room);
  }

  // Fills a field with `bytes` (cut never inside a two-byte character) and
  // then with `pad` (a two-byte pad ends with a space when one byte is left).
  static void Fill(std::span<char> field, std::string_view bytes, std::string_view pad) {
    const std::string_view cut = CutAnsiBytes(bytes, field.size());
    std::copy(cut.begin(), cut.end(), field.begin());
    size_t i = cut.size();
    for (; i + pad.size() <= field.size(); i += pad.size()) std::copy(pad.begin(), pad.end(), field.begin() + static_cast<long>(i));
    for (; i < field.size(); ++i) field[i] = ' ';
  }

  bool Overflow() { return result_.Stop(kErrNumberOverflow); }

  // Digits-only values (the usual case) are laid out in place; anything else
  // goes through the general decimal layout.
  bool Number(const RecordFormatRow& e, const RecordFormatRow& l, std::string_view value, std::span<char> field) {
    const int integerWidth = l.length - l.decimals;
    const bool digitsOnly = !value.empty() && std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; });
    std::string& laid = laid_;
    if (digitsOnly && e.decimals >= 0 && integerWidth >= 0 && l.decimals >= 0) {
      const size_t fractionDigits = std::min(static_cast<size_t>(e.decimals), value.size());
      std::string_view integer = value.substr(0, value.size() - fractionDigits);
      const std::string_view fraction = value.substr(value.size() - fractionDigits);
      while (!integer.empty() && integer.front() == '0') integer.remove_prefix(1);
      if (integer.size() > static_cast<size_t>(integerWidth)) return Overflow();
      laid.assign(static_cast<size_t>(integerWidth) - integer.size(), '0');
      laid.append(integer);
      if (l.decimals > 0) {
        laid.push_back('.');
        // Missing implied leading zeros of a short fraction ("5" with 2 decimals is 0.05).
        const size_t point = laid.size();
        laid.append(static_cast<size_t>(e.decimals) - fractionDigits, '0');
        laid.append(fraction);
        laid.resize(point + static_cast<size_t>(l.decimals), '0');
      }
    } else {
      auto number = ParseDecimal(DecodeSingleByteField(value), e.decimals);
      if (!number) return Overflow();
      auto general = LayoutDecimal(*number, integerWidth, l.decimals);
      if (!general) return Overflow();
      laid = std::move(*general);
    }
    Fill(field, laid, " ");
    return true;
  }

  // Converts an element into its local field by the attribute pair.
  bool Convert(const RecordFormatRow& e, const FieldPlan& plan, std::string_view value, int offset) {
    const RecordFormatRow& l = state_.localRows[static_cast<size_t>(plan.local)];
    std::span<char> field = Field(plan, offset);
    switch (plan.kind) {
      case FieldKind::kNumber:
        return Number(e, l, value, field);
      case FieldKind::kDate: {
        std::string& digits = laid_;
        digits.assign(value);
        if (digits.size() < static_cast<size_t>(e.length)) digits.insert(0, static_cast<size_t>(e.length) - digits.size(), '0');
        digits = WithCentury(std::move(digits));
        const size_t keep = static_cast<size_t>(std::max(l.length, 0));
        Fill(field, digits.size() > keep ? std::string_view(digits).substr(digits.size() - keep) : digits, " ");
        return true;
      }
      case FieldKind::kText:
        Fill(field, value, " ");
        return true;
      case FieldKind::kBinary: {
        // Binary fields are copied as they are, so that they round-trip with
        // the local-to-CII direction, which writes them unchanged.
        const size_t n = std::min(value.size(), field.size());
        std::copy(value.begin(), value.begin() + static_cast<long>(n), field.begin());
        std::fill(field.begin() + static_cast<long>(n), field.end(), ' ');
        return true;
      }
      case FieldKind::kWide: {
        bool mended = false;
        Fill(field, AnsiDoubleBytes(value, doubleByteCode_, wide_, mended), kFullWidthSpace);
        if (mended) result_.Note(kErrUnmappable);
        return true;
      }
      case FieldKind::kNoPair:
        result_.Note(kErrAttributePair);
        return true;
      case FieldKind::kNone:
        return true;
    }
    return true;
  }

  // The local file of the current group, opened at its first line and kept
  // open for the conversion (groups of one category share their file).
  Output* GroupOutput() {
    if (output_ != nullptr) return output_;
    auto& file = files_[fileName_];
    if (!file) {
      std::string error;
      file = outputs_.Append(fileName_, error);
      if (!file) {
        result_.Stop(kErrFile, error);
        files_.erase(fileName_);
        return nullptr;
      }
    }
    output_ = file.get();
    return output_;
  }

  bool WriteLine() {
    Output* out = GroupOutput();
    if (out == nullptr) return false;
    // Three writes into the output's buffer rather than a line copied first.
    const bool written = out->Write(key_) && out->Write(state_.recordBuffer) && out->Write("\r\n");
    return written || result_.Stop(kErrFile, out->error());
  }

  ConverterState& state_;
  Database& db_;
  ConversionResult& result_;
  std::string localPath_;
  Outputs& outputs_;
  std::string fileName_;
  std::string key_;
  std::string laid_;  // a number or date laid out for its field
  std::string wide_;  // a double-byte element's bytes, when they had to be made
  std::map<std::string, std::unique_ptr<Output>> files_;
  Output* output_ = nullptr;
  GroupWalker walker_;
  std::vector<FieldPlan> plans_;
  char doubleByteCode_ = 'M';
  bool haveFormats_ = false;
  bool inMessage_ = false;
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

int CiiToLocal(ConverterState& state, Database& db, const ConversionInput& input, Outputs& outputs,
               const std::string& localPath) {
  ConversionResult result(state.errLog);
  CiiInput cii;
  if (!OpenCiiInput(cii, input)) {
    result.Stop(kErrFile, "cannot read " + input.path);
    return result.code();
  }
  CiiToLocalVisitor visitor(state, db, result, localPath, outputs);
  const ReadOutcome outcome = ReadCiiFile(cii, visitor);
  if (cii.ReadFailed()) result.Stop(kErrFile, "cannot read " + input.path);
  if (outcome == ReadOutcome::kFailed && result.ok()) result.Stop(kErrTruncated);
  visitor.Finish();
  return result.code();
}

int CiiToLocal(ConverterState& state, Database& db, const std::string& ciiPath, const std::string& localPath) {
  FileOutputs outputs(IdentityOf(ciiPath), state.outputJournal);
  return CiiToLocal(state, db, ConversionInput::File(ciiPath), outputs, localPath);
}

}  // namespace edi::cii
