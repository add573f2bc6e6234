#include <fcntl.h>
#include <libxml/parser.h>
#include <libxml/xmlreader.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/ansi_codec.h"
#include "base/text.h"
#include "cii/ansi_text.h"
#include "cii/decimal_text.h"
#include "cii/field_codec.h"
#include "cii/output_file.h"
#include "cii/syntax/cii_writer.h"
#include "cii/xml_converter.h"

namespace edi::cii {
namespace {

std::string NodeName(xmlNodePtr node) {
  return TrimBlanks(node->name != nullptr ? reinterpret_cast<const char*>(node->name) : "");
}

std::string NodeText(xmlNodePtr node) {
  xmlChar* content = xmlNodeGetContent(node);
  std::string text = content != nullptr ? reinterpret_cast<const char*>(content) : "";
  xmlFree(content);
  return TrimBlanks(text);
}

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }
bool EndsWithR(const std::string& s) { return !s.empty() && s.back() == 'R'; }

// The number in a name from position `from` on ("JP00012" from 2 gives 12);
// -1 when it is not a number.
long NameNumber(const std::string& name, size_t from) {
  if (name.size() <= from) return -1;
  long value = 0;
  for (size_t i = from; i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return -1;
    value = value * 10 + (name[i] - '0');
    if (value > 99999999) return -1;
  }
  return value;
}

bool IsDataElement(const std::string& name) { return StartsWith(name, "JP") && !StartsWith(name, "JPM"); }

// The element children of a JPMGH, each with its whole text, in order.
using HeaderChildren = std::vector<std::pair<std::string, std::string>>;

class DocumentConverter {
 public:
  DocumentConverter(ConverterState& state, Database& db, ConversionResult& result, Output& out)
      : state_(state), db_(db), result_(result), out_(out) {}

  int groups() const { return groups_; }

  // Returns false when the document must fail (ConvErrorText holds the code).
  // A JPMGH is small and read as a subtree; a JPTRM is read event by event,
  // so that memory does not follow the size of one message.
  bool Run(xmlTextReaderPtr reader) {
    int ret = xmlTextReaderRead(reader);
    while (ret == 1) {
      if (xmlTextReaderNodeType(reader) == XML_READER_TYPE_ELEMENT) {
        const std::string name = TrimBlanks(reinterpret_cast<const char*>(xmlTextReaderConstName(reader)));
        if (name == "JPMGH") {
          xmlNodePtr node = xmlTextReaderExpand(reader);
          if (node == nullptr) break;
          if (!Header(ChildrenOf(node))) return false;
          ret = xmlTextReaderNext(reader);
          continue;
        }
        if (name == "JPTRM") {
          bool failed = false;
          ret = Message(reader, failed);
          if (failed) return false;
          continue;
        }
      }
      ret = xmlTextReaderRead(reader);
    }
    if (ret != 0) return Fail(kErrXmlParse);
    return !groupOpen_ || Trailer();
  }

  // Event-driven reading (libxml2's SAX2 push parser), by the same rules
  // as Run's walk: a JPMGH is gathered with its children's texts, a JPTRM
  // is converted element by element, and the elements the walk steps over
  // (unknown groups and items, other elements in a message, messages
  // before any group) are skipped with everything in them. `Stopped` tells
  // the driver to stop parsing: the document failed.
  void StartElement(std::string&& name) {
    if (stopped_) return;
    if (skipping_ > 0) {
      ++skipping_;
    } else if (inData_ > 0) {
      ++inData_;
    } else if (inHeader_ > 0) {
      if (inHeader_++ == 1) headerChildren_.emplace_back(std::move(name), std::string());
    } else if (!inMessage_) {
      StartOutside(name);
    } else {
      StartInMessage(name);
    }
  }

