#include "jobs/conversion.h"

#include <algorithm>

#include "base/text.h"
#include "cii/local_converter.h"
#include "cii/xml_converter.h"
#include "jobs/history.h"
#include "jobs/transfer_journal.h"

namespace edi {
namespace fs = std::filesystem;
namespace {

std::vector<fs::path> MatchingFiles(const fs::path& folder, const std::string& prefix) {
  std::vector<fs::path> files;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    const std::string name = entry.path().filename().string();
    if (entry.is_regular_file(ec) && name.size() >= prefix.size() + 4 &&
        EqualsIgnoreAsciiCase(name.substr(0, prefix.size()), prefix) && EndsWithIgnoreAsciiCase(name, ".XML")) {
      files.push_back(entry.path());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

bool SameFolder(const fs::path& a, const fs::path& b) {
  std::error_code ec;
  return fs::equivalent(a, b, ec);
}

// The outcome of one converter run on `input`.
Outcome ConverterOutcome(const std::string& code, const std::string& what, const std::string& input) {
  if (code == kResultOk) return Outcome::Success();
  return Outcome::Failure(kResultFailed, code,
                          what + " of " + input + " failed with " + code + " (" +
                              std::string(cii::DescribeConverterCode(static_cast<int>(LeadingNumber(code)))) +
                              "); the converter's lines are above in ERR.LOG");
}

// The close record of a conversion step: its outcome's codes and the header
// of the last message group the converter worked on.
RowCloseRecord ConversionClose(TransferNo number, int16_t branch, const Outcome& converted,
                               const cii::ConverterState& state) {
  RowCloseRecord close;
  close.transferNo = number;
  close.branchNo = branch;
  close.SetCodes(converted);
  close.bpid = state.groupBpid;
  close.tradeInfoKind = state.groupInfoCode;
  close.storageMode = std::string(1, state.StorageMode());
  return close;
}

// One step row around one converter run; the first failure of the step.
template <typename StartStep, typename Convert>
Outcome ConversionStep(const Transfer& transfer, const JobContext& context, const std::string& input,
                       StartStep startStep, Convert convert) {
  StepStartRecord step{transfer.number, "R", transfer.centre.partnerKind, "", transfer.centreCode, 0};
  const Outcome started = startStep(context.db, input, step, context.clock);
  if (!started.ok()) return started;  // no row of this step: nothing to close
  const Outcome converted = convert();
  RowCloseRecord close = ConversionClose(transfer.number, step.branchNo, converted, context.converters);
  return FirstFailure(converted, CloseHistoryRowWithFile(context.db, input, close, context.clock));
}

Outcome ConvertXmlFiles(const Transfer& transfer, const JobContext& context) {
  const std::string ciiFile = transfer.InboundPath(TransferFile::kReceivedCii);
  const auto xmlFiles = ReceivedXmlFiles(transfer);
  if (xmlFiles.empty()) {
    return Outcome::Failure(kResultFailed, kResultNoXmlFile,
                            "no received XML file " + transfer.FileName(TransferFile::kReceivedStem) + "*.XML in " +
                                transfer.folders.ediInFil +
                                (transfer.centre.ReceivePath().empty() ? "" : " or " + transfer.centre.ReceivePath()));
  }
  Outcome outcome;
  for (const auto& file : xmlFiles) {
    const std::string input = file.string();
    outcome = FirstFailure(outcome, ConversionStep(transfer, context, input, StartCiiXmlStep, [&] {
      std::string code;
      cii::ConvertCiiXmlFile(context.converters, context.db, input, ciiFile, transfer.number, code);
      return ConverterOutcome(code, "the XML to CII conversion", input);
    }));
  }
  return outcome;
}

// Tells the converters' file outputs to the transfer's journal while it lives.
class JournaledOutputs {
 public:
  JournaledOutputs(const Transfer& transfer, const JobContext& context)
      : journal_(context.db, transfer.number), state_(context.converters) {
    state_.outputJournal = &journal_;
  }
  ~JournaledOutputs() { state_.outputJournal = nullptr; }

 private:
  TransferOutputJournal journal_;
  cii::ConverterState& state_;
};

}  // namespace

std::vector<fs::path> ReceivedXmlFiles(const Transfer& transfer) {
  const std::string prefix = transfer.FileName(TransferFile::kReceivedStem);
  const std::string& inbound = transfer.folders.ediInFil;
  const std::string receiveFolder = transfer.centre.ReceivePath();
  std::vector<fs::path> files = MatchingFiles(inbound, prefix);
  std::error_code ec;
  if (!receiveFolder.empty() && fs::is_directory(receiveFolder, ec) && !SameFolder(receiveFolder, inbound)) {
    for (const auto& file : MatchingFiles(receiveFolder, prefix)) files.push_back(file);
  }
  return files;
}

Outcome ConvertReceivedFiles(const Transfer& transfer, const JobContext& context) {
  if (!transfer.centreLookup.ok()) return Outcome::Failure(kResultFailed, kResultOk, transfer.centreLookup.reason);
  const JournaledOutputs journaled(transfer, context);
  if (transfer.centre.dataFormat == "X") {
    const Outcome xml = ConvertXmlFiles(transfer, context);
    if (!xml.ok()) return xml;
  }
  const std::string ciiFile = transfer.InboundPath(TransferFile::kReceivedCii);
  std::error_code ec;
  if (!fs::exists(ciiFile, ec)) {
    // The transport brought nothing (mail found no message): nothing to convert.
    context.converters.errLog.Write(0, "--" + TransferDigits(transfer.number) + " nothing received: " + ciiFile);
    return Outcome::Success();
  }
  return ConversionStep(transfer, context, ciiFile, StartLocalFormatStep, [&] {
    const std::string code = cii::ConvertLocal(context.converters, context.db, transfer.number,
                                               cii::LocalDirection::kCiiToLocal, ciiFile,
                                               transfer.InboundPath(TransferFile::kLocal));
    return ConverterOutcome(code, "the CII to local conversion", ciiFile);
  });
}

}  // namespace edi
