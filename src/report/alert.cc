#include "report/alert.h"

#include "base/ansi_codec.h"
#include "base/result_codes.h"
#include "base/text.h"
#include "report/err_log_lines.h"

namespace edi::report {

std::vector<std::string> ReadAlertRecipients(const ProfileFile& settings) {
  std::vector<std::string> recipients;
  std::string current;
  for (char c : settings.Value("ALERT", "MAILTO", 4096) + " ") {
    if (c == ',' || c == ';' || IsBlank(c)) {
      if (!current.empty()) recipients.push_back(current);
      current.clear();
    } else {
      current.push_back(c);
    }
  }
  return recipients;
}

std::vector<CentreAlert> AlertsOf(const RunSummary& summary, const std::vector<CentreRow>& rows,
                                  const std::filesystem::path& errLog) {
  std::vector<CentreAlert> alerts;
  for (const auto& failure : summary.failures) {
    CentreAlert alert{failure.centreCode, "", failure.transferNo, failure.step, failure.outcome.endCode,
                      failure.outcome.detailCode, failure.outcome.reason, {}};
    for (const auto& row : rows) {
      if (row.centreCode == failure.centreCode) alert.centreName = row.centreName;
    }
    if (failure.transferNo != 0) alert.errLog = ErrLogLinesOf(errLog, failure.transferNo);
    alerts.push_back(std::move(alert));
  }
  return alerts;
}

std::string FailureSubject(const std::string& station, size_t failedCentres) {
  return "EDI受信 異常: " + station + " " + std::to_string(failedCentres) + "センター";
}

std::string FailureBody(const std::string& station, const std::vector<CentreAlert>& alerts) {
  std::string body = "EDI受信局 " + station + " の処理で、次の " + std::to_string(alerts.size()) +
                     " センターが異常終了しました。\r\n";
  for (const auto& a : alerts) {
    body += "\r\n■ " + a.centreCode + (a.centreName.empty() ? "" : " " + a.centreName) + "\r\n";
    body += "  通番: " + TransferDigits(a.transferNo) + "\r\n";
    body += "  異常の段階: " + a.step + "\r\n";
    body += "  終了コード: " + a.endCode + " " + std::string(DescribeResultCode(a.endCode, Language::kJapanese)) +
            "\r\n";
    const std::string_view detail = DescribeDetailCode(a.endCode, a.detailCode, Language::kJapanese);
    body += "  詳細コード: " + a.detailCode + (detail.empty() ? "" : " " + std::string(detail)) + "\r\n";
    body += "  理由: " + a.reason + "\r\n";
    if (!a.errLog.empty()) {
      body += "  ERR.LOG:\r\n";
      for (const auto& line : a.errLog) body += "    " + line + "\r\n";
    }
  }
  return body;
}

Outcome SendAlertMail(const std::vector<std::string>& recipients, const MailSettings& mail, const std::string& subject,
                      const std::string& body, const MailWaiting& waiting) {
  auto failed = [&](const MailError& error) {
    return Outcome::Failure(kResultFailed, kResultOk,
                            "the alert mail to " + recipients.front() + (recipients.size() > 1 ? " and others" : "") +
                                " could not be sent through " + mail.sendUrl + ": Error " +
                                std::to_string(error.number) + ": " + error.text);
  };
  MailError error;
  auto sender = OpenMailSender(mail.sendUrl, mail.password, waiting, error);
  if (!sender || !sender->SignOn(error)) return failed(error);
  std::string ansi;
  Utf8ToAnsi(body, ansi);
  sender->Compose(SenderAddress(mail.profileName), subject, ansi);
  sender->SetRecipients(recipients);
  if (!sender->Send(error)) return failed(error);
  sender->SignOff(error);
  return Outcome::Success();
}

}  // namespace edi::report