  void EndElement() {
    if (stopped_) return;
    if (skipping_ > 0) {
      --skipping_;
    } else if (inData_ > 0) {
      if (--inData_ == 0) EndData();
    } else if (inHeader_ > 0) {
      if (--inHeader_ == 0 && !Header(headerChildren_)) stopped_ = true;
    } else if (inMessage_ && open_.size() > 1) {
      Close(open_, body_);
    } else if (inMessage_) {
      inMessage_ = false;
      EndMessage();
    }
  }

  void Text(std::string_view text) {
    if (stopped_ || skipping_ > 0) return;
    if (inData_ > 0) {
      text_ += text;
    } else if (inHeader_ > 1) {
      headerChildren_.back().second += text;
    }
  }

  bool Stopped() const { return stopped_; }

  // At the end of the document: false when it failed.
  bool Finish(bool wellFormed) {
    if (stopped_) return false;
    if (!wellFormed) return Fail(kErrXmlParse);
    return !groupOpen_ || Trailer();
  }

 private:
  void StartOutside(const std::string& name) {
    if (name == "JPMGH") {
      headerChildren_.clear();
      inHeader_ = 1;
    } else if (name == "JPTRM") {
      ++messages_;
      if (!groupOpen_) {
        result_.Note(kErrNoGroupHeader);
        skipping_ = 1;
        return;
      }
      inMessage_ = true;
      body_.Clear();
      open_.assign(1, Container{});
    }
  }

  void StartInMessage(const std::string& name) {
    NextMember(open_, body_);
    if (IsDataElement(name)) {
      const long itemNo = NameNumber(name, 2);
      dataRow_ = itemNo >= 0 ? ItemRow(itemNo) : nullptr;
      if (dataRow_ == nullptr) {
        result_.Note(kErrNoGroupRow);
        skipping_ = 1;
        return;
      }
      dataItem_ = itemNo;
      text_.clear();
      inData_ = 1;
      return;
    }
    bool descend = false;
    if (!OpenContainer(name, open_, body_, descend)) {
      stopped_ = true;
      return;
    }
    if (!descend) skipping_ = 1;
    CheckMessageSize();
  }

  void EndData() {
    if (!Value(*dataRow_, std::string(TrimBlanksView(text_)), value_)) {
      stopped_ = true;
      return;
    }
    if (!value_.empty()) {
      if (const int refused = body_.AppendElement(static_cast<uint32_t>(dataItem_), value_)) {
        stopped_ = !Fail(refused);
        if (stopped_) return;
      }
    }
    CheckMessageSize();
  }

  void EndMessage() {
    std::string blocks;
    if (const int refused = AppendMessage(blocks, messages_, body_.bytes(), state_.StorageMode())) {
      stopped_ = !Fail(refused);
      return;
    }
    stopped_ = !Write(blocks);
  }

  // A message longer than the CII can carry fails now, not after the whole
  // of it has been gathered.
  void CheckMessageSize() {
    if (body_.bytes().size() > kMaxLongMessageData) stopped_ = !Fail(refusal::kTooLong);
  }

  bool Fail(int code) { return result_.Stop(code); }

  bool Write(std::string_view bytes) { return out_.Write(bytes) || result_.Stop(kErrFile, out_.error()); }

  // The group header from this JPMGH alone: defaults, then its children.
  std::array<uint8_t, kRecordSize> BuildHeader(const HeaderChildren& children) {
    std::array<uint8_t, kRecordSize> header;
    header.fill(' ');
    for (const auto& field : kHeaderFields) {
      if (field.element == nullptr && field.fallback[0] != '\0') {
        StoreMixedText(std::span<uint8_t>(header.data() + field.offset, field.length), field.fallback);
      }
    }
    for (const auto& [name, text] : children) {
      for (const auto& field : kHeaderFields) {
        if (field.element == nullptr || name != field.element) continue;
        const std::string value = TrimBlanks(text);
        std::span<uint8_t> bytes(header.data() + field.offset, field.length);
        std::string ansi;
        if (!Utf8ToAnsi(value, ansi)) result_.Note(kErrUnmappable);
        StoreMixedBytes(bytes, ansi);
      }
    }
    return header;
  }

