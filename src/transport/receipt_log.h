// What a transport tells the station about each document it stored: the
// file it went into, where in that file, its size and SHA-256, and the
// partner's own name for it. The station keeps these in its ledger of
// received files; a transport that must not lose a document (mail, before
// it marks the message seen) records it before it lets the partner go.
#pragma once

#include <string>

#include "base/outcome.h"

namespace edi {

struct ReceivedDocument {
  std::string file;        // the full path of the file it was stored in
  long long offset = 0;    // where it begins in that file
  long long size = 0;
  std::string sha256;      // of its bytes, 64 hexadecimal digits
  std::string documentId;  // the partner's id: a Message-ID, a message file name, ""
  std::string sender;      // the sender's id, where the transport has one
};

class ReceiptLog {
 public:
  virtual ~ReceiptLog() = default;
  // Records one stored document. A failure means the document must not be
  // taken as received (its reason says why).
  virtual Outcome Record(const ReceivedDocument& document) = 0;
  // Takes back the document recorded last: it was stored, but the partner
  // was never told it arrived (a failed confirmation), so it will come again
  // and must not count as received.
  virtual Outcome WithdrawLast() = 0;
  // True when a document of this content was received before for the
  // centre.
  virtual bool Knows(const std::string& sha256) = 0;
};

// A log that records nothing and knows nothing: for transfers outside a run.
class NoReceiptLog : public ReceiptLog {
 public:
  Outcome Record(const ReceivedDocument&) override { return Outcome::Success(); }
  Outcome WithdrawLast() override { return Outcome::Success(); }
  bool Knows(const std::string&) override { return false; }
};

}  // namespace edi
