#include "jobs/registration_job.h"

#include <algorithm>
#include <filesystem>
#include <set>

#include "base/ansi_codec.h"
#include "base/files.h"
#include "base/text.h"
#include "jobs/history.h"

namespace edi {
namespace fs = std::filesystem;
namespace {

// `count` characters of UTF-8 text from the 0-based character `start`.
std::string Characters(std::string_view text, size_t start, size_t count) {
  const std::string_view rest = text.substr(Utf8Prefix(text, start).size());
  return std::string(Utf8Prefix(rest, count));
}

std::string FourDigitCode(const std::string& code) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%04lld", LeadingNumber(code) % 10000);
  return digits;
}

std::vector<std::string> StatusLines(const fs::path& file) {
  std::string bytes;
  ReadWholeFile(file, bytes);
  const std::string text = AnsiToUtf8(bytes);
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

// The categories of the transfer's local files that JKBN_K_J does not list,
// with the files, in name order.
std::vector<std::pair<std::string, std::string>> UnlistedLocalFiles(const Transfer& transfer) {
  const std::string prefix = transfer.FileName(TransferFile::kLocal);
  const std::string stem = prefix.substr(0, prefix.size() - 4);  // without ".LOC"
  const std::string& inbound = transfer.folders.ediInFil;
  const auto& kinds = transfer.settings.job.dataKinds;
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(inbound, ec)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  std::vector<std::pair<std::string, std::string>> unlisted;
  for (const auto& name : names) {
    if (name.size() < stem.size() + 4 || name.compare(0, stem.size(), stem) != 0 ||
        !EndsWithIgnoreAsciiCase(name, ".LOC")) {
      continue;
    }
    const std::string category = name.substr(stem.size(), name.size() - stem.size() - 4);
    const bool listed = std::any_of(kinds.begin(), kinds.end(),
                                    [&](const std::string& kind) { return TrimBlanks(kind) == category; });
    if (!listed) unlisted.emplace_back(category, inbound + name);
  }
  return unlisted;
}

// The registration's step rows and the close record that ends up on branch 0.
class Registration {
 public:
  Registration(const Transfer& transfer, const JobContext& context) : transfer_(transfer), context_(context) {
    close_.transferNo = transfer.number;
  }

  Outcome Run() {
    if (!transfer_.companiesLookup.ok()) return CloseTransfer(transfer_.companiesLookup);
    const Outcome translated = Translate();
    if (!translated.ok()) return CloseTransfer(translated);
    return CloseTransfer(Record());
  }

  // The rows of the status file and of the local files it does not cover.
  Outcome Record() {
    if (!transfer_.companiesLookup.ok()) return transfer_.companiesLookup;
    std::set<std::string> kinds;
    const Outcome registered = RecordStatusFile(kinds);
    return FirstFailure(FirstFailure(registered, RecordUnreportedFiles(kinds)), RecordUnlistedFiles());
  }

  std::string StatusFile() const { return transfer_.folders.mgstPath + StatusFileName(transfer_.number); }

 private:
  Outcome Translate() {
    Outcome outcome = WriteTranslatorCommandFile(transfer_, context_);
    if (outcome.ok()) outcome = RunTranslator(transfer_, context_);
    std::error_code ec;
    if (outcome.ok() && !fs::is_regular_file(StatusFile(), ec)) {
      outcome = Outcome::Failure(kResultTranslator, kDetailNoStatusFile,
                                 "the translator left no status file " + StatusFile());
    }
    return outcome;
  }

  // One "41" row per status line up to the end mark, with the line's fields
  // and its own error code; from the first failing line on, with "9999".
  Outcome RecordStatusFile(std::set<std::string>& kinds) {
    Outcome outcome;
    std::string failedCode;
    for (const auto& text : StatusLines(StatusFile())) {
      const TranslatorStatusLine line = ParseStatusLine(text);
      if (line.endMark != "1") kinds.insert(TrimBlanks(line.dataKind));
      if (line.Failed() && failedCode.empty()) {
        failedCode = FourDigitCode(line.errorCode);
        outcome = FirstFailure(outcome, Outcome::Failure(kResultFailed, failedCode,
                                                         "the translator reported error " + line.errorCode +
                                                             " for data kind " + line.dataKind + " in " + StatusFile()));
      }
      if (line.endMark == "1") break;
      FillFromLine(line);
      close_.endCode = failedCode.empty() ? kResultOk : kResultFailed;
      close_.detailCode = FourDigitCode(line.errorCode);
      outcome = FirstFailure(outcome, RecordStep());
    }
    return outcome;
  }

  void FillFromLine(const TranslatorStatusLine& line) {
    close_.partnerCompanyCode = transfer_.companies.codes.front();
    close_.tradeInfoKind = line.dataKind;
    close_.inputRecords = std::stoll(line.inputCount);
    close_.outputRecords = std::stoll(line.outputCount);
    close_.fileName = transfer_.InboundPath(TransferFile::kLocal, 1, line.dataKind);
  }

  // Every local file handed to the translator needs its status line: one
  // without was not registered.
  Outcome RecordUnreportedFiles(const std::set<std::string>& reported) {
    Outcome outcome;
    for (const auto& kind : transfer_.settings.job.dataKinds) {
      const std::string file = transfer_.InboundPath(TransferFile::kLocal, 1, kind);
      std::error_code ec;
      if (reported.count(TrimBlanks(kind)) > 0 || !fs::is_regular_file(file, ec)) continue;
      const Outcome missing = Outcome::Failure(kResultFailed, kDetailNoStatusLine,
                                               "the translator's status file " + StatusFile() +
                                                   " has no line for data kind " + kind + " (" + file +
                                                   "): it is taken as not registered");
      FillFailedFile(kind, file, missing);
      outcome = FirstFailure(FirstFailure(outcome, missing), RecordStep());
    }
    return outcome;
  }

  void FillFailedFile(const std::string& category, const std::string& file, const Outcome& failure) {
    close_.partnerCompanyCode = transfer_.companies.codes.front();
    close_.tradeInfoKind = category;
    close_.inputRecords = close_.outputRecords = 0;
    close_.fileName = file;
    close_.SetCodes(failure);
  }

  // A local file the command file did not name would never be registered.
  Outcome RecordUnlistedFiles() {
    Outcome outcome;
    for (const auto& [category, file] : UnlistedLocalFiles(transfer_)) {
      const Outcome unlisted = Outcome::Failure(kResultFailed, kDetailUnlistedCategory,
                                                "the local file " + file + " has category " + category +
                                                    ", which JKBN_K_J does not list: it was not registered");
      FillFailedFile(category, file, unlisted);
      outcome = FirstFailure(FirstFailure(outcome, unlisted), RecordStep());
    }
    return outcome;
  }

  // Starts one "41" row and closes it with the close record.
  Outcome RecordStep() {
    StepStartRecord step{transfer_.number, "R", "1", kKindRegistration, transfer_.centreCode, 0};
    const Outcome started = StartHistoryStep(context_.db, step, context_.clock);
    if (!started.ok()) return started;
    close_.branchNo = step.branchNo;
    return CloseHistoryRow(context_.db, close_, context_.clock);
  }

  // Closes branch 0 with the codes of the job's first failure (or those the
  // record holds from the last line).
  Outcome CloseTransfer(const Outcome& outcome) {
    if (!outcome.ok()) close_.SetCodes(outcome);
    close_.branchNo = 0;
    return FirstFailure(outcome, CloseHistoryRow(context_.db, close_, context_.clock));
  }

  const Transfer& transfer_;
  const JobContext& context_;
  RowCloseRecord close_;
};

}  // namespace

bool TranslatorStatusLine::Failed() const { return LeadingNumber(errorCode) != 0; }

TranslatorStatusLine ParseStatusLine(const std::string& line) {
  TranslatorStatusLine s;
  s.endMark = Characters(line, 0, 1);
  s.dataKind = Characters(line, 1, 4);
  s.unused = Characters(line, 5, 12);
  s.inputCount = std::to_string(LeadingNumber(Characters(line, 17, 6)));
  s.outputCount = std::to_string(LeadingNumber(Characters(line, 23, 6)));
  s.errorCode = Characters(line, 29, 2);
  return s;
}

std::string StatusFileName(TransferNo transferNo) { return "/" + TransferDigits(transferNo) + "_K_IN_STATUS.TXT"; }
std::string CommandFileName(TransferNo transferNo) { return "/EDI" + TransferDigits(transferNo) + ".INI"; }

Outcome WriteTranslatorCommandFile(const Transfer& transfer, const JobContext& context) {
  std::string text;
  for (const auto& kind : transfer.settings.job.dataKinds) {
    text += "/[EDI]" + kind + "TXT=%EDI_IN%" + transfer.FileName(TransferFile::kLocal, 1, kind) + "\r\n";
  }
  text += "/[EDI]OPERATOR=" + context.operatorCode + "\r\n";
  text += "/[EDI]STATUS_FILE=" + transfer.folders.mgstPath + StatusFileName(transfer.number) + "\r\n";
  std::string ansi, why;
  Utf8ToAnsi(text, ansi);
  if (WriteFileAtomically(transfer.settings.job.commandFolder + CommandFileName(transfer.number), ansi, why)) {
    return Outcome::Success();
  }
  return Outcome::Failure(kResultTranslator, kDetailNoCommandFile, "the translator's command file: " + why);
}

Outcome RunTranslator(const Transfer& transfer, const JobContext& context) {
  const JobSettings& job = transfer.settings.job;
  const std::string command = job.translatorCommand + " @" + job.commandFolder + CommandFileName(transfer.number);
  ProcessOptions options;
  options.timeoutSeconds = job.translatorTimeout;
  const ProcessResult run = RunShellCommand(command, options, context.pending);
  if (context.pending) context.pending();
  if (!run.started) return Outcome::Failure(kResultTranslator, kDetailNotStarted, run.why);
  if (run.timedOut) {
    return Outcome::Failure(kResultTranslator, kDetailTimedOut,
                            "the translator \"" + command + "\" ran past its time limit of " +
                                std::to_string(job.translatorTimeout) + " s ([PATH] TRANSLATOR_TIMEOUT) and was ended");
  }
  if (run.exitStatus == 126 || run.exitStatus == 127) {
    return Outcome::Failure(kResultTranslator, kDetailNotStarted,
                            "the translator could not be started: \"" + command + "\" ended with shell status " +
                                std::to_string(run.exitStatus) +
                                (run.exitStatus == 127 ? " (command not found)" : " (not executable)"));
  }
  return Outcome::Success();
}

Outcome RunRegistrationJob(const Transfer& transfer, const JobContext& context) {
  return Registration(transfer, context).Run();
}

bool HasStatusFile(const Transfer& transfer) {
  std::error_code ec;
  return fs::is_regular_file(transfer.folders.mgstPath + StatusFileName(transfer.number), ec);
}

Outcome RecordRegistrationStatus(const Transfer& transfer, const JobContext& context) {
  return Registration(transfer, context).Record();
}

}  // namespace edi