  // The element children of a JPMGH read as a subtree, each with its text.
  static HeaderChildren ChildrenOf(xmlNodePtr node) {
    HeaderChildren children;
    for (xmlNodePtr child = node->children; child != nullptr; child = child->next) {
      if (child->type == XML_ELEMENT_NODE) children.emplace_back(NodeName(child), NodeText(child));
    }
    return children;
  }

  bool Header(const HeaderChildren& children) {
    if (children.empty()) return true;  // an empty JPMGH: move on
    const auto header = BuildHeader(children);
    if (groupOpen_ && header == state_.header) return true;  // the same group goes on
    if (groupOpen_ && !Trailer()) return false;
    state_.TakeHeader(header);
    if (!LoadGroupFormats(state_, db_, GroupFormats{.xmlCode = false}, result_)) return false;
    if (!IsKnownStorageMode(state_.StorageMode())) return Fail(kErrStorageMode);
    const char code = static_cast<char>(header[header::kDoubleByteSet]);
    doubleByteCode_ = (code == 'S' || code == 'U') ? code : 'M';
    if (code != 'M' && code != 'S' && code != 'U') result_.Note(kErrCharCode);
    groupOpen_ = true;
    ++groups_;
    std::string block;
    AppendGroupHeader(block, state_.header);
    return Write(block);
  }

  bool Trailer() {
    std::string block;
    if (const int refused = AppendGroupTrailer(block, messages_)) return Fail(refused);
    groupOpen_ = false;
    return Write(block);
  }

  // The first row with that item number, or null.
  const RecordFormatRow* ItemRow(long itemNo) const {
    for (const auto& row : state_.ciiRows) {
      if (row.itemNo == itemNo) return &row;
    }
    return nullptr;
  }

  // The first group row whose マルチ明細番号 is the group name's suffix:
  // equal as numbers when both are numbers ("JPM045" is group 45), else
  // equal as texts ("JPMA" is group "A").
  const RecordFormatRow* GroupRow(const std::string& suffix) const {
    const auto wanted = ParseDecimal(suffix);
    for (const auto& row : state_.ciiRows) {
      if (!row.IsGroup()) continue;
      const auto number = ParseDecimal(row.multiNo);
      if (wanted && number && !row.multiNo.empty() ? GeneralNumber(*wanted) == GeneralNumber(*number)
                                                   : row.multiNo == suffix) {
        return &row;
      }
    }
    return nullptr;
  }

  // The message at the reader's JPTRM start; returns the reader's state
  // after it, with `failed` set when the document must fail.
  int Message(xmlTextReaderPtr reader, bool& failed) {
    ++messages_;
    if (!groupOpen_) {
      result_.Note(kErrNoGroupHeader);
      return xmlTextReaderNext(reader);
    }
    MessageBody body;
    int ret = 1;
    if (!xmlTextReaderIsEmptyElement(reader)) ret = Members(reader, body, failed);
    if (failed || ret != 1) return failed ? ret : -1;
    std::string blocks;
    if (const int refused = AppendMessage(blocks, messages_, body.bytes(), state_.StorageMode())) {
      failed = !Fail(refused);
      return ret;
    }
    failed = !Write(blocks);
    return failed ? ret : xmlTextReaderRead(reader);
  }

  // What a container of the message being read is: a group, whose end closes
  // it in the CII, or a repetition, after which a following sibling starts
  // the next repetition.
  struct Container {
    bool group = false;
    bool repetitionEnded = false;  // a repetition among this container's children ended
  };

