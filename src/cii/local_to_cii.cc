#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

#include "base/local_time.h"
#include "base/text.h"
#include "cii/ansi_text.h"
#include "cii/decimal_text.h"
#include "cii/field_codec.h"
#include "cii/format_lookup.h"
#include "cii/local_converter.h"
#include "cii/output_file.h"
#include "cii/syntax/cii_writer.h"

namespace edi::cii {
namespace {

constexpr size_t kKeyLength = 39;
constexpr char kEndOfFile = 0x1A;  // Ctrl-Z: what follows it is not data

bool IsBlankLine(std::string_view line) {
  return line.find_first_not_of(" \t\r") == std::string_view::npos;
}

// The group's creation time "yymmddhhmmss".
std::string CreationTime() {
  const LocalTime now = CurrentLocalTime();
  return now.date.substr(2, 2) + now.date.substr(5, 2) + now.date.substr(8, 2) + now.time.substr(0, 2) +
         now.time.substr(3, 2) + now.time.substr(6, 2);
}

// The first CR or LF in [begin, end), or end: the LF found with memchr,
// then a CR before it (a line that ends with CR alone).
const char* LineEnd(const char* begin, const char* end) {
  if (begin == end) return end;  // nothing buffered yet (memchr takes no null pointer)
  const void* lf = std::memchr(begin, '\n', static_cast<size_t>(end - begin));
  const char* stop = lf != nullptr ? static_cast<const char*>(lf) : end;
  const void* cr = std::memchr(begin, '\r', static_cast<size_t>(stop - begin));
  return cr != nullptr ? static_cast<const char*>(cr) : stop;
}

// Reads the lines of a local file: lines end with CR LF, CR alone or LF
// alone, and a final Ctrl-Z ends the file.
class LineReader {
 public:
  ~LineReader() {
    if (fd_ >= 0) ::close(fd_);
  }
  // False (errno set) when the file cannot be opened.
  bool Open(const ConversionInput& input) {
    if (input.bytes) {
      data_ = *input.bytes;  // read in place: the whole input is there
      atEnd_ = true;
      return true;
    }
    fd_ = ::open(input.path.c_str(), O_RDONLY | O_CLOEXEC);
    return fd_ >= 0;
  }
  bool failed() const { return failed_; }

  // The next line without its line end; false at the end of the file.
  bool Next(std::string_view& line) {
    for (;;) {
      const char* begin = data_.data() + pos_;
      const char* end = data_.data() + data_.size();
      const char* stop = LineEnd(begin, end);
      // A CR at the end of what is buffered may be the first half of CR LF.
      if (stop != end && !(*stop == '\r' && stop + 1 == end && !atEnd_)) {
        line = std::string_view(begin, static_cast<size_t>(stop - begin));
        pos_ = static_cast<size_t>(stop - data_.data()) + 1;
        if (*stop == '\r' && pos_ < data_.size() && data_[pos_] == '\n') ++pos_;
        return true;
      }
      if (atEnd_) {
        if (pos_ >= data_.size()) return false;
        line = std::string_view(begin, data_.size() - pos_);
        pos_ = data_.size();
        if (!line.empty() && line.back() == kEndOfFile) line.remove_suffix(1);
        return true;
      }
      if (!Fill()) return false;
    }
  }

 private:
  bool Fill() {
    buffer_.erase(0, pos_);
    pos_ = 0;
    const size_t kept = buffer_.size();
    buffer_.resize(kept + kChunk);
    for (;;) {
      const ssize_t n = ::read(fd_, buffer_.data() + kept, kChunk);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) failed_ = true;
      const size_t got = n > 0 ? static_cast<size_t>(n) : 0;
      buffer_.resize(kept + got);
      data_ = buffer_;
      if (got == 0) atEnd_ = true;
      return !failed_;
    }
  }

