#include "transport/mail_transfer.h"

#include <gtest/gtest.h>
#include <vmime/vmime.hpp>

#include <filesystem>
#include <fstream>
#include <map>

#include "base/ansi_codec.h"
#include "base/base64.h"
#include "base/text.h"
#include "support/format_fixture.h"
#include "support/recording_receipts.h"
#include "support/test_db.h"
#include "transport/mail_store.h"
#include "transport/match_pattern.h"

namespace edi {
namespace {

namespace fs = std::filesystem;

class RecordingProgress : public MailProgress {
 public:
  void Open() override { steps.clear(); opened = true; }
  void AddStep(std::string_view text) override { steps.emplace_back(text); }
  void ShowError(std::string_view text) override { errors.emplace_back(text); }
  void Close() override { closed = true; }
  std::vector<std::string> steps, errors;
  bool opened = false, closed = false;
};

std::string AttachmentPart(const std::string& name, const std::string& encoded) {
  return "--b\r\nContent-Type: application/octet-stream; name=\"" + name +
         "\"\r\nContent-Disposition: attachment; filename=\"" + name +
         "\"\r\nContent-Transfer-Encoding: base64\r\n\r\n" + encoded + "\r\n";
}

// A message to `to`, with `attachment` as its one attachment unless empty,
// and `more` parts after it.
std::string Mail(const std::string& to, const std::string& attachment, const std::string& more = "",
                 const std::string& id = "") {
  std::string mail = "From: partner@example.jp\r\nTo: " + to + "\r\n" +
                     (id.empty() ? "" : "Message-ID: <" + id + ">\r\n") +
                     "Subject: order\r\nMIME-Version: 1.0\r\n"
                     "Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n"
                     "--b\r\nContent-Type: text/plain; charset=us-ascii\r\n\r\nthe order\r\n";
  if (!attachment.empty()) mail += AttachmentPart("order.dat", Base64(attachment));
  return mail + more + "--b--\r\n";
}

// A message whose multiparts nest `depth` deep.
std::string DeepMail(const std::string& to, int depth) {
  std::string inner = "Content-Type: text/plain\r\n\r\ndeep\r\n";
  for (int level = 0; level < depth; ++level) {
    const std::string b = "n" + std::to_string(level);
    inner = "Content-Type: multipart/mixed; boundary=" + b + "\r\n\r\n--" + b + "\r\n" + inner + "\r\n--" + b +
            "--\r\n";
  }
  return "From: partner@example.jp\r\nTo: " + to + "\r\nMessage-ID: <deep@x>\r\nMIME-Version: 1.0\r\n" + inner;
}

constexpr char kPartner[] = "DEMOM01@partner.example";

// A station folder with EDI.ini's mail settings and the transfer folders.
class MailTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = test::TempDir("mail");
    for (const char* sub : {"in", "out", "Maildir/new", "Maildir/cur", "Maildir/tmp"}) fs::create_directories(dir_ / sub);
    state_.settingsFolder = dir_.string();
    state_.paths.ediInFil = (dir_ / "in").string() + "/";
    state_.paths.ediOutFil = (dir_ / "out").string() + "/";
    Settings("maildir://" + (dir_ / "Maildir").string(), "", "smtp://127.0.0.1:1");
  }

  void Settings(const std::string& profile, const std::string& password, const std::string& send,
                const std::string& text = "EDIデータ\\n送付します") {
    test::WriteFile((dir_ / "EDI.ini").string(), "[MAPI]\r\nProfileName=" + profile + "\r\nPassword=" + password +
                                                     "\r\nSendURL=" + send + "\r\n[MAIL]\r\nMAIL-TEXT=" + text + "\r\n");
  }

  void Deliver(const fs::path& maildir, const std::string& name, const std::string& mail) {
    test::WriteFile((maildir / "new" / name).string(), mail);
  }

  MailTransferRequest Request(const std::string& direction = "R", const std::string& format = "X") {
    MailTransferRequest r;
    r.centreCode = "DEMOM01";
    r.transferNo = 7;
    r.direction = direction;
    r.dataFormat = format;
    r.partnerAddress = kPartner;
    return r;
  }

