#include "transport/jx_transfer.h"

#include <unistd.h>

#include <atomic>

#include "transport/jx_document_file.h"
#include "transport/jx_http.h"
#include "transport/jx_soap.h"

namespace edi {
namespace {

Outcome JxFailure(const char* detail, std::string reason) {
  return Outcome::Failure(kResultJx, detail, std::move(reason));
}

std::string HostName() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "localhost";
  return name;
}

// What one GetDocument brought.
enum class Fetched { kNothing, kDocument, kFailed };

// One run of the JX transfer of a centre.
class JxReceive {
 public:
  JxReceive(const JxTransferRequest& request, const JxContext& context)
      : request_(request), context_(context), settings_(context.settings),
        connection_(context.settings, context.pending) {}

  Outcome Run() {
    for (int n = 1; n <= settings_.maxDocuments; ++n) {
      Outcome failure;
      if (!ReceiveOne(n, failure)) return confirmed_ == 0 ? failure : KeepConfirmed(failure);
      if (done_) return Outcome::Success();
    }
    Outcome outcome;
    outcome.warnings.push_back("MAX_DOCUMENTS (" + std::to_string(settings_.maxDocuments) +
                               ") documents were taken; any further ones wait on the server for the next run");
    return outcome;
  }

 private:
  // Receives, stores, records and confirms the n-th document. True when it
  // was confirmed or the server had none (done_); false with `failure`.
  bool ReceiveOne(int n, Outcome& failure) {
    IncomingDocument document(context_.state.paths.ediInFil + ".JX_" + PadCentre(request_.centreCode) + ".part");
    std::string why;
    if (!document.Open(why)) return Failed(failure, JxFailure(kDetailJxFile, why));
    JxResponse response;
    if (!GetDocument(document, response, failure)) return false;
    if (!response.result) {
      done_ = true;
      return true;
    }
    if (!CheckDocument(response, document, failure)) return SetAside(document, n, failure);
    PlacedDocument placed;
    const bool cii = request_.dataFormat == "C";
    const std::string target = context_.state.paths.ediInFil +
                               TransferFileName(request_.transferNo, request_.centreCode,
                                                cii ? TransferFile::kReceivedCii : TransferFile::kReceivedXml, n);
    if (!(cii ? document.AppendTo(target, placed, why) : document.PlaceAs(target, placed, why))) {
      return SetAside(document, n, JxFailure(kDetailJxFile, why), failure);
    }
    const Outcome recorded = context_.receipts.Record(
        {placed.file, placed.offset, placed.size, document.sha256(), response.messageId, response.senderId});
    if (!recorded.ok()) return TakeBack(placed, n, JxFailure(kDetailJxFile, recorded.reason), false, failure);
    const Outcome confirmed = Confirm(response);
    if (!confirmed.ok()) return TakeBack(placed, n, confirmed, true, failure);
    ++confirmed_;
    return true;
  }

  bool GetDocument(IncomingDocument& document, JxResponse& response, Outcome& failure) {
    JxResponseReader reader([&](std::string_view text) { return document.Take(text); });
    const HttpExchange exchange = connection_.Post(JxSoapAction("GetDocument"), GetDocumentRequest(Header(), settings_.clientId),
                                                   [&](std::string_view bytes) { return reader.Feed(bytes); });
    const bool read = exchange.kind == HttpExchange::Kind::kAnswered && reader.Finish();
    response = reader.response();
    if (exchange.status == 401 || exchange.status == 403) {
      return Failed(failure, JxFailure(kDetailJxSignOn, settings_.url + " refused the sign-on (HTTP " +
                                                            std::to_string(exchange.status) + ") for USER \"" +
                                                            settings_.user + "\""));
    }
    if (reader.sinkFailed() && !document.badBase64()) return Failed(failure, JxFailure(kDetailJxFile, document.error()));
    if (exchange.kind != HttpExchange::Kind::kAnswered && exchange.kind != HttpExchange::Kind::kBodyRefused) {
      return Failed(failure, ExchangeFailure(exchange, "GetDocument"));
    }
    if (read && response.fault) return Failed(failure, FaultFailure(response, "GetDocument"));
    if (exchange.status != 200) return Failed(failure, StatusFailure(exchange, reader));
    if (!read) {
      const std::string what = document.badBase64() ? document.error() : reader.error();
      return Failed(failure, JxFailure(kDetailJxBadResponse, "GetDocument: " + what));
    }
    if (response.operation != "GetDocumentResponse" || !response.hasResult) {
      return Failed(failure, JxFailure(kDetailJxBadResponse, "GetDocument: the response holds " +
                                                                 response.operation + " without GetDocumentResult"));
    }
    return true;
  }