  // The children of the message at the reader's JPTRM start, in document
  // order, up to its end tag (where the reader is left). Returns the
  // reader's state; `failed` when the document must fail.
  int Members(xmlTextReaderPtr reader, MessageBody& body, bool& failed) {
    const int messageDepth = xmlTextReaderDepth(reader);
    std::vector<Container> open{Container{}};
    int ret = xmlTextReaderRead(reader);
    while (ret == 1) {
      const int type = xmlTextReaderNodeType(reader);
      if (type == XML_READER_TYPE_END_ELEMENT) {
        if (xmlTextReaderDepth(reader) <= messageDepth) return ret;
        Close(open, body);
        ret = xmlTextReaderRead(reader);
        continue;
      }
      if (type != XML_READER_TYPE_ELEMENT) {
        ret = xmlTextReaderRead(reader);
        continue;
      }
      NextMember(open, body);
      const std::string name = TrimBlanks(reinterpret_cast<const char*>(xmlTextReaderConstName(reader)));
      const bool empty = xmlTextReaderIsEmptyElement(reader) == 1;
      bool descend = false;
      if (IsDataElement(name)) {
        ret = Element(reader, name, body, failed);
        if (failed) return ret;
        if (body.bytes().size() > kMaxLongMessageData) {
          failed = !Fail(refusal::kTooLong);
          return ret;
        }
        continue;
      }
      if (!OpenContainer(name, open, body, descend)) {
        failed = true;
        return ret;
      }
      if (descend && empty) Close(open, body);
      // A message longer than the CII can carry fails now, not after the
      // whole of it has been gathered.
      if (body.bytes().size() > kMaxLongMessageData) {
        failed = !Fail(refusal::kTooLong);
        return ret;
      }
      ret = descend ? xmlTextReaderRead(reader) : xmlTextReaderNext(reader);
    }
    return ret;
  }

  // A member starts: after a repetition that ended, the next one begins.
  static void NextMember(std::vector<Container>& open, MessageBody& body) {
    if (!open.back().repetitionEnded) return;
    body.AppendRepetition();
    open.back().repetitionEnded = false;
  }

  // Opens the container an element of a message names: a repetition
  // ("JPM...R") or a group that has its row; `descend` tells whether its
  // children are read. False when the document must fail.
  bool OpenContainer(const std::string& name, std::vector<Container>& open, MessageBody& body, bool& descend) {
    descend = false;
    if (StartsWith(name, "JPM") && EndsWithR(name)) {
      open.push_back(Container{});
      descend = true;
    } else if (StartsWith(name, "JPM")) {
      if (!GroupStart(name, body, descend)) return false;
      if (descend) open.push_back(Container{.group = true});
    }
    return true;
  }

  void Close(std::vector<Container>& open, MessageBody& body) {
    const Container closed = open.back();
    if (open.size() == 1) return;  // a stray end tag: the message's own level stays
    open.pop_back();
    if (closed.group) {
      body.AppendGroupEnd();
    } else {
      open.back().repetitionEnded = true;
    }
  }

  // Opens a group in the CII when the name has its group row; `descend`
  // tells whether its children are read. "JPM0" is a group by position
  // (one-byte tag mode needs no number); any other name must have its row.
  bool GroupStart(const std::string& name, MessageBody& body, bool& descend) {
    const std::string suffix = name.substr(3);
    const RecordFormatRow* row = suffix == "0" ? nullptr : GroupRow(suffix);
    descend = false;
    if (suffix != "0" && row == nullptr) {
      result_.Note(kErrNoGroupRow);  // the group is left out
      return true;
    }
    if (!body.AppendGroupStart(row != nullptr ? row->multiNo : "0", false)) return Fail(kErrMultiNo);
    descend = true;
    return true;
  }

  // The data element at the reader: its value appended to the message.
  // Returns the reader's state after the element; `failed` when the
  // document must fail.
  int Element(xmlTextReaderPtr reader, const std::string& name, MessageBody& body, bool& failed) {
    const long itemNo = NameNumber(name, 2);
    const RecordFormatRow* row = itemNo >= 0 ? ItemRow(itemNo) : nullptr;
    if (row == nullptr) {
      result_.Note(kErrNoGroupRow);
      return xmlTextReaderNext(reader);
    }
    const int ret = ElementText(reader, text_);
    if (ret == -1) return ret;
    if (!Value(*row, std::string(TrimBlanksView(text_)), value_)) {
      failed = true;
      return ret;
    }
    if (value_.empty()) return ret;
    const int refused = body.AppendElement(static_cast<uint32_t>(itemNo), value_);
    failed = refused != 0 && !Fail(refused);
    return ret;
  }

