// The names of a transfer's files. Every file a transfer receives, converts,
// hands to the translator or sends carries the transfer number in eight
// digits and the centre's code in a 12-character field; this is the one place
// that spells them, so that the transports, the conversion, the registration
// and the backup always agree on a name.
#pragma once

#include <string>
#include <string_view>

namespace edi {

// The transfer number 通番, the same type in every subsystem.
using TransferNo = long long;

// 通番 in eight digits, zero-filled ("00000042").
std::string TransferDigits(TransferNo transferNo);

// The centre field of the received and sent files: the code's first 12
// characters, padded on the right with blanks to 12, every blank then "_"
// ("AB C" gives "AB_C________").
std::string PadCentre(std::string_view centreCode);

// The centre field of the local-format files and of the translator's command
// file: the code's first 12 characters, padded on the right with "_" (inner
// blanks kept: "AB C" gives "AB C________").
std::string LocalCentreField(std::string_view centreCode);

enum class TransferFile {
  kReceivedStem,  // 8 digits + "_RCV_" + PadCentre: what every received name begins with
  kReceivedCii,   // stem + ".CII"
  kReceivedXml,   // stem + ".XML" for the first document, stem + n in four digits + ".XML" for the n-th
  kLocal,         // 8 digits + "_RCV_" + LocalCentreField + category + ".LOC"
  kSendStem,      // 8 digits + "_SND_" + PadCentre
  kSendCii,       // send stem + ".CII"
};

// The name (without folder) of a file of transfer `transferNo` for
// `centreCode`. `nth` counts XML documents from 1; `category` is the
// information category of a local-format file.
std::string TransferFileName(TransferNo transferNo, std::string_view centreCode, TransferFile kind, int nth = 1,
                             std::string_view category = {});

}  // namespace edi
