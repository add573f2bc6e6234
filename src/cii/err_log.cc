#include "cii/err_log.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>

namespace edi::cii {

std::string FourDigits(int code) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%04d", code);
  return buffer;
}

std::string_view DescribeConverterCode(int code) {
  switch (code) {
    case 0: return "success";
    case kErrNoFormatInfo: return "no FL1902フォーマット情報マスタ row (local to CII: no FL1916メッセージグループ情報マスタ row)";
    case kErrNoFormatInfoLocal: return "local to CII: no FL1902フォーマット情報マスタ row";
    case kErrNoCiiRows: return "no 'E' rows in FL1903レコードフォーマット情報マスタ";
    case kErrNoLocalRows: return "no 'L' rows in FL1903レコードフォーマット情報マスタ";
    case kErrMultiNo: return "a multi-detail number with no marker form";
    case kErrTruncated: return "the CII file ends inside a header, trailer, message or group";
    case kErrBlockId: return "an unknown block identifier";
    case kErrLengthPrefix: return "an unknown element length prefix";
    case kErrUnknownTag: return "an element whose tag is not in the format at its level";
    case kErrMarkerFD: return "0xFD in one-byte tag mode";
    case kErrLengthMismatch: return "長さ違い: a message whose length differs from its header";
    case kErrSpecialByte: return "an unknown special byte";
    case kErrZeroLength: return "an element of length 0";
    case kErrStorageMode: return "a storage mode other than \"M\", space or \"S\"";
    case kErrGroupMarker: return "a group marker with no group row, or 0xFB/0xFC outside a group";
    case kErrRepetitions: return "more repetitions than the local record holds";
    case kErrNumberOverflow: return "a number that does not fit its field, or is not a number";
    case kErrDatabase: return "a format table could not be read";
    case kErrAttributePair: return "an attribute pair without a conversion";
    case kErrFile: return "a file could not be opened, read or written";
    case kErrXmlParse: return "an XML document that does not parse";
    case kErrNoGroupRow: return "an XML element or group without format row";
    case kErrNoGroupHeader: return "a message before any group header";
    case kErrHexText: return "a \"B\" text that is not hexadecimal pairs";
    case kErrUnmappable: return "a character outside Windows-31J, or a broken one in a double-byte field (replaced)";
    case kErrCharCode: return "an unknown 16-bit character code";
    case kErrNotANumber: return "a numeric or date text in XML that is not a number";
    case kErrOpenGroup: return "the end of a message inside an open group";
    case kErrLineTooLong: return "a local line longer than its key and record";
    case kErrTrailerCount: return "a trailer count that matches neither the group nor the file";
    case kErrTooLong: return "a length, count or message number too large for its field";
    case kErrItemNumber: return "an item number 61440–65535 or above 524287, which no tag can carry";
    case kErrNotCii: return "not a CII file: the first block is not a group header";
    case kErrTooMuchDamage: return "too much damage: 100 reports in one file";
    case kErrRootName: return "a BPID or category that cannot form an XML element name";
    case kErrMode: return "a converter mode other than \"1\" or \"2\"";
    default: return "";
  }
}

void ErrLog::Write(int code, std::string_view message) {
  if (inMemory_) {
    lines_.append(FourDigits(code)).append(message).append("\r\n");
    return;
  }
  std::ofstream log(path_, std::ios::binary | std::ios::app);
  log << FourDigits(code) << message << "\r\n";
  log.close();
  if (!log && !reported_) {
    reported_ = true;
    std::cerr << "ERR.LOG cannot be written: " << path_.string() << ": " << std::strerror(errno)
              << " (lost line: " << FourDigits(code) << message << ")\n";
  }
}

bool ConversionResult::Stop(int code, std::string_view message) {
  log_.Write(code, message);
  if (code_ == 0) code_ = code;
  return false;
}

bool ConversionResult::Loaded(LoadStatus status, int notFoundCode, const Database& db) {
  if (status == LoadStatus::kFound) return true;
  if (status == LoadStatus::kNotFound) return Stop(notFoundCode);
  return Stop(kErrDatabase, " " + db.LastError());
}

}  // namespace edi::cii
