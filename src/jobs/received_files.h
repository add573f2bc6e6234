// What the run loop does with a transfer's received files: XML documents
// into the received CII file, the CII file into local-format files, each
// conversion a step row of the history; and the backup of the transfer's
// files.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "jobs/job_context.h"

namespace edi {

// The received XML files of a transfer: in EDIINFIL, then in the centre's
// receive folder when that names another existing folder, each folder in
// name order. A name matches when it is 8 digits + "_RCV_" + PadCentre +
// any text + ".XML", ignoring case.
std::vector<std::filesystem::path> ReceivedXmlFiles(long long transferNo, const std::string& centreCode,
                                                    const std::string& inbound, const std::string& receiveFolder);

// Converts the transfer's received files. `result` is "0000" or "9999".
// For data format "X" each XML file is one step row ("33"/"34"); no XML file
// at all is "7200", returned as "9999". The received CII file then goes
// through the local-format converter (a "31"/"32" row). A CII file that does
// not exist (nothing was received) is no conversion: "0000", no row, a line
// in ERR.LOG.
void ConvertReceivedFiles(const std::string& centreCode, long long transferNo, std::string& result,
                          const JobContext& context);

// Copies every file of EDIINFIL (flag 0) or EDIOUTFIL (any other flag) whose
// name begins with the transfer's 8 digits to OLD_FILE, replacing copies of
// the same name. The files stay where they are. Returns the number copied.
int BackUpTransferFiles(long long transferNo, int flag, const ProgramState& state);

}  // namespace edi
