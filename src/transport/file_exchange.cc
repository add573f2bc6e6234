#include "transport/file_exchange.h"

#include <cerrno>
#include <filesystem>

#include "base/files.h"
#include "base/sha256.h"
#include "base/text.h"

namespace edi {
namespace fs = std::filesystem;
namespace {

bool IsOneOf(const std::string& text, std::initializer_list<const char*> forms) {
  for (const char* form : forms) {
    if (text == form) return true;
  }
  return false;
}

bool IsReceive(const std::string& direction) { return IsOneOf(direction, {"R", "Ｒ", "r", "ｒ"}); }
bool IsSend(const std::string& direction) { return IsOneOf(direction, {"S", "Ｓ", "s", "ｓ"}); }

bool SkipsDialogs(const std::string& programId) { return programId == "M470210" || programId == "M470310"; }

std::string TransferName(const FileExchangeRequest& r, TransferFile stem, const std::string& extension) {
  return TransferFileName(r.transferNo, r.centreCode, stem) + "." + extension;
}

Outcome Failed(std::string why) { return Outcome::Failure(kResultMailOrExchange, kResultFailed, std::move(why)); }

bool Confirmed(const std::string& folder, std::string& path, std::string& fileName) {
  path = folder.empty() ? fileName : folder + "/" + fileName;
  return true;
}

}  // namespace

bool ConfiguredPathDialogs::ChooseOpenFile(const std::string& folder, std::string& path, std::string& fileName) {
  return Confirmed(folder, path, fileName);
}

bool ConfiguredPathDialogs::ChooseSaveFile(const std::string& folder, std::string& path, std::string& fileName) {
  return Confirmed(folder, path, fileName);
}

std::string DataFormatExtension(const std::string& dataFormat) {
  const std::string f = TrimBlanks(dataFormat);
  if (IsOneOf(f, {"C", "c", "Ｃ", "ｃ"})) return "CII";
  if (IsOneOf(f, {"X", "x", "Ｘ", "ｘ"})) return "XML";
  return "Err";
}

bool MoveFile(const std::string& source, const std::string& destination, std::string& why) {
  std::error_code ec;
  if (!fs::is_regular_file(source, ec)) {
    why = "no file " + source + " to take";
    return false;
  }
  const auto size = fs::file_size(source, ec);
  if (ec) {
    why = "cannot read " + source + ": " + ec.message();
    return false;
  }
  if (!CopyFileAtomically(source, destination, why)) return false;
  if (fs::file_size(destination, ec) != size || ec) {
    why = "the copy " + destination + " differs in size from " + source;
  } else if (!fs::remove(source, ec) || ec) {
    why = "cannot delete " + source + " after copying it: " + ec.message();
  } else {
    return true;
  }
  fs::remove(destination, ec);
  return false;
}

Outcome RunFileExchange(FileExchangeRequest& request, const ProgramState& state, FileDialogs& dialogs,
                        ReceiptLog& receipts) {
  const std::string extension = DataFormatExtension(request.dataFormat);
  if (extension == "Err") return Failed("the data format \"" + request.dataFormat + "\" is neither CII nor XML");
  const size_t slash = request.path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "" : request.path.substr(0, slash);
  std::string fileName = slash == std::string::npos ? request.path : request.path.substr(slash + 1);
  const bool skipDialogs = SkipsDialogs(request.programId);
  std::string chosen = skipDialogs ? request.path : folder;
  if (!skipDialogs && IsReceive(request.direction) && !dialogs.ChooseOpenFile(folder, chosen, fileName)) {
    return Failed("cancelled by the operator");
  }
  std::string why;
  if (IsReceive(request.direction)) {
    const std::string received = state.paths.ediInFil + TransferName(request, TransferFile::kReceivedStem, extension);
    if (!MoveFile(chosen, received, why)) return Failed(why);
    std::string bytes;
    if (!ReadWholeFile(received, bytes)) return Failed(WithErrno("cannot read " + received, errno));
    const Outcome recorded = receipts.Record({received, 0, static_cast<long long>(bytes.size()), Sha256Hex(bytes),
                                              fs::path(chosen).filename().string(), ""});
    return recorded.ok() ? Outcome::Success() : Failed(recorded.reason);
  }
  if (!IsSend(request.direction)) return Failed("the direction \"" + request.direction + "\" is neither R nor S");
  if (!skipDialogs) {
    // The save dialog comes back until the operator confirms a path; each
    // time it starts in the folder, after a cancel with an empty name.
    std::string name = fileName;
    while (!dialogs.ChooseSaveFile(folder, chosen, name)) name.clear();
  }
  const std::string sent = state.paths.ediOutFil + TransferName(request, TransferFile::kSendStem, extension);
  return CopyFileAtomically(sent, chosen, why) ? Outcome::Success() : Failed(why);
}

}  // namespace edi
