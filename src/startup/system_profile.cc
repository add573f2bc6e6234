#include "startup/system_profile.h"

#include <pwd.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cstring>
#include <vector>

namespace edi {
namespace {

// The text before the first NUL of a 255-character buffer, as the Windows
// profile reads keep it.
std::string BeforeNul(const char* buffer, size_t size) {
  return std::string(buffer, strnlen(buffer, size));
}

// Splits a kernel release "6.1.0-18-amd64" into "6.1" and the patch "0".
void SplitRelease(const std::string& release, std::string& ver, std::string& build) {
  std::vector<std::string> parts;
  std::string current;
  for (char c : release) {
    if (c >= '0' && c <= '9') {
      current.push_back(c);
    } else {
      parts.push_back(current);
      current.clear();
      if (c != '.' || parts.size() >= 3) break;
    }
  }
  if (!current.empty()) parts.push_back(current);
  auto part = [&](size_t i) { return i < parts.size() && !parts[i].empty() ? parts[i] : "0"; };
  ver = part(0) + "." + part(1);
  build = part(2);
}

}  // namespace

SystemProfile::SystemProfile() : osFamily_("Unknown OS") {
  struct utsname u;
  if (uname(&u) == 0) {
    SplitRelease(u.release, osVersion_, build_);
    kernelBuild_ = BeforeNul(u.version, sizeof u.version);
    const std::string domain = BeforeNul(u.domainname, sizeof u.domainname);
    domain_ = (domain == "(none)") ? "" : domain;
  }
  char buffer[256] = {};
  if (gethostname(buffer, 255) == 0) computerName_ = BeforeNul(buffer, 255);
  std::memset(buffer, 0, sizeof buffer);
  if (getlogin_r(buffer, 255) == 0) {
    userName_ = BeforeNul(buffer, 255);
  } else if (const passwd* pw = getpwuid(geteuid()); pw != nullptr && pw->pw_name != nullptr) {
    userName_ = pw->pw_name;
  }
}

}  // namespace edi