  static constexpr size_t kChunk = 1 << 18;
  int fd_ = -1;
  std::string buffer_;     // what has been read of the file
  std::string_view data_;  // the bytes lines are taken from: buffer_, or the input in memory
  size_t pos_ = 0;
  bool atEnd_ = false;
  bool failed_ = false;
};

// The FL1916 value that header field `element` carries.
std::string GroupValue(const MessageGroupValues& v, std::string_view element) {
  const std::string& bpid = v.bpid;
  auto part = [&](size_t from, size_t n) { return bpid.size() > from ? bpid.substr(from, n) : std::string(); };
  const std::string mode = TrimSpaces(v.storageMode);
  static const std::pair<const char*, std::string MessageGroupValues::*> kColumns[] = {
      {"JPC03", &MessageGroupValues::operationMode},  {"JPC04", &MessageGroupValues::senderVan},
      {"JPC05", &MessageGroupValues::senderCentre},   {"JPC06", &MessageGroupValues::sender},
      {"JPC07", &MessageGroupValues::receiverVan},    {"JPC08", &MessageGroupValues::receiverCentre},
      {"JPC09", &MessageGroupValues::receiver},       {"JPC14", &MessageGroupValues::infoCode},
      {"JPC18", &MessageGroupValues::interchangeRef}, {"JPC21", &MessageGroupValues::syntaxVersion},
      {"JPC23", &MessageGroupValues::storageMode},    {"JPC24", &MessageGroupValues::eightBitCode},
      {"JPC25", &MessageGroupValues::sixteenBitCode}, {"JPC29", &MessageGroupValues::abbreviated},
      {"JPC30", &MessageGroupValues::senderVanAgency}, {"JPC31", &MessageGroupValues::senderCentreAgency},
      {"JPC32", &MessageGroupValues::senderAgency},   {"JPC33", &MessageGroupValues::receiverVanAgency},
      {"JPC34", &MessageGroupValues::receiverCentreAgency}, {"JPC35", &MessageGroupValues::receiverAgency},
  };
  for (const auto& [name, column] : kColumns) {
    if (element == name) return v.*column;
  }
  if (element == "JPC10") return part(0, 4);
  if (element == "JPC11") return part(4, 2);
  if (element == "JPC12") return part(6, 2);
  if (element == "JPC17") return mode == "M" ? "11" : mode == "S" ? "10" : "";
  if (element == "JPC19") return CreationTime();
  return "";
}

// Writes one local file's lines as CII message groups.
class LocalToCiiWriter {
 public:
  LocalToCiiWriter(ConverterState& state, Database& db, ConversionResult& result, Output& out)
      : state_(state), db_(db), result_(result), out_(out) {}

  // Converts one line; false when the conversion must stop.
  bool Line(std::string_view line) {
    if (IsBlankLine(line)) return true;
    const std::string_view key = line.substr(0, kKeyLength);
    if (!groupOpen_ || key != key_) {
      if (groupOpen_ && !WriteTrailer()) return false;
      if (!StartGroup(line)) return false;
    }
    if (line.size() > kKeyLength + static_cast<size_t>(state_.localRecordLength)) {
      return result_.Stop(kErrLineTooLong);
    }
    state_.recordBuffer.assign(line.size() > kKeyLength ? line.substr(kKeyLength) : std::string_view());
    ++count_;
    return Message();
  }

  bool Finish() { return (!groupOpen_ || WriteTrailer()) && Write(); }

 private:
  static std::string Columns(std::string_view line, size_t from, size_t to) {
    if (line.size() < from) return "";
    return TrimSpaces(line.substr(from - 1, to - from + 1));
  }

