#include "transport/mail_transfer.h"

#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <iostream>

#include "base/ansi_codec.h"
#include "base/files.h"
#include "base/local_time.h"
#include "base/sha256.h"
#include "transport/mail_store.h"
#include "transport/match_pattern.h"

namespace edi {
namespace fs = std::filesystem;
namespace {

bool ValidRequest(const MailTransferRequest& r) {
  return !r.centreCode.empty() && Utf8Length(r.centreCode) <= 12 && (r.direction == "R" || r.direction == "S") &&
         (r.dataFormat == "X" || r.dataFormat == "C") && !r.partnerAddress.empty();
}

std::string ErrorText(const MailError& error) {
  return "Error " + std::to_string(error.number) + ": " + error.text;
}

// One mail job: its settings, its progress list and its error boxes.
class MailJob {
 public:
  MailJob(const MailTransferRequest& request, const MailContext& context)
      : request_(request), context_(context), settings_(context.settings) {
    context_.progress.AddStep("INIファイル読込み");
  }

  // Both jobs: true on success, false with `error` set (its boxes shown).
  bool Receive(MailError& error) {
    context_.progress.AddStep("受信処理開始");
    // Until something is stored, a failure received nothing.
    retryable_ = true;
    auto store = OpenMailStore(settings_.profileName, settings_.password, StateFolder(), Waiting(), error);
    if (!store || !store->SignOn(error)) return StepFailed(error);
    context_.progress.AddStep("ログオン");
    std::vector<UnreadMail> mails;
    if (!store->FetchUnread(request_.partnerAddress, mails, error)) return JobFailed(error);
    context_.progress.AddStep("受信トレイ検索");
    // Each message to the partner is judged on its own: the good ones are
    // taken, the bad ones set aside, and one never blocks the other.
    std::vector<const UnreadMail*> taken, rejected;
    for (const auto& mail : mails) (mail.problem.empty() ? taken : rejected).push_back(&mail);
    if (!Store(taken, error)) return JobFailed(error);
    retryable_ = taken.empty();
    context_.progress.AddStep("添付ファイル格納");
    if (!store->MarkSeen(Ids(taken), error) || !store->MarkRejected(Ids(rejected), error)) return JobFailed(error);
    if (!store->SignOff(error)) return StepFailed(error);
    context_.progress.AddStep("ログオフ");
    for (const auto* mail : taken) {
      for (const auto& name : mail->otherAttachments) {
        warnings_.push_back("message " + mail->messageId + ": its further attachment \"" + name +
                            "\" was not taken (only the first attachment is received)");
      }
    }
    if (rejected.empty()) return true;
    error = {rejected.front()->problemNumber, ""};
    for (const auto* mail : rejected) {
      error.text += (error.text.empty() ? "" : "; ") + std::string("message ") + mail->messageId +
                    " was set aside (seen and flagged): " + mail->problem;
    }
    return JobFailed(error);
  }

  const std::vector<std::string>& warnings() const { return warnings_; }
  bool retryable() const { return retryable_; }

  bool Send(MailError& error) {
    context_.progress.AddStep("送信処理開始");
    const std::string file = FirstSendFile();
    if (file.empty()) {
      context_.progress.AddStep("送信添付ファイルなし");
      return true;
    }
    auto sender = OpenMailSender(settings_.sendUrl, settings_.password, Waiting(), error);
    if (!sender || !sender->SignOn(error)) return StepFailed(error);
    context_.progress.AddStep("ログオン");
    sender->Compose(SenderAddress(settings_.profileName), MailSubject(context_.clock()), BodyBytes());
    context_.progress.AddStep("メッセージを作成");
    sender->SetRecipient(request_.partnerAddress);
    context_.progress.AddStep("Pi_Rec.Pi_相手先メールアドレス");
    context_.progress.AddStep(request_.partnerAddress);  // the recipient as resolved
    context_.progress.AddStep("受信者オブジェクトの作成");
    if (!sender->Attach(context_.state.paths.ediOutFil + file, error)) return StepFailed(error);
    context_.progress.AddStep("添付ファイル作成");
    if (!sender->Send(error)) return StepFailed(error);
    context_.progress.AddStep("送信");
    if (!sender->SignOff(error)) return StepFailed(error);
    context_.progress.AddStep("ログオフ");
    return true;
  }

 private:
  // A step shows its error and the job shows it again.
  bool StepFailed(const MailError& error) {
    context_.progress.ShowError(ErrorText(error));
    return JobFailed(error);
  }
  bool JobFailed(const MailError& error) {
    context_.progress.ShowError(ErrorText(error));
    return false;
  }

  std::string Name(TransferFile kind, int nth = 1) const {
    return TransferFileName(request_.transferNo, request_.centreCode, kind, nth);
  }

