// A CII visitor that records a walk as short text lines, for the tests of
// the reader and of every converter that writes CII.
//   "0C M"        a group header (its storage mode); the bytes in headers
//   "0E 00002"    a group trailer with its count; also in trailers
//   "D 1 [long]"  a message start
//   "1=A"         an element (tag=value bytes); also in messages
//   "{250[:12]"   a group start (marker, number in extended mode); "|" 0xFB; "}" 0xFC
//   "end [n]"     the end mark (n: declared bytes left when the length differs)
//   "error 8-02"  damage (code and message); also in errors
#pragma once

#include <string>
#include <vector>

#include "cii/syntax/cii_input.h"
#include "cii/syntax/cii_reader.h"

namespace edi::test {

class RecordingVisitor : public cii::CiiVisitor {
 public:
  std::vector<std::string> lines;
  std::vector<std::string> headers;                 // the 249 bytes of each header
  std::vector<std::string> trailers;                // the five-digit counts
  std::vector<std::vector<std::string>> messages;   // element and marker lines per message
  std::vector<std::string> errors;

  bool OnGroupHeader(std::span<const uint8_t> header, uint64_t offset) override;
  bool OnGroupTrailer(std::span<const uint8_t> trailer, uint64_t offset) override;
  bool OnMessageStart(const cii::MessageInfo& message) override;
  bool OnElement(uint32_t tag, std::string_view value, uint64_t offset) override;
  bool OnGroupStart(const cii::GroupMarker& marker) override;
  bool OnRepetition(uint64_t offset) override;
  bool OnGroupEnd(uint64_t offset) override;
  bool OnMessageEnd(const cii::MessageInfo& message, long remaining) override;
  bool OnError(int code, std::string_view message, uint64_t offset) override;

 private:
  void Member(std::string line);
};

// Walks CII bytes (or a file) and returns the recording; `outcome` receives
// how the walk ended.
RecordingVisitor RecordBytes(const std::string& bytes, cii::ReadOutcome* outcome = nullptr);
RecordingVisitor RecordFile(const std::string& path, cii::ReadOutcome* outcome = nullptr);

}  // namespace edi::test
