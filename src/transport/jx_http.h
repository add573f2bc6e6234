// The HTTPS exchanges of the JX transfer, through libcurl: one connection
// kept for a run's requests, the server's certificate always verified (the
// system's store plus the centre's CA_FILE), Basic authentication or a
// client certificate, and a server silent past the time-out given up. The
// window's pending events run at least every 50 ms of every wait.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "base/process.h"
#include "transport/jx_settings.h"

namespace edi {

struct HttpExchange {
  enum class Kind {
    kAnswered,      // the server answered: `status` is its HTTP status
    kUntrusted,     // its certificate did not verify, or it refused the TLS sign-on
    kNoConnection,  // it could not be reached, or the connection broke
    kTimedOut,      // it stayed silent past the time-out
    kBodyRefused,   // the body sink refused the response's bytes
    kSetUpError,    // libcurl could not be set up for the request
  };
  Kind kind = Kind::kAnswered;
  long status = 0;   // the HTTP status, where one was received
  std::string text;  // what went wrong, in libcurl's words and the system's
};

class JxConnection {
 public:
  JxConnection(const JxSettings& settings, PendingEvents pending);
  ~JxConnection();
  JxConnection(const JxConnection&) = delete;
  JxConnection& operator=(const JxConnection&) = delete;

  // Posts a SOAP request; every piece of the response's body goes to
  // `onBody` as it arrives (false from it stops the exchange).
  using BodySink = std::function<bool(std::string_view bytes)>;
  HttpExchange Post(std::string_view soapAction, const std::string& request, const BodySink& onBody);

 private:
  struct Handles;
  const JxSettings& settings_;
  PendingEvents pending_;
  std::unique_ptr<Handles> handles_;
};

}  // namespace edi
