#include "transport/jx_http.h"

#include <curl/curl.h>

#include <chrono>
#include <memory>

#include "base/files.h"

namespace edi {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kPendingEvery = std::chrono::milliseconds(50);

void InitialiseCurl() {
  static const bool done = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  (void)done;
}

// One exchange in flight: where its body goes, and when the server was last
// heard from.
struct Exchange {
  const JxConnection::BodySink* sink = nullptr;
  const PendingEvents* pending = nullptr;
  std::chrono::milliseconds silenceLimit{60'000};
  Clock::time_point lastHeard = Clock::now();
  Clock::time_point lastPending = Clock::now();
  curl_off_t received = 0, sent = 0;
  bool sinkRefused = false;
  bool timedOut = false;

  // Runs the pending events when their time has come; false once the
  // server has been silent past the limit.
  bool Tick() {
    const auto now = Clock::now();
    if (*pending && now - lastPending >= kPendingEvery) {
      lastPending = now;
      (*pending)();
    }
    timedOut = now - lastHeard > silenceLimit;
    return !timedOut;
  }
};

size_t WriteBody(char* bytes, size_t size, size_t count, void* user) {
  auto& exchange = *static_cast<Exchange*>(user);
  exchange.lastHeard = Clock::now();
  if (!(*exchange.sink)(std::string_view(bytes, size * count))) {
    exchange.sinkRefused = true;
    return CURL_WRITEFUNC_ERROR;
  }
  return size * count;
}

int Progress(void* user, curl_off_t, curl_off_t received, curl_off_t, curl_off_t sent) {
  auto& exchange = *static_cast<Exchange*>(user);
  if (received != exchange.received || sent != exchange.sent) {
    exchange.received = received;
    exchange.sent = sent;
    exchange.lastHeard = Clock::now();
  }
  return exchange.Tick() ? 0 : 1;
}

// The system's certificates and those of CA_FILE as one bundle: libcurl
// takes a single store, and CA_FILE adds to the system's, never replaces it.
bool TrustedBundle(CURL* easy, const std::string& caFile, std::string& bundle) {
  char* systemPath = nullptr;
  if (curl_easy_getinfo(easy, CURLINFO_CAINFO, &systemPath) == CURLE_OK && systemPath != nullptr) {
    ReadWholeFile(systemPath, bundle);
  }
  std::string extra;
  if (!ReadWholeFile(caFile, extra)) return false;
  bundle += "\n" + extra;
  return true;
}

HttpExchange::Kind KindOf(CURLcode code, const std::string& detail) {
  switch (code) {
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
      return HttpExchange::Kind::kUntrusted;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
      // A TLS alert refuses the station's certificate or the server's own
      // (with TLS 1.3 it arrives with the first answer, after the
      // handshake); anything else broke the connection.
      return detail.find("alert") != std::string::npos || detail.find("certificate") != std::string::npos
                 ? HttpExchange::Kind::kUntrusted
                 : HttpExchange::Kind::kNoConnection;
    case CURLE_OPERATION_TIMEDOUT:
      return HttpExchange::Kind::kTimedOut;
    default:
      return HttpExchange::Kind::kNoConnection;
  }
}

}  // namespace

struct JxConnection::Handles {
  CURLM* multi = curl_multi_init();
  CURL* easy = curl_easy_init();
  curl_slist* headers = nullptr;
  std::string trusted;  // the bundle of CA_FILE and the system's store
  char error[CURL_ERROR_SIZE] = {};
  std::string setUpError;
  ~Handles() {
    curl_slist_free_all(headers);
    if (easy != nullptr) curl_easy_cleanup(easy);
    if (multi != nullptr) curl_multi_cleanup(multi);
  }
};

JxConnection::JxConnection(const JxSettings& settings, PendingEvents pending)
    : settings_(settings), pending_(std::move(pending)) {
  InitialiseCurl();
  handles_ = std::make_unique<Handles>();
  CURL* easy = handles_->easy;
  if (handles_->multi == nullptr || easy == nullptr) {
    handles_->setUpError = "libcurl could not be initialised";
    return;
  }
  curl_easy_setopt(easy, CURLOPT_URL, settings.url.c_str());
  // The settings allow http:// only to this machine; nothing else is spoken.
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(settings.timeoutMs));
  curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, handles_->error);
  curl_easy_setopt(easy, CURLOPT_USERAGENT, "edi-station JX client");
  if (!settings.user.empty()) {
    curl_easy_setopt(easy, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
    curl_easy_setopt(easy, CURLOPT_USERNAME, settings.user.c_str());
    curl_easy_setopt(easy, CURLOPT_PASSWORD, settings.password.c_str());
  }
  if (!settings.clientCert.empty()) {
    curl_easy_setopt(easy, CURLOPT_SSLCERT, settings.clientCert.c_str());
    curl_easy_setopt(easy, CURLOPT_SSLCERTTYPE, "PEM");
    curl_easy_setopt(easy, CURLOPT_SSLKEY,
                     (settings.clientKey.empty() ? settings.clientCert : settings.clientKey).c_str());
  }
  if (!settings.caFile.empty()) {
    if (!TrustedBundle(easy, settings.caFile, handles_->trusted)) {
      handles_->setUpError = "CA_FILE \"" + settings.caFile + "\" cannot be read";
      return;
    }
    curl_blob blob{handles_->trusted.data(), handles_->trusted.size(), CURL_BLOB_NOCOPY};
    curl_easy_setopt(easy, CURLOPT_CAINFO_BLOB, &blob);
  }
  handles_->headers = curl_slist_append(handles_->headers, "Content-Type: text/xml; charset=utf-8");
  handles_->headers = curl_slist_append(handles_->headers, "Expect:");
}

