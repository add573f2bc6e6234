// The local-format converter: between the installation's fixed-length local
// records and CII messages, driven by the format tables.
//
// Local line: a 39-byte record key (columns 6-9 information category, 16-27
// own company / sender, 28-39 partner / receiver) followed by the local
// record laid out by the 'L' rows, Windows-31J. Lines end with CR LF, CR or
// LF; a Ctrl-Z (0x1A) ends the file.
#pragma once

#include <string>
#include <string_view>

#include "base/transfer_names.h"
#include "cii/conversion_io.h"
#include "cii/converter_state.h"
#include "db/database.h"

namespace edi::cii {

enum class LocalDirection {
  kLocalToCii,  // mode "1": local lines to CII message groups
  kCiiToLocal,  // mode "2": CII messages to local lines
};

// The converter's entry. Logs "--M470540 start--" + the transfer number in
// eight digits + two spaces + the date and time, then converts. Returns
// "0000" or the four-digit code of the error that stopped the conversion;
// a failed conversion leaves its output files as they were.
std::string ConvertLocal(ConverterState& state, Database& db, TransferNo transferNo, LocalDirection direction,
                         const std::string& input, const std::string& output);

// The entry with its mode text: "1" (path1 local input, path2 CII output) or
// "2" (path1 CII input, path2 local output pattern). Any other mode logs the
// start line and fails with 0038.
void ConvertLocalCii(ConverterState& state, Database& db, TransferNo transferNo, std::string_view mode,
                     const std::string& path1, const std::string& path2, std::string& result);

// Appends one local line per CII message of `ciiPath` to a local file per
// message group, named `localPath` with the group's information category
// inserted before the first "." of its file name. Returns 0 or the stopping
// code.
int CiiToLocal(ConverterState& state, Database& db, const std::string& ciiPath, const std::string& localPath);

// The same conversion from any input to any outputs: the lines are appended
// to the outputs named LocalFileName(localPath, category), which are kept
// only when the whole conversion succeeded.
int CiiToLocal(ConverterState& state, Database& db, const ConversionInput& input, Outputs& outputs,
               const std::string& localPath);

// Appends the local lines of `localPath` to `ciiPath` as CII message groups,
// a new group at every change of the record key. Returns 0 or the stopping
// code.
int LocalToCii(ConverterState& state, Database& db, const std::string& localPath, const std::string& ciiPath);

// The same conversion from any input to any outputs: the groups are appended
// to the output `ciiPath`, which is kept only when the whole conversion
// succeeded.
int LocalToCii(ConverterState& state, Database& db, const ConversionInput& input, Outputs& outputs,
               const std::string& ciiPath);

// `path` with `category` inserted before the first "." of its file name
// (appended when the name has none).
std::string LocalFileName(const std::string& path, std::string_view category);

// The 39-byte record key of the current group header.
std::string RecordKey(const ConverterState& state);

}  // namespace edi::cii
