// The result codes of the station: four-character texts that every job,
// step and history row uses (終了コード, 詳細コード). Every code the station
// writes is spelled here.
#pragma once

#include <string_view>

#include "base/language.h"

namespace edi {

inline constexpr char kResultOk[] = "0000";
inline constexpr char kResultFailed[] = "9999";         // a history row, a conversion, a status line
inline constexpr char kResultTranslator[] = "4100";     // the translator did not start or left no status file
inline constexpr char kResultNts[] = "5001";            // the TCP package reported a status other than 0000
inline constexpr char kResultMailOrExchange[] = "5100"; // the mail transfer or the file exchange failed
inline constexpr char kResultJx[] = "5200";             // the JX transfer failed (the detail says how)
inline constexpr char kResultNoReceivePath[] = "6101";  // a "Z" centre without NTS受信ファイルパス
inline constexpr char kResultNoXmlFile[] = "7200";      // an "X" centre without received XML (becomes 9999)
inline constexpr char kResultNoCentre[] = "7002";       // no FL1903EDI制御マスタ row
inline constexpr char kResultNoCompanies[] = "7300";    // no FL1915センタ利用企業マスタ row
inline constexpr char kResultBadCentreCode[] = "6102";  // a centre code that cannot be part of a file name
inline constexpr char kResultFilesExist[] = "6103";     // files of the transfer's number exist already
inline constexpr char kResultInterrupted[] = "8000";    // the run was killed; the detail names the stage
inline constexpr char kResultRegistrationUnknown[] = "8100";  // killed while the translator ran: outcome unknown
inline constexpr char kResultBackupFailed[] = "8200";   // the transfer's files could not be backed up
inline constexpr char kResultDuplicate[] = "8300";      // everything received was received and registered before

// Detail codes, by the end code they go with.
inline constexpr char kDetailNotStarted[] = "0001";          // 4100: the translator could not be started;
                                                             // 5001: the TCP package's program could not be started
inline constexpr char kDetailNoStatusFile[] = "0002";        // 4100: the translator left no status file
inline constexpr char kDetailNoCommandFile[] = "0003";       // 4100: the translator's command file could not be written
inline constexpr char kDetailNoCompany[] = "0001";           // 7300: no user company, or the lookup failed
inline constexpr char kDetailTimedOut[] = "0004";            // 4100: the translator ran past TRANSLATOR_TIMEOUT
inline constexpr char kDetailUnlistedCategory[] = "0003";    // 9999: a local file whose category JKBN_K_J does not list
inline constexpr char kDetailNoStatusLine[] = "0100";        // 9999: a local file the status file has no line for (above the translator's own 00-99)
inline constexpr char kDetailInReceive[] = "0001";           // 8000: interrupted while receiving
inline constexpr char kDetailInConversion[] = "0002";        // 8000: while converting
inline constexpr char kDetailInRegistration[] = "0003";      // 8000: while registering (the status file was read)
inline constexpr char kDetailInBackup[] = "0004";            // 8000: while backing up
inline constexpr char kDetailJxSignOn[] = "0001";      // 5200: credentials refused or certificate not trusted
inline constexpr char kDetailJxFault[] = "0002";       // 5200: the server answered with a SOAP fault
inline constexpr char kDetailJxConnection[] = "0003";  // 5200: no connection, or the server silent past TIMEOUT
inline constexpr char kDetailJxBadResponse[] = "0004"; // 5200: not the expected SOAP, bad base64, unsupported compression
inline constexpr char kDetailJxConfirm[] = "0005";     // 5200: ConfirmDocument failed
inline constexpr char kDetailJxFile[] = "0006";        // 5200: a received document could not be stored
inline constexpr char kDetailJxSetUp[] = "0007";       // 5200: the centre's [JX:code] settings are wrong

// What a result code means, in a few words ("" for an unknown code).
std::string_view DescribeResultCode(std::string_view code, Language language = Language::kEnglish);

// What a detail code means next to its result code ("" when it says
// nothing more than the result).
std::string_view DescribeDetailCode(std::string_view result, std::string_view detail,
                                    Language language = Language::kEnglish);

}  // namespace edi