  bool StartGroup(std::string_view line) {
    key_ = std::string(line.substr(0, kKeyLength));
    groupOpen_ = false;
    count_ = 0;
    MessageGroupValues v;
    const std::string category = Columns(line, 6, 9);
    if (!result_.Loaded(LoadGroupValues(state_, db_, Columns(line, 28, 39), Columns(line, 16, 27), category, v),
                        kErrNoFormatInfo, db_)) {
      return false;
    }
    FillHeader(v);
    state_.groupBpid = TrimSpaces(v.bpid);
    state_.groupInfoCode = category;
    if (!LoadGroupFormats(state_, db_, GroupFormats{.localRows = true, .infoNotFound = kErrNoFormatInfoLocal},
                          result_)) {
      return false;
    }
    if (!IsKnownStorageMode(state_.StorageMode())) return result_.Stop(kErrStorageMode);
    state_.localRecordLength = LocalRecordLength(state_.localRows);
    BuildPlan();
    AppendGroupHeader(blocks_, state_.header);
    groupOpen_ = true;
    return WriteFull();
  }

  void FillHeader(const MessageGroupValues& v) {
    state_.header.fill(' ');
    for (const auto& field : kHeaderFields) {
      if (field.element == nullptr) continue;
      StoreMixedText(std::span<uint8_t>(state_.header.data() + field.offset, field.length),
                     GroupValue(v, field.element));
    }
  }

  bool WriteTrailer() {
    if (const int refused = AppendGroupTrailer(blocks_, count_)) return result_.Stop(refused);
    groupOpen_ = false;
    return WriteFull();
  }

  // The blocks are gathered and handed to the output a few hundred
  // kilobytes at a time, which the output writes without copying them again.
  bool WriteFull() { return blocks_.size() < kGathered || Write(); }
  bool Write() {
    const bool written = out_.Write(blocks_);
    blocks_.clear();
    return written || result_.Stop(kErrFile, out_.error());
  }

  // The local counterpart of CII row `e`: the first local row whose
  // 対応項目通番 is e's 項目通番.
  const RecordFormatRow* LocalRowFor(const RecordFormatRow& e) const {
    for (const auto& l : state_.localRows) {
      if (l.counterpartSerial == e.serial) return &l;
    }
    return nullptr;
  }

  // How an element's CII value is made, by the attribute of its row.
  enum class ElementKind { kGroup, kText, kBinary, kNumber, kDate, kWide, kOther };

  static ElementKind KindOf(const RecordFormatRow& e) {
    const std::string& a = e.attribute;
    if (e.IsGroup()) return ElementKind::kGroup;
    if (a == "X") return ElementKind::kText;
    if (a == "B") return ElementKind::kBinary;
    if (a == "9" || a == "N") return ElementKind::kNumber;
    if (a == "Y") return ElementKind::kDate;
    if (a == "K") return ElementKind::kWide;
    return ElementKind::kOther;
  }

  // One step of the record walk, planned once per group from the format's
  // CII rows: an element read from its local field, or a group's start or
  // end. Repetitions are not unrolled: a group's end steps back to its
  // first member while occurrences remain.
  enum class Op : uint8_t { kElement, kGroupStart, kGroupEnd };
  struct Step {
    Op op = Op::kElement;
    ElementKind kind = ElementKind::kOther;
    const RecordFormatRow* row = nullptr;    // the CII row
    const RecordFormatRow* local = nullptr;  // an element's local counterpart
    int position = 0;                        // an element's 項目位置 - 1
    size_t bytes = 0;                        // an element's field bytes
    int repeat = 0, length = 0;              // a group's occurrences and bytes per occurrence
    size_t other = 0;                        // a group start's end, a group end's start
  };

  // A group of the walk while its occurrences are written.
  struct Occurrence {
    size_t start;  // the group's start step
    int count;     // occurrences begun
    int base;      // the record offset of the first occurrence
  };

  void BuildPlan() {
    const char code = static_cast<char>(state_.header[header::kDoubleByteSet]);
    doubleByteCode_ = code == 'S' || code == 'U' ? code : 'M';
    steps_.clear();
    Plan(0, state_.ciiRows.size());
  }

