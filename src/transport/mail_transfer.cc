#include "transport/mail_transfer.h"

#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <iostream>

#include "base/ansi_codec.h"
#include "base/files.h"
#include "startup/common_routines.h"
#include "startup/settings_reader.h"
#include "transport/mail_store.h"

namespace edi {
namespace fs = std::filesystem;
namespace {

std::string Serial(long long serialNo) {
  char digits[32];
  std::snprintf(digits, sizeof digits, "%08lld", serialNo);
  return digits;
}

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
      : request_(request), context_(context), settings_(ReadMailSettings(context.state)) {
    context_.progress.AddStep("INIファイル読込み");
  }

  int Receive() {
    context_.progress.AddStep("受信処理開始");
    MailError error;
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
        return JobFailed({kMailNoAttachment, "a message to " + request_.partnerAddress + " has no attachment"});
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
    return 0;
  }

  int Send() {
    context_.progress.AddStep("送信処理開始");
    const std::string file = FirstSendFile();
    if (file.empty()) {
      context_.progress.AddStep("送信添付ファイルなし");
      return 0;
    }
    MailError error;
    auto sender = OpenMailSender(settings_.sendUrl, settings_.password, error);
    if (!sender || !sender->SignOn(error)) return StepFailed(error);
    context_.progress.AddStep("ログオン");
    sender->Compose(SenderAddress(settings_.profileName), MailSubject(context_.clock()), BodyBytes());
    context_.progress.AddStep("メッセージを作成");
    sender->SetRecipient(request_.partnerAddress);
    context_.progress.AddStep("Pi_Rec.Pi_相手先メールアドレス");
    context_.progress.AddStep(request_.partnerAddress);  // the recipient as resolved
    context_.progress.AddStep("受信者オブジェクトの作成");
    if (!sender->Attach(context_.state.paths.ediOutFil + "/" + file, error)) return StepFailed(error);
    context_.progress.AddStep("添付ファイル作成");
    if (!sender->Send(error)) return StepFailed(error);
    context_.progress.AddStep("送信");
    if (!sender->SignOff(error)) return StepFailed(error);
    context_.progress.AddStep("ログオフ");
    return 0;
  }

 private:
  // A step shows its error and the job shows it again.
  int StepFailed(const MailError& error) {
    context_.progress.ShowError(ErrorText(error));
    return JobFailed(error);
  }
  int JobFailed(const MailError& error) {
    context_.progress.ShowError(ErrorText(error));
    return 99;
  }

  std::string BaseName(const char* kind) const {
    return Serial(request_.serialNo) + kind + PadCentre(request_.centreCode);
  }

  std::string StateFolder() const { return context_.state.settingsFolder + "/mail-state"; }

  // Writes the attachments under the received names; on a failure removes
  // what it wrote, so the inbound folder is as it was.
  bool Store(const std::vector<const UnreadMail*>& mails, MailError& error) const {
    if (mails.empty()) return true;
    const std::string folder = context_.state.paths.ediInFil + "/";
    std::vector<std::pair<fs::path, std::string>> files;
    if (request_.dataFormat == "C") {
      std::string cii;
      for (const auto* mail : mails) cii += mail->attachment;
      files.emplace_back(folder + BaseName("_RCV_") + ".CII", std::move(cii));
    } else {
      for (size_t n = 1; n <= mails.size(); ++n) {
        char suffix[24] = "";
        if (n >= 2) std::snprintf(suffix, sizeof suffix, "%04zu", n);
        files.emplace_back(folder + BaseName("_RCV_") + suffix + ".XML", mails[n - 1]->attachment);
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
    const std::string pattern =
        BaseName("_SND_") + (request_.dataFormat == "C" ? std::string(".CII") : std::string("([0-9]{4}).XML"));
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
  MailSettings settings_;
};

}  // namespace

void StderrMailProgress::AddStep(std::string_view text) { std::cerr << "mail: " << text << "\n"; }
void StderrMailProgress::ShowError(std::string_view text) { std::cerr << "mail: " << text << "\n"; }

std::string CurrentMailTime() {
  std::time_t t = std::time(nullptr);
  std::tm local{};
  localtime_r(&t, &local);
  char buffer[32];
  std::strftime(buffer, sizeof buffer, "%Y/%m/%d %H:%M:%S", &local);
  return buffer;
}

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

int RunMailTransfer(MailTransferRequest& request, const MailContext& context) {
  context.progress.Open();
  int status = 99;
  if (ValidRequest(request)) {
    context.progress.AddStep("パラメータチェック");
    MailJob job(request, context);
    status = request.direction == "S" ? job.Send() : job.Receive();
  }
  context.progress.Close();
  request.result = status == 0 ? "0000" : "9999";
  return status == 0 ? 0 : 9;
}

}  // namespace edi
