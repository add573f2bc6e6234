// The backup of a finished transfer: its files of the inbound folder copied
// to the backup folder OLD_FILE.
#pragma once

#include "base/outcome.h"
#include "jobs/transfer.h"

namespace edi {

// Copies every regular file of EDIINFIL whose name begins with the
// transfer's 8 digits and "_" to OLD_FILE, replacing copies of the same
// name; links are not followed, and the files stay where they are. A copy that fails does not stop the others; the outcome
// then fails ("9999") naming every file that was not backed up and why.
Outcome BackUpTransferFiles(const Transfer& transfer);

}  // namespace edi