  // A document the server handed out: its data complete, its required
  // fields there, not compressed.
  bool CheckDocument(const JxResponse& response, IncomingDocument& document, Outcome& failure) {
    if (!document.Finish()) {
      return Failed(failure, JxFailure(document.badBase64() ? kDetailJxBadResponse : kDetailJxFile,
                                       "GetDocument: document " + response.messageId + ": " + document.error()));
    }
    std::string missing;
    for (const auto& [name, value] : {std::pair{"messageId", &response.messageId}, {"senderId", &response.senderId}}) {
      if (value->empty()) missing += (missing.empty() ? "" : ", ") + std::string(name);
    }
    if (!response.hasData) missing += (missing.empty() ? "" : ", ") + std::string("data");
    if (!missing.empty()) {
      return Failed(failure, JxFailure(kDetailJxBadResponse, "GetDocument: the document \"" + response.messageId +
                                                                 "\" comes without " + missing));
    }
    if (!response.compressType.empty()) {
      return Failed(failure, JxFailure(kDetailJxBadResponse, "GetDocument: the document " + response.messageId +
                                                                 " is compressed with \"" + response.compressType +
                                                                 "\", which the station does not support"));
    }
    return true;
  }

  Outcome Confirm(const JxResponse& document) {
    JxResponseReader reader([](std::string_view) { return true; });
    const HttpExchange exchange =
        connection_.Post(JxSoapAction("ConfirmDocument"),
                         ConfirmDocumentRequest(Header(), document.messageId, document.senderId, settings_.clientId),
                         [&](std::string_view bytes) { return reader.Feed(bytes); });
    const std::string what = "ConfirmDocument of " + document.messageId + ": ";
    if (exchange.kind != HttpExchange::Kind::kAnswered && exchange.kind != HttpExchange::Kind::kBodyRefused) {
      return JxFailure(kDetailJxConfirm, what + ExchangeFailure(exchange, "ConfirmDocument").reason);
    }
    const bool read = exchange.kind == HttpExchange::Kind::kAnswered && reader.Finish();
    const JxResponse& response = reader.response();
    if (read && response.fault) {
      return JxFailure(kDetailJxConfirm, what + FaultFailure(response, "ConfirmDocument").reason);
    }
    if (exchange.status != 200) return JxFailure(kDetailJxConfirm, what + StatusFailure(exchange, reader).reason);
    if (!read) return JxFailure(kDetailJxConfirm, what + reader.error());
    if (response.operation != "ConfirmDocumentResponse" || !response.hasResult) {
      return JxFailure(kDetailJxConfirm, what + "the response holds " + response.operation +
                                             " without ConfirmDocumentResult");
    }
    if (!response.result) return JxFailure(kDetailJxConfirm, what + "the server answered false");
    return Outcome::Success();
  }

  Outcome ExchangeFailure(const HttpExchange& exchange, const char* operation) const {
    const std::string text = std::string(operation) + ": " + exchange.text;
    switch (exchange.kind) {
      case HttpExchange::Kind::kUntrusted: return JxFailure(kDetailJxSignOn, text);
      case HttpExchange::Kind::kSetUpError: return JxFailure(kDetailJxSetUp, text);
      default: return JxFailure(kDetailJxConnection, text).Retryable();
    }
  }

  static Outcome FaultFailure(const JxResponse& response, const char* operation) {
    return JxFailure(kDetailJxFault, std::string(operation) + ": SOAP fault " + response.faultCode + ": " +
                                         response.faultString);
  }

