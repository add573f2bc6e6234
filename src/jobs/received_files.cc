#include "jobs/received_files.h"

#include <algorithm>

#include "base/files.h"
#include "base/text.h"
#include "db/null_value.h"
#include "cii/local_converter.h"
#include "cii/xml_converter.h"
#include "jobs/control_master.h"
#include "jobs/result_codes.h"
#include "jobs/transfer_names.h"

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

// The close record of a conversion step: the converter's result and the
// header of the last message group it converted.
void FillConversionClose(RowCloseRecord& close, const std::string& converterResult, const cii::ConverterState& state) {
  close.endCode = converterResult == kResultOk ? kResultOk : kResultFailed;
  close.detailCode = converterResult;
  close.bpid = state.groupBpid;
  close.tradeInfoKind = state.groupInfoCode;
  close.storageMode = std::string(1, state.StorageMode());
}

}  // namespace

std::vector<fs::path> ReceivedXmlFiles(long long transferNo, const std::string& centreCode, const std::string& inbound,
                                       const std::string& receiveFolder) {
  const std::string prefix = ReceivedBaseName(transferNo, centreCode);
  std::vector<fs::path> files = MatchingFiles(inbound, prefix);
  std::error_code ec;
  if (!receiveFolder.empty() && fs::is_directory(receiveFolder, ec) && !SameFolder(receiveFolder, inbound)) {
    for (const auto& file : MatchingFiles(receiveFolder, prefix)) files.push_back(file);
  }
  return files;
}

void ConvertReceivedFiles(const std::string& centreCode, long long transferNo, std::string& result,
                          const JobContext& context) {
  result = kResultOk;
  ResultSet centre;
  if (!context.db.OpenReadOnlyResultset("SELECT *  FROM FL1903EDI制御マスタ WHERE センターコード = :1 ORDER BY センターコード ",
                                        {centreCode}, centre) ||
      centre.AtEnd()) {
    result = kResultFailed;
    return;
  }
  const std::string receiveFolder = NullToTrimmed(centre.Get("NTS受信ファイルパス"), "");
  const std::string partnerKind = NullToDefault(centre.Get("相手先種別"), "");
  const std::string& inbound = context.state.paths.ediInFil;
  const std::string ciiFile = inbound + ReceivedBaseName(transferNo, centreCode) + ".CII";
  RowCloseRecord close;
  close.transferNo = transferNo;
  if (NullToDefault(centre.Get("送受信データ形式"), "") == "X") {
    const auto xmlFiles = ReceivedXmlFiles(transferNo, centreCode, inbound, receiveFolder);
    if (xmlFiles.empty()) result = kResultNoXmlFile;
    for (const auto& file : xmlFiles) {
      StepStartRecord step{transferNo, "R", partnerKind, "", centreCode, 0, ""};
      StartCiiXmlStep(context.db, file.string(), step, context.clock);
      if (step.result != kResultOk) {
        result = step.result;  // no row of this step: nothing to close
        continue;
      }
      std::string converted;
      cii::ConvertCiiXmlFile(context.converters, context.db, file.string(), ciiFile, transferNo, converted);
      close.branchNo = step.branchNo;
      FillConversionClose(close, converted, context.converters);
      CloseHistoryRowWithFile(context.db, file.string(), close, context.clock);
      if (converted != kResultOk || close.result != kResultOk) result = kResultFailed;
    }
    if (result != kResultOk) {
      result = kResultFailed;
      return;
    }
  }
  std::error_code ec;
  if (!fs::exists(ciiFile, ec)) {
    // The transport brought nothing (mail found no message): nothing to convert.
    context.converters.errLog.Write(0, "--" + TransferDigits(transferNo) + " nothing received: " + ciiFile);
    return;
  }
  StepStartRecord step{transferNo, "R", partnerKind, "", centreCode, 0, ""};
  StartLocalFormatStep(context.db, ciiFile, step, context.clock);
  if (step.result != kResultOk) {
    result = kResultFailed;
    return;
  }
  close.branchNo = step.branchNo;
  const std::string converted = cii::ConvertLocal(context.converters, context.db, transferNo,
                                                  cii::LocalDirection::kCiiToLocal, ciiFile,
                                                  inbound + LocalBaseName(transferNo, centreCode) + ".LOC");
  FillConversionClose(close, converted, context.converters);
  CloseHistoryRowWithFile(context.db, ciiFile, close, context.clock);
  if (converted != kResultOk || close.result != kResultOk) result = kResultFailed;
}

int BackUpTransferFiles(long long transferNo, int flag, const ProgramState& state) {
  const std::string folder = flag == 0 ? state.paths.ediInFil : state.paths.ediOutFil;
  const std::string prefix = TransferDigits(transferNo);
  int copied = 0;
  for (const auto& file : ListMatching(folder, prefix + "*")) {
    std::string why;
    if (CopyFileAtomically(file, state.paths.oldFile + file.filename().string(), why)) ++copied;
  }
  return copied;
}

}  // namespace edi
