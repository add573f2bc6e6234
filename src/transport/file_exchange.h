// The operator file exchange of centres whose transfer method is "W": the
// operator picks the received file in an open dialog and the station moves
// it into the inbound folder under the transfer's name; for a send, the
// outbound file is copied to a place the operator names in a save dialog.
#pragma once

#include <string>

#include "base/outcome.h"
#include "base/transfer_names.h"
#include "startup/program_state.h"
#include "transport/receipt_log.h"

namespace edi {

struct FileExchangeRequest {
  std::string centreCode;  // センターコード
  TransferNo transferNo = 0;  // 通番
  std::string direction;   // "R" receive, "S" send (also "Ｒ", "r", "ｒ", "Ｓ", "s", "ｓ")
  std::string dataFormat;  // "C" / "X", also lower case and full width
  std::string path;        // the default file: folder + "/" + file name
  std::string programId;   // the calling program's ID
};

// The platform's file dialogs. The window shows real ones; headless
// programs take the configured path unchanged.
class FileDialogs {
 public:
  virtual ~FileDialogs() = default;
  // The open dialog, starting in `initialFolder` with `fileName` preset (the
  // filter "全てのﾌｧｲﾙ(*.*)"). True when the operator picked an existing file:
  // `path` is then its full path. On cancel both texts are "".
  virtual bool ChooseOpenFile(const std::string& initialFolder, std::string& path, std::string& fileName) = 0;
  // The save dialog, asking before it overwrites; the same contract.
  virtual bool ChooseSaveFile(const std::string& initialFolder, std::string& path, std::string& fileName) = 0;
};

// Dialogs that confirm at once with the preset folder and file.
class ConfiguredPathDialogs : public FileDialogs {
 public:
  bool ChooseOpenFile(const std::string& initialFolder, std::string& path, std::string& fileName) override;
  bool ChooseSaveFile(const std::string& initialFolder, std::string& path, std::string& fileName) override;
};

// "CII", "XML" or "Err" for a data format (trimmed; "C", "c", "Ｃ", "ｃ" and
// "X", "x", "Ｘ", "ｘ").
std::string DataFormatExtension(const std::string& dataFormat);

// Moves `source` onto `destination`: the copy is written under a temporary
// name in the destination's folder and renamed into place, and the source
// is deleted only when the destination is complete and has the source's
// size. False with `why` when there is no such source or the copy or the
// delete failed (the destination is then as it was).
bool MoveFile(const std::string& source, const std::string& destination, std::string& why);

// Runs the exchange. Program IDs "M470210" and "M470310" show no dialog and
// use the path unchanged. A received file is recorded in `receipts`. A
// failure is "5100" with the detail "9999"; its reason says what failed
// ("cancelled by the operator", the file that could not be moved and why, a
// data format or direction the exchange does not know).
Outcome RunFileExchange(FileExchangeRequest& request, const ProgramState& state, FileDialogs& dialogs,
                        ReceiptLog& receipts);

}  // namespace edi
