// The SOAP messages of the JX transfer: the requests the station sends
// (GetDocument, ConfirmDocument) and a reader of the server's responses fed
// as their bytes arrive. A response's `data` is handed on in pieces as it is
// read, so a document of any size passes through without being held.
#pragma once

#include <libxml/parser.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace edi {

// The namespace the station sends; responses may also use the spelling
// without hyphen ("jedicosxml") that some servers and published copies use.
inline constexpr char kJxNamespace[] = "http://www.dsri.jp/edi-bp/2004/jedicos-xml/client-server";

// The MessageHeader of a request.
struct JxHeader {
  std::string from;       // the station's ID
  std::string to;         // the server's ID
  std::string messageId;  // unique: yyyyMMddHHmmss + a counter + "@" + host
  std::string timestamp;  // yyyy-MM-ddTHH:mm:ss
};

std::string GetDocumentRequest(const JxHeader& header, const std::string& receiverId);
std::string ConfirmDocumentRequest(const JxHeader& header, const std::string& messageId,
                                   const std::string& senderId, const std::string& receiverId);

// The soapAction of an operation ("GetDocument", "ConfirmDocument").
std::string JxSoapAction(std::string_view operation);

// What a response said. Fields missing from the response stay empty.
struct JxResponse {
  bool fault = false;
  std::string faultCode, faultString;
  std::string operation;   // the body's element: "GetDocumentResponse", ...
  bool hasResult = false;  // the ...Result element was there
  bool result = false;     // its value ("true" or "1")
  bool hasData = false;    // a data element was there (its text went to the data sink)
  std::string messageId, senderId, receiverId, formatType, documentType, compressType;
};

// Reads one response with libxml2's SAX2 push parser. Not a document type
// declaration, no entity and no network access is taken: a SOAP message
// has none.
class JxResponseReader {
 public:
  // Receives the text of the data element piece by piece; false stops the
  // reading (the sink says why on its own side).
  using DataSink = std::function<bool(std::string_view base64Text)>;

  explicit JxResponseReader(DataSink dataSink);
  ~JxResponseReader();
  JxResponseReader(const JxResponseReader&) = delete;
  JxResponseReader& operator=(const JxResponseReader&) = delete;

  // The next bytes of the response; false when it is not the expected
  // SOAP or the data sink refused (error() says which).
  bool Feed(std::string_view bytes);
  // The end of the response: false when it is incomplete or not SOAP.
  bool Finish();

  const JxResponse& response() const { return response_; }
  const std::string& error() const { return error_; }
  // True when the reading stopped because the data sink refused.
  bool sinkFailed() const { return sinkFailed_; }

 private:
  friend struct JxSaxHandlers;

  void StartElement(std::string_view name, std::string_view uri);
  void EndElement();
  void Characters(std::string_view text);
  void Fail(std::string why);
  void StartBodyChild(std::string_view name, std::string_view uri);
  void StartField(std::string_view name, std::string_view uri);

  DataSink dataSink_;
  xmlParserCtxtPtr parser_ = nullptr;
  JxResponse response_;
  std::string error_;
  bool sinkFailed_ = false;
  std::vector<std::string> open_;  // the local names of the open elements
  bool inHeader_ = false;
  bool inFault_ = false;
  bool inOperation_ = false;
  std::string* field_ = nullptr;   // the field whose text is being read
  size_t fieldDepth_ = 0;          // its depth in open_
  std::string resultText_;
  bool inData_ = false;
  size_t fedBytes_ = 0;   // every byte of the response so far
  size_t dataBytes_ = 0;  // the data's text among them
};

}  // namespace edi
