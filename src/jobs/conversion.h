// What the run loop does with a transfer's received files: XML documents
// into the received CII file, the CII file into local-format files, each
// conversion a step row of the history.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "base/outcome.h"
#include "jobs/job_context.h"
#include "jobs/transfer.h"

namespace edi {

// The received XML files of a transfer: in EDIINFIL, then in the centre's
// receive folder when that names another existing folder, each folder in
// name order. A name matches when it is the transfer's received stem + any
// text + ".XML", ignoring case.
std::vector<std::filesystem::path> ReceivedXmlFiles(const Transfer& transfer);

// Converts the transfer's received files. For data format "X" each XML file
// is one step row ("33"/"34"); no XML file at all is "7200", returned as
// "9999". The received CII file then goes through the local-format converter
// (a "31"/"32" row). A CII file that does not exist (nothing was received) is
// no conversion: success, no row, a line in ERR.LOG. A failure is "9999"
// with the converter's code as detail and the file and the code's meaning as
// reason.
Outcome ConvertReceivedFiles(const Transfer& transfer, const JobContext& context);

}  // namespace edi