  // The text of the element at the reader and of everything inside it, as
  // the element's content (entity references included); the reader is left
  // after the element's end.
  static int ElementText(xmlTextReaderPtr reader, std::string& text) {
    text.clear();
    if (xmlTextReaderIsEmptyElement(reader) == 1) return xmlTextReaderRead(reader);
    const int depth = xmlTextReaderDepth(reader);
    int ret;
    while ((ret = xmlTextReaderRead(reader)) == 1) {
      switch (xmlTextReaderNodeType(reader)) {
        case XML_READER_TYPE_END_ELEMENT:
          if (xmlTextReaderDepth(reader) == depth) return xmlTextReaderRead(reader);
          break;
        case XML_READER_TYPE_TEXT:
        case XML_READER_TYPE_CDATA:
        case XML_READER_TYPE_WHITESPACE:
        case XML_READER_TYPE_SIGNIFICANT_WHITESPACE:
          if (const xmlChar* value = xmlTextReaderConstValue(reader)) text += reinterpret_cast<const char*>(value);
          break;
        case XML_READER_TYPE_ENTITY_REFERENCE:
          if (xmlNodePtr node = xmlTextReaderExpand(reader)) {
            xmlChar* content = xmlNodeGetContent(node);
            if (content != nullptr) text += reinterpret_cast<const char*>(content);
            xmlFree(content);
          }
          break;
        default:
          break;
      }
    }
    return ret;
  }

  std::string OneByteText(const std::string& text) {
    std::string bytes;
    if (!Utf8ToAnsi(text, bytes)) result_.Note(kErrUnmappable);
    return bytes;
  }

  // The CII bytes of an element's text by the row's attribute.
  bool Value(const RecordFormatRow& row, const std::string& text, std::string& out) {
    out.clear();
    if (text.empty()) return true;
    const std::string& a = row.attribute;
    if (a == "9" || a == "N") {
      auto number = ParseDecimal(text);
      if (!number) return Fail(kErrNotANumber);
      if (!number->IsZero()) out = GeneralNumber(*number);
    } else if (a == "Y") {
      std::string date = text;
      if (date.size() < 6) date.insert(0, 6 - date.size(), '0');
      date = WithCentury(std::move(date));
      const size_t keep = static_cast<size_t>(std::max(row.length, 0));
      if (date.size() > keep) date = date.substr(date.size() - keep);
      auto number = ParseDecimal(date);
      if (!number) return Fail(kErrNotANumber);
      if (number->IsZero() || date == "20000000") return true;
      out = GeneralNumber(*number);
    } else if (a == "B") {
      if (text.size() % 2 != 0) return Fail(kErrHexText);
      for (size_t i = 0; i < text.size(); i += 2) {
        auto hex = [](char c) {
          return c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
        };
        const int high = hex(text[i]), low = hex(text[i + 1]);
        if (high < 0 || low < 0) return Fail(kErrHexText);
        out.push_back(static_cast<char>(high * 16 + low));
      }
    } else if (a == "K") {
      std::string wide = ToFullWidth(text);
      if (ReplaceOutsideAnsi(wide)) result_.Note(kErrUnmappable);
      out = EncodeDoubleBytes(wide, doubleByteCode_);
    } else {
      out = OneByteText(text);
    }
    return true;
  }

