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

namespace {

// What the converters' codes mean, in both languages.
struct CodeMeaning {
  int code;
  std::string_view english;
  std::string_view japanese;
};

constexpr CodeMeaning kCodeMeanings[] = {
    {0, "success", "正常終了"},
    {kErrNoFormatInfo, "no FL1902フォーマット情報マスタ row (local to CII: no FL1916メッセージグループ情報マスタ row)",
     "FL1902フォーマット情報マスタの行がない（ローカル→CII：FL1916メッセージグループ情報マスタの行がない）"},
    {kErrNoFormatInfoLocal, "local to CII: no FL1902フォーマット情報マスタ row",
     "ローカル→CII：FL1902フォーマット情報マスタの行がない"},
    {kErrNoCiiRows, "no 'E' rows in FL1903レコードフォーマット情報マスタ",
     "FL1903レコードフォーマット情報マスタに'E'の行がない"},
    {kErrNoLocalRows, "no 'L' rows in FL1903レコードフォーマット情報マスタ",
     "FL1903レコードフォーマット情報マスタに'L'の行がない"},
    {kErrMultiNo, "a multi-detail number with no marker form", "マーカーにできないマルチ明細番号"},
    {kErrTruncated, "the CII file ends inside a header, trailer, message or group",
     "CIIファイルがヘッダ・トレーラ・メッセージ・グループの途中で終わる"},
    {kErrBlockId, "an unknown block identifier", "不明なブロック識別子"},
    {kErrLengthPrefix, "an unknown element length prefix", "不明なデータ長の前置き"},
    {kErrUnknownTag, "an element whose tag is not in the format at its level", "フォーマットのその階層にないタグ"},
    {kErrMarkerFD, "0xFD in one-byte tag mode", "1バイトタグモードの0xFD"},
    {kErrLengthMismatch, "長さ違い: a message whose length differs from its header", "長さ違い：メッセージ長がヘッダと異なる"},
    {kErrSpecialByte, "an unknown special byte", "不明な特殊バイト"},
    {kErrZeroLength, "an element of length 0", "長さ0のデータ項目"},
    {kErrStorageMode, "a storage mode other than \"M\", space or \"S\"", "格納モードが\"M\"・空白・\"S\"以外"},
    {kErrGroupMarker, "a group marker with no group row, or 0xFB/0xFC outside a group",
     "グループ行のないグループマーカー、またはグループ外の0xFB/0xFC"},
    {kErrRepetitions, "more repetitions than the local record holds", "ローカルレコードに入らない繰返し"},
    {kErrNumberOverflow, "a number that does not fit its field, or is not a number",
     "項目に入らない数値、または数値でない"},
    {kErrDatabase, "a format table could not be read", "フォーマットマスタを読めない"},
    {kErrAttributePair, "an attribute pair without a conversion", "変換のない属性の組合せ"},
    {kErrFile, "a file could not be opened, read or written", "ファイルを開けない・読めない・書けない"},
    {kErrXmlParse, "an XML document that does not parse", "解析できないXML文書"},
    {kErrNoGroupRow, "an XML element or group without format row", "フォーマット行のないXML要素またはグループ"},
    {kErrNoGroupHeader, "a message before any group header", "グループヘッダより前のメッセージ"},
    {kErrHexText, "a \"B\" text that is not hexadecimal pairs", "16進の組でない\"B\"項目"},
    {kErrUnmappable, "a character outside Windows-31J, or a broken one in a double-byte field (replaced)",
     "Windows-31Jにない文字、または全角項目の壊れた文字（置き換えた）"},
    {kErrCharCode, "an unknown 16-bit character code", "不明な16ビット文字コード"},
    {kErrNotANumber, "a numeric or date text in XML that is not a number", "XMLの数値・日付項目が数値でない"},
    {kErrOpenGroup, "the end of a message inside an open group", "グループの途中でメッセージが終わる"},
    {kErrLineTooLong, "a local line longer than its key and record", "キーとレコードより長いローカル行"},
    {kErrTrailerCount, "a trailer count that matches neither the group nor the file",
     "グループともファイルとも合わないトレーラ件数"},
    {kErrTooLong, "a length, count or message number too large for its field", "項目に入らない長さ・件数・メッセージ番号"},
    {kErrItemNumber, "an item number 61440–65535 or above 524287, which no tag can carry",
     "タグにできない項目番号（61440～65535、524288以上）"},
    {kErrNotCii, "not a CII file: the first block is not a group header", "CIIファイルでない：先頭がグループヘッダでない"},
    {kErrTooMuchDamage, "too much damage: 100 reports in one file", "損傷が多すぎる：1ファイルで100件"},
    {kErrRootName, "a BPID or category that cannot form an XML element name", "XML要素名にできないBPIDまたは情報区分"},
    {kErrMode, "a converter mode other than \"1\" or \"2\"", "変換モードが\"1\"・\"2\"以外"},
};

}  // namespace

std::string_view DescribeConverterCode(int code, Language language) {
  for (const CodeMeaning& meaning : kCodeMeanings) {
    if (meaning.code == code) return InLanguage(language, meaning.english, meaning.japanese);
  }
  return "";
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
