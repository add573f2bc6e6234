// edi-receive on the demo's JX centre against the stand-in server over TLS:
// documents stored and confirmed in order, confirmations that fail, the
// server's and the settings' failures, and a document larger than memory.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "support/command.h"
#include "support/format_fixture.h"
#include "support/jx_server.h"
#include "support/test_db.h"

namespace edi {
namespace {

namespace fs = std::filesystem;
using test::Command;
using test::CommandResult;

class JxReceiveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    station_ = test::TempDir("jx").string();
    ASSERT_EQ(Command(test::Program("edi-station") + " init " + station_ + " --demo").status, 0);
    jx_ = station_ + "/jx";
    orders_ = test::ReadFile(jx_ + "/queue/0001-orders.xml");
    ASSERT_FALSE(orders_.empty());
  }

  void Serve(const std::string& options = "--user demo --password demo-password") {
    ASSERT_TRUE(server_.Start(jx_, options)) << test::ReadFile(jx_ + "/standin.out");
    SetJx("URL", server_.url());
  }

  // Sets a key of [JX:DEMOJ01], the last section of the demo's EDI.ini.
  void SetJx(const std::string& key, const std::string& value) {
    std::string ini = test::ReadFile(station_ + "/EDI.ini");
    const std::regex line("(^|\n)" + key + "=[^\r\n]*");
    if (std::regex_search(ini, line)) {
      ini = std::regex_replace(ini, line, "$1" + key + "=" + value);
    } else {
      ini += key + "=" + value + "\r\n";
    }
    test::WriteFile(station_ + "/EDI.ini", ini);
  }

  void Switches(const std::string& json) { test::WriteFile(jx_ + "/switches.json", json); }
  void Queue(const std::string& name, const std::string& bytes) { test::WriteFile(jx_ + "/queue/" + name, bytes); }
  // The demo orders with another order number, so that no two documents
  // are alike.
  std::string Orders(int n) const {
    return std::regex_replace(orders_, std::regex("ORD0000001"), "ORD00000" + std::to_string(10 + n));
  }

  CommandResult Receive() { return Command(station_ + "/system/bin/edi-receive --centre DEMOJ01"); }

  std::string Sql(const std::string& query) {
    return Command("sqlite3 " + station_ + "/data/edi.sqlite " + test::Quoted(query)).out;
  }
  // "end/detail" of the receive row of the newest transfer.
  std::string ReceiveRow() {
    return Sql("SELECT 終了コード || '/' || 詳細コード FROM FL1102処理履歴ファイル WHERE 処理種別 = '10'"
               " ORDER BY 通番 DESC LIMIT 1");
  }

  // The operations the server was asked for, with the document confirmed.
  std::vector<std::string> Requests() {
    std::vector<std::string> operations;
    std::istringstream log(test::ReadFile(jx_ + "/requests.log"));
    const std::regex operation("\"operation\": \"(\\w+)\""), message("\"messageId\": \"([^\"]*)\"");
    for (std::string line; std::getline(log, line);) {
      std::smatch o, m;
      std::regex_search(line, o, operation);
      operations.push_back(o[1].str() + (std::regex_search(line, m, message) ? " " + m[1].str() : ""));
    }
    return operations;
  }

  bool InBackup(const std::string& name) { return fs::exists(station_ + "/old/" + name); }

  std::string station_, jx_, orders_;
  test::JxServer server_;
};

