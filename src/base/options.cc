#include "base/options.h"

#include <charconv>

namespace edi {

std::optional<std::string> ParsedOptions::Value(std::string_view name) const {
  auto it = values_.find(std::string(name));
  if (it == values_.end() || it->second.empty()) return std::nullopt;
  return it->second.back();
}

std::vector<std::string> ParsedOptions::Values(std::string_view name) const {
  auto it = values_.find(std::string(name));
  return it == values_.end() ? std::vector<std::string>{} : it->second;
}

bool ParseOptions(const std::vector<std::string_view>& args, const std::vector<OptionSpec>& specs,
                  ParsedOptions& parsed, std::string& error) {
  auto find = [&](std::string_view name) -> const OptionSpec* {
    static const OptionSpec kHelp{"help", false, true};
    if (name == "help") return &kHelp;
    for (const auto& option : specs) {
      if (option.name == name) return &option;
    }
    return nullptr;
  };
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (arg.size() < 2 || arg.substr(0, 2) != "--") {
      if (arg.size() > 1 && arg[0] == '-') {
        error = "unknown option " + std::string(arg);
        return false;
      }
      parsed.plain_.emplace_back(arg);
      continue;
    }
    const size_t equals = arg.find('=');
    const std::string_view name = arg.substr(2, equals == std::string_view::npos ? std::string_view::npos : equals - 2);
    const OptionSpec* option = find(name);
    if (option == nullptr) {
      error = "unknown option --" + std::string(name);
      return false;
    }
    std::string value;
    if (option->takesValue) {
      if (equals != std::string_view::npos) {
        value = std::string(arg.substr(equals + 1));
      } else if (i + 1 < args.size()) {
        value = std::string(args[++i]);
      } else {
        error = "--" + option->name + " needs a value";
        return false;
      }
    } else if (equals != std::string_view::npos) {
      error = "--" + option->name + " takes no value";
      return false;
    }
    auto& values = parsed.values_[option->name];
    if (!values.empty() && !option->repeatable) {
      error = "--" + option->name + " is given twice";
      return false;
    }
    values.push_back(std::move(value));
  }
  return true;
}

std::optional<long> ParseCount(std::string_view text) {
  long value = 0;
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || text[0] == '-' || text[0] == '+' || ec != std::errc() || ptr != text.data() + text.size()) {
    return std::nullopt;
  }
  return value;
}

}  // namespace edi
