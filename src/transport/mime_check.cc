#include "transport/mime_check.h"

#include <cctype>
#include <vector>

#include "base/text.h"

namespace edi {
namespace {

// An entity split into its header block and its body.
struct Entity {
  std::string_view header;
  std::string_view body;
};

Entity Split(std::string_view entity) {
  for (size_t at = 0; at < entity.size();) {
    const size_t end = entity.find('\n', at);
    if (end == std::string_view::npos) break;
    std::string_view line = entity.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) return {entity.substr(0, at), entity.substr(end + 1)};
    at = end + 1;
  }
  return {entity, {}};
}

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

// The unfolded value of header field `name` ("" when absent).
std::string FieldValue(std::string_view header, std::string_view name) {
  const std::string wanted = Lower(name) + ":";
  std::string value;
  bool inField = false;
  for (size_t at = 0; at < header.size();) {
    size_t end = header.find('\n', at);
    if (end == std::string_view::npos) end = header.size();
    std::string_view line = header.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    at = end + 1;
    if (!line.empty() && (line[0] == ' ' || line[0] == '\t')) {
      if (inField) value += " " + std::string(TrimBlanksView(line));
      continue;
    }
    if (inField) return value;
    if (Lower(line.substr(0, wanted.size())) == wanted) {
      inField = true;
      value = std::string(TrimBlanksView(line.substr(wanted.size())));
    }
  }
  return inField ? value : "";
}

// The value of parameter `name` of a structured field ("" when absent).
std::string Parameter(const std::string& field, std::string_view name) {
  const std::string lower = Lower(field);
  const std::string wanted = Lower(name) + "=";
  for (size_t at = lower.find(wanted); at != std::string::npos; at = lower.find(wanted, at + 1)) {
    if (at > 0 && lower[at - 1] != ';' && lower[at - 1] != ' ' && lower[at - 1] != '\t') continue;
    size_t start = at + wanted.size();
    if (start < field.size() && field[start] == '"') {
      const size_t close = field.find('"', start + 1);
      return field.substr(start + 1, close == std::string::npos ? std::string::npos : close - start - 1);
    }
    size_t end = field.find_first_of("; \t", start);
    return field.substr(start, end == std::string::npos ? std::string::npos : end - start);
  }
  return "";
}

// A letter of the base64 alphabet (not the locale's idea of a letter).
bool IsBase64Letter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/';
}

bool IsBase64(std::string_view body) {
  size_t significant = 0;
  bool padding = false;
  for (char c : body) {
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
    if (c == '=') {
      padding = true;
    } else if (padding || !IsBase64Letter(c)) {
      return false;
    }
    ++significant;
  }
  return significant % 4 == 0;
}

class Checker {
 public:
  Checker(const MimeLimits& limits, std::string& why) : limits_(limits), why_(why) {}

  bool Entity(std::string_view bytes, int depth) {
    if (++parts_ > limits_.maxParts) return Fail("more than " + std::to_string(limits_.maxParts) + " parts");
    const auto [header, body] = Split(bytes);
    const std::string type = FieldValue(header, "Content-Type");
    if (Lower(type).rfind("multipart/", 0) == 0) return Multipart(type, body, depth);
    if (Lower(FieldValue(header, "Content-Transfer-Encoding")) == "base64" && !IsBase64(body)) {
      return Fail("a part declared base64 holds other bytes");
    }
    return true;
  }

 private:
  bool Multipart(const std::string& type, std::string_view body, int depth) {
    if (depth + 1 > limits_.maxDepth) {
      return Fail("multiparts nested deeper than " + std::to_string(limits_.maxDepth) + " levels");
    }
    const std::string boundary = Parameter(type, "boundary");
    if (boundary.empty()) return Fail("a multipart without boundary");
    const std::string delimiter = "--" + boundary;
    std::vector<std::string_view> partsFound;
    size_t partStart = std::string_view::npos;
    bool closed = false;
    for (size_t at = 0; at < body.size() && !closed;) {
      size_t end = body.find('\n', at);
      if (end == std::string_view::npos) end = body.size();
      std::string_view line = body.substr(at, end - at);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      if (line.substr(0, delimiter.size()) == delimiter) {
        const std::string_view rest = TrimBlanksView(line.substr(delimiter.size()));
        if (rest.empty() || rest == "--") {
          if (partStart != std::string_view::npos) partsFound.push_back(body.substr(partStart, at - partStart));
          partStart = end + 1;
          closed = rest == "--";
        }
      }
      at = end + 1;
    }
    if (!closed) return Fail("a multipart that is cut off (its closing boundary is missing)");
    for (std::string_view part : partsFound) {
      if (!Entity(part, depth + 1)) return false;
    }
    return true;
  }

  bool Fail(std::string why) {
    why_ = std::move(why);
    return false;
  }

  const MimeLimits& limits_;
  std::string& why_;
  int parts_ = 0;
};

}  // namespace

bool CheckMimeStructure(std::string_view message, std::string& why, const MimeLimits& limits) {
  if (message.size() > limits.maxBytes) {
    why = "a message of " + std::to_string(message.size()) + " bytes, over the limit of " +
          std::to_string(limits.maxBytes);
    return false;
  }
  return Checker(limits, why).Entity(message, 0);
}

}  // namespace edi
