// What a conversion reads and where it writes, so that one converter serves
// files and memory alike.
//
// An input is a file by path or bytes in memory. Outputs are opened by name
// (the names the file entries use) to append to or to replace; each is
// written, closed (checked), and in the end kept or dropped, so that a
// conversion that fails leaves no part of its output. FileOutputs (in
// output_file.h) are the files of the entries that take paths; MemoryOutputs
// keep what a conversion kept in memory, for callers that convert bytes,
// such as the fuzz harnesses.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace edi::cii {

// What a conversion reads.
struct ConversionInput {
  // The file at `path`.
  static ConversionInput File(std::string path) { return ConversionInput{std::move(path), std::nullopt}; }
  // Bytes held by the caller for the whole conversion; `name` stands for
  // them in messages.
  static ConversionInput Memory(std::string_view bytes, std::string name = "(memory)") {
    return ConversionInput{std::move(name), bytes};
  }

  std::string path;                       // the file, or the name of the bytes
  std::optional<std::string_view> bytes;  // set: these bytes are the input
};

class CiiInput;

// Opens a CII reader on the input; false when its file cannot be opened.
bool OpenCiiInput(CiiInput& reader, const ConversionInput& input);

// One output of a conversion.
class Output {
 public:
  virtual ~Output() = default;
  // Appends bytes; false (error() set) when they cannot be written.
  virtual bool Write(std::string_view bytes) = 0;
  // Ends the writing, checked. The output is not kept yet.
  virtual bool Close() = 0;
  // Keeps the closed output (a replaced output takes the place of the old).
  virtual bool Keep() = 0;
  // Drops what the conversion wrote: the output is as it was before.
  virtual void Drop() = 0;
  // What went wrong ("cannot write NAME: reason") after a failure; else "".
  virtual const std::string& error() const = 0;
};

// Opens the outputs of a conversion by name.
class Outputs {
 public:
  virtual ~Outputs() = default;
  // An output that what the conversion keeps is appended to; nullptr with
  // `error` set when it cannot be opened.
  virtual std::unique_ptr<Output> Append(const std::string& name, std::string& error) = 0;
  // An output that what the conversion keeps replaces; nullptr with `error`
  // set when it cannot be opened.
  virtual std::unique_ptr<Output> Replace(const std::string& name, std::string& error) = 0;
};

// Where a conversion tells, before it writes the first byte to an output
// file, that it creates that file (formerSize -1) or appends to it, so that
// the conversion can be taken back after the process was killed.
class OutputJournal {
 public:
  virtual ~OutputJournal() = default;
  // False with `why` when the output cannot be recorded: it is then not
  // written.
  virtual bool Record(const std::string& file, long long formerSize, std::string& why) = 0;
};

// Outputs in memory: `kept` holds, by name, what conversions kept. An
// output to append to writes into its entry at once and cuts it back (or
// removes it) when dropped, as a file; an output to replace takes the entry's
// place when kept. Outputs opened here must not outlive it, and a name has
// one open output at a time.
class MemoryOutputs : public Outputs {
 public:
  std::unique_ptr<Output> Append(const std::string& name, std::string& error) override;
  std::unique_ptr<Output> Replace(const std::string& name, std::string& error) override;

  std::map<std::string, std::string> kept;
};

}  // namespace edi::cii
