#include "base/result_codes.h"

namespace edi {

std::string_view DescribeResultCode(std::string_view code) {
  if (code == kResultOk) return "success";
  if (code == kResultFailed) return "failed (history row, conversion or registration)";
  if (code == kResultTranslator) return "the translator failed";
  if (code == kResultNts) return "the TCP transfer failed";
  if (code == kResultMailOrExchange) return "the mail transfer or the file exchange failed";
  if (code == kResultNoReceivePath) return "a TCP centre without receive file path";
  if (code == kResultNoXmlFile) return "no received XML file";
  if (code == kResultNoCentre) return "the centre is not in FL1903EDI制御マスタ";
  if (code == kResultNoCompanies) return "the centre has no user company in FL1915センタ利用企業マスタ";
  if (code == kResultBadCentreCode) return "a centre code that cannot be part of a file name";
  if (code == kResultFilesExist) return "files of this transfer number exist already";
  if (code == kResultInterrupted) return "interrupted: the run was ended and its transfer recovered";
  if (code == kResultRegistrationUnknown) return "interrupted while the translator ran: the registration's outcome is unknown";
  if (code == kResultBackupFailed) return "the transfer's files could not be backed up";
  return "";
}

std::string_view DescribeDetailCode(std::string_view result, std::string_view detail) {
  if (result == kResultTranslator) {
    if (detail == kDetailNotStarted) return "the translator could not be started";
    if (detail == kDetailNoStatusFile) return "the translator left no status file";
    if (detail == kDetailNoCommandFile) return "the translator's command file could not be written";
    if (detail == kDetailTimedOut) return "the translator ran past its time limit and was ended";
  }
  if (result == kResultInterrupted) {
    if (detail == kDetailInReceive) return "while receiving";
    if (detail == kDetailInConversion) return "while converting";
    if (detail == kDetailInRegistration) return "while registering";
    if (detail == kDetailInBackup) return "while backing up";
  }
  if (result == kResultNts) {
    if (detail == kDetailNotStarted) return "the TCP package's program could not be started";
    if (detail == kResultOk) return "the TCP package left no usable status, log or file";
    return "the TCP package reported this status";
  }
  if (result == kResultNoCompanies && detail == kDetailNoCompany) return "no user company";
  if (result == kResultFailed && detail == kDetailUnlistedCategory) {
    return "a local file whose category JKBN_K_J does not list";
  }
  if (result == kResultFailed && detail == kDetailNoStatusLine) return "the translator gave no status line for the file";
  return "";
}

}  // namespace edi