  // The steps of rows [begin, end) of one level.
  void Plan(size_t begin, size_t end) {
    const FormatRows& rows = state_.ciiRows;
    for (size_t i = begin; i < end; ++i) {
      const RecordFormatRow& e = rows[i];
      const RecordFormatRow* local = LocalRowFor(e);
      Step step{.kind = KindOf(e), .row = &e, .local = local};
      if (step.kind == ElementKind::kGroup) {
        size_t membersEnd = i + 1;
        while (membersEnd < end && rows[membersEnd].level > e.level) ++membersEnd;
        const size_t start = steps_.size();
        step.op = Op::kGroupStart;
        step.repeat = local != nullptr ? local->RepeatCount() : e.RepeatCount();
        step.length = local != nullptr ? local->length : 0;
        steps_.push_back(step);
        Plan(i + 1, membersEnd);
        steps_[start].other = steps_.size();
        steps_.push_back(Step{.op = Op::kGroupEnd, .other = start});
        i = membersEnd - 1;
      } else if (local != nullptr) {
        step.position = local->PositionNumber() - 1;
        step.bytes = static_cast<size_t>(std::max(local->FieldBytes(), 0));
        steps_.push_back(step);
      }
    }
  }

  // The field's bytes from the record, as far as the line holds them.
  std::string_view RawField(const Step& s, int offset) const {
    const int start = s.position + offset;
    if (start < 0 || static_cast<size_t>(start) >= state_.recordBuffer.size()) return {};
    return std::string_view(state_.recordBuffer).substr(static_cast<size_t>(start), s.bytes);
  }

  // A number of the local field `l`: at most its own decimals. `value` is
  // a view of the record or of value_.
  bool Number(const RecordFormatRow& e, const RecordFormatRow& l, std::string_view raw, std::string_view& value) {
    const size_t cut = static_cast<size_t>(std::max(e.length, 0));
    bool tooManyDecimals = false;
    if (ScalePlainDecimal(raw, l.decimals, e.decimals, value_, value, tooManyDecimals)) {
      if (tooManyDecimals) return result_.Stop(kErrNumberOverflow);
      if (value.size() > cut) value.remove_prefix(value.size() - cut);
      return true;
    }
    auto number = ParseDecimal(raw);
    if (!number || number->fraction.size() > static_cast<size_t>(std::max(l.decimals, 0))) {
      return result_.Stop(kErrNumberOverflow);
    }
    value = {};
    if (number->IsZero()) return true;
    value_ = ScaledInteger(*number, e.decimals);
    value = value_;
    if (value.size() > cut) value.remove_prefix(value.size() - cut);
    return true;
  }

