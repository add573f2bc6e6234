// One document received over JX on its way into the inbound folder: its
// base64 text decoded as it arrives into a temporary file (hashed and
// counted on the way, never held whole), then placed under the transfer's
// name, and, when the server cannot be told it arrived, taken back out
// again with a copy kept in the backup folder.
#pragma once

#include <string>
#include <string_view>

#include "base/base64.h"
#include "base/sha256.h"

namespace edi {

// Where a document went: the file and its place in it.
struct PlacedDocument {
  std::string file;
  long long offset = 0;
  long long size = 0;
};

class IncomingDocument {
 public:
  // Every document passes through `tempPath` (truncated, never followed
  // when it is a link).
  explicit IncomingDocument(std::string tempPath);
  ~IncomingDocument();
  IncomingDocument(const IncomingDocument&) = delete;
  IncomingDocument& operator=(const IncomingDocument&) = delete;

  bool Open(std::string& why);
  // The next piece of base64 text; false on bad base64 or a write error
  // (badBase64() tells which, error() says what failed).
  bool Take(std::string_view base64Text);
  // Ends the text and makes the file durable; false as Take.
  bool Finish();
  // Removes the temporary file (nothing placed).
  void Discard();

  // Moves the complete document to `target`, which must not exist yet.
  bool PlaceAs(const std::string& target, PlacedDocument& placed, std::string& why);
  // Appends the complete document to `target` (made when missing).
  bool AppendTo(const std::string& target, PlacedDocument& placed, std::string& why);
  // Moves the complete, unplaced document to `copy` (the backup's name).
  bool SetAside(const std::string& copy, std::string& why);

  long long size() const { return size_; }
  const std::string& sha256() const { return sha256_; }
  bool badBase64() const { return badBase64_; }
  const std::string& error() const { return error_; }

 private:
  bool Flush();
  bool Fail(std::string why);

  std::string tempPath_;
  int fd_ = -1;
  Base64Decoder decoder_;
  Sha256 hash_;
  std::string buffer_;
  long long size_ = 0;
  std::string sha256_;
  bool badBase64_ = false;
  std::string error_;
};

// Takes a placed document back out of its file: its bytes are first copied
// to `copy` (in the backup folder), then cut from the file, which is
// removed when nothing else is left in it. False with `why` when the copy
// could not be made or the file not cut back.
bool TakeBackPlaced(const PlacedDocument& placed, const std::string& copy, std::string& why);

}  // namespace edi
