// Command-line options of the station's programs: "--name value" and
// "--name=value" for options with a value, "--name" for flags, and plain
// arguments. Anything else is a usage error that the caller reports with
// exit status 2.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace edi {

struct OptionSpec {
  std::string name;      // without "--"
  bool takesValue = true;
  bool repeatable = false;
};

class ParsedOptions {
 public:
  bool Has(std::string_view name) const { return values_.count(std::string(name)) > 0; }
  // The (last) value of an option; nullopt when it is absent.
  std::optional<std::string> Value(std::string_view name) const;
  // Every value of a repeatable option, in order.
  std::vector<std::string> Values(std::string_view name) const;
  const std::vector<std::string>& plain() const { return plain_; }

 private:
  friend bool ParseOptions(const std::vector<std::string_view>&, const std::vector<OptionSpec>&,
                           ParsedOptions&, std::string&);
  std::map<std::string, std::vector<std::string>> values_;
  std::vector<std::string> plain_;
};

// Parses `args` against `specs`. "--help" is always known (a flag). False
// with `error` set for an unknown option, a missing value, a repeated option
// that is not repeatable, or an argument that starts with "-" but is no
// option.
bool ParseOptions(const std::vector<std::string_view>& args, const std::vector<OptionSpec>& specs,
                  ParsedOptions& parsed, std::string& error);

// A whole non-negative decimal number ("12", not "12abc", "-5" or "");
// nullopt otherwise.
std::optional<long> ParseCount(std::string_view text);

}  // namespace edi
