#include <libxml/encoding.h>
#include <libxml/xmlwriter.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "base/text.h"
#include "cii/cp932_output.h"
#include "cii/decimal_text.h"
#include "cii/field_codec.h"
#include "cii/group_walker.h"
#include "cii/output_file.h"
#include "cii/syntax/cii_reader.h"
#include "cii/xml_converter.h"

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

// Where libxml2's writer puts a document: the document's output, every
// write checked.
int WriteToOutput(void* context, const char* data, int length) {
  auto* output = static_cast<Output*>(context);
  return output->Write(std::string_view(data, static_cast<size_t>(length))) ? length : -1;
}

int CloseOutput(void*) { return 0; }  // the output is closed by the converter

// XML 1.0 cannot carry C0 control characters other than tab, LF and CR:
// each becomes U+FFFD. Returns true when the text was changed.
bool ReplaceControlCharacters(std::string& text) {
  const auto control = [](char c) {
    const auto b = static_cast<unsigned char>(c);
    return b < 0x20 && b != '\t' && b != '\n' && b != '\r';
  };
  if (std::none_of(text.begin(), text.end(), control)) return false;  // the common case: nothing to copy
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

// The item number as the five digits of an element name ("JP00012"), or
// as many as it has when it is larger; `out` gets a terminating zero.
void FiveDigits(uint32_t number, char* out) {
  char digits[12];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + number % 10);
    number /= 10;
  } while (number > 0);
  for (int pad = n; pad < 5; ++pad) *out++ = '0';
  while (n > 0) *out++ = digits[--n];
  *out = '\0';
}

class CiiToXmlVisitor : public CiiVisitor {
 public:
  CiiToXmlVisitor(ConverterState& state, Database& db, ConversionResult& result, std::string outputPath,
                  Outputs& outputs)
      : state_(state), db_(db), result_(result), outputPath_(std::move(outputPath)), outputs_(outputs),
        walker_(state.ciiRows) {}
  ~CiiToXmlVisitor() override {
    Discard();
    for (auto& document : finished_) {
      if (document != nullptr) document->Drop();  // not kept: the conversion failed
    }
  }

  // Puts every finished document into place; false (result stopped) when
  // one cannot be.
  bool Commit() {
    for (auto& document : finished_) {
      if (!document->Keep()) return result_.Stop(kErrFile, document->error());
      document.reset();  // in place: nothing left to drop
      ++saved_;
    }
    finished_.clear();
    return true;
  }

  int saved() const { return saved_; }

  bool OnGroupHeader(std::span<const uint8_t> header, uint64_t) override {
    Discard();  // a group without trailer is not saved
    state_.TakeHeader(header);
    if (!LoadGroupFormats(state_, db_, GroupFormats{}, result_)) return false;
    const char code = static_cast<char>(header[header::kDoubleByteSet]);
    doubleByteCode_ = (code == 'S' || code == 'U') ? code : 'M';
    return StartDocument(header);
  }

  bool OnGroupTrailer(std::span<const uint8_t>, uint64_t) override {
    if (writer_ == nullptr) return true;
    Raw("\r\n");
    xmlTextWriterEndElement(writer_);  // the root
    Raw("\r\n");
    const bool flushed = xmlTextWriterFlush(writer_) >= 0;
    const int flushError = errno;
    xmlFreeTextWriter(writer_);
    writer_ = nullptr;
    if (!flushed || !document_->error().empty() || !document_->Close()) {
      const std::string why = !document_->error().empty()
                                  ? document_->error()
                                  : "cannot write " + documentName_ + ": " + std::strerror(flushError);
      Discard();
      return result_.Stop(kErrFile, why);
    }
    ++groups_;
    finished_.push_back(std::move(document_));
    return true;
  }

  bool OnMessageStart(const MessageInfo& m) override {
    if (writer_ == nullptr) {
      result_.Note(kErrNoGroupHeader);
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
      result_.Note(kErrUnknownTag);
      return true;
    }
    char name[16] = "JP";
    FiveDigits(tag, name + 2);
    Newline(Indent());
    std::string text = DecodeCiiValue(value, state_.ciiRows[static_cast<size_t>(row)]);
    if (ReplaceControlCharacters(text)) result_.Note(kErrUnmappable);
    WriteElement(name, text);
    return true;
  }

