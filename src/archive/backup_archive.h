// Archives of the station's old files: gzip-compressed tar files (any tar
// reads them), written through libarchive. An archive is written under a
// temporary name and takes its name only when complete, and it can be read
// back to check every member's size and SHA-256 against the files it took.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace edi {

// One member of an archive: its name, size and SHA-256.
struct ArchivedFile {
  std::string name;
  long long size = 0;
  std::string sha256;
};

// What goes into an archive: a file, under `name`, or bytes held in memory.
struct ArchiveInput {
  std::string name;
  std::filesystem::path file;  // read when `bytes` is not used
  std::string bytes;
  bool inMemory = false;
};

// Writes a new archive at `archive` with the inputs, filling `written` with
// each member's size and hash. False with `why` when a file cannot be read
// or the archive cannot be written (nothing is then left under its name).
bool WriteArchive(const std::filesystem::path& archive, const std::vector<ArchiveInput>& inputs,
                  std::vector<ArchivedFile>& written, std::string& why);

// Reads the archive back: every member's name, size and hash.
bool ReadArchive(const std::filesystem::path& archive, std::vector<ArchivedFile>& members, std::string& why);

// Writes member `name` of the archive to `to`; false with `why` when the
// archive cannot be read or has no such member.
bool ExtractMember(const std::filesystem::path& archive, const std::string& name, const std::filesystem::path& to,
                   std::string& why);

}  // namespace edi
