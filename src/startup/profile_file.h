// Reader for Windows-style profile files ("EDI.ini") with the semantics of
// the Windows profile calls: section and key names compare case-insensitively,
// blanks around keys and values are dropped, one pair of enclosing quotes is
// dropped, the first occurrence of a key wins, lines starting with ";" are
// comments. The file may be UTF-8 or Windows-31J (files carried over from
// Windows): it is taken as UTF-8 when it is valid UTF-8, else as Windows-31J.
// All texts handed out are UTF-8.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace edi {

// The buffer size of the profile reads: a value is cut to one less character.
inline constexpr size_t kProfileBufferLength = 256;

class ProfileFile {
 public:
  // Loads `file`. A file that does not exist, is no regular file or cannot
  // be read gives an empty profile in which every key reads as "" (as the
  // profile calls behave); error() then says why.
  static ProfileFile Load(const std::filesystem::path& file);

  // Parses the bytes of a profile file (UTF-8 or Windows-31J).
  static ProfileFile Parse(std::string_view bytes);

  // True when the file existed and was read.
  bool exists() const { return exists_; }
  // Why the file was not read ("" when it was).
  const std::string& error() const { return error_; }

  // The value of `key` in `section`, cut to bufferLength - 1 characters.
  // A missing key and an empty key both give "".
  std::string Value(std::string_view section, std::string_view key,
                    size_t bufferLength = kProfileBufferLength) const;

  // The lines of a whole section as the section call returns them ("key=value"
  // with blanks around key and value dropped, other lines trimmed), as many as
  // fit into bufferLength characters with one terminator each.
  std::vector<std::string> Section(std::string_view section,
                                   size_t bufferLength = kProfileBufferLength) const;

 private:
  struct Entry {
    std::string key;    // empty for a line without "="
    std::string value;  // the whole line for a line without "="
  };
  struct Section_ {
    std::string name;
    std::vector<Entry> entries;
  };
  const Section_* FindSection(std::string_view name) const;

  bool exists_ = false;
  std::string error_;
  std::vector<Section_> sections_;
};

// Reads one value straight from the file, as a per-job re-read does.
std::string ReadProfileValue(const std::filesystem::path& file, std::string_view section,
                             std::string_view key, size_t bufferLength = kProfileBufferLength);

// Reads one whole section straight from the file.
std::vector<std::string> ReadProfileSection(const std::filesystem::path& file,
                                            std::string_view section,
                                            size_t bufferLength = kProfileBufferLength);

}  // namespace edi
