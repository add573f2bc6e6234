#include <libxml/encoding.h>
#include <libxml/xmlwriter.h>

#include <cstdio>
#include <filesystem>
#include <vector>

#include "cii/cii_reader.h"
#include "cii/err_log.h"
#include "cii/field_codec.h"
#include "cii/group_walker.h"
#include "cii/xml_converter.h"
#include "startup/common_routines.h"

namespace edi::cii {
namespace {

const char* DeclaredEncoding(const std::string& xmlCharCode) {
  const std::string code = TrimBlanks(xmlCharCode);
  if (code == "M") return "Shift_JIS";
  if (code == "U") return "UTF-16";
  if (code == "S") return "ISO-2022-JP";
  return nullptr;
}

std::string Hex(std::string_view bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char b : bytes) {
    out.push_back(kDigits[b >> 4]);
    out.push_back(kDigits[b & 15]);
  }
  return out;
}

std::string WithoutTrailingSpaces(std::string text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

// XML 1.0 cannot carry C0 control characters other than tab, LF and CR:
// each becomes U+FFFD. Returns true when the text was changed.
bool ReplaceControlCharacters(std::string& text) {
  bool changed = false;
  std::string out;
  for (char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x20 && b != '\t' && b != '\n' && b != '\r') {
      out += "\xEF\xBF\xBD";
      changed = true;
    } else {
      out.push_back(c);
    }
  }
  if (changed) text.swap(out);
  return changed;
}

class CiiToXmlVisitor : public CiiVisitor {
 public:
  CiiToXmlVisitor(ConverterState& state, Database& db, std::string outputPath)
      : state_(state), db_(db), outputPath_(std::move(outputPath)), walker_(state.ciiRows) {}
  ~CiiToXmlVisitor() override { Discard(); }

  int saved() const { return saved_; }

  bool OnGroupHeader(std::span<const uint8_t> header, uint64_t) override {
    Discard();  // a group without trailer is not saved
    std::copy(header.begin(), header.end(), state_.header.begin());
    auto text = [&](size_t offset, size_t length) {
      return std::string(reinterpret_cast<const char*>(header.data() + offset), length);
    };
    state_.groupBpid = TrimBlanks(text(header::kBpid, header::kBpidLength));
    state_.groupInfoCode = text(header::kInfoCode, header::kInfoCodeLength);
    const std::string infoCode = TrimBlanks(state_.groupInfoCode);
    if (!LoadedOrLogged(state_, LoadFormatInfo(db_, infoCode, state_.groupBpid, state_.formatInfo), kErrNoFormatInfo) ||
        !LoadedOrLogged(state_, LoadRecordFormatRows(db_, 'E', infoCode, state_.groupBpid, state_.ciiRows), kErrNoCiiRows)) {
      return false;
    }
    state_.xmlCharCode = "M";
    const char code = static_cast<char>(header[header::kDoubleByteSet]);
    doubleByteCode_ = (code == 'S' || code == 'U') ? code : 'M';
    return StartDocument(header, infoCode);
  }

  bool OnGroupTrailer(std::span<const uint8_t>, uint64_t) override {
    if (writer_ == nullptr) return true;
    Raw("\r\n");
    xmlTextWriterEndElement(writer_);  // the root
    Raw("\r\n");
    const bool ok = xmlTextWriterFlush(writer_) >= 0;
    xmlFreeTextWriter(writer_);
    writer_ = nullptr;
    std::error_code ec;
    const std::string target = GroupDocumentPath(outputPath_, ++groups_);
    if (ok) std::filesystem::rename(temp_, target, ec);
    if (!ok || ec) {
      std::filesystem::remove(temp_, ec);
      return Fail(kErrFile);
    }
    ++saved_;
    return true;
  }

  bool OnMessageStart(const MessageInfo& m) override {
    if (writer_ == nullptr) {
      WriteErrLog(state_, kErrNoGroupHeader, "", 1);
      inMessage_ = false;
      return true;
    }
    inMessage_ = true;
    Newline(1);
    xmlTextWriterStartElement(writer_, BAD_CAST "JPTRM");
    xmlTextWriterWriteAttribute(writer_, BAD_CAST "SEQ", BAD_CAST std::to_string(m.number).c_str());
    walker_.StartMessage();
    repetitionNames_.clear();
    return true;
  }

