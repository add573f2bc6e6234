#include "transport/jx_soap.h"

#include <algorithm>

namespace edi {
namespace {

constexpr char kSoap11[] = "http://schemas.xmlsoap.org/soap/envelope/";
constexpr char kSoap12[] = "http://www.w3.org/2003/05/soap-envelope";
constexpr char kJxNamespaceNoHyphen[] = "http://www.dsri.jp/edi-bp/2004/jedicosxml/client-server";

// A response deeper than this is not a JX response.
constexpr size_t kMaxDepth = 32;
// A field other than data longer than this is not a JX response either.
constexpr size_t kMaxFieldLength = 64 * 1024;
// Nor is one with more than this besides the document's data: a server
// that sends without end is stopped.
constexpr size_t kMaxOtherBytes = 16 * 1024 * 1024;

bool IsSoapNamespace(std::string_view uri) { return uri == kSoap11 || uri == kSoap12; }
bool IsJxNamespace(std::string_view uri) { return uri == kJxNamespace || uri == kJxNamespaceNoHyphen; }

std::string Escaped(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      default: out.push_back(c);
    }
  }
  return out;
}

std::string Element(std::string_view name, std::string_view value) {
  return "<" + std::string(name) + ">" + Escaped(value) + "</" + std::string(name) + ">";
}

std::string Envelope(const JxHeader& header, std::string_view operation, const std::string& parts) {
  return std::string("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                     "<soap:Envelope xmlns:soap=\"") + kSoap11 + "\">"
         "<soap:Header><MessageHeader xmlns=\"" + kJxNamespace + "\">" + Element("From", header.from) +
         Element("To", header.to) + Element("MessageId", header.messageId) +
         Element("Timestamp", header.timestamp) + "</MessageHeader></soap:Header>"
         "<soap:Body><" + std::string(operation) + " xmlns=\"" + kJxNamespace + "\">" + parts + "</" +
         std::string(operation) + "></soap:Body></soap:Envelope>\n";
}

std::string_view Trimmed(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

std::string_view View(const xmlChar* text) {
  return text == nullptr ? std::string_view() : std::string_view(reinterpret_cast<const char*>(text));
}

}  // namespace

std::string GetDocumentRequest(const JxHeader& header, const std::string& receiverId) {
  return Envelope(header, "GetDocument", Element("receiverId", receiverId));
}

std::string ConfirmDocumentRequest(const JxHeader& header, const std::string& messageId,
                                   const std::string& senderId, const std::string& receiverId) {
  return Envelope(header, "ConfirmDocument",
                  Element("messageId", messageId) + Element("senderId", senderId) +
                      Element("receiverId", receiverId));
}

std::string JxSoapAction(std::string_view operation) { return std::string(kJxNamespace) + "/" + std::string(operation); }

// libxml2's SAX2 callbacks, forwarded to the reader.
struct JxSaxHandlers {
  static JxResponseReader& Reader(void* context) {
    return *static_cast<JxResponseReader*>(static_cast<xmlParserCtxtPtr>(context)->_private);
  }
  static void Start(void* context, const xmlChar* localName, const xmlChar*, const xmlChar* uri, int, const xmlChar**,
                    int, int, const xmlChar**) {
    Reader(context).StartElement(View(localName), View(uri));
  }
  static void End(void* context, const xmlChar*, const xmlChar*, const xmlChar*) { Reader(context).EndElement(); }
  static void Characters(void* context, const xmlChar* text, int length) {
    Reader(context).Characters(std::string_view(reinterpret_cast<const char*>(text), static_cast<size_t>(length)));
  }
  // A SOAP message must not carry a document type declaration: refusing it
  // also keeps entity definitions (and their expansion) out.
  static void InternalSubset(void* context, const xmlChar*, const xmlChar*, const xmlChar*) {
    Reader(context).Fail("the response has a document type declaration");
  }
  static void Entity(void* context, const xmlChar*, int, const xmlChar*, const xmlChar*, xmlChar*) {
    Reader(context).Fail("the response declares an entity");
  }
  static void Error(void* context, const char*, ...) {
    const xmlError* error = xmlCtxtGetLastError(static_cast<xmlParserCtxtPtr>(context));
    std::string text = error != nullptr && error->message != nullptr ? error->message : "XML error";
    while (!text.empty() && text.back() == '\n') text.pop_back();
    Reader(context).Fail("the response is not well-formed XML: " + text);
  }
};

JxResponseReader::JxResponseReader(DataSink dataSink) : dataSink_(std::move(dataSink)) {
  xmlSAXHandler handlers{};
  handlers.initialized = XML_SAX2_MAGIC;
  handlers.startElementNs = JxSaxHandlers::Start;
  handlers.endElementNs = JxSaxHandlers::End;
  handlers.characters = JxSaxHandlers::Characters;
  handlers.cdataBlock = JxSaxHandlers::Characters;
  handlers.internalSubset = JxSaxHandlers::InternalSubset;
  handlers.entityDecl = JxSaxHandlers::Entity;
  handlers.error = JxSaxHandlers::Error;
  handlers.fatalError = JxSaxHandlers::Error;
  parser_ = xmlCreatePushParserCtxt(&handlers, nullptr, nullptr, 0, nullptr);
  if (parser_ == nullptr) {
    error_ = "the XML parser could not be created";
    return;
  }
  parser_->_private = this;
  xmlCtxtUseOptions(parser_, XML_PARSE_NONET | XML_PARSE_NOCDATA);
}