  std::string StateFolder() const { return context_.state.settingsFolder + "/mail-state"; }
  MailWaiting Waiting() const { return MailWaiting{settings_.timeoutSeconds, context_.pending}; }

  static std::vector<std::string> Ids(const std::vector<const UnreadMail*>& mails) {
    std::vector<std::string> ids;
    for (const auto* mail : mails) ids.push_back(mail->id);
    return ids;
  }

  // Writes the attachments under the received names and records each in
  // the receipt log; on a failure removes what it wrote, so the inbound
  // folder is as it was and the messages stay unread.
  bool Store(const std::vector<const UnreadMail*>& mails, MailError& error) const {
    if (mails.empty()) return true;
    const std::string& folder = context_.state.paths.ediInFil;
    std::vector<std::pair<fs::path, std::string>> files;
    std::vector<ReceivedDocument> documents;
    for (size_t n = 1; n <= mails.size(); ++n) {
      const UnreadMail& mail = *mails[n - 1];
      const bool cii = request_.dataFormat == "C";
      if (!cii || files.empty()) {
        files.emplace_back(folder + Name(cii ? TransferFile::kReceivedCii : TransferFile::kReceivedXml,
                                         static_cast<int>(n)),
                           "");
      }
      std::string& bytes = files.back().second;
      documents.push_back({files.back().first.string(), static_cast<long long>(bytes.size()),
                           static_cast<long long>(mail.attachment.size()), Sha256Hex(mail.attachment), mail.messageId,
                           ""});
      bytes += mail.attachment;
    }
    std::string why;
    for (size_t i = 0; i < files.size(); ++i) {
      if (!WriteFileAtomically(files[i].first, files[i].second, why)) return Unstore(files, {kMailFileError, why}, error);
    }
    for (const auto& document : documents) {
      const Outcome recorded = context_.receipts.Record(document);
      if (!recorded.ok()) return Unstore(files, {kMailFileError, recorded.reason}, error);
    }
    return true;
  }

  static bool Unstore(const std::vector<std::pair<fs::path, std::string>>& files, MailError failure,
                      MailError& error) {
    std::error_code ec;
    for (const auto& file : files) fs::remove(file.first, ec);
    error = std::move(failure);
    return false;
  }

  // The first outbound file, in name order, that the send pattern matches.
  std::string FirstSendFile() const {
    const std::string pattern = request_.dataFormat == "C" ? Name(TransferFile::kSendCii)
                                                           : Name(TransferFile::kSendStem) + "([0-9]{4}).XML";
    std::error_code ec;
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(context_.state.paths.ediOutFil, ec)) {
      if (entry.is_regular_file(ec)) names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    for (const auto& name : names) {
      if (MatchPattern(pattern, name)) return name;
    }
    return "";
  }

  std::string BodyBytes() const {
    std::string ansi;
    Utf8ToAnsi(MailBody(settings_.mailText), ansi);
    return ansi;
  }

  const MailTransferRequest& request_;
  const MailContext& context_;
  const MailSettings& settings_;
  std::vector<std::string> warnings_;
  bool retryable_ = false;
};

}  // namespace

void StderrMailProgress::AddStep(std::string_view text) { std::cerr << "mail: " << text << "\n"; }
void StderrMailProgress::ShowError(std::string_view text) { std::cerr << "mail: " << text << "\n"; }

std::string CurrentMailTime() { return CurrentLocalTime().DateTime(); }

std::string MailSubject(const std::string& time) { return "EDIデータ" + time + "送信"; }

std::string MailBody(const std::string& mailText) {
  std::string body;
  for (size_t i = 0; i < mailText.size(); ++i) {
    if (mailText[i] == '\\' && i + 1 < mailText.size() && mailText[i + 1] == 'n') {
      body += "\r\n";
      ++i;
    } else {
      body.push_back(mailText[i]);
    }
  }
  return body;
}

Outcome RunMailTransfer(MailTransferRequest& request, const MailContext& context) {
  context.progress.Open();
  std::string why = "invalid mail request for centre \"" + request.centreCode + "\" (direction \"" +
                    request.direction + "\", data format \"" + request.dataFormat + "\", address \"" +
                    request.partnerAddress + "\")";
  bool done = false;
  std::vector<std::string> warnings;
  bool retryable = false;
  if (ValidRequest(request)) {
    context.progress.AddStep("パラメータチェック");
    MailJob job(request, context);
    MailError error;
    done = request.direction == "S" ? job.Send(error) : job.Receive(error);
    why = ErrorText(error);
    warnings = job.warnings();
    retryable = job.retryable() && error.number != kMailBadMessage && error.number != kMailNoAttachment;
  }
  context.progress.Close();
  Outcome outcome = done ? Outcome::Success() : Outcome::Failure(kResultMailOrExchange, kResultFailed, why);
  outcome.warnings = std::move(warnings);
  outcome.retryable = !done && retryable;
  return outcome;
}

}  // namespace edi
