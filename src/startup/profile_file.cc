#include "startup/profile_file.h"

#include <fstream>
#include <sstream>

#include "base/ansi_codec.h"
#include "base/text.h"

namespace edi {
namespace {

std::string_view Trim(std::string_view s) { return TrimBlanksView(s); }

std::string_view Unquote(std::string_view s) {
  if (s.size() >= 2 && ((s.front() == '"' && s.back() == '"') ||
                        (s.front() == '\'' && s.back() == '\''))) {
    return s.substr(1, s.size() - 2);
  }
  return s;
}

std::string CutToBuffer(std::string_view value, size_t bufferLength) {
  if (bufferLength == 0) return std::string();
  return std::string(Utf8Prefix(value, bufferLength - 1));
}

}  // namespace

ProfileFile ProfileFile::Load(const std::filesystem::path& file) {
  ProfileFile missing;
  std::error_code ec;
  const auto status = std::filesystem::status(file, ec);
  if (!std::filesystem::exists(status)) {
    missing.error_ = "not found";
    return missing;
  }
  if (!std::filesystem::is_regular_file(status)) {
    missing.error_ = std::filesystem::is_directory(status) ? "is a folder, not a file" : "is not a regular file";
    return missing;
  }
  std::ifstream in(file, std::ios::binary);
  std::string raw;
  if (in) {
    std::ostringstream bytes;
    bytes << in.rdbuf();
    raw = bytes.str();
  }
  if (!in) {
    missing.error_ = "cannot be read";
    return missing;
  }
  return Parse(raw);
}

ProfileFile ProfileFile::Parse(std::string_view bytes) {
  ProfileFile profile;
  std::string raw(bytes);
  profile.exists_ = true;
  if (raw.size() >= 3 && raw.compare(0, 3, "\xEF\xBB\xBF") == 0) raw.erase(0, 3);
  const std::string text = IsValidUtf8(raw) ? raw : AnsiToUtf8(raw);

  Section_* current = nullptr;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t eol = text.find('\n', pos);
    if (eol == std::string::npos) eol = text.size();
    std::string_view line = Trim(std::string_view(text).substr(pos, eol - pos));
    pos = eol + 1;
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      size_t close = line.find(']');
      std::string_view name = Trim(line.substr(1, close == std::string_view::npos ? line.size() - 1
                                                                                 : close - 1));
      profile.sections_.push_back(Section_{std::string(name), {}});
      current = &profile.sections_.back();
      continue;
    }
    if (current == nullptr) continue;
    size_t eq = line.find('=');
    if (eq == std::string_view::npos) {
      current->entries.push_back(Entry{std::string(), std::string(line)});
    } else {
      current->entries.push_back(Entry{std::string(Trim(line.substr(0, eq))),
                                       std::string(Unquote(Trim(line.substr(eq + 1))))});
    }
  }
  return profile;
}

const ProfileFile::Section_* ProfileFile::FindSection(std::string_view name) const {
  for (const auto& s : sections_) {
    if (EqualsIgnoreAsciiCase(s.name, Trim(name))) return &s;
  }
  return nullptr;
}

std::string ProfileFile::Value(std::string_view section, std::string_view key,
                               size_t bufferLength) const {
  const Section_* s = FindSection(section);
  if (s == nullptr) return std::string();
  for (const auto& e : s->entries) {
    if (!e.key.empty() && EqualsIgnoreAsciiCase(e.key, Trim(key))) {
      return CutToBuffer(e.value, bufferLength);
    }
  }
  return std::string();
}

std::vector<std::string> ProfileFile::Section(std::string_view section,
                                              size_t bufferLength) const {
  std::vector<std::string> lines;
  const Section_* s = FindSection(section);
  if (s == nullptr || bufferLength < 2) return lines;
  // The section call fills the buffer with NUL-terminated lines and a final
  // NUL; a line that does not fit is cut at the end of the buffer.
  size_t room = bufferLength - 1;
  for (const auto& e : s->entries) {
    std::string line = e.key.empty() ? e.value : e.key + "=" + e.value;
    size_t len = Utf8Length(line);
    if (len + 1 <= room) {
      lines.push_back(std::move(line));
      room -= len + 1;
    } else {
      if (room > 1) lines.emplace_back(Utf8Prefix(line, room - 1));
      break;
    }
  }
  return lines;
}

std::string ReadProfileValue(const std::filesystem::path& file, std::string_view section,
                             std::string_view key, size_t bufferLength) {
  return ProfileFile::Load(file).Value(section, key, bufferLength);
}

std::vector<std::string> ReadProfileSection(const std::filesystem::path& file,
                                            std::string_view section, size_t bufferLength) {
  return ProfileFile::Load(file).Section(section, bufferLength);
}

}  // namespace edi