JxConnection::~JxConnection() = default;

HttpExchange JxConnection::Post(std::string_view soapAction, const std::string& request, const BodySink& onBody) {
  HttpExchange result;
  if (!handles_->setUpError.empty()) {
    result.kind = HttpExchange::Kind::kSetUpError;
    result.text = handles_->setUpError;
    return result;
  }
  CURL* easy = handles_->easy;
  const std::string actionHeader = "SOAPAction: \"" + std::string(soapAction) + "\"";
  curl_slist* headers = curl_slist_append(nullptr, actionHeader.c_str());
  for (curl_slist* h = handles_->headers; h != nullptr; h = h->next) headers = curl_slist_append(headers, h->data);
  const std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> ownedHeaders(headers, curl_slist_free_all);

  Exchange exchange;
  exchange.sink = &onBody;
  exchange.pending = &pending_;
  exchange.silenceLimit = std::chrono::milliseconds(settings_.timeoutMs);
  handles_->error[0] = '\0';
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(easy, CURLOPT_POSTFIELDS, request.data());
  curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.size()));
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, WriteBody);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &exchange);
  curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, Progress);
  curl_easy_setopt(easy, CURLOPT_XFERINFODATA, &exchange);

  // The multi interface waits at most 50 ms at a time, so the pending
  // events run and the silence is measured however quiet the server is.
  curl_multi_add_handle(handles_->multi, easy);
  CURLcode code = CURLE_OK;
  for (int running = 1; running != 0;) {
    curl_multi_perform(handles_->multi, &running);
    if (running == 0) break;
    curl_multi_poll(handles_->multi, nullptr, 0, 50, nullptr);
    if (!exchange.Tick()) break;
  }
  int left = 0;
  for (CURLMsg* message = curl_multi_info_read(handles_->multi, &left); message != nullptr;
       message = curl_multi_info_read(handles_->multi, &left)) {
    if (message->msg == CURLMSG_DONE && message->easy_handle == easy) code = message->data.result;
  }
  curl_multi_remove_handle(handles_->multi, easy);
  curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &result.status);

  const std::string detail = handles_->error[0] != '\0' ? handles_->error : curl_easy_strerror(code);
  if (exchange.timedOut) {
    result.kind = HttpExchange::Kind::kTimedOut;
    result.text = "the server " + settings_.url + " said nothing for " + std::to_string(settings_.timeoutMs / 1000) +
                  " s (TIMEOUT)";
  } else if (exchange.sinkRefused) {
    result.kind = HttpExchange::Kind::kBodyRefused;
  } else if (code != CURLE_OK) {
    result.kind = KindOf(code, detail);
    result.text = settings_.url + ": " + detail;
  }
  return result;
}

}  // namespace edi