  bool OnGroupStart(const GroupMarker& marker) override {
    if (!inMessage_) return true;
    const int indent = Indent();
    const GroupWalker::Marker step = walker_.EnterGroup(marker);
    if (step == GroupWalker::Marker::kNoGroupRow) result_.Note(kErrGroupMarker);
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
    if (!inMessage_) return true;
    if (!walker_.Skipping() && walker_.depth() == 0) {
      result_.Note(kErrGroupMarker);
      return true;
    }
    CloseGroup();
    return true;
  }

  // The reader stops at an end mark inside an open group (0030), so every
  // group of the message is closed here.
  bool OnMessageEnd(const MessageInfo&, long) override {
    if (!inMessage_) return true;
    Newline(1);
    xmlTextWriterEndElement(writer_);
    inMessage_ = false;
    return true;
  }

  bool OnError(int code, std::string_view message, uint64_t) override { return result_.Damage(code, message); }

 private:
  bool Fail(int code) { return result_.Stop(code); }

  // Members of a message are indented twice, members of a group's repetition
  // two levels deeper than the group.
  int Indent() const { return 2 * (walker_.depth() + 1); }

  void Raw(const char* text) { xmlTextWriterWriteRaw(writer_, BAD_CAST text); }

  // An element and its text as the text writer writes one ("<name>text</name>",
  // also when the text is empty, with &, <, >, " and CR escaped), in one raw
  // write: the writer's own element calls copy the name and escape into fresh
  // memory for every element, which cost more than the rest of the message.
  void WriteElement(std::string_view name, std::string_view text) {
    element_.clear();
    element_.append(1, '<').append(name).append(1, '>');
    for (size_t at = 0; at < text.size();) {
      const size_t special = std::min(text.find_first_of("<>&\"\r", at), text.size());
      element_.append(text.substr(at, special - at));
      if (special == text.size()) break;
      switch (text[special]) {
        case '<': element_.append("&lt;"); break;
        case '>': element_.append("&gt;"); break;
        case '&': element_.append("&amp;"); break;
        case '"': element_.append("&quot;"); break;
        default: element_.append("&#13;"); break;
      }
      at = special + 1;
    }
    element_.append("</").append(name).append(1, '>');
    xmlTextWriterWriteRawLen(writer_, BAD_CAST element_.data(), static_cast<int>(element_.size()));
  }

  void Newline(int depth) {
    // A line end and four blanks per level, cut from one long text.
    static const std::string kLine = "\r\n" + std::string(4 * kMaxIndent, ' ');
    const size_t blanks = static_cast<size_t>(std::clamp(depth, 0, kMaxIndent)) * 4;
    xmlTextWriterWriteRawLen(writer_, BAD_CAST kLine.data(), static_cast<int>(2 + blanks));
    for (int deeper = depth; deeper > kMaxIndent; deeper -= kMaxIndent) {
      xmlTextWriterWriteRawLen(writer_, BAD_CAST kLine.data() + 2, 4 * std::min(deeper - kMaxIndent, kMaxIndent));
    }
  }
  static constexpr int kMaxIndent = 64;

  // Closes the group of the current level (a skipped group only leaves the
  // walker's count of skipped groups).
  void CloseGroup() {
    if (walker_.Skipping()) {
      walker_.LeaveGroup();
      return;
    }
    Newline(Indent() - 1);
    xmlTextWriterEndElement(writer_);  // the repetition
    walker_.LeaveGroup();
    repetitionNames_.pop_back();
    Newline(Indent());
    xmlTextWriterEndElement(writer_);  // the group
  }