JxResponseReader::~JxResponseReader() {
  if (parser_ != nullptr) xmlFreeParserCtxt(parser_);
}

bool JxResponseReader::Feed(std::string_view bytes) {
  if (parser_ == nullptr || !error_.empty()) return false;
  // The parser takes an int length: large buffers go in slices.
  constexpr size_t kSlice = 1 << 20;
  while (!bytes.empty() && error_.empty()) {
    const std::string_view slice = bytes.substr(0, kSlice);
    bytes.remove_prefix(slice.size());
    fedBytes_ += slice.size();
    xmlParseChunk(parser_, slice.data(), static_cast<int>(slice.size()), 0);
    if (fedBytes_ - std::min(fedBytes_, dataBytes_) > kMaxOtherBytes) {
      Fail("the response holds more than " + std::to_string(kMaxOtherBytes >> 20) +
           " MB besides the document's data");
    }
  }
  return error_.empty();
}

bool JxResponseReader::Finish() {
  if (parser_ == nullptr || !error_.empty()) return false;
  xmlParseChunk(parser_, nullptr, 0, 1);
  if (!error_.empty()) return false;
  if (response_.operation.empty() && !response_.fault) {
    Fail("the response has no SOAP body with a JX response or a fault");
    return false;
  }
  for (std::string* field : {&response_.messageId, &response_.senderId, &response_.receiverId, &response_.formatType,
                             &response_.documentType, &response_.compressType, &resultText_}) {
    *field = std::string(Trimmed(*field));
  }
  if (response_.hasResult) {
    response_.result = resultText_ == "true" || resultText_ == "1";
    if (!response_.result && resultText_ != "false" && resultText_ != "0") {
      Fail("the result \"" + resultText_ + "\" is not a boolean");
      return false;
    }
  }
  return true;
}

void JxResponseReader::Fail(std::string why) {
  if (!error_.empty()) return;
  error_ = std::move(why);
  if (parser_ != nullptr) xmlStopParser(parser_);
}

void JxResponseReader::StartElement(std::string_view name, std::string_view uri) {
  if (!error_.empty()) return;
  if (open_.size() >= kMaxDepth) return Fail("the response nests deeper than " + std::to_string(kMaxDepth) + " levels");
  if (field_ != nullptr || inData_) return Fail("the field " + open_.back() + " holds an element");
  open_.emplace_back(name);
  const size_t depth = open_.size();
  if (depth == 1) {
    if (name != "Envelope" || !IsSoapNamespace(uri)) Fail("the response is not a SOAP envelope");
  } else if (depth == 2) {
    inHeader_ = name == "Header" && IsSoapNamespace(uri);
    if (!inHeader_ && (name != "Body" || !IsSoapNamespace(uri))) Fail("the SOAP envelope holds " + open_.back());
  } else if (depth == 3 && open_[1] == "Body") {
    StartBodyChild(name, uri);
  } else if (depth == 4 && (inFault_ || inOperation_)) {
    StartField(name, uri);
  }
}

void JxResponseReader::StartBodyChild(std::string_view name, std::string_view uri) {
  if (name == "Fault" && IsSoapNamespace(uri)) {
    inFault_ = response_.fault = true;
  } else if (IsJxNamespace(uri) && response_.operation.empty()) {
    inOperation_ = true;
    response_.operation = std::string(name);
  } else {
    Fail("the SOAP body holds " + std::string(name) + " in the namespace \"" + std::string(uri) + "\"");
  }
}

void JxResponseReader::StartField(std::string_view name, std::string_view uri) {
  if (inFault_) {
    if (name == "faultcode") field_ = &response_.faultCode;
    if (name == "faultstring") field_ = &response_.faultString;
  } else if (IsJxNamespace(uri) || uri.empty()) {
    if (name == "data") {
      inData_ = response_.hasData = true;
    } else if (name.size() > 6 && name.substr(name.size() - 6) == "Result") {
      response_.hasResult = true;
      field_ = &resultText_;
    } else if (name == "messageId") {
      field_ = &response_.messageId;
    } else if (name == "senderId") {
      field_ = &response_.senderId;
    } else if (name == "receiverId") {
      field_ = &response_.receiverId;
    } else if (name == "formatType") {
      field_ = &response_.formatType;
    } else if (name == "documentType") {
      field_ = &response_.documentType;
    } else if (name == "compressType") {
      field_ = &response_.compressType;
    }
  }
  if (field_ != nullptr) field_->clear();
  fieldDepth_ = open_.size();
}

void JxResponseReader::EndElement() {
  if (!error_.empty() || open_.empty()) return;
  const size_t depth = open_.size();
  if (depth == fieldDepth_) {
    field_ = nullptr;
    inData_ = false;
    fieldDepth_ = 0;
  }
  if (depth == 3) inFault_ = inOperation_ = false;
  if (depth == 2) inHeader_ = false;
  open_.pop_back();
}

void JxResponseReader::Characters(std::string_view text) {
  if (!error_.empty()) return;
  if (inData_) {
    dataBytes_ += text.size();
    if (!dataSink_(text)) {
      sinkFailed_ = true;
      Fail("the document's data could not be taken");
    }
    return;
  }
  if (field_ == nullptr) return;
  if (field_->size() + text.size() > kMaxFieldLength) {
    return Fail("the field " + open_.back() + " is longer than " + std::to_string(kMaxFieldLength) + " bytes");
  }
  field_->append(text);
}

}  // namespace edi