  Outcome Run(MailTransferRequest& request) {
    const MailSettings settings = ReadMailSettings(ProfileFile::Load(dir_ / "EDI.ini"));
    MailContext context{state_, settings, progress_, receipts_, {}, [] { return std::string("2009/03/04 05:06:07"); }};
    return RunMailTransfer(request, context);
  }

  std::string Inbound(const std::string& name) const { return test::ReadFile((dir_ / "in" / name).string()); }
  static std::vector<std::string> Names(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path dir_;
  ProgramState state_;
  RecordingProgress progress_;
  test::RecordingReceipts receipts_;
};

const std::vector<std::string> kReceiveSteps = {"パラメータチェック", "INIファイル読込み", "受信処理開始", "ログオン",
                                                "受信トレイ検索", "添付ファイル格納", "ログオフ"};

TEST_F(MailTest, TwoMatchingMessagesAreBothKeptAndMarkedSeen) {
  Deliver(dir_ / "Maildir", "1000.a", Mail(kPartner, "<first/>"));
  Deliver(dir_ / "Maildir", "1001.b", Mail("other@partner.example", "<other/>"));
  Deliver(dir_ / "Maildir", "1002.c", Mail(kPartner, "<second/>"));
  auto request = Request();
  ASSERT_TRUE(Run(request).ok()) << (progress_.errors.empty() ? "" : progress_.errors[0]);
  EXPECT_EQ(Inbound("00000007_RCV_DEMOM01_____.XML"), "<first/>");
  EXPECT_EQ(Inbound("00000007_RCV_DEMOM01_____0002.XML"), "<second/>");
  EXPECT_EQ(Names(dir_ / "Maildir/cur"), (std::vector<std::string>{"1000.a:2,S", "1002.c:2,S"}));
  EXPECT_EQ(Names(dir_ / "Maildir/new"), std::vector<std::string>{"1001.b"}) << "the other address stays unseen";
  EXPECT_EQ(progress_.steps, kReceiveSteps);
  EXPECT_TRUE(progress_.opened && progress_.closed);
  // A second run finds nothing new.
  request = Request();
  fs::remove_all(dir_ / "in");
  fs::create_directory(dir_ / "in");
  ASSERT_TRUE(Run(request).ok());
  EXPECT_TRUE(fs::is_empty(dir_ / "in"));
}

TEST_F(MailTest, CiiAttachmentsAreStoredOneAfterTheOther) {
  Deliver(dir_ / "Maildir", "1.a", Mail(kPartner, "GROUP-1"));
  Deliver(dir_ / "Maildir", "2.b", Mail(kPartner, "GROUP-2"));
  auto request = Request("R", "C");
  ASSERT_TRUE(Run(request).ok());
  EXPECT_EQ(Inbound("00000007_RCV_DEMOM01_____.CII"), "GROUP-1GROUP-2");
}

TEST_F(MailTest, EachMessageIsJudgedOnItsOwnAndABadOneIsSetAside) {
  Deliver(dir_ / "Maildir", "1.a", Mail(kPartner, "<first/>", "", "good1@x"));
  Deliver(dir_ / "Maildir", "2.b", Mail(kPartner, "", "", "bare@x"));
  std::string cut = Mail(kPartner, "<cut/>", "", "cut@x");
  Deliver(dir_ / "Maildir", "3.c", cut.substr(0, cut.size() - 8));
  Deliver(dir_ / "Maildir", "4.d", Mail(kPartner, "", AttachmentPart("x.dat", "!!not*base64!!"), "b64@x"));
  Deliver(dir_ / "Maildir", "5.e", DeepMail(kPartner, 5000));
  Deliver(dir_ / "Maildir", "6.f", Mail(kPartner, "<second/>", AttachmentPart("extra.dat", Base64("x")), "good2@x"));
  auto request = Request();
  const Outcome outcome = Run(request);
  EXPECT_EQ(outcome.Codes(), "5100/9999");
  EXPECT_EQ(outcome.reason.substr(0, 9), "Error 4: ") << "the mail error number is in the reason";
  for (const char* id : {"<bare@x>", "<cut@x>", "<b64@x>", "<deep@x>"}) {
    EXPECT_NE(outcome.reason.find(id), std::string::npos) << id << " in " << outcome.reason;
  }
  // The good ones are taken and recorded; the further attachment is a warning.
  EXPECT_EQ(Inbound("00000007_RCV_DEMOM01_____.XML"), "<first/>");
  EXPECT_EQ(Inbound("00000007_RCV_DEMOM01_____0002.XML"), "<second/>");
  ASSERT_EQ(receipts_.documents.size(), 2u);
  EXPECT_EQ(receipts_.documents[1].documentId, "<good2@x>");
  ASSERT_EQ(outcome.warnings.size(), 1u);
  EXPECT_NE(outcome.warnings[0].find("extra.dat"), std::string::npos) << outcome.warnings[0];
  EXPECT_EQ(Names(dir_ / "Maildir/cur"), (std::vector<std::string>{"1.a:2,S", "2.b:2,FS", "3.c:2,FS", "4.d:2,FS",
                                                                  "5.e:2,FS", "6.f:2,S"}));
  // Later runs pass over the bad ones without an error.
  EXPECT_TRUE(Run(request).ok());
}

TEST_F(MailTest, NoMatchingMessageIsSuccessWithoutFile) {
  Deliver(dir_ / "Maildir", "1.a", Mail("someone@else.example", "x"));
  auto request = Request();
  EXPECT_TRUE(Run(request).ok());
  EXPECT_TRUE(fs::is_empty(dir_ / "in"));
}

TEST_F(MailTest, BadRequestsFailWithoutListOrBox) {
  for (auto change : std::vector<std::function<void(MailTransferRequest&)>>{
           [](MailTransferRequest& r) { r.centreCode = ""; }, [](MailTransferRequest& r) { r.direction = "Q"; },
           [](MailTransferRequest& r) { r.dataFormat = "XML"; }, [](MailTransferRequest& r) { r.partnerAddress = ""; },
           [](MailTransferRequest& r) { r.centreCode = "ABCDEFGHIJKLM"; }}) {
    auto request = Request();
    change(request);
    EXPECT_EQ(Run(request).Codes(), "5100/9999");
    EXPECT_TRUE(progress_.steps.empty());
    EXPECT_TRUE(progress_.errors.empty());
  }
}

TEST_F(MailTest, AStoreThatDoesNotExistIsASignOnError) {
  Settings("maildir://" + (dir_ / "none").string(), "", "");
  auto request = Request();
  EXPECT_EQ(Run(request).Codes(), "5100/9999");
  ASSERT_EQ(progress_.errors.size(), 2u) << "the step and the job each show the box";
  EXPECT_EQ(progress_.errors[0].substr(0, 9), "Error 2: ");
  Settings("gopher://x", "", "");
  EXPECT_EQ(Run(request).Codes(), "5100/9999");
}

TEST_F(MailTest, ASendWithoutOutboundFileNeitherSignsOnNorMails) {
  auto request = Request("S", "X");
  ASSERT_TRUE(Run(request).ok()) << "the transport at port 1 would refuse a sign-on";
  EXPECT_EQ(progress_.steps.back(), "送信添付ファイルなし");
}

TEST(MailText, BodyAndSubject) {
  EXPECT_EQ(MailBody("a\\nb\\x\\"), "a\r\nb\\x\\");
  EXPECT_EQ(MailSubject("2009/03/04 05:06:07"), "EDIデータ2009/03/04 05:06:07送信");
  EXPECT_EQ(SenderAddress("imap://edi@mail.example:143"), "edi@mail.example");
  EXPECT_EQ(SenderAddress("imap://edi%40x.jp@mail.example"), "edi@x.jp");
}

// --- against real servers on 127.0.0.1 (the test fixture's Dovecot and SMTP sink)

std::map<std::string, std::string> Servers() {
  std::map<std::string, std::string> values;
  const char* dir = std::getenv("EDI_TEST_MAIL_DIR");
  if (dir == nullptr) return values;
  std::ifstream in(std::string(dir) + "/servers.env");
  for (std::string line; std::getline(in, line);) {
    const size_t eq = line.find('=');
    if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return values;
}

class MailServerTest : public MailTest {
 protected:
  void SetUp() override {
    MailTest::SetUp();
    servers_ = Servers();
    const bool required = std::getenv("EDI_REQUIRE_MAIL") != nullptr && std::string(std::getenv("EDI_REQUIRE_MAIL")) == "1";
    if (servers_.count("IMAP_PORT") == 0) {
      if (required) FAIL() << "the mail servers of the test fixture are not running";
      GTEST_SKIP() << "no mail servers (Dovecot needs root); skipped";
    }
    maildir_ = servers_["MAILDIR"];
    for (const char* sub : {"new", "cur"}) {
      for (const auto& e : fs::directory_iterator(maildir_ / sub)) fs::remove(e.path());
    }
  }

  std::string Url(const char* scheme, const char* port) { return std::string(scheme) + "://edi@127.0.0.1:" + servers_[port]; }

  std::map<std::string, std::string> servers_;
  fs::path maildir_;
};

TEST_F(MailServerTest, ImapKeepsEveryMatchingAttachmentAndMarksThemSeen) {
  Deliver(maildir_, "1000.a", Mail(kPartner, "<first/>"));
  Deliver(maildir_, "1001.b", Mail("other@partner.example", "<other/>"));
  Deliver(maildir_, "1002.c", Mail(kPartner, "<second/>"));
  Settings(Url("imap", "IMAP_PORT"), "secret", "");
  auto request = Request();
  ASSERT_TRUE(Run(request).ok()) << (progress_.errors.empty() ? "" : progress_.errors[0]);
  EXPECT_EQ(Inbound("00000007_RCV_DEMOM01_____.XML"), "<first/>");
  EXPECT_EQ(Inbound("00000007_RCV_DEMOM01_____0002.XML"), "<second/>");
  EXPECT_EQ(progress_.steps, kReceiveSteps);
  // Dovecot keeps \Seen in the maildir names.
  int seen = 0, unseen = 0;
  for (const char* sub : {"new", "cur"}) {
    for (const auto& e : fs::directory_iterator(maildir_ / sub)) {
      const std::string name = e.path().filename().string();
      const bool isSeen = name.find(":2,") != std::string::npos && name.substr(name.find(":2,")).find('S') != std::string::npos;
      (isSeen ? seen : unseen) += 1;
      if (name.rfind("1001.b", 0) == 0) {
        EXPECT_FALSE(isSeen) << "the other address stays unseen";
      }
    }
  }
  EXPECT_EQ(seen, 2);
  EXPECT_EQ(unseen, 1);
}

TEST_F(MailServerTest, AWrongPasswordIsASignOnError) {
  Deliver(maildir_, "1.a", Mail(kPartner, "<first/>"));
  Settings(Url("imap", "IMAP_PORT"), "wrong", "");
  auto request = Request();
  EXPECT_EQ(Run(request).Codes(), "5100/9999");
  ASSERT_FALSE(progress_.errors.empty());
  EXPECT_EQ(progress_.errors[0].substr(0, 9), "Error 1: ") << progress_.errors[0];
  EXPECT_TRUE(fs::is_empty(dir_ / "in"));
}

TEST_F(MailServerTest, AnUntrustedCertificateIsASignOnError) {
  Settings(Url("imaps", "IMAPS_PORT"), "secret", "");
  auto request = Request();
  EXPECT_EQ(Run(request).Codes(), "5100/9999");
  ASSERT_FALSE(progress_.errors.empty());
  EXPECT_EQ(progress_.errors[0].substr(0, 9), "Error 1: ") << progress_.errors[0];
}

TEST_F(MailServerTest, Pop3RemembersTheMessagesItTook) {
  Deliver(maildir_, "1.a", Mail(kPartner, "GROUP-1"));
  Deliver(maildir_, "2.b", Mail(kPartner, "GROUP-2"));
  Settings(Url("pop3", "POP3_PORT"), "secret", "");
  auto request = Request("R", "C");
  ASSERT_TRUE(Run(request).ok()) << (progress_.errors.empty() ? "" : progress_.errors[0]);
  EXPECT_EQ(Inbound("00000007_RCV_DEMOM01_____.CII"), "GROUP-1GROUP-2");
  fs::remove(dir_ / "in/00000007_RCV_DEMOM01_____.CII");
  request = Request("R", "C");
  ASSERT_TRUE(Run(request).ok());
  EXPECT_TRUE(fs::is_empty(dir_ / "in")) << "taken messages are not received twice";
}

// The messages the SMTP sink has received, parsed.
std::vector<vmime::shared_ptr<vmime::message>> Received(const fs::path& maildir) {
  std::vector<vmime::shared_ptr<vmime::message>> messages;
  for (const char* sub : {"new", "cur"}) {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(maildir / sub, ec)) {
      auto message = vmime::make_shared<vmime::message>();
      message->parse(test::ReadFile(e.path().string()));
      messages.push_back(message);
    }
  }
  return messages;
}

TEST_F(MailServerTest, ASendMailsTheFirstOutboundFileWithSubjectAndShiftJisBody) {
  const fs::path sink = servers_["SMTP_MAILDIR"];
  for (const char* sub : {"new", "cur"}) {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(sink / sub, ec)) fs::remove(e.path());
  }
  Settings(Url("imap", "IMAP_PORT"), "secret", "smtp://127.0.0.1:" + servers_["SMTP_PORT"], "①注文です\\nよろしく");
  test::WriteFile((dir_ / "out/00000007_SND_東京__________0002.XML").string(), "<second/>");
  test::WriteFile((dir_ / "out/00000007_SND_東京__________0001.XML").string(), "<first/>");
  auto request = Request("S", "X");
  request.centreCode = "東京";
  ASSERT_TRUE(Run(request).ok()) << (progress_.errors.empty() ? "" : progress_.errors[0]);
  EXPECT_EQ(progress_.steps, (std::vector<std::string>{"パラメータチェック", "INIファイル読込み", "送信処理開始", "ログオン",
                                                       "メッセージを作成", "Pi_Rec.Pi_相手先メールアドレス", kPartner,
                                                       "受信者オブジェクトの作成", "添付ファイル作成", "送信", "ログオフ"}));
  auto messages = Received(sink);
  ASSERT_EQ(messages.size(), 1u);
  auto header = messages[0]->getHeader();
  EXPECT_EQ(header->Subject()->getValue<vmime::text>()->getConvertedText(vmime::charsets::UTF_8),
            "EDIデータ2009/03/04 05:06:07送信");
  auto to = header->To()->getValue<vmime::addressList>();
  ASSERT_EQ(to->getAddressCount(), 1u);
  EXPECT_EQ(vmime::dynamicCast<vmime::mailbox>(to->getAddressAt(0))->getEmail().toString(), kPartner);
  vmime::messageParser parser(messages[0]);
  ASSERT_EQ(parser.getAttachmentCount(), 1u);
  EXPECT_EQ(parser.getAttachmentAt(0)->getName().getConvertedText(vmime::charsets::UTF_8),
            "00000007_SND_東京__________0001.XML");
  std::string attached;
  vmime::utility::outputStreamStringAdapter out(attached);
  parser.getAttachmentAt(0)->getData()->extract(out);
  EXPECT_EQ(attached, "<first/>");
  ASSERT_GE(parser.getTextPartCount(), 1u);
  auto text = parser.getTextPartAt(0);
  EXPECT_TRUE(EqualsIgnoreAsciiCase(text->getCharset().getName(), "shift_jis")) << text->getCharset().getName();
  std::string body;
  vmime::utility::outputStreamStringAdapter bodyOut(body);
  text->getText()->extract(bodyOut);
  EXPECT_EQ(AnsiToUtf8(body), "①注文です\r\nよろしく");
}

TEST(MatchPattern, SearchesAnywhereIgnoringCase) {
  EXPECT_TRUE(MatchPattern("A.XML", "zzA1XMLzz"));
  EXPECT_TRUE(MatchPattern("A.XML", "a.xml"));
  EXPECT_FALSE(MatchPattern("A.XML", "AXML"));
  EXPECT_FALSE(MatchPattern("(", "anything"));  // a bad pattern matches nothing
}

}  // namespace
}  // namespace edi
