// Mail transfer: fetching unread mail from a centre's address and storing
// its attachments as the received file (receive), or sending the outbound
// file as an attachment (send), with a progress list for the operator.
#pragma once

#include <functional>
#include <string>

#include "base/outcome.h"
#include "base/process.h"
#include "base/transfer_names.h"
#include "startup/mail_settings.h"
#include "startup/program_state.h"
#include "transport/mail_progress.h"
#include "transport/receipt_log.h"

namespace edi {

struct MailTransferRequest {
  std::string centreCode;      // センターコード; at most 12 characters
  TransferNo transferNo = 0;   // 通番
  std::string direction;       // "R" receive, "S" send
  std::string dataFormat;      // "C" CII, "X" XML
  std::string partnerAddress;  // Pi_相手先メールアドレス
};

// The local date and time as "yyyy/mm/dd hh:mm:ss", for the subject.
using MailClock = std::function<std::string()>;
std::string CurrentMailTime();

struct MailContext {
  const ProgramState& state;     // EDIINFIL, EDIOUTFIL, the settings folder
  const MailSettings& settings;  // the account, its password, the send transport, the body
  MailProgress& progress;
  ReceiptLog& receipts;          // every stored attachment, before its message is marked seen
  PendingEvents pending;         // run while the job waits on its server
  MailClock clock = CurrentMailTime;
};

// Runs one mail job. A failure is "5100" with the detail "9999" and the
// reason "Error <number>: <text>" (the mail error number and what failed);
// an invalid request fails the same way without a number.
//
// Receive: every unread message of the inbox whose first recipient is the
// partner's address, in the store's order, is judged on its own. A good one
// gives its first attachment (further attachments are warnings); for data
// format "C" they are stored one after the other in the received CII file,
// for "X" the first under the received name and the n-th (n >= 2) with n in
// four digits before ".XML"; each is recorded in the receipt log, then its
// message marked seen. A bad one (no attachment, broken or crafted MIME) is
// set aside, seen and flagged, and fails the job after the good ones were
// taken: the reason names each by its Message-ID. A job that fails before
// it stored anything marks nothing.
//
// Send: the first outbound file (in name order) that the send pattern
// matches is mailed; without one the job succeeds without signing on.
Outcome RunMailTransfer(MailTransferRequest& request, const MailContext& context);

// "EDIデータ" + time + "送信".
std::string MailSubject(const std::string& time);

// MAIL-TEXT with every backslash-n turned into CR LF.
std::string MailBody(const std::string& mailText);

}  // namespace edi
