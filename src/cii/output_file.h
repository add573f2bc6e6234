// The files a conversion writes (the outputs of conversion_io.h as files).
// Every write is checked, the final flush and close too, and a conversion
// that fails leaves no part of its output: an appended file is cut back to
// the size it had; a file the conversion creates and a replaced file are
// written under a private temporary name and put in place only when the
// conversion has succeeded, so that no output is ever half-written under
// its final name. No output is opened through a link.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "cii/conversion_io.h"

namespace edi::cii {

// The identity of a file (device and inode), to refuse an output that names
// the input, also through a link.
struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  bool operator==(const FileIdentity&) const = default;
};

// The identity of an existing file; nullopt when it does not exist.
std::optional<FileIdentity> IdentityOf(const std::filesystem::path& path);

// A file a conversion appends to, with buffered and checked writes. A file
// that does not exist yet is written under a temporary name (created with
// O_EXCL) and takes its name at Keep; an existing one is opened without
// following a link. `journal`, when given, is told of the output first.
class AppendedFile : public Output {
 public:
  AppendedFile() = default;
  ~AppendedFile() override;
  AppendedFile(const AppendedFile&) = delete;
  AppendedFile& operator=(const AppendedFile&) = delete;

  // Opens `path` for appending (creating it), remembering its size. Refuses
  // a path that is the file `input` or a link. False with error() set on
  // failure.
  bool Open(const std::filesystem::path& path, const std::optional<FileIdentity>& input,
            OutputJournal* journal = nullptr);

  bool IsOpen() const { return fd_ >= 0; }
  const std::filesystem::path& path() const { return path_; }

  // Appends bytes; false (error() set) when the write fails.
  bool Write(std::string_view bytes) override;

  // Writes what is buffered and closes the file, checked.
  bool Close() override;

  // Gives a created file its name (never over a file that appeared
  // meanwhile); the bytes appended to an existing file are in place already.
  bool Keep() override;

  // Cuts the file back to its size at Open, or removes the file Open
  // created, and closes it.
  void Drop() override;

  // "cannot write PATH: reason" after a failure.
  const std::string& error() const override { return error_; }

 private:
  bool Flush();
  bool Fail(const char* what);

  int fd_ = -1;
  std::filesystem::path path_;
  std::filesystem::path temp_;  // a created file's name until Keep
  off_t formerSize_ = 0;
  bool created_ = false;
  std::string buffer_;
  std::string error_;
};

// A document written under a private temporary name in its target's folder
// (created with O_EXCL, so an existing name or link there is never
// followed) and renamed onto the target by Keep.
class ReplacedFile : public Output {
 public:
  ReplacedFile() = default;
  ~ReplacedFile() override;
  ReplacedFile(const ReplacedFile&) = delete;
  ReplacedFile& operator=(const ReplacedFile&) = delete;

  // Creates the temporary file for `target`. Refuses a target that is the
  // file `input`. False with error() set on failure.
  bool Create(const std::filesystem::path& target, const std::optional<FileIdentity>& input);

  // Writes bytes to the temporary file, unbuffered (the XML writer buffers);
  // false (error() set, "cannot write TARGET: reason") from the first failure on.
  bool Write(std::string_view bytes) override;

  // Closes the temporary file, checked; it stays under its temporary name.
  bool Close() override;

  // Renames the closed temporary file onto the target.
  bool Keep() override;

  // Removes the temporary file.
  void Drop() override;

  const std::filesystem::path& target() const { return target_; }
  const std::string& error() const override { return error_; }

 private:
  bool Fail(const std::filesystem::path& path, const char* what);

  int fd_ = -1;
  std::filesystem::path target_;
  std::filesystem::path temp_;
  std::string error_;
};

// The files of the entries that take paths: appended files, and documents
// replaced through a temporary file. Refuses an output that is the file
// `input` (also through a link). Appended files are told to `journal`.
class FileOutputs : public Outputs {
 public:
  explicit FileOutputs(std::optional<FileIdentity> input, OutputJournal* journal = nullptr)
      : input_(input), journal_(journal) {}

  std::unique_ptr<Output> Append(const std::string& name, std::string& error) override;
  std::unique_ptr<Output> Replace(const std::string& name, std::string& error) override;

 private:
  std::optional<FileIdentity> input_;
  OutputJournal* journal_;
};

}  // namespace edi::cii
