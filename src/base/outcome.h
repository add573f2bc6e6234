// The outcome of every stage of a transfer (transport, conversion,
// registration, backup) and of the operations below them: the end and detail
// codes the history stores, and the reason in words for the operator and the
// log: what failed, on which file or server, and the library's or the
// system's own message.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/result_codes.h"

namespace edi {

struct Outcome {
  std::string endCode = kResultOk;     // 終了コード
  std::string detailCode = kResultOk;  // 詳細コード
  std::string reason;                  // "" on success; never empty on failure
  std::vector<std::string> warnings;   // what went wrong without failing the stage
  bool retryable = false;              // a failure before anything was received: trying again is safe

  bool ok() const { return endCode == kResultOk; }

  static Outcome Success() { return {}; }
  static Outcome Failure(std::string_view endCode, std::string_view detailCode, std::string reason) {
    return Outcome{std::string(endCode), std::string(detailCode), std::move(reason), {}, false};
  }

  // The same failure, marked safe to try again.
  Outcome Retryable() && {
    retryable = true;
    return std::move(*this);
  }

  // "5001/0105": the codes as the history shows them.
  std::string Codes() const { return endCode + "/" + detailCode; }
};

// The first failure of the two, with the second's reason added when both
// failed; success when neither did. The warnings of both are kept.
Outcome FirstFailure(Outcome first, const Outcome& second);

// `what` followed by ": " and the message of errno `error` ("cannot read
// /in/x: No such file or directory").
std::string WithErrno(std::string_view what, int error);

}  // namespace edi
