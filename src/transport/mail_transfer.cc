#include "transport/mail_transfer.h"

#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <iostream>

#include "base/ansi_codec.h"
#include "base/files.h"
#include "base/local_time.h"
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
    auto store = OpenMailStore(settings_.profileName, settings_.password, StateFolder(), error);
    if (!store || !store->SignOn(error)) return StepFailed(error);
    context_.progress.AddStep("ログオン");
    std::vector<UnreadMail> mails;
    if (!store->FetchUnread(mails, error)) return JobFailed(error);
    context_.progress.AddStep("受信トレイ検索");
    std::vector<const UnreadMail*> taken;
    for (const auto& mail : mails) {
      if (mail.firstRecipient != request_.partnerAddress) continue;
      if (!mail.hasAttachment) {
        error = {kMailNoAttachment, "a message to " + request_.partnerAddress + " has no attachment"};
        return JobFailed(error);
      }
      taken.push_back(&mail);
    }
    if (!Store(taken, error)) return JobFailed(error);
    context_.progress.AddStep("添付ファイル格納");
    std::vector<std::string> ids;
    for (const auto* mail : taken) ids.push_back(mail->id);
    if (!store->MarkSeen(ids, error)) return JobFailed(error);
    if (!store->SignOff(error)) return StepFailed(error);
    context_.progress.AddStep("ログオフ");
    return true;
  }

  bool Send(MailError& error) {
    context_.progress.AddStep("送信処理開始");
    const std::string file = FirstSendFile();
    if (file.empty()) {
      context_.progress.AddStep("送信添付ファイルなし");
      return true;
    }
    auto sender = OpenMailSender(settings_.sendUrl, settings_.password, error);
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

  // Writes the attachments under the received names; on a failure removes
  // what it wrote, so the inbound folder is as it was.
  bool Store(const std::vector<const UnreadMail*>& mails, MailError& error) const {
    if (mails.empty()) return true;
    const std::string& folder = context_.state.paths.ediInFil;
    std::vector<std::pair<fs::path, std::string>> files;
    if (request_.dataFormat == "C") {
      std::string cii;
      for (const auto* mail : mails) cii += mail->attachment;
      files.emplace_back(folder + Name(TransferFile::kReceivedCii), std::move(cii));
    } else {
      for (size_t n = 1; n <= mails.size(); ++n) {
        files.emplace_back(folder + Name(TransferFile::kReceivedXml, static_cast<int>(n)), mails[n - 1]->attachment);
      }
    }
    for (size_t i = 0; i < files.size(); ++i) {
      std::string why;
      if (!WriteFileAtomically(files[i].first, files[i].second, why)) {
        for (size_t j = 0; j < i; ++j) fs::remove(files[j].first);
        error = {kMailFileError, why};
        return false;
      }
    }
    return true;
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
  if (ValidRequest(request)) {
    context.progress.AddStep("パラメータチェック");
    MailJob job(request, context);
    MailError error;
    done = request.direction == "S" ? job.Send(error) : job.Receive(error);
    why = ErrorText(error);
  }
  context.progress.Close();
  return done ? Outcome::Success() : Outcome::Failure(kResultMailOrExchange, kResultFailed, why);
}

}  // namespace edi
