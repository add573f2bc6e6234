#include "transport/jx_settings.h"

#include <curl/curl.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <cmath>
#include <filesystem>
#include <memory>

#include "base/text.h"
#include "startup/setting_numbers.h"

namespace edi {
namespace {

bool Fail(std::string& why, std::string text) {
  why = std::move(text);
  return false;
}

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// The scheme and host of a URL, by libcurl's own URL parser.
bool SplitUrl(const std::string& url, std::string& scheme, std::string& host) {
  std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> parsed(curl_url(), curl_url_cleanup);
  char* part = nullptr;
  if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK) return false;
  if (curl_url_get(parsed.get(), CURLUPART_SCHEME, &part, 0) != CURLUE_OK) return false;
  scheme = Lower(part);
  curl_free(part);
  if (curl_url_get(parsed.get(), CURLUPART_HOST, &part, 0) != CURLUE_OK) return false;
  host = Lower(part);
  curl_free(part);
  if (host.size() > 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  return true;
}

bool CheckUrl(const std::string& url, std::string& why) {
  std::string scheme, host;
  if (url.empty()) return Fail(why, "URL is not set");
  if (!SplitUrl(url, scheme, host)) return Fail(why, "URL \"" + url + "\" is not a URL");
  if (scheme == "https") return true;
  if (scheme == "http" && IsLoopbackHost(host)) return true;
  if (scheme == "http") {
    return Fail(why, "URL \"" + url + "\" is refused: plain http:// is allowed only to this machine (127.0.0.1, ::1,"
                     " localhost); use https://");
  }
  return Fail(why, "URL \"" + url + "\" must begin with https://");
}

// A positive number of the settings text, or the default when it is empty.
bool PositiveSetting(const ProfileFile& profile, const std::string& section, const char* key, double fallback,
                     double& value, std::string& why) {
  const std::string text = profile.Value(section, key);
  if (TrimBlanks(text).empty()) {
    value = fallback;
    return true;
  }
  const auto number = ParseSettingNumber(text);
  if (!number || !std::isfinite(*number) || *number <= 0 || *number > 1e9) {
    return Fail(why, std::string(key) + "=\"" + text + "\" is not a positive number");
  }
  value = *number;
  return true;
}

std::string InSettingsFolder(const std::string& settingsFolder, const std::string& file) {
  if (file.empty()) return "";
  const std::filesystem::path path(file);
  return path.is_absolute() ? file : (std::filesystem::path(settingsFolder) / path).lexically_normal().string();
}

using Bio = std::unique_ptr<BIO, decltype(&BIO_free)>;

bool OpenPem(const std::string& key, const std::string& file, Bio& bio, std::string& why) {
  bio.reset(BIO_new_file(file.c_str(), "r"));
  if (!bio) return Fail(why, key + " \"" + file + "\" cannot be read");
  return true;
}

bool CheckCertificates(const std::string& key, const std::string& file, std::string& why) {
  Bio bio(nullptr, BIO_free);
  if (!OpenPem(key, file, bio, why)) return false;
  X509* certificate = PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr);
  if (certificate == nullptr) return Fail(why, key + " \"" + file + "\" holds no PEM certificate");
  X509_free(certificate);
  return true;
}

bool CheckKey(const std::string& key, const std::string& file, std::string& why) {
  Bio bio(nullptr, BIO_free);
  if (!OpenPem(key, file, bio, why)) return false;
  // A key with a pass phrase cannot be used unattended: the empty phrase
  // callback makes it fail here rather than prompt.
  EVP_PKEY* privateKey = PEM_read_bio_PrivateKey(bio.get(), nullptr, [](char*, int, int, void*) { return 0; }, nullptr);
  if (privateKey == nullptr) return Fail(why, key + " \"" + file + "\" holds no PEM private key without pass phrase");
  EVP_PKEY_free(privateKey);
  return true;
}

bool CheckFiles(JxSettings& s, std::string& why) {
  if (!s.caFile.empty() && !CheckCertificates("CA_FILE", s.caFile, why)) return false;
  if (s.clientCert.empty() && !s.clientKey.empty()) return Fail(why, "CLIENT_KEY is set without CLIENT_CERT");
  if (s.clientCert.empty()) return true;
  if (!CheckCertificates("CLIENT_CERT", s.clientCert, why)) return false;
  // Without CLIENT_KEY the key is looked for in the certificate's file.
  return s.clientKey.empty() ? CheckKey("CLIENT_CERT", s.clientCert, why) : CheckKey("CLIENT_KEY", s.clientKey, why);
}

}  // namespace

bool IsLoopbackHost(const std::string& host) {
  const std::string h = Lower(host);
  return h == "localhost" || h == "::1" || h.rfind("127.", 0) == 0;
}

bool ReadJxSettings(const ProfileFile& profile, const std::string& settingsFolder, const std::string& centreCode,
                    JxSettings& s, std::string& why) {
  const std::string section = "JX:" + TrimBlanks(centreCode);
  std::string problem;
  auto fail = [&](const std::string& text) { return Fail(why, "[" + section + "] " + text); };
  if (profile.Section(section, 1 << 16).empty()) return fail("is missing from EDI.ini");
  s = JxSettings{};
  s.url = TrimBlanks(profile.Value(section, "URL"));
  s.clientId = profile.Value(section, "CLIENT_ID");
  s.serverId = profile.Value(section, "SERVER_ID");
  s.user = profile.Value(section, "USER");
  s.password = profile.Value(section, "PASSWORD");
  s.clientCert = InSettingsFolder(settingsFolder, profile.Value(section, "CLIENT_CERT"));
  s.clientKey = InSettingsFolder(settingsFolder, profile.Value(section, "CLIENT_KEY"));
  s.caFile = InSettingsFolder(settingsFolder, profile.Value(section, "CA_FILE"));
  double timeout = 60, maxDocuments = 100;
  if (!CheckUrl(s.url, problem)) return fail(problem);
  if (s.clientId.empty()) return fail("CLIENT_ID is not set: it is the station's ID at the server");
  if (s.user.empty() && !s.password.empty()) return fail("PASSWORD is set without USER");
  if (!PositiveSetting(profile, section, "TIMEOUT", 60, timeout, problem) ||
      !PositiveSetting(profile, section, "MAX_DOCUMENTS", 100, maxDocuments, problem)) {
    return fail(problem);
  }
  if (maxDocuments != std::floor(maxDocuments) || maxDocuments > 1'000'000) {
    return fail("MAX_DOCUMENTS=\"" + profile.Value(section, "MAX_DOCUMENTS") + "\" is not a whole number up to 1000000");
  }
  s.timeoutMs = static_cast<long long>(std::ceil(timeout * 1000));
  s.maxDocuments = static_cast<int>(maxDocuments);
  if (!CheckFiles(s, problem)) return fail(problem);
  return true;
}

}  // namespace edi