  ConverterState& state_;
  Database& db_;
  ConversionResult& result_;
  Output& out_;
  std::string text_, value_;  // an element's text and CII value, kept for their buffers
  // The event-driven reading's place in the document.
  bool stopped_ = false;
  int skipping_ = 0;  // the depth within an element stepped over, 0 outside
  int inData_ = 0;    // the depth within a data element, 0 outside
  int inHeader_ = 0;  // the depth within a JPMGH, 0 outside
  bool inMessage_ = false;
  HeaderChildren headerChildren_;
  MessageBody body_;
  std::vector<Container> open_;
  const RecordFormatRow* dataRow_ = nullptr;
  long dataItem_ = 0;
  bool groupOpen_ = false;
  int groups_ = 0;
  long messages_ = 0;
  char doubleByteCode_ = 'M';
};

// Silences libxml2's own error printing; failures are reported by code.
void IgnoreXmlError(void*, const char*, ...) {}
void IgnoreReaderError(void*, const char*, xmlParserSeverities, xmlTextReaderLocatorPtr) {}

// The SAX2 push parser's side: libxml2 calls these with the converter as
// its user data. A document type declaration means the document may use
// entities of its own: it is then read by the pull reader instead, whose
// entity handling is the converter's, and the SAX pass stops before a byte
// was written (the declaration comes before any element).
struct SaxPass {
  DocumentConverter* converter = nullptr;
  xmlParserCtxtPtr context = nullptr;
  bool declaresType = false;
  bool ended = false;  // the parser reached the document's end (not halted by a failure)
};

SaxPass& PassOf(void* data) { return *static_cast<SaxPass*>(data); }

void StopIfDone(SaxPass& pass) {
  if (pass.converter->Stopped()) xmlStopParser(pass.context);
}

void OnStartElement(void* data, const xmlChar* localName, const xmlChar* prefix, const xmlChar*, int, const xmlChar**,
                    int, int, const xmlChar**) {
  SaxPass& pass = PassOf(data);
  std::string name;
  if (prefix != nullptr) name.append(reinterpret_cast<const char*>(prefix)).push_back(':');
  name.append(reinterpret_cast<const char*>(localName));
  pass.converter->StartElement(std::move(name));
  StopIfDone(pass);
}

void OnEndElement(void* data, const xmlChar*, const xmlChar*, const xmlChar*) {
  SaxPass& pass = PassOf(data);
  pass.converter->EndElement();
  StopIfDone(pass);
}

void OnText(void* data, const xmlChar* text, int length) {
  PassOf(data).converter->Text(std::string_view(reinterpret_cast<const char*>(text), static_cast<size_t>(length)));
}

void OnDocumentType(void* data, const xmlChar*, const xmlChar*, const xmlChar*) {
  SaxPass& pass = PassOf(data);
  pass.declaresType = true;
  xmlStopParser(pass.context);
}

void OnEndDocument(void* data) { PassOf(data).ended = true; }

void IgnoreStructuredError(void*, xmlErrorPtr) {}

// Feeds the document to the push parser in pieces, so memory does not
// follow its size. False when the input cannot be read.
bool FeedDocument(const ConversionInput& input, SaxPass& pass) {
  constexpr size_t kPiece = 1 << 18;
  auto stopped = [&] { return pass.declaresType || pass.converter->Stopped() || pass.context->disableSAX != 0; };
  if (input.bytes) {
    for (size_t at = 0; at < input.bytes->size() && !stopped(); at += kPiece) {
      const size_t size = std::min(kPiece, input.bytes->size() - at);
      xmlParseChunk(pass.context, input.bytes->data() + at, static_cast<int>(size), 0);
    }
  } else {
    const int fd = open(input.path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    std::vector<char> piece(kPiece);
    ssize_t got = 0;
    while (!stopped() && (got = read(fd, piece.data(), piece.size())) > 0) {
      xmlParseChunk(pass.context, piece.data(), static_cast<int>(got), 0);
    }
    const bool readFailed = got < 0;
    close(fd);
    if (readFailed) return false;
  }
  if (!stopped()) xmlParseChunk(pass.context, nullptr, 0, 1);
  return true;
}

enum class SaxResult { kConverted, kFailed, kUseReader };

// Converts the document with the SAX2 push parser (the speed path), unless
// it declares a document type.
SaxResult ConvertBySax(const ConversionInput& input, DocumentConverter& converter, ConversionResult& result) {
  xmlSAXHandler handler{};
  handler.initialized = XML_SAX2_MAGIC;
  handler.startElementNs = OnStartElement;
  handler.endElementNs = OnEndElement;
  handler.characters = OnText;
  handler.ignorableWhitespace = OnText;
  handler.cdataBlock = OnText;
  handler.internalSubset = OnDocumentType;
  handler.endDocument = OnEndDocument;
  handler.serror = IgnoreStructuredError;
  SaxPass pass;
  pass.converter = &converter;
  pass.context = xmlCreatePushParserCtxt(&handler, &pass, nullptr, 0, input.path.c_str());
  if (pass.context == nullptr) return result.Stop(kErrXmlParse, "cannot read " + input.path), SaxResult::kFailed;
  xmlCtxtUseOptions(pass.context, XML_PARSE_NONET);
  const bool read = FeedDocument(input, pass);
  // Input the parser cannot decode halts it without a well-formedness
  // error: only a document read to its end has parsed.
  const bool wellFormed = pass.context->wellFormed != 0 && pass.ended;
  xmlFreeParserCtxt(pass.context);
  if (pass.declaresType) return SaxResult::kUseReader;
  if (!read) return result.Stop(kErrXmlParse, "cannot read " + input.path), SaxResult::kFailed;
  return converter.Finish(wellFormed) ? SaxResult::kConverted : SaxResult::kFailed;
}

// A reader of the input document; nullptr when it cannot be read.
xmlTextReaderPtr OpenXmlReader(const ConversionInput& input) {
  if (!input.bytes) return xmlReaderForFile(input.path.c_str(), nullptr, XML_PARSE_NONET);
  return xmlReaderForMemory(input.bytes->data(), static_cast<int>(input.bytes->size()), nullptr, nullptr,
                            XML_PARSE_NONET);
}

}  // namespace

int XmlToCii(ConverterState& state, Database& db, const ConversionInput& input, Outputs& outputs,
             const std::string& outputPath, int& groups) {
  RegisterAnsiEncoding();
  groups = 0;
  ConversionResult result(state.errLog);
  std::string error;
  const std::unique_ptr<Output> out = outputs.Append(outputPath, error);
  if (out == nullptr) return result.Stop(kErrFile, error), result.code();
  xmlSetGenericErrorFunc(nullptr, IgnoreXmlError);
  DocumentConverter fast(state, db, result, *out);
  const SaxResult sax = ConvertBySax(input, fast, result);
  if (sax == SaxResult::kConverted) groups = fast.groups();
  xmlTextReaderPtr reader = sax == SaxResult::kUseReader ? OpenXmlReader(input) : nullptr;
  if (sax == SaxResult::kUseReader && reader == nullptr) {
    result.Stop(kErrXmlParse, "cannot read " + input.path);
  } else if (reader != nullptr) {
    xmlTextReaderSetErrorHandler(reader, IgnoreReaderError, nullptr);
    DocumentConverter converter(state, db, result, *out);
    if (converter.Run(reader)) groups = converter.groups();
    xmlFreeTextReader(reader);
  }
  if (result.ok() && !(out->Close() && out->Keep())) result.Stop(kErrFile, out->error());
  // A failed document leaves nothing behind: the output goes back to its size.
  if (!result.ok()) {
    out->Drop();
    groups = 0;
  }
  return result.code();
}

int XmlToCii(ConverterState& state, Database& db, const std::string& inputPath, const std::string& outputPath,
             int& groups) {
  FileOutputs outputs(IdentityOf(inputPath), state.outputJournal);
  return XmlToCii(state, db, ConversionInput::File(inputPath), outputs, outputPath, groups);
}

}  // namespace edi::cii
