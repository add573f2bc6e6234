// Facts about the machine and the logged-on user, gathered once when an
// instance is created. Values that cannot be read are "".
#pragma once

#include <string>

namespace edi {

class SystemProfile {
 public:
  // Fills every value from uname, the host name, the NIS domain name and the
  // login name. On Linux the family is "Unknown OS" (neither Windows family).
  SystemProfile();

  const std::string& osFamily() const { return osFamily_; }
  const std::string& osVersion() const { return osVersion_; }      // "6.1"
  const std::string& build() const { return build_; }              // "0"
  const std::string& kernelBuild() const { return kernelBuild_; }  // the kernel's version text
  const std::string& domain() const { return domain_; }
  const std::string& computerName() const { return computerName_; }
  const std::string& userName() const { return userName_; }

 private:
  std::string osFamily_, osVersion_, build_, kernelBuild_, domain_, computerName_, userName_;
};

}  // namespace edi
