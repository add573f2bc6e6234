#include "archive/backup_archive.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <memory>

#include "base/files.h"
#include "base/sha256.h"

namespace edi {
namespace fs = std::filesystem;
namespace {

struct WriterDeleter {
  void operator()(struct archive* a) const { archive_write_free(a); }
};
struct ReaderDeleter {
  void operator()(struct archive* a) const { archive_read_free(a); }
};
using Writer = std::unique_ptr<struct archive, WriterDeleter>;
using Reader = std::unique_ptr<struct archive, ReaderDeleter>;

std::string ArchiveError(struct archive* a, const std::string& what) {
  const char* message = archive_error_string(a);
  return what + ": " + (message != nullptr ? message : "unknown error");
}

bool AddMember(struct archive* a, const std::string& name, const std::string& bytes, std::time_t written,
               std::string& why) {
  std::unique_ptr<struct archive_entry, void (*)(struct archive_entry*)> entry(archive_entry_new(),
                                                                                archive_entry_free);
  archive_entry_set_pathname(entry.get(), name.c_str());
  archive_entry_set_size(entry.get(), static_cast<la_int64_t>(bytes.size()));
  archive_entry_set_filetype(entry.get(), AE_IFREG);
  archive_entry_set_perm(entry.get(), 0644);
  archive_entry_set_mtime(entry.get(), written, 0);
  if (archive_write_header(a, entry.get()) != ARCHIVE_OK ||
      archive_write_data(a, bytes.data(), bytes.size()) != static_cast<la_ssize_t>(bytes.size())) {
    why = ArchiveError(a, "cannot write " + name + " into the archive");
    return false;
  }
  return true;
}

Reader OpenForReading(const fs::path& archive, std::string& why) {
  Reader a(archive_read_new());
  archive_read_support_filter_all(a.get());
  archive_read_support_format_tar(a.get());
  if (archive_read_open_filename(a.get(), archive.c_str(), 1 << 16) != ARCHIVE_OK) {
    why = ArchiveError(a.get(), "cannot read the archive " + archive.string());
    return nullptr;
  }
  return a;
}

}  // namespace

bool WriteArchive(const fs::path& archive, const std::vector<ArchiveInput>& inputs,
                  std::vector<ArchivedFile>& written, std::string& why) {
  written.clear();
  const fs::path temp = archive.parent_path() / ("." + archive.filename().string() + ".part");
  Writer a(archive_write_new());
  archive_write_add_filter_gzip(a.get());
  archive_write_set_format_pax_restricted(a.get());
  if (archive_write_open_filename(a.get(), temp.c_str()) != ARCHIVE_OK) {
    why = ArchiveError(a.get(), "cannot create " + temp.string());
    return false;
  }
  bool ok = true;
  for (const auto& input : inputs) {
    std::string bytes = input.bytes;
    std::time_t mtime = std::time(nullptr);
    if (!input.inMemory) {
      if (!ReadWholeFile(input.file, bytes, false)) {
        why = "cannot read " + input.file.string();
        ok = false;
        break;
      }
      std::error_code ec;
      const auto time = fs::last_write_time(input.file, ec);
      if (!ec) {
        mtime = std::chrono::system_clock::to_time_t(std::chrono::file_clock::to_sys(time));
      }
    }
    if (!AddMember(a.get(), input.name, bytes, mtime, why)) {
      ok = false;
      break;
    }
    written.push_back({input.name, static_cast<long long>(bytes.size()), Sha256Hex(bytes)});
  }
  if (archive_write_close(a.get()) != ARCHIVE_OK && ok) {
    why = ArchiveError(a.get(), "cannot finish " + temp.string());
    ok = false;
  }
  std::error_code ec;
  if (!ok) {
    fs::remove(temp, ec);
    return false;
  }
  fs::rename(temp, archive, ec);
  if (ec) {
    why = "cannot name the archive " + archive.string() + ": " + ec.message();
    fs::remove(temp, ec);
    return false;
  }
  return true;
}

bool ReadArchive(const fs::path& archive, std::vector<ArchivedFile>& members, std::string& why) {
  members.clear();
  Reader a = OpenForReading(archive, why);
  if (!a) return false;
  struct archive_entry* entry = nullptr;
  for (;;) {
    const int status = archive_read_next_header(a.get(), &entry);
    if (status == ARCHIVE_EOF) return true;
    if (status != ARCHIVE_OK) {
      why = ArchiveError(a.get(), "cannot read the archive " + archive.string());
      return false;
    }
    Sha256 hash;
    long long size = 0;
    char buffer[1 << 16];
    for (la_ssize_t n; (n = archive_read_data(a.get(), buffer, sizeof buffer)) != 0;) {
      if (n < 0) {
        why = ArchiveError(a.get(), "cannot read the archive " + archive.string());
        return false;
      }
      hash.Update(std::string_view(buffer, static_cast<size_t>(n)));
      size += n;
    }
    members.push_back({archive_entry_pathname(entry), size, hash.HexDigest()});
  }
}

bool ExtractMember(const fs::path& archive, const std::string& name, const fs::path& to, std::string& why) {
  Reader a = OpenForReading(archive, why);
  if (!a) return false;
  struct archive_entry* entry = nullptr;
  while (archive_read_next_header(a.get(), &entry) == ARCHIVE_OK) {
    if (name != archive_entry_pathname(entry)) continue;
    std::string bytes;
    char buffer[1 << 16];
    for (la_ssize_t n; (n = archive_read_data(a.get(), buffer, sizeof buffer)) > 0;) {
      bytes.append(buffer, static_cast<size_t>(n));
    }
    return WriteFileAtomically(to, bytes, why);
  }
  why = "no " + name + " in the archive " + archive.string();
  return false;
}

}  // namespace edi