  bool Date(const RecordFormatRow& e, const RecordFormatRow& l, std::string_view raw, std::string& out) {
    std::string date = TrimSpaces(raw);
    if (!std::all_of(date.begin(), date.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      return result_.Stop(kErrNumberOverflow);
    }
    if (l.length == 6) date = WithCentury(std::move(date));
    const size_t cut = static_cast<size_t>(std::max(e.length, 0));
    if (date.size() > cut) date = date.substr(date.size() - cut);
    if (date.empty() || date == "20000000" || date.find_first_not_of('0') == std::string::npos) return true;
    out = date;
    return true;
  }

  // The CII value of an element (empty: the element is left out): a view
  // of the record, or of value_ when the value is made.
  bool Convert(const Step& s, std::string_view raw, std::string_view& value) {
    const RecordFormatRow& e = *s.row;
    const size_t cut = static_cast<size_t>(std::max(e.length, 0));
    value_.clear();
    switch (s.kind) {
      case ElementKind::kText:
        value = CutAnsiBytes(TrimSpacesView(raw), cut);
        return true;
      case ElementKind::kNumber:
        return Number(e, *s.local, raw, value);
      case ElementKind::kDate:
        if (!Date(e, *s.local, raw, value_)) return false;
        break;
      case ElementKind::kWide: {
        bool mended = false;
        value = CutAnsiBytes(WidenAnsiField(TrimSpacesView(raw), doubleByteCode_, value_, mended), cut);
        if (mended) result_.Note(kErrUnmappable);
        if (doubleByteCode_ == 'U' && value.size() % 2 != 0) value.remove_suffix(1);
        return true;
      }
      case ElementKind::kBinary:
      case ElementKind::kGroup:
      case ElementKind::kOther:
        value = raw;
        return true;
    }
    value = value_;
    return true;
  }

  // The message body of the record in state_.recordBuffer: the plan's
  // steps, each group's members once per occurrence.
  bool Walk(MessageBody& body) {
    open_.clear();
    int offset = 0;
    for (size_t i = 0; i < steps_.size(); ++i) {
      const Step& s = steps_[i];
      switch (s.op) {
        case Op::kElement: {
          std::string_view value;
          if (!Convert(s, RawField(s, offset), value)) return false;
          if (value.empty()) break;
          if (const int refused = body.AppendElement(static_cast<uint32_t>(s.row->itemNo), value)) {
            return result_.Stop(refused);
          }
          break;
        }
        case Op::kGroupStart:
          if (!body.AppendGroupStart(s.row->multiNo, true)) return result_.Stop(kErrMultiNo);
          if (s.repeat <= 0) {
            body.AppendGroupEnd();
            i = s.other;
          } else {
            open_.push_back(Occurrence{i, 1, offset});
          }
          break;
        case Op::kGroupEnd: {
          Occurrence& o = open_.back();
          const Step& group = steps_[o.start];
          if (o.count < group.repeat) {
            body.AppendRepetition();
            offset = o.base + o.count++ * group.length;
            i = o.start;  // on to the first member
          } else {
            body.AppendGroupEnd();
            offset = o.base;
            open_.pop_back();
          }
          break;
        }
      }
    }
    return true;
  }

  // The record's message, its body written straight after room for the
  // block number and prefix in the gathered blocks.
  bool Message() {
    const size_t at = blocks_.size();
    blocks_.append(kMessageRoom, '\0');
    body_.Begin(blocks_);
    if (!Walk(body_)) return false;
    if (const int refused = FinishMessageInPlace(blocks_, at, count_, state_.StorageMode())) {
      return result_.Stop(refused);
    }
    return WriteFull();
  }

  static constexpr size_t kGathered = 1 << 18;

  ConverterState& state_;
  Database& db_;
  ConversionResult& result_;
  Output& out_;
  std::string key_;
  bool groupOpen_ = false;
  long count_ = 0;
  MessageBody body_;
  std::vector<Step> steps_;
  std::vector<Occurrence> open_;
  char doubleByteCode_ = 'M';  // of "K" elements: 'M', 'S' or 'U'
  std::string value_, blocks_;
};

}  // namespace

int LocalToCii(ConverterState& state, Database& db, const ConversionInput& input, Outputs& outputs,
               const std::string& ciiName) {
  ConversionResult result(state.errLog);
  LineReader in;
  if (!in.Open(input)) {
    result.Stop(kErrFile, "cannot read " + input.path + ": " + std::strerror(errno));
    return result.code();
  }
  std::string error;
  const std::unique_ptr<Output> out = outputs.Append(ciiName, error);
  if (out == nullptr) {
    result.Stop(kErrFile, error);
    return result.code();
  }
  LocalToCiiWriter writer(state, db, result, *out);
  std::string_view line;
  bool going = true;
  while (going && in.Next(line)) going = writer.Line(line);
  if (in.failed()) result.Stop(kErrFile, "cannot read " + input.path);
  if (result.ok()) writer.Finish();
  if (result.ok() && !(out->Close() && out->Keep())) result.Stop(kErrFile, out->error());
  if (!result.ok()) out->Drop();
  return result.code();
}

int LocalToCii(ConverterState& state, Database& db, const std::string& localPath, const std::string& ciiPath) {
  FileOutputs outputs(IdentityOf(localPath), state.outputJournal);
  return LocalToCii(state, db, ConversionInput::File(localPath), outputs, ciiPath);
}

}  // namespace edi::cii
