// File operations of the transfers: wildcard listing as on Windows (names
// compared ignoring case), and copies that never leave a half-written file
// under the destination's name.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace edi {

// True when `name` matches `pattern` ("*" any run, "?" one character),
// ignoring the case of ASCII letters.
bool MatchWildcard(std::string_view pattern, std::string_view name);

// The regular files of `folder` whose names match `pattern`, in name order.
// A pattern may name a sub-folder ("STS/Sts*.TXT"); its folder part matches
// ignoring case too.
std::vector<std::filesystem::path> ListMatching(const std::filesystem::path& folder, std::string_view pattern);

// Writes `bytes` to a private temporary file in `to`'s folder and renames it
// onto `to` when complete (an existing file is replaced). On failure the
// destination is as it was and `why` says what failed.
bool WriteFileAtomically(const std::filesystem::path& to, std::string_view bytes, std::string& why);

// Copies `from` onto `to` the same way. Fails when `from` cannot be read.
bool CopyFileAtomically(const std::filesystem::path& from, const std::filesystem::path& to, std::string& why);

// The same for a source that must be a regular file itself: a link or any
// other kind of file is refused, never followed.
bool CopyRegularFileAtomically(const std::filesystem::path& from, const std::filesystem::path& to, std::string& why);

// The whole content of a file; false when it cannot be read (errno says
// why). With `followLinks` false, a link is not followed and only a regular
// file is read.
bool ReadWholeFile(const std::filesystem::path& path, std::string& bytes, bool followLinks = true);

}  // namespace edi