  bool OnElement(uint32_t tag, std::string_view value, uint64_t) override {
    if (!inMessage_ || walker_.Skipping()) return true;
    const int row = walker_.ElementRow(tag);
    if (row < 0) {
      WriteErrLog(state_, kErrUnknownTag, "", 1);
      return true;
    }
    char name[16];
    std::snprintf(name, sizeof name, "JP%05u", tag);
    Newline(Indent());
    std::string text = DecodeCiiValue(value, state_.ciiRows[static_cast<size_t>(row)]);
    if (ReplaceControlCharacters(text)) WriteErrLog(state_, kErrUnmappable, "", 1);
    xmlTextWriterWriteElement(writer_, BAD_CAST name, BAD_CAST text.c_str());
    return true;
  }

  bool OnGroupStart(const GroupMarker& marker) override {
    if (!inMessage_) return true;
    const int indent = Indent();
    const GroupWalker::Marker step = walker_.EnterGroup(marker);
    if (step == GroupWalker::Marker::kNoGroupRow) WriteErrLog(state_, kErrGroupMarker, "", 1);
    if (step != GroupWalker::Marker::kApplied) return true;
    // One-byte tag mode names every group "JPM0"; extended mode names it by
    // the number after the marker.
    std::string number = "0";
    if (marker.hasNumber) {
      number = marker.marker == kGroupStart ? std::string(1, static_cast<char>(marker.number))
                                            : std::to_string(marker.number);
    }
    Newline(indent);
    xmlTextWriterStartElement(writer_, BAD_CAST ("JPM" + number).c_str());
    repetitionNames_.push_back("JPM" + number + "R");
    Newline(Indent() - 1);
    xmlTextWriterStartElement(writer_, BAD_CAST repetitionNames_.back().c_str());
    return true;
  }

  bool OnRepetition(uint64_t) override {
    if (!inMessage_ || walker_.NextRepetition() != GroupWalker::Marker::kApplied) return true;
    Newline(Indent() - 1);
    xmlTextWriterEndElement(writer_);
    Newline(Indent() - 1);
    xmlTextWriterStartElement(writer_, BAD_CAST repetitionNames_.back().c_str());
    return true;
  }

  bool OnGroupEnd(uint64_t) override {
    if (!inMessage_ || walker_.Skipping()) {
      if (inMessage_) walker_.LeaveGroup();
      return true;
    }
    if (walker_.depth() == 0) {
      WriteErrLog(state_, kErrGroupMarker, "", 1);
      return true;
    }
    CloseGroup();
    return true;
  }

  bool OnMessageEnd(const MessageInfo&, long) override {
    if (!inMessage_) return true;
    while (walker_.depth() > 0) CloseGroup();  // groups the partner left open
    Newline(1);
    xmlTextWriterEndElement(writer_);
    inMessage_ = false;
    return true;
  }

  bool OnError(int code, std::string_view message, uint64_t) override {
    const bool stops = code == kErrTruncated || code == kErrStorageMode;
    WriteErrLog(state_, code, message, stops ? 0 : 1);
    return !stops;
  }

 private:
  bool Fail(int code) {
    WriteErrLog(state_, code, "", 0);
    return false;
  }

  // Members of a message are indented twice, members of a group's repetition
  // two levels deeper than the group.
  int Indent() const { return 2 * (walker_.depth() + 1); }

  void Raw(const char* text) { xmlTextWriterWriteRaw(writer_, BAD_CAST text); }

  void Newline(int depth) {
    std::string text = "\r\n" + std::string(static_cast<size_t>(depth) * 4, ' ');
    Raw(text.c_str());
  }

  void CloseGroup() {
    Newline(Indent() - 1);
    xmlTextWriterEndElement(writer_);  // the repetition
    walker_.LeaveGroup();
    repetitionNames_.pop_back();
    Newline(Indent());
    xmlTextWriterEndElement(writer_);  // the group
  }

