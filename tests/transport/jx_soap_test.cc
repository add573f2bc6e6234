// The JX response reader fed as bytes arrive, and the base64 decoder that
// takes a document's data piece by piece.
#include "transport/jx_soap.h"

#include <gtest/gtest.h>

#include "base/base64.h"

namespace edi {
namespace {

constexpr char kEnvelope[] = "http://schemas.xmlsoap.org/soap/envelope/";

std::string Response(const std::string& ns, const std::string& body) {
  return std::string("<?xml version=\"1.0\"?><s:Envelope xmlns:s=\"") + kEnvelope +
         "\"><s:Header><MessageHeader xmlns=\"" + ns + "\"><From>a</From></MessageHeader></s:Header><s:Body>" + body +
         "</s:Body></s:Envelope>";
}

// Reads `bytes` in pieces of `piece` bytes; the data's text is collected.
bool Read(const std::string& bytes, size_t piece, JxResponse& response, std::string& data, std::string& error) {
  JxResponseReader reader([&](std::string_view text) {
    data.append(text);
    return true;
  });
  bool ok = true;
  for (size_t at = 0; ok && at < bytes.size(); at += piece) ok = reader.Feed(std::string_view(bytes).substr(at, piece));
  ok = ok && reader.Finish();
  response = reader.response();
  error = reader.error();
  return ok;
}

TEST(JxResponseReaderTest, ReadsADocumentInAnyPiecesAndEitherNamespaceSpelling) {
  for (const char* ns : {kJxNamespace, "http://www.dsri.jp/edi-bp/2004/jedicosxml/client-server"}) {
    const std::string bytes = Response(ns, std::string("<GetDocumentResponse xmlns=\"") + ns +
                                               "\"><GetDocumentResult> true </GetDocumentResult>"
                                               "<messageId>m-1&amp;2</messageId><data>QUJD\nREVG</data>"
                                               "<senderId>4900</senderId><compressType/></GetDocumentResponse>");
    for (size_t piece : {size_t{1}, size_t{7}, bytes.size()}) {
      JxResponse response;
      std::string data, error;
      ASSERT_TRUE(Read(bytes, piece, response, data, error)) << error;
      EXPECT_EQ(response.operation, "GetDocumentResponse");
      EXPECT_TRUE(response.hasResult && response.result && response.hasData);
      EXPECT_EQ(response.messageId, "m-1&2");
      EXPECT_EQ(response.senderId, "4900");
      EXPECT_EQ(response.compressType, "");
      EXPECT_EQ(data, "QUJD\nREVG");
    }
  }
  JxResponse fault;
  std::string data, error;
  ASSERT_TRUE(Read(Response(kJxNamespace, "<s:Fault><faultcode>s:Server</faultcode><faultstring>busy</faultstring>"
                                          "</s:Fault>"),
                   5, fault, data, error));
  EXPECT_TRUE(fault.fault);
  EXPECT_EQ(fault.faultCode + " " + fault.faultString, "s:Server busy");
}

TEST(JxResponseReaderTest, RefusesWhatIsNotAJxResponse) {
  const std::string ok = "<GetDocumentResponse xmlns=\"" + std::string(kJxNamespace) + "\">";
  std::string deep;
  for (int i = 0; i < 40; ++i) deep += "<x>";
  for (const std::string& bytes :
       {std::string("<!DOCTYPE s [<!ENTITY e \"x\">]>") + Response(kJxNamespace, ok + "</GetDocumentResponse>"),
        Response(kJxNamespace, "<Other xmlns=\"urn:other\"/>"), std::string("<html><body>busy</body></html>"),
        Response(kJxNamespace, ok + "<messageId>a<b/></messageId></GetDocumentResponse>"),
        Response(kJxNamespace, ok + "<messageId>" + std::string(70000, 'x') + "</messageId></GetDocumentResponse>"),
        Response(kJxNamespace, ok + "<GetDocumentResult>yes</GetDocumentResult></GetDocumentResponse>"),
        Response(kJxNamespace, ok + deep), Response(kJxNamespace, ok).substr(0, 120)}) {
    JxResponse response;
    std::string data, error;
    EXPECT_FALSE(Read(bytes, 64, response, data, error)) << bytes.substr(0, 200);
    EXPECT_FALSE(error.empty());
  }
}

TEST(Base64DecoderTest, DecodesPiecesWithBlanksAndRefusesWhatIsNotBase64) {
  const std::string text = "QUJD\r\nREVG R0g=";
  std::string out;
  Base64Decoder decoder;
  for (char c : text) ASSERT_TRUE(decoder.Update(std::string_view(&c, 1), out));
  ASSERT_TRUE(decoder.Finish(out));
  EXPECT_EQ(out, "ABCDEFGH");
  for (const char* bad : {"QUJD-REVG", "QUJDRA==QUJD", "QUJ", "QU!D"}) {
    Base64Decoder refusing;
    std::string ignored;
    EXPECT_FALSE(refusing.Update(bad, ignored) && refusing.Finish(ignored)) << bad;
  }
}

}  // namespace
}  // namespace edi