  bool StartDocument(std::span<const uint8_t> header) {
    const std::string root = "CII-" + state_.groupBpid + state_.groupInfoCode + "-V10";
    if (xmlValidateNameValue(BAD_CAST root.c_str()) == 0) return Fail(kErrRootName);
    documentName_ = GroupDocumentPath(outputPath_, groups_ + 1);
    std::string error;
    document_ = outputs_.Replace(documentName_, error);
    if (document_ == nullptr) return result_.Stop(kErrFile, error);
    // The declaration is written as it stands (the encoder behind "Shift_JIS"
    // is Windows-31J, whose own name must not appear in it).
    const char* encoding = DeclaredEncoding(state_.formatInfo.xmlCharCode);
    xmlCharEncodingHandlerPtr encoder = nullptr;
    if (encoding != nullptr) {
      encoder = std::strcmp(encoding, "Shift_JIS") == 0 ? Cp932OutputEncoder() : nullptr;
      if (encoder == nullptr) encoder = xmlFindCharEncodingHandler(encoding);
    }
    xmlOutputBufferPtr output = xmlOutputBufferCreateIO(WriteToOutput, CloseOutput, document_.get(), encoder);
    if (output == nullptr) return Fail(kErrFile);
    writer_ = xmlNewTextWriter(output);
    if (writer_ == nullptr) return Fail(kErrFile);
    if (encoding != nullptr) {
      Raw(("<?xml version=\"1.0\" encoding=\"" + std::string(encoding) + "\"?>\r\n").c_str());
    }
    xmlTextWriterStartElement(writer_, BAD_CAST root.c_str());
    Newline(1);
    xmlTextWriterStartElement(writer_, BAD_CAST "JPMGH");
    for (const auto& field : kHeaderFields) {
      if (field.element == nullptr) continue;
      Newline(2);
      std::string value(TrimTrailingSpacesView(FieldText(header.subspan(field.offset, field.length))));
      ReplaceControlCharacters(value);
      WriteElement(field.element, value);
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
      return WithCentury(std::move(date));
    }
    if (a == "B") return Hex(bytes);
    if (a == "K") return DecodeDoubleBytes(bytes, doubleByteCode_);
    return "";
  }

  // Drops the document being written.
  void Discard() {
    if (writer_ != nullptr) xmlFreeTextWriter(writer_);
    writer_ = nullptr;
    if (document_ != nullptr) document_->Drop();
    document_.reset();
  }

  ConverterState& state_;
  Database& db_;
  ConversionResult& result_;
  std::string outputPath_;
  Outputs& outputs_;
  std::unique_ptr<Output> document_;                // the group being written
  std::string documentName_;                        // its name
  std::vector<std::unique_ptr<Output>> finished_;  // written, not yet in place
  xmlTextWriterPtr writer_ = nullptr;
  GroupWalker walker_;
  std::vector<std::string> repetitionNames_;
  std::string element_;  // the element being written, kept for its buffer
  char doubleByteCode_ = 'M';
  bool inMessage_ = false;
  int groups_ = 0;
  int saved_ = 0;
};

}  // namespace

int CiiToXml(ConverterState& state, Database& db, const ConversionInput& input, Outputs& outputs,
             const std::string& outputPath, int& documents) {
  RegisterAnsiEncoding();
  documents = 0;
  ConversionResult result(state.errLog);
  CiiInput cii;
  if (!OpenCiiInput(cii, input)) return result.Stop(kErrFile, "cannot read " + input.path), result.code();
  CiiToXmlVisitor visitor(state, db, result, outputPath, outputs);
  const ReadOutcome outcome = ReadCiiFile(cii, visitor);
  if (cii.ReadFailed()) result.Stop(kErrFile, "cannot read " + input.path);
  if (outcome == ReadOutcome::kFailed && result.ok()) result.Stop(kErrTruncated);
  // The documents go into place only when the whole file has converted.
  if (result.ok() && visitor.Commit()) documents = visitor.saved();
  return result.code();
}

int CiiToXml(ConverterState& state, Database& db, const std::string& inputPath, const std::string& outputPath,
             int& documents) {
  FileOutputs outputs(IdentityOf(inputPath), state.outputJournal);
  return CiiToXml(state, db, ConversionInput::File(inputPath), outputs, outputPath, documents);
}

}  // namespace edi::cii