TEST_F(JxReceiveTest, DocumentsAreStoredAndConfirmedInOrderAndTheNextRunFindsNone) {
  Serve();
  Switches(R"({"namespace": "nohyphen"})");  // the spelling some servers answer with
  Queue("0002-orders.xml", Orders(2));
  CommandResult run = Receive();
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("DEMOJ01\tOK\tOK\tOK\t2\n"), std::string::npos) << run.out;
  EXPECT_EQ(test::ReadFile(station_ + "/old/00000001_RCV_DEMOJ01_____.XML"), orders_);
  EXPECT_EQ(test::ReadFile(station_ + "/old/00000001_RCV_DEMOJ01_____0002.XML"), Orders(2));
  EXPECT_EQ(Requests(), (std::vector<std::string>{"GetDocument", "ConfirmDocument 0001-orders.xml@jx-standin",
                                                  "GetDocument", "ConfirmDocument 0002-orders.xml@jx-standin",
                                                  "GetDocument"}));
  const std::string first = test::ReadFile(jx_ + "/requests.log");
  EXPECT_NE(first.find("\"From\": \"4912345000019\", \"To\": \"jx-standin\""), std::string::npos) << first;
  EXPECT_NE(first.find("jedicos-xml/client-server/GetDocument"), std::string::npos) << "sent with the hyphen";
  EXPECT_EQ(Sql("SELECT 文書ID, 送信者, ファイル名, サイズ FROM FL9101受信ファイル台帳 ORDER BY 連番"),
            "0001-orders.xml@jx-standin|4900000000001|00000001_RCV_DEMOJ01_____.XML|" +
                std::to_string(orders_.size()) + "\n0002-orders.xml@jx-standin|4900000000001|" +
                "00000001_RCV_DEMOJ01_____0002.XML|" + std::to_string(Orders(2).size()) + "\n");

  // Nothing waits: one question, a receive that succeeds, and the XML
  // centre's usual end without a file.
  run = Receive();
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(ReceiveRow(), "0000/0000\n");
  EXPECT_NE(run.err.find("9999/7200"), std::string::npos) << run.err;
  EXPECT_EQ(Requests().size(), 6u);

  // MAX_DOCUMENTS: the rest waits for the next run.
  Queue("0003-orders.xml", Orders(3));
  Queue("0004-orders.xml", Orders(4));
  SetJx("MAX_DOCUMENTS", "1");
  run = Receive();
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("MAX_DOCUMENTS (1)"), std::string::npos) << run.err;
  EXPECT_TRUE(fs::exists(jx_ + "/queue/0004-orders.xml"));
}

TEST_F(JxReceiveTest, ADocumentWhoseConfirmationFailsIsTakenBackAndComesAgain) {
  Serve();
  // The connection drops on every confirmation of a first delivery (twice:
  // libcurl sends a request again once when a reused connection died).
  Switches(R"({"drop_first_delivery": true})");
  CommandResult run = Receive();
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(ReceiveRow(), "5200/0005\n");
  EXPECT_NE(run.err.find("5200/0005"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(station_ + "/in/00000001_RCV_DEMOJ01_____.XML")) << "taken back out";
  EXPECT_FALSE(fs::exists(station_ + "/in/00000001_RCV_DEMOJ01_____0101.LOC")) << "nothing converted";
  EXPECT_EQ(test::ReadFile(station_ + "/old/UNCONFIRMED_00000001_DEMOJ01_____0001.XML"), orders_);
  EXPECT_EQ(Sql("SELECT COUNT(*) FROM FL9101受信ファイル台帳"), "0\n");
  run = Receive();
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(InBackup("00000002_RCV_DEMOJ01_____0101.LOC"));

  // The second of three fails its confirmation: the first is the
  // transfer's, the failure a warning; the second and third come again.
  Switches(R"({"confirm": "false", "confirm_only": "0002-orders.xml"})");
  for (int n = 1; n <= 3; ++n) Queue("000" + std::to_string(n) + "-orders.xml", Orders(n));
  run = Receive();
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("DEMOJ01\tOK\tOK\tOK\t2\n"), std::string::npos) << run.out;
  EXPECT_NE(run.err.find("5200/0005"), std::string::npos) << run.err;
  EXPECT_TRUE(InBackup("00000003_RCV_DEMOJ01_____0101.LOC"));
  EXPECT_FALSE(InBackup("00000003_RCV_DEMOJ01_____0002.XML"));
  EXPECT_EQ(test::ReadFile(station_ + "/old/UNCONFIRMED_00000003_DEMOJ01_____0002.XML"), Orders(2));
  EXPECT_TRUE(fs::exists(jx_ + "/queue/0002-orders.xml") && fs::exists(jx_ + "/queue/0003-orders.xml"));
  const CommandResult history = Command(station_ + "/system/bin/edi-station history " + station_ + " --transfer 3");
  EXPECT_NE(history.out.find("5200/0005"), std::string::npos) << history.out;
  EXPECT_NE(test::ReadFile(station_ + "/system/bin/ERR.LOG").find("5200/0005"), std::string::npos);
}

