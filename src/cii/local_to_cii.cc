#include <ctime>
#include <fstream>

#include "cii/ansi_text.h"
#include "cii/cii_writer.h"
#include "cii/decimal_text.h"
#include "cii/err_log.h"
#include "cii/field_codec.h"
#include "cii/format_lookup.h"
#include "cii/local_converter.h"

namespace edi::cii {
namespace {

constexpr size_t kKeyLength = 39;

std::string TrimSpaces(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return std::string(s);
}

bool IsBlankLine(std::string_view line) {
  return line.find_first_not_of(" \t\r") == std::string_view::npos;
}

std::string CreationTime() {
  std::time_t t = std::time(nullptr);
  std::tm local{};
  localtime_r(&t, &local);
  char buffer[16];
  std::strftime(buffer, sizeof buffer, "%y%m%d%H%M%S", &local);
  return buffer;
}

// Writes one local file's lines as CII message groups.
class LocalToCiiWriter {
 public:
  LocalToCiiWriter(ConverterState& state, Database& db, std::ofstream& out)
      : state_(state), db_(db), out_(out) {}

  // Converts one line; false when the conversion must stop.
  bool Line(std::string_view line) {
    if (IsBlankLine(line)) return true;
    const std::string_view key = line.substr(0, kKeyLength);
    if (!groupOpen_ || key != key_) {
      if (groupOpen_ && !WriteTrailer()) return false;
      if (!StartGroup(line)) return false;
    }
    state_.recordBuffer = line.size() > kKeyLength ? std::string(line.substr(kKeyLength)) : "";
    ++count_;
    return Message();
  }

  bool Finish() { return !groupOpen_ || WriteTrailer(); }

 private:
  static std::string Columns(std::string_view line, size_t from, size_t to) {
    if (line.size() < from) return "";
    return TrimSpaces(line.substr(from - 1, to - from + 1));
  }

  bool Fail(int code) {
    WriteErrLog(state_, code, "", 0);
    return false;
  }

  void Store(size_t offset, size_t length, std::string_view text) {
    StoreMixedText(std::span<uint8_t>(state_.header.data() + offset, length), text);
  }

  bool StartGroup(std::string_view line) {
    key_ = std::string(line.substr(0, kKeyLength));
    groupOpen_ = false;
    count_ = 0;
    MessageGroupValues v;
    const std::string category = Columns(line, 6, 9);
    if (!LoadedOrLogged(state_, LoadMessageGroupValues(db_, Columns(line, 28, 39), Columns(line, 16, 27), category, v),
                        kErrNoFormatInfo)) {
      return false;
    }
    FillHeader(v);
    state_.groupBpid = TrimSpaces(v.bpid);
    state_.groupInfoCode = category;
    const std::string& bpid = state_.groupBpid;
    if (!LoadedOrLogged(state_, LoadFormatInfo(db_, category, bpid, state_.formatInfo), kErrNoFormatInfoLocal) ||
        !LoadedOrLogged(state_, LoadRecordFormatRows(db_, 'E', category, bpid, state_.ciiRows), kErrNoCiiRows) ||
        !LoadedOrLogged(state_, LoadRecordFormatRows(db_, 'L', category, bpid, state_.localRows), kErrNoLocalRows)) {
      return false;
    }
    if (!IsKnownStorageMode(state_.StorageMode())) return Fail(kErrStorageMode);
    std::string block;
    AppendGroupHeader(block, state_.header);
    groupOpen_ = true;
    return Write(block);
  }

  void FillHeader(const MessageGroupValues& v) {
    state_.header.fill(' ');
    state_.header[0] = v.operationMode.empty() ? ' ' : static_cast<uint8_t>(v.operationMode[0]);
    Store(1, 12, v.senderVan);
    Store(13, 12, v.senderCentre);
    Store(25, 12, v.sender);
    Store(37, 12, v.receiverVan);
    Store(49, 12, v.receiverCentre);
    Store(61, 12, v.receiver);
    Store(73, 4, v.bpid.substr(0, std::min<size_t>(4, v.bpid.size())));
    Store(77, 2, v.bpid.size() > 4 ? v.bpid.substr(4, 2) : "");
    Store(79, 2, v.bpid.size() > 6 ? v.bpid.substr(6, 2) : "");
    Store(93, 4, v.infoCode);
    const std::string mode = TrimSpaces(v.storageMode);
    Store(103, 2, mode == "M" ? "11" : mode == "S" ? "10" : "");
    Store(105, 10, v.interchangeRef);
    Store(115, 12, CreationTime());
    Store(139, 6, v.syntaxVersion);
    Store(146, 1, v.storageMode);
    Store(147, 1, v.eightBitCode);
    Store(148, 1, v.sixteenBitCode);
    Store(160, 1, v.abbreviated);
    Store(161, 3, v.senderVanAgency);
    Store(164, 3, v.senderCentreAgency);
    Store(167, 3, v.senderAgency);
    Store(170, 3, v.receiverVanAgency);
    Store(173, 3, v.receiverCentreAgency);
    Store(176, 3, v.receiverAgency);
  }

