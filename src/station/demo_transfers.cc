#include "station/demo_transfers.h"

#include "base/base64.h"
#include "base/files.h"
#include "base/process.h"
#include "base/result_codes.h"
#include "cii/local_converter.h"
#include "cii/xml_converter.h"

namespace edi {
namespace fs = std::filesystem;
namespace {

bool Write(const fs::path& file, const std::string& bytes, std::string& error) {
  std::string why;
  if (WriteFileAtomically(file, bytes, why)) return true;
  error = why;
  return false;
}

// The JX stand-in's folder: its test certificate authority and server
// certificate (made by the stand-in with the openssl command) and one
// document in its queue.
bool PrepareJxStandin(const fs::path& programSource, const fs::path& folder, const std::string& document,
                      std::string& error) {
  const std::string standin = (programSource / "edi-jx-standin").string();
  const ProcessResult made = RunAndWaitProgram(standin, {"init", folder.string()}, {}, [] {});
  if (!made.started || made.exitStatus != 0) {
    error = "cannot set up the JX stand-in in " + folder.string() + " (" + standin + ": " +
            (made.started ? "exit status " + std::to_string(made.exitStatus) : made.why) + ")";
    return false;
  }
  return Write(folder / "queue" / "0001-orders.xml", document, error);
}

}  // namespace

std::string DemoMail(const std::string& to, const std::string& attachmentName, const std::string& attachment) {
  return "From: orders@partner.example\r\nTo: " + to +
         "\r\nSubject: EDI orders\r\nDate: Tue, 08 Dec 2026 07:00:00 +0900\r\nMIME-Version: 1.0\r\n"
         "Content-Type: multipart/mixed; boundary=\"edi-demo\"\r\n\r\n"
         "--edi-demo\r\nContent-Type: text/plain; charset=us-ascii\r\n\r\nThe orders are attached.\r\n"
         "--edi-demo\r\nContent-Type: application/octet-stream; name=\"" + attachmentName +
         "\"\r\nContent-Disposition: attachment; filename=\"" + attachmentName +
         "\"\r\nContent-Transfer-Encoding: base64\r\n\r\n" + Base64(attachment, true) + "\r\n--edi-demo--\r\n";
}

bool PrepareDemoTransfers(Database& db, const fs::path& dir, const fs::path& programSource, std::string& error) {
  // The demo orders as CII and as XML, by the station's own converters.
  cii::ConverterState converters;
  converters.errLog = cii::ErrLog(dir / "data" / "demo-setup.log");
  const fs::path work = dir / "data";
  const std::string cii = (work / "demo-orders.CII").string(), xml = (work / "demo-orders.xml").string();
  fs::remove(cii);
  int written = 0;
  if (cii::ConvertLocal(converters, db, 0, cii::LocalDirection::kLocalToCii, (dir / "out/DEMO_ORDERS.LOC").string(),
                        cii) != kResultOk ||
      cii::ConvertCiiXml(converters, db, cii, xml, 0, true, written) != kResultOk) {
    error = "cannot convert the demo orders (see " + converters.errLog.path().string() + ")";
    return false;
  }
  std::string ciiBytes, xmlBytes;
  if (!ReadWholeFile(cii, ciiBytes) || !ReadWholeFile(xml, xmlBytes)) {
    error = "cannot read the converted demo orders";
    return false;
  }

  // DEMOZ01: partner 01 sends file 01 through the TCP package.
  const std::string nts = (dir / "nts").string();
  fs::create_directories(dir / "nts/partner");
  std::error_code ec;
  fs::copy_file(programSource / "z_tcp-standin", dir / "nts/program/z_tcp.exe", fs::copy_options::overwrite_existing, ec);
  if (ec) {
    error = "cannot install the TCP package stand-in: " + ec.message();
    return false;
  }
  const std::string standin = "[standin]\nNTS100_PATH=" + nts + "/\nSENT_DIR=" + nts +
                              "/partner\nRECEIVE_01_01=" + nts + "/recv/DEMOZ01.CII\n";
  return Write(dir / "nts/program/z_tcp-standin.ini", standin, error) &&
         // DEMOJ01: the orders as XML waiting at the JX stand-in server.
         PrepareJxStandin(programSource, dir / "jx", xmlBytes, error) &&
         Write(dir / "nts/partner/01_01", ciiBytes, error) &&
         // DEMOM01: an unread mail with the orders as XML.
         Write(dir / "mail/new/1765152000.demo1.edi-partner",
               DemoMail("DEMOM01@partner.example", "orders.xml", xmlBytes), error) &&
         // DEMOW01 and DEMOW02: files at their configured paths.
         Write(dir / "recv/DEMOW01/orders.CII", ciiBytes, error) &&
         Write(dir / "recv/DEMOW02/orders.XML", xmlBytes, error);
}

}  // namespace edi
