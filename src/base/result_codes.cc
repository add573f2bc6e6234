#include "base/result_codes.h"

namespace edi {
namespace {

// The one table of what the station's codes mean, in both languages.
struct Meaning {
  std::string_view result;  // the end code
  std::string_view detail;  // "" for the end code's own meaning
  std::string_view english;
  std::string_view japanese;
};

constexpr Meaning kMeanings[] = {
    {kResultOk, "", "success", "正常終了"},
    {kResultFailed, "", "failed (history row, conversion or registration)", "異常（履歴・変換・登録）"},
    {kResultFailed, kDetailUnlistedCategory, "a local file whose category JKBN_K_J does not list",
     "JKBN_K_Jにない情報区分のローカルファイル"},
    {kResultFailed, kDetailNoStatusLine, "the translator gave no status line for the file",
     "トランスレータのステータスにファイルの行がない"},
    {kResultTranslator, "", "the translator failed", "トランスレータ異常"},
    {kResultTranslator, kDetailNotStarted, "the translator could not be started", "トランスレータを起動できない"},
    {kResultTranslator, kDetailNoStatusFile, "the translator left no status file",
     "トランスレータがステータスファイルを残さない"},
    {kResultTranslator, kDetailNoCommandFile, "the translator's command file could not be written",
     "トランスレータのコマンドファイルを書けない"},
    {kResultTranslator, kDetailTimedOut, "the translator ran past its time limit and was ended",
     "トランスレータが制限時間を超えたため終了させた"},
    {kResultNts, "", "the TCP transfer failed", "TCP転送異常"},
    {kResultNts, kDetailNotStarted, "the TCP package's program could not be started",
     "TCPパッケージのプログラムを起動できない"},
    {kResultNts, kResultOk, "the TCP package left no usable status, log or file",
     "TCPパッケージのステータス・ログ・ファイルが使えない"},
    {kResultMailOrExchange, "", "the mail transfer or the file exchange failed", "メール送受信またはファイル交換の異常"},
    {kResultJx, "", "the JX transfer failed", "JX手順の転送異常"},
    {kResultJx, kDetailJxSignOn, "sign-on refused, or the server's certificate not trusted",
     "サインオン拒否またはサーバ証明書を信頼できない"},
    {kResultJx, kDetailJxFault, "the server answered with a SOAP fault", "サーバがSOAPフォルトを返した"},
    {kResultJx, kDetailJxConnection, "no connection, or the server silent past TIMEOUT",
     "接続できない、またはサーバが制限時間を超えて無応答"},
    {kResultJx, kDetailJxBadResponse, "a response that is not the expected SOAP (or an unsupported compression)",
     "想定外の応答（SOAP・base64・未対応の圧縮）"},
    {kResultJx, kDetailJxConfirm, "the receipt of a document could not be confirmed", "受信確認（ConfirmDocument）の失敗"},
    {kResultJx, kDetailJxFile, "a received document could not be stored", "受信文書を格納できない"},
    {kResultJx, kDetailJxSetUp, "the centre's [JX:code] settings are wrong: nothing was sent",
     "センターの[JX:コード]設定の誤り（送信なし）"},
    {kResultNoReceivePath, "", "a TCP centre without receive file path", "TCPセンターの受信ファイルパスがない"},
    {kResultBadCentreCode, "", "a centre code that cannot be part of a file name", "ファイル名にできないセンターコード"},
    {kResultFilesExist, "", "files of this transfer number exist already", "この通番のファイルが既にある"},
    {kResultNoXmlFile, "", "no received XML file", "受信XMLファイルがない"},
    {kResultNoCentre, "", "the centre is not in FL1903EDI制御マスタ", "FL1903EDI制御マスタにセンターがない"},
    {kResultNoCompanies, "", "the centre has no user company in FL1915センタ利用企業マスタ",
     "FL1915センタ利用企業マスタに利用企業がない"},
    {kResultNoCompanies, kDetailNoCompany, "no user company", "利用企業なし"},
    {kResultInterrupted, "", "interrupted: the run was ended and its transfer recovered", "中断（次の実行で回復）"},
    {kResultInterrupted, kDetailInReceive, "while receiving", "受信中に中断"},
    {kResultInterrupted, kDetailInConversion, "while converting", "変換中に中断"},
    {kResultInterrupted, kDetailInRegistration, "while registering", "登録中に中断"},
    {kResultInterrupted, kDetailInBackup, "while backing up", "バックアップ中に中断"},
    {kResultRegistrationUnknown, "", "interrupted while the translator ran: the registration's outcome is unknown",
     "トランスレータ実行中に中断：登録結果不明"},
    {kResultBackupFailed, "", "the transfer's files could not be backed up", "バックアップ異常"},
    {kResultDuplicate, "", "everything received was received and registered before: not converted or registered",
     "受信データはすべて登録済みの重複：変換・登録しない"},
};

const Meaning* Find(std::string_view result, std::string_view detail) {
  for (const Meaning& meaning : kMeanings) {
    if (meaning.result == result && meaning.detail == detail) return &meaning;
  }
  return nullptr;
}

}  // namespace

std::string_view DescribeResultCode(std::string_view code, Language language) {
  const Meaning* meaning = Find(code, "");
  return meaning == nullptr ? "" : InLanguage(language, meaning->english, meaning->japanese);
}

std::string_view DescribeDetailCode(std::string_view result, std::string_view detail, Language language) {
  if (const Meaning* meaning = Find(result, detail); meaning != nullptr && !detail.empty()) {
    return InLanguage(language, meaning->english, meaning->japanese);
  }
  // Any other detail of 5001 is the status the package reported.
  if (result == kResultNts && !detail.empty()) {
    return InLanguage(language, "the TCP package reported this status", "TCPパッケージが返したステータス");
  }
  return "";
}

}  // namespace edi