TEST_F(JxReceiveTest, SignOnAndTrustFailuresAreDetailOne) {
  Serve();
  SetJx("PASSWORD", "wrong");
  CommandResult run = Receive();
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(ReceiveRow(), "5200/0001\n");
  EXPECT_NE(run.err.find("HTTP 401"), std::string::npos) << run.err;

  // A server whose certificate comes from an authority nobody trusts.
  SetJx("PASSWORD", "demo-password");
  ASSERT_EQ(Command(test::Program("edi-jx-standin") + " init " + station_ + "/other").status, 0);
  SetJx("CA_FILE", "other/ca.pem");
  run = Receive();
  EXPECT_EQ(ReceiveRow(), "5200/0001\n");
  EXPECT_NE(run.err.find("certificate"), std::string::npos) << run.err;
  EXPECT_EQ(Requests().size(), 1u) << "the untrusted server heard nothing";

  // A client certificate instead of a password: without it the server
  // refuses the TLS sign-on, with it the document comes.
  Serve("--client-cert");
  SetJx("CA_FILE", "jx/ca.pem");
  SetJx("USER", "");
  SetJx("PASSWORD", "");
  Receive();
  EXPECT_EQ(ReceiveRow(), "5200/0001\n");
  SetJx("CLIENT_CERT", "jx/client.pem");
  SetJx("CLIENT_KEY", "jx/client.key");
  run = Receive();
  EXPECT_EQ(run.status, 0) << run.err;
}

TEST_F(JxReceiveTest, TheServersFailuresEndTheReceiveWithTheirDetail) {
  Serve();
  SetJx("TIMEOUT", "1");
  struct Case {
    const char* switches;
    const char* codes;
    const char* said;
  };
  for (const Case& c : {Case{R"({"get_fault": true})", "5200/0002", "the stand-in was told to fail"},
                        Case{R"({"malformed": true})", "5200/0004", "well-formed"},
                        Case{R"({"bad_base64": true})", "5200/0004", "base64"},
                        Case{R"({"get_status": 503})", "5200/0003", "HTTP 503"},
                        Case{R"({"silent": true})", "5200/0003", "TIMEOUT"},
                        Case{R"({"compress_type": "zip"})", "5200/0004", "\"zip\""}}) {
    Switches(c.switches);
    const CommandResult run = Receive();
    EXPECT_EQ(run.status, 1) << c.switches;
    EXPECT_EQ(ReceiveRow(), std::string(c.codes) + "\n") << c.switches;
    EXPECT_NE(run.err.find(c.said), std::string::npos) << c.switches << run.err;
  }
  // The compressed document was complete: a copy is kept, the server
  // still holds it, and nothing of it entered a transfer.
  EXPECT_EQ(test::ReadFile(station_ + "/old/UNCONFIRMED_00000006_DEMOJ01_____0001.XML"), orders_);
  EXPECT_TRUE(fs::exists(jx_ + "/queue/0001-orders.xml"));
  EXPECT_EQ(Sql("SELECT COUNT(*) FROM FL9101受信ファイル台帳"), "0\n");
  for (const auto& entry : fs::directory_iterator(station_ + "/in")) ADD_FAILURE() << entry.path();
}

// The first IPv4 address of this machine that is not a loopback one ("" when
// it has none).
std::string OwnAddress() {
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return "";
  std::string found;
  for (ifaddrs* a = list; a != nullptr && found.empty(); a = a->ifa_next) {
    if (a->ifa_addr == nullptr || a->ifa_addr->sa_family != AF_INET) continue;
    char text[INET_ADDRSTRLEN];
    inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(a->ifa_addr)->sin_addr, text, sizeof text);
    if (std::string(text).rfind("127.", 0) != 0) found = text;
  }
  freeifaddrs(list);
  return found;
}