  // An HTTP status other than 200 without a fault: the server's trouble
  // (5xx) is worth trying again, anything else is not the expected answer.
  Outcome StatusFailure(const HttpExchange& exchange, const JxResponseReader& reader) const {
    const std::string text = settings_.url + " answered HTTP " + std::to_string(exchange.status) +
                             (reader.error().empty() ? "" : " (" + reader.error() + ")");
    if (exchange.status >= 500) return JxFailure(kDetailJxConnection, text).Retryable();
    return JxFailure(kDetailJxBadResponse, text);
  }

  // The copy of a document that is not part of the transfer.
  std::string UnconfirmedCopy(int n) const {
    return context_.state.paths.oldFile + "UNCONFIRMED_" + TransferDigits(request_.transferNo) + "_" +
           PadCentre(request_.centreCode) + std::string(4 - std::min<size_t>(4, std::to_string(n).size()), '0') +
           std::to_string(n) + (request_.dataFormat == "C" ? ".CII" : ".XML");
  }

  // A complete document that cannot be taken is kept aside; an incomplete
  // one is dropped.
  bool SetAside(IncomingDocument& document, int n, Outcome& failure) {
    if (document.error().empty() && document.size() > 0) {
      std::string why;
      const std::string copy = UnconfirmedCopy(n);
      failure.reason += document.SetAside(copy, why) ? "; a copy is kept as " + copy : "; " + why;
    }
    return false;
  }
  bool SetAside(IncomingDocument& document, int n, Outcome cause, Outcome& failure) {
    failure = std::move(cause);
    return SetAside(document, n, failure);
  }

  // A placed document the server was not told of leaves the transfer.
  bool TakeBack(const PlacedDocument& placed, int n, Outcome cause, bool recorded, Outcome& failure) {
    failure = std::move(cause);
    std::string why;
    const std::string copy = UnconfirmedCopy(n);
    failure.reason += TakeBackPlaced(placed, copy, why) ? "; the document was taken back out of the transfer, a copy"
                                                          " is kept as " + copy
                                                        : "; " + why;
    if (recorded) {
      const Outcome withdrawn = context_.receipts.WithdrawLast();
      if (!withdrawn.ok()) failure.reason += "; " + withdrawn.reason;
    }
    failure.reason += "; the server will hand it out again";
    return false;
  }

  static bool Failed(Outcome& failure, Outcome cause) {
    failure = std::move(cause);
    return false;
  }

  // Documents confirmed before a failure stay with the transfer: the server
  // will not send them again. The failure is told as a warning.
  Outcome KeepConfirmed(const Outcome& failure) const {
    Outcome outcome;
    outcome.warnings.push_back("JX " + failure.Codes() + " after " + std::to_string(confirmed_) +
                               " confirmed document(s), which the transfer keeps: " + failure.reason);
    return outcome;
  }

  JxHeader Header() const {
    static std::atomic<unsigned> counter{0};
    const LocalTime now = context_.clock();
    const std::string digits = now.date.substr(0, 4) + now.date.substr(5, 2) + now.date.substr(8, 2) +
                               now.time.substr(0, 2) + now.time.substr(3, 2) + now.time.substr(6, 2);
    const std::string stamp = now.date.substr(0, 4) + "-" + now.date.substr(5, 2) + "-" + now.date.substr(8, 2) + "T" +
                              now.time;
    return JxHeader{settings_.clientId, settings_.serverId,
                    digits + "." + std::to_string(::getpid()) + "." + std::to_string(++counter) + "@" + HostName(),
                    stamp};
  }

  const JxTransferRequest& request_;
  const JxContext& context_;
  const JxSettings& settings_;
  JxConnection connection_;
  int confirmed_ = 0;
  bool done_ = false;
};

}  // namespace

Outcome JxSetUpFailure(const std::string& why) { return JxFailure(kDetailJxSetUp, why + ": nothing was sent"); }

Outcome RunJxTransfer(const JxTransferRequest& request, const JxContext& context) {
  if (request.dataFormat != "C" && request.dataFormat != "X") {
    return JxSetUpFailure("the centre's data format \"" + request.dataFormat + "\" is neither C nor X");
  }
  return JxReceive(request, context).Run();
}

}  // namespace edi
