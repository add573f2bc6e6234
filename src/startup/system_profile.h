// Facts about the machine and the logged-on user, gathered once when an
// instance is created. Values that cannot be read are "".
#pragma once

#include <string>

namespace edi {

class cProfile {
 public:
  // Fills all seven values from uname, the host name, the NIS domain name and
  // the login name. On Linux `OS` is "Unknown OS" (neither Windows family).
  cProfile();

  const std::string& Build() const { return build_; }
  const std::string& CSDVer() const { return csdVer_; }
  const std::string& machine() const { return machine_; }
  const std::string& Domain() const { return domain_; }
  const std::string& OS() const { return os_; }
  const std::string& User() const { return user_; }
  const std::string& Ver() const { return ver_; }

 private:
  std::string build_, csdVer_, machine_, domain_, os_, user_, ver_;
};

}  // namespace edi