  bool StartDocument(std::span<const uint8_t> header, const std::string& infoCode) {
    temp_ = GroupDocumentPath(outputPath_, groups_ + 1) + ".part";
    // The declaration is written as it stands (the encoder behind "Shift_JIS"
    // is Windows-31J, whose own name must not appear in it).
    const char* encoding = DeclaredEncoding(state_.formatInfo.xmlCharCode);
    xmlCharEncodingHandlerPtr encoder = encoding != nullptr ? xmlFindCharEncodingHandler(encoding) : nullptr;
    xmlOutputBufferPtr output = xmlOutputBufferCreateFilename(temp_.c_str(), encoder, 0);
    if (output == nullptr) return Fail(kErrFile);
    writer_ = xmlNewTextWriter(output);
    if (writer_ == nullptr) return Fail(kErrFile);
    if (encoding != nullptr) {
      Raw(("<?xml version=\"1.0\" encoding=\"" + std::string(encoding) + "\"?>\r\n").c_str());
    }
    const std::string root = "CII-" + state_.groupBpid + infoCode + "-V10";
    xmlTextWriterStartElement(writer_, BAD_CAST root.c_str());
    Newline(1);
    xmlTextWriterStartElement(writer_, BAD_CAST "JPMGH");
    for (const auto& field : kHeaderFields) {
      if (field.element == nullptr) continue;
      Newline(2);
      std::string value = WithoutTrailingSpaces(FieldText(header.subspan(field.offset, field.length)));
      ReplaceControlCharacters(value);
      xmlTextWriterWriteElement(writer_, BAD_CAST field.element, BAD_CAST value.c_str());
    }
    Newline(1);
    xmlTextWriterEndElement(writer_);
    return true;
  }

  // The text of an element's bytes by the attribute of its row.
  std::string DecodeCiiValue(std::string_view bytes, const RecordFormatRow& row) const {
    const std::string& a = row.attribute;
    if (a == "9" || a == "X" || a == "N") return DecodeSingleByteField(bytes);
    if (a == "Y") {
      std::string date = DecodeSingleByteField(bytes);
      if (date.size() < 6) date.insert(0, 6 - date.size(), '0');
      if (date.size() == 6) date.insert(0, date.compare(0, 2, "50") <= 0 ? "20" : "19");
      return date;
    }
    if (a == "B") return Hex(bytes);
    if (a == "K") return DecodeDoubleBytes(bytes, doubleByteCode_);
    return "";
  }

  void Discard() {
    if (writer_ == nullptr) return;
    xmlFreeTextWriter(writer_);
    writer_ = nullptr;
    std::error_code ec;
    std::filesystem::remove(temp_, ec);
  }

  ConverterState& state_;
  Database& db_;
  std::string outputPath_;
  std::string temp_;
  xmlTextWriterPtr writer_ = nullptr;
  GroupWalker walker_;
  std::vector<std::string> repetitionNames_;
  char doubleByteCode_ = 'M';
  bool inMessage_ = false;
  int groups_ = 0;
  int saved_ = 0;
};

}  // namespace

std::string GroupDocumentPath(const std::string& outputPath, int position) {
  if (position <= 1) return outputPath;
  const size_t slash = outputPath.find_last_of('/');
  const size_t dot = outputPath.find_last_of('.');
  const std::string n = std::to_string(position);
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return outputPath + n;
  return outputPath.substr(0, dot) + n + outputPath.substr(dot);
}

void RegisterAnsiEncoding() {
  static const bool registered = [] {
    xmlAddEncodingAlias("CP932", "SHIFT_JIS");
    xmlAddEncodingAlias("CP932", "SHIFT-JIS");
    xmlAddEncodingAlias("CP932", "SJIS");
    xmlAddEncodingAlias("CP932", "WINDOWS-31J");
    return true;
  }();
  (void)registered;
}

int CiiToXml(ConverterState& state, Database& db, const std::string& inputPath,
             const std::string& outputPath) {
  RegisterAnsiEncoding();
  CiiInput input;
  if (!input.Open(inputPath)) {
    WriteErrLog(state, kErrFile, "", 0);
    return 0;
  }
  CiiToXmlVisitor visitor(state, db, outputPath);
  ReadCiiFile(input, visitor);
  return visitor.saved();
}

int ConvertCiiXml(ConverterState& state, Database& db, const std::string& inputPath,
                  const std::string& outputPath, long transferNo, bool toXml, std::string& result) {
  state.convErrorText.clear();
  char line[48];
  std::snprintf(line, sizeof line, "--M470530 start--%08ld", transferNo);
  WriteErrLog(state, 0, line, 0);
  const int written = toXml ? CiiToXml(state, db, inputPath, outputPath) : XmlToCii(state, db, inputPath, outputPath);
  result = state.convErrorText.empty() ? "0000" : state.convErrorText;
  return written;
}

void ConvertCiiXmlFile(ConverterState& state, Database& db, const std::string& inputPath,
                       const std::string& outputPath, long transferNo, std::string& result) {
  std::string tail = inputPath.size() >= 3 ? inputPath.substr(inputPath.size() - 3) : inputPath;
  for (char& c : tail) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  ConvertCiiXml(state, db, inputPath, outputPath, transferNo, tail == "CII", result);
}

}  // namespace edi::cii