TEST_F(JxReceiveTest, SettingsErrorsSendNothingAndLoopbackHttpIsAllowed) {
  Serve();
  const std::string good = server_.url();
  auto expectSetUpError = [&](const std::string& key, const std::string& value, const std::string& said) {
    SetJx(key, value);
    const CommandResult run = Receive();
    EXPECT_EQ(ReceiveRow(), "5200/0007\n") << key << "=" << value;
    EXPECT_NE(run.err.find(said), std::string::npos) << run.err;
    EXPECT_TRUE(Requests().empty()) << key << "=" << value;
  };
  expectSetUpError("TIMEOUT", "soon", "TIMEOUT");
  SetJx("TIMEOUT", "60");
  expectSetUpError("MAX_DOCUMENTS", "0", "MAX_DOCUMENTS");
  SetJx("MAX_DOCUMENTS", "100");
  expectSetUpError("CA_FILE", "jx/missing.pem", "CA_FILE");
  expectSetUpError("CA_FILE", "jx/switches.json", "no PEM certificate");
  SetJx("CA_FILE", "jx/ca.pem");
  expectSetUpError("URL", "ftp://127.0.0.1/jx", "https://");

  // Plain http:// to this machine's own outside address: refused before any
  // connection, which a listener there would have seen.
  const std::string address = OwnAddress();
  if (!address.empty()) {
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in where{};
    where.sin_family = AF_INET;
    inet_pton(AF_INET, address.c_str(), &where.sin_addr);
    socklen_t size = sizeof where;
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&where), size), 0);
    ASSERT_EQ(listen(listener, 4), 0);
    getsockname(listener, reinterpret_cast<sockaddr*>(&where), &size);
    expectSetUpError("URL", "http://" + address + ":" + std::to_string(ntohs(where.sin_port)) + "/jx", "refused");
    pollfd waiting{listener, POLLIN, 0};
    EXPECT_EQ(poll(&waiting, 1, 200), 0) << "a connection reached the listener";
    close(listener);
  }

  // A missing section.
  const std::string ini = test::ReadFile(station_ + "/EDI.ini");
  test::WriteFile(station_ + "/EDI.ini", ini.substr(0, ini.find("[JX:DEMOJ01]")));
  const CommandResult missing = Receive();
  EXPECT_EQ(ReceiveRow(), "5200/0007\n");
  EXPECT_NE(missing.err.find("[JX:DEMOJ01] is missing"), std::string::npos) << missing.err;

  // Plain http:// to the loopback address is allowed.
  test::WriteFile(station_ + "/EDI.ini", ini);
  Serve("--http --user demo --password demo-password");
  const CommandResult plain = Receive();
  EXPECT_EQ(plain.status, 0) << plain.err;
}

TEST_F(JxReceiveTest, A200MegabyteDocumentIsStreamedInLittleMemory) {
  Serve();
  // A CII centre: the document is appended to the received CII file.
  Sql("UPDATE FL1903EDI制御マスタ SET 送受信データ形式 = 'C' WHERE センターコード = 'DEMOJ01'");
  fs::remove(jx_ + "/queue/0001-orders.xml");
  {
    std::ofstream big(jx_ + "/queue/0001-big.cii", std::ios::binary);
    std::string block(1 << 20, '\0');
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>('A' + i % 26);
    for (int i = 0; i < 200; ++i) big.write(block.data(), static_cast<std::streamsize>(block.size()));
  }
  const std::string sha = Command("sha256sum " + jx_ + "/queue/0001-big.cii | cut -d' ' -f1").out;
  const CommandResult run = Command("/usr/bin/time -f %M -o " + station_ + "/rss " + station_ +
                                    "/system/bin/edi-receive --centre DEMOJ01");
  EXPECT_EQ(ReceiveRow(), "0000/0000\n") << run.err;
  EXPECT_EQ(Sql("SELECT サイズ || ' ' || SHA256 FROM FL9101受信ファイル台帳"), std::to_string(200 << 20) + " " + sha);
  EXPECT_EQ(fs::file_size(station_ + "/old/00000001_RCV_DEMOJ01_____.CII"), 200u << 20);
  // The last line of time's output (a failed run adds one before it).
  std::string rss = test::ReadFile(station_ + "/rss");
  rss = rss.substr(rss.find_last_of('\n', rss.size() - 2) + 1);
  const long peakKb = std::stol(rss);
#if defined(__SANITIZE_ADDRESS__)
  (void)peakKb;  // the sanitizer's own memory says nothing of the program's
#else
  EXPECT_LT(peakKb, 64 * 1024) << "peak resident memory in KB";
#endif
}

TEST_F(JxReceiveTest, TheDemoWithItsStandInReceivesEveryCentre) {
  Serve();
  const CommandResult run = Command(station_ + "/system/bin/edi-receive --all");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("centres: 5, done: 5, error: 0"), std::string::npos) << run.out;
}

}  // namespace
}  // namespace edi
