#include "jobs/registration_job.h"

#include <filesystem>

#include "base/ansi_codec.h"
#include "base/files.h"
#include "base/text.h"
#include "jobs/control_master.h"
#include "jobs/result_codes.h"
#include "jobs/transfer_names.h"
#include "startup/settings_reader.h"

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
std::vector<std::pair<std::string, std::string>> UnlistedLocalFiles(const std::string& centreCode,
                                                                    long long transferNo,
                                                                    const std::vector<std::string>& kinds,
                                                                    const std::string& inbound) {
  const std::string prefix = LocalBaseName(transferNo, centreCode);
  std::vector<std::pair<std::string, std::string>> unlisted;
  std::error_code ec;
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(inbound, ec)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  for (const auto& name : names) {
    if (name.size() < prefix.size() + 4 || name.compare(0, prefix.size(), prefix) != 0 ||
        !EndsWithIgnoreAsciiCase(name, ".LOC")) {
      continue;
    }
    const std::string category = name.substr(prefix.size(), name.size() - prefix.size() - 4);
    const bool listed = std::any_of(kinds.begin(), kinds.end(),
                                    [&](const std::string& kind) { return TrimBlanks(kind) == category; });
    if (!listed) unlisted.emplace_back(category, inbound + name);
  }
  return unlisted;
}

// Starts one "41" row and closes it with `close`; the result of the close,
// or of the start when that failed (no row is then closed).
std::string RecordStep(const StepStartRecord& start, RowCloseRecord& close, const JobContext& context) {
  StepStartRecord step = start;
  StartHistoryStep(context.db, step, context.clock);
  if (step.result != kResultOk) return step.result;
  close.branchNo = step.branchNo;
  CloseHistoryRow(context.db, close, context.clock);
  return close.result == kResultOk ? kResultOk : close.endCode;
}

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

std::string StatusFileName(long long transferNo) { return "/" + TransferDigits(transferNo) + "_K_IN_STATUS.TXT"; }
std::string CommandFileName(long long transferNo) { return "/EDI" + TransferDigits(transferNo) + ".INI"; }

bool WriteTranslatorCommandFile(const std::string& centreCode, long long transferNo, const JobContext& context) {
  const JobPathSettings paths = ReadJobPathSettings(context.state);
  std::string text;
  for (const auto& kind : ReadDataKindCodes(context.state)) {
    text += "/[EDI]" + kind + "TXT=%EDI_IN%" + LocalBaseName(transferNo, centreCode) + kind + ".LOC\r\n";
  }
  text += "/[EDI]OPERATOR=" + context.operatorCode + "\r\n";
  text += "/[EDI]STATUS_FILE=" + context.state.paths.mgstPath + StatusFileName(transferNo) + "\r\n";
  std::string ansi, why;
  Utf8ToAnsi(text, ansi);
  return WriteFileAtomically(paths.prPath + CommandFileName(transferNo), ansi, why);
}

void RunTranslator(long long transferNo, const JobContext& context, std::string& result, std::string& detail) {
  const JobPathSettings paths = ReadJobPathSettings(context.state);
  const ProcessResult run =
      RunShellCommand(paths.mgCmdLineKr + " @" + paths.prPath + CommandFileName(transferNo), context.pending);
  if (context.pending) context.pending();
  const bool started = run.started && run.exitStatus != 126 && run.exitStatus != 127;
  result = started ? kResultOk : kResultTranslator;
  detail = started ? kResultOk : kDetailNotStarted;
}

void RunRegistrationJob(const std::string& centreCode, long long transferNo, std::string& result,
                        const JobContext& context) {
  result = kResultOk;
  RowCloseRecord close;
  close.transferNo = transferNo;
  CentreCompanies companies;
  LoadCentreCompanies(context.db, centreCode, companies, close.endCode, close.detailCode);
  std::string translatorResult = kResultOk;
  if (close.endCode == kResultOk) {
    const StepStartRecord step{transferNo, "R", "1", kKindRegistration, centreCode, 0, ""};
    std::string detail;
    if (!WriteTranslatorCommandFile(centreCode, transferNo, context)) {
      translatorResult = kResultTranslator;
      detail = kDetailNotStarted;
    } else {
      RunTranslator(transferNo, context, translatorResult, detail);
    }
    const fs::path statusFile = context.state.paths.mgstPath + StatusFileName(transferNo);
    if (translatorResult == kResultOk && !fs::exists(statusFile)) {
      translatorResult = kResultTranslator;
      detail = kDetailNoStatusFile;
    }
    if (translatorResult != kResultOk) {
      close.endCode = translatorResult;
      close.detailCode = detail;
    } else {
      const std::string inbound = ReadJobPathSettings(context.state).ediInFil;
      std::string firstFailure;
      for (const auto& text : StatusLines(statusFile)) {
        const TranslatorStatusLine line = ParseStatusLine(text);
        if (line.Failed() && firstFailure.empty()) {
          translatorResult = kResultFailed;
          firstFailure = FourDigitCode(line.errorCode);
        }
        if (line.endMark == "1") break;
        close.partnerCompanyCode = companies.codes.front();
        close.tradeInfoKind = line.dataKind;
        close.inputRecords = std::stoll(line.inputCount);
        close.outputRecords = std::stoll(line.outputCount);
        close.fileName = inbound + LocalBaseName(transferNo, centreCode) + line.dataKind + ".LOC";
        close.endCode = translatorResult;
        close.detailCode = FourDigitCode(line.errorCode);
        result = RecordStep(step, close, context);
      }
      // A local file the command file did not name would never be registered.
      for (const auto& [category, file] :
           UnlistedLocalFiles(centreCode, transferNo, ReadDataKindCodes(context.state), inbound)) {
        if (firstFailure.empty()) firstFailure = kDetailUnlistedCategory;
        translatorResult = kResultFailed;
        close.partnerCompanyCode = companies.codes.front();
        close.tradeInfoKind = category;
        close.inputRecords = close.outputRecords = 0;
        close.fileName = file;
        close.endCode = kResultFailed;
        close.detailCode = kDetailUnlistedCategory;
        RecordStep(step, close, context);
      }
      if (!firstFailure.empty()) {
        close.endCode = kResultFailed;
        close.detailCode = firstFailure;
      }
    }
  }
  close.branchNo = 0;
  CloseHistoryRow(context.db, close, context.clock);
  result = close.endCode != kResultOk ? close.endCode : close.result;
  if (LeadingNumber(translatorResult) != 0) result = translatorResult;
}

}  // namespace edi
