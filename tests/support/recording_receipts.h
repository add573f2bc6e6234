// A receipt log for the transport tests: it remembers what it was told and
// knows the content it was told of.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "transport/receipt_log.h"

namespace edi::test {

class RecordingReceipts : public ReceiptLog {
 public:
  Outcome Record(const ReceivedDocument& document) override {
    documents.push_back(document);
    return Outcome::Success();
  }
  Outcome WithdrawLast() override {
    if (!documents.empty()) documents.pop_back();
    return Outcome::Success();
  }
  bool Knows(const std::string& sha256) override {
    return knowsAll ||
           std::any_of(documents.begin(), documents.end(), [&](const auto& d) { return d.sha256 == sha256; });
  }
  std::vector<ReceivedDocument> documents;
  bool knowsAll = false;  // as a station whose ledger another process keeps
};

}  // namespace edi::test
