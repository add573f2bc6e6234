// The alert mail of an unattended station: one mail in Japanese to the
// addresses of [ALERT] MAILTO, through [MAPI] SendURL, after a run in which
// centres failed, or for centres that have not delivered by their time.
// Without [ALERT] MAILTO nothing is sent.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "base/outcome.h"
#include "base/transfer_names.h"
#include "jobs/run_loop.h"
#include "startup/mail_settings.h"
#include "startup/profile_file.h"
#include "transport/mail_store.h"

namespace edi::report {

// [ALERT] MAILTO: addresses separated by commas, semicolons or blanks.
std::vector<std::string> ReadAlertRecipients(const ProfileFile& settings);

// One failed centre of a run.
struct CentreAlert {
  std::string centreCode, centreName;
  TransferNo transferNo = 0;
  std::string step, endCode, detailCode, reason;
  std::vector<std::string> errLog;  // the transfer's ERR.LOG lines
};

// The alerts of a run's failures, with their transfers' ERR.LOG lines.
std::vector<CentreAlert> AlertsOf(const RunSummary& summary, const std::vector<CentreRow>& rows,
                                  const std::filesystem::path& errLog);

// "EDI受信 異常: <station> 2センター" and the body telling each centre.
std::string FailureSubject(const std::string& station, size_t failedCentres);
std::string FailureBody(const std::string& station, const std::vector<CentreAlert>& alerts);

// Sends the mail to `recipients`. The failure of the sending is the
// outcome's reason; it is the caller's to tell (it never changes a run's
// outcome).
Outcome SendAlertMail(const std::vector<std::string>& recipients, const MailSettings& mail, const std::string& subject,
                      const std::string& body, const MailWaiting& waiting);

}  // namespace edi::report