  bool WriteTrailer() {
    FillTrailer(state_.trailer, count_);
    std::string block;
    AppendGroupTrailer(block, state_.trailer);
    groupOpen_ = false;
    return Write(block);
  }

  bool Write(const std::string& bytes) {
    out_.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return out_ ? true : Fail(kErrFile);
  }

  // The local counterpart of CII row `e`: the first local row whose
  // 対応項目通番 is e's 項目通番.
  const RecordFormatRow* LocalRowFor(const RecordFormatRow& e) const {
    for (const auto& l : state_.localRows) {
      if (l.counterpartSerial == e.serial) return &l;
    }
    return nullptr;
  }

  // The field's bytes from the record, as far as the line holds them.
  std::string_view RawField(const RecordFormatRow& l, int offset) const {
    const int start = l.PositionNumber() - 1 + offset;
    if (start < 0 || static_cast<size_t>(start) >= state_.recordBuffer.size()) return {};
    return std::string_view(state_.recordBuffer).substr(static_cast<size_t>(start), static_cast<size_t>(std::max(l.FieldBytes(), 0)));
  }

  // The CII value of an element (empty: the element is left out).
  bool Convert(const RecordFormatRow& e, std::string_view raw, const RecordFormatRow& l, std::string& out) {
    out.clear();
    const std::string& a = e.attribute;
    const size_t cut = static_cast<size_t>(std::max(e.length, 0));
    if (a == "X") {
      out = std::string(CutAnsiBytes(TrimSpaces(raw), cut));
    } else if (a == "B") {
      out = std::string(raw);
    } else if (a == "9" || a == "N") {
      auto number = ParseDecimal(raw);
      if (!number) return Fail(kErrNumberOverflow);
      if (number->IsZero()) return true;
      const std::string digits = ScaledInteger(*number, e.decimals);
      out = digits.size() > cut ? digits.substr(digits.size() - cut) : digits;
    } else if (a == "Y") {
      std::string date = TrimSpaces(raw);
      if (l.length == 6 && date.size() == 6) date.insert(0, date.compare(0, 2, "50") <= 0 ? "20" : "19");
      if (date.size() > cut) date = date.substr(date.size() - cut);
      auto number = ParseDecimal(date);
      if (date.empty() || date == "20000000" || (number && number->IsZero())) return true;
      out = date;
    } else if (a == "K") {
      const std::string wide = ToFullWidth(FromAnsiBytes(TrimSpaces(raw)));
      const char code = static_cast<char>(state_.header[header::kDoubleByteSet]);
      out = std::string(CutAnsiBytes(EncodeDoubleBytes(wide, code == 'S' || code == 'U' ? code : 'M'), cut));
      if (code == 'U' && out.size() % 2 != 0) out.pop_back();
    } else {
      out = std::string(raw);
    }
    return true;
  }

  // Appends rows [begin, end) of one level, each group `repeat` times.
  bool Rows(size_t begin, size_t end, int offset, MessageBody& body) {
    const FormatRows& rows = state_.ciiRows;
    for (size_t i = begin; i < end; ++i) {
      const RecordFormatRow& e = rows[i];
      size_t membersEnd = i + 1;
      while (membersEnd < end && rows[membersEnd].level > e.level) ++membersEnd;
      if (e.IsGroup()) {
        if (!body.AppendGroupStart(e.multiNo, true)) return Fail(kErrMultiNo);
        const RecordFormatRow* local = LocalRowFor(e);
        const int length = local != nullptr ? local->length : 0;
        const int repeat = local != nullptr ? local->RepeatCount() : e.RepeatCount();
        for (int occurrence = 0; occurrence < repeat; ++occurrence) {
          if (occurrence > 0) body.AppendRepetition();
          if (!Rows(i + 1, membersEnd, offset + occurrence * length, body)) return false;
        }
        body.AppendGroupEnd();
        i = membersEnd - 1;
        continue;
      }
      const RecordFormatRow* l = LocalRowFor(e);
      if (l == nullptr) continue;
      std::string value;
      if (!Convert(e, RawField(*l, offset), *l, value)) return false;
      if (!value.empty()) body.AppendElement(static_cast<uint32_t>(e.itemNo), value);
    }
    return true;
  }

  bool Message() {
    MessageBody body;
    if (!Rows(0, state_.ciiRows.size(), 0, body)) return false;
    std::string blocks;
    AppendMessageBlocks(blocks, MessageData(static_cast<int>(count_), body.bytes()), state_.StorageMode());
    return Write(blocks);
  }

  ConverterState& state_;
  Database& db_;
  std::ofstream& out_;
  std::string key_;
  bool groupOpen_ = false;
  long count_ = 0;
};

}  // namespace

void LocalToCii(ConverterState& state, Database& db, const std::string& localPath,
                const std::string& ciiPath) {
  std::ifstream in(localPath, std::ios::binary);
  if (!in) {
    WriteErrLog(state, kErrFile, "", 0);
    return;
  }
  std::ofstream out(ciiPath, std::ios::binary | std::ios::app);
  if (!out) {
    WriteErrLog(state, kErrFile, "", 0);
    return;
  }
  LocalToCiiWriter writer(state, db, out);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!writer.Line(line)) return;
  }
  writer.Finish();
}

}  // namespace edi::cii
