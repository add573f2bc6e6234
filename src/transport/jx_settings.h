// The settings of a centre received over JX, section "[JX:<centre code>]"
// of EDI.ini:
//   URL          https://host[:port]/path; http:// only for a loopback host
//   CLIENT_ID    the station's ID (receiverId, the header's From)
//   SERVER_ID    the server's ID (the header's To)
//   USER, PASSWORD            Basic authentication, or
//   CLIENT_CERT, CLIENT_KEY   a client certificate and its key (PEM files)
//   CA_FILE      certificates (PEM) trusted besides the system's store
//   TIMEOUT      seconds for connecting, the TLS handshake and every wait
//                for the server's next bytes (default 60)
//   MAX_DOCUMENTS  documents taken per run (default 100)
// Relative file names are taken from the settings folder.
#pragma once

#include <string>

#include "startup/profile_file.h"

namespace edi {

struct JxSettings {
  std::string url;
  std::string clientId, serverId;
  std::string user, password;
  std::string clientCert, clientKey, caFile;  // full paths, "" when not set
  long long timeoutMs = 60'000;
  int maxDocuments = 100;
};

// Reads and checks the section of `centreCode` (trimmed). False with `why`
// for a set-up error: a missing section, URL or CLIENT_ID, a URL that is
// neither https:// nor http:// to a loopback host, a TIMEOUT or
// MAX_DOCUMENTS that is not a positive number, a PASSWORD without USER, a
// certificate or key file that is missing or not PEM.
bool ReadJxSettings(const ProfileFile& profile, const std::string& settingsFolder, const std::string& centreCode,
                    JxSettings& settings, std::string& why);

// True for "127.0.0.1" (any 127.x.y.z), "::1" and "localhost".
bool IsLoopbackHost(const std::string& host);

}  // namespace edi
