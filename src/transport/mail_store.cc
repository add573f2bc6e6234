#include "transport/mail_store.h"

#include <sys/stat.h>
#include <unistd.h>
#include <vmime/platforms/posix/posixHandler.hpp>
#include <vmime/security/cert/certificateException.hpp>
#include <vmime/vmime.hpp>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <set>

#include "base/base64.h"
#include "base/files.h"
#include "base/text.h"
#include "transport/mime_check.h"

namespace edi {
namespace fs = std::filesystem;
namespace {

void InitialiseVmime() {
  static const bool done = [] {
    vmime::platform::setHandler<vmime::platforms::posix::posixHandler>();
    return true;
  }();
  (void)done;
}

// A server that says nothing for the time-out has gone: the operation fails
// instead of waiting for ever. The mail library asks while it waits for the
// server, which is when the window's pending events run.
class SilenceTimeout : public vmime::net::timeoutHandler {
 public:
  explicit SilenceTimeout(const MailWaiting& waiting) : waiting_(waiting) {}
  bool isTimeOut() override {
    if (waiting_.pending) waiting_.pending();
    return Clock::now() - start_ >= std::chrono::seconds(waiting_.timeoutSeconds);
  }
  void resetTimeOut() override { start_ = Clock::now(); }
  bool handleTimeOut() override { return false; }

 private:
  using Clock = std::chrono::steady_clock;
  MailWaiting waiting_;
  Clock::time_point start_ = Clock::now();
};

class SilenceTimeoutFactory : public vmime::net::timeoutHandlerFactory {
 public:
  explicit SilenceTimeoutFactory(MailWaiting waiting) : waiting_(std::move(waiting)) {}
  vmime::shared_ptr<vmime::net::timeoutHandler> create() override {
    return vmime::make_shared<SilenceTimeout>(waiting_);
  }

 private:
  MailWaiting waiting_;
};

bool Fail(MailError& error, int number, std::string text) {
  error.number = number;
  error.text = std::move(text);
  return false;
}

// The kind of failure behind a VMime exception.
bool FailFrom(MailError& error, const std::exception& e, int fallback) {
  std::string text = e.what();
  if (const auto* v = dynamic_cast<const vmime::exception*>(&e)) {
    for (auto* other = v->other(); other != nullptr; other = other->other()) text += ": " + std::string(other->what());
  }
  if (dynamic_cast<const vmime::security::cert::certificateException*>(&e) != nullptr ||
      dynamic_cast<const vmime::exceptions::authentication_error*>(&e) != nullptr ||
      dynamic_cast<const vmime::exceptions::authentication_exception*>(&e) != nullptr) {
    return Fail(error, kMailSignOnRefused, text);
  }
  if (dynamic_cast<const vmime::exceptions::folder_not_found*>(&e) != nullptr) return Fail(error, kMailNoSuchStore, text);
  if (dynamic_cast<const vmime::exceptions::socket_exception*>(&e) != nullptr ||
      dynamic_cast<const vmime::exceptions::connection_greeting_error*>(&e) != nullptr ||
      dynamic_cast<const vmime::exceptions::operation_timed_out*>(&e) != nullptr) {
    return Fail(error, kMailConnectionFailed, text);
  }
  return Fail(error, fallback, text);
}

// The certificates of the system's store, for verifying TLS servers.
std::vector<vmime::shared_ptr<vmime::security::cert::X509Certificate>> SystemCertificates() {
  std::vector<vmime::shared_ptr<vmime::security::cert::X509Certificate>> certificates;
  std::string bundle;
  for (const char* file : {"/etc/ssl/certs/ca-certificates.crt", "/etc/pki/tls/certs/ca-bundle.crt"}) {
    if (ReadWholeFile(file, bundle)) break;
  }
  const std::string end = "-----END CERTIFICATE-----";
  for (size_t at = bundle.find("-----BEGIN CERTIFICATE-----"); at != std::string::npos;
       at = bundle.find("-----BEGIN CERTIFICATE-----", at + 1)) {
    const size_t stop = bundle.find(end, at);
    if (stop == std::string::npos) break;
    const std::string pem = bundle.substr(at, stop + end.size() - at);
    try {
      auto certificate = vmime::security::cert::X509Certificate::import(
          reinterpret_cast<const vmime::byte_t*>(pem.data()), pem.size());
      if (certificate) certificates.push_back(certificate);
    } catch (const std::exception&) {
      // A certificate the TLS library cannot read is left out.
    }
  }
  return certificates;
}

vmime::shared_ptr<vmime::security::cert::certificateVerifier> SystemVerifier() {
  auto verifier = vmime::make_shared<vmime::security::cert::defaultCertificateVerifier>();
  verifier->setX509RootCAs(SystemCertificates());
  return verifier;
}

void Configure(vmime::net::service& service, const vmime::utility::url& url, const std::string& password,
               const MailWaiting& waiting) {
  service.setCertificateVerifier(SystemVerifier());
  service.setTimeoutHandlerFactory(vmime::make_shared<SilenceTimeoutFactory>(waiting));
  service.setProperty("options.sasl", false);
  service.setProperty("options.apop", false);
  if (!url.getUsername().empty()) {
    service.setProperty("auth.username", url.getUsername());
    service.setProperty("auth.password", password);
  }
}

// The address of the first To recipient of a message's header.
std::string FirstRecipient(const vmime::header& header) {
  if (!header.hasField(vmime::fields::TO)) return "";
  auto list = header.findField(vmime::fields::TO)->getValue<vmime::addressList>();
  for (size_t i = 0; list && i < list->getAddressCount(); ++i) {
    auto address = list->getAddressAt(i);
    if (!address->isGroup()) return vmime::dynamicCast<vmime::mailbox>(address)->getEmail().toString();
    auto group = vmime::dynamicCast<vmime::mailboxGroup>(address);
    if (group->getMailboxCount() > 0) return group->getMailboxAt(0)->getEmail().toString();
  }
  return "";
}

// The header of a message's bytes (up to the blank line that ends it).
std::string_view HeaderPart(std::string_view bytes) {
  size_t end = bytes.find("\r\n\r\n");
  if (end == std::string_view::npos) end = bytes.find("\n\n");
  return end == std::string_view::npos ? bytes : bytes.substr(0, end + 2);
}

// The first recipient named by a header's bytes; "" when it names none or
// cannot be read.
std::string FirstRecipientOf(std::string_view headerBytes) {
  try {
    vmime::header header;
    header.parse(std::string(headerBytes));
    return FirstRecipient(header);
  } catch (const std::exception&) {
    return "";
  }
}

std::string AttachmentName(const vmime::attachment& attachment) {
  try {
    return attachment.getName().getConvertedText(vmime::charsets::UTF_8);
  } catch (const std::exception&) {
    return "(no name)";
  }
}

// Reads the header alone (the recipient and the Message-ID), which the
// mail library parses without looking into the body.
void ReadHeader(const std::string& bytes, UnreadMail& mail) {
  auto message = vmime::make_shared<vmime::message>();
  message->parse(std::string(HeaderPart(bytes)));
  auto header = message->getHeader();
  mail.firstRecipient = FirstRecipient(*header);
  if (header->hasField(vmime::fields::MESSAGE_ID)) {
    const std::string id = header->MessageId()->getValue<vmime::messageId>()->getId();
    if (!id.empty()) mail.messageId = "<" + id + ">";
  }
}

// The decoded bytes of an attachment. Base64, the usual encoding (which
// the structure check has found well-formed), is decoded here in one pass,
// several times faster than the mail library's stream decoder.
void Extract(const vmime::contentHandler& data, std::string& bytes) {
  bytes.clear();
  if (data.isEncoded() && EqualsIgnoreAsciiCase(data.getEncoding().getName(), "base64")) {
    std::string raw;
    vmime::utility::outputStreamStringAdapter rawOut(raw);
    data.extractRaw(rawOut);
    Base64Decoder decoder;
    if (decoder.Update(raw, bytes) && decoder.Finish(bytes)) return;
    bytes.clear();
  }
  vmime::utility::outputStreamStringAdapter out(bytes);
  data.extract(out);
}

// Judges a message on its own and takes its first attachment: `id` is what
// the store marks it by, `storeId` its id when it has no Message-ID.
UnreadMail Parse(std::string id, std::string storeId, const std::string& bytes) {
  UnreadMail mail;
  mail.id = std::move(id);
  mail.messageId = std::move(storeId);
  try {
    ReadHeader(bytes, mail);
    std::string why;
    if (!CheckMimeStructure(bytes, why)) {
      mail.problem = why;
      mail.problemNumber = kMailBadMessage;
      return mail;
    }
    auto message = vmime::make_shared<vmime::message>();
    message->parse(bytes);
    vmime::messageParser parser(message);
    if (parser.getAttachmentCount() == 0) {
      mail.problem = "it has no attachment";
      mail.problemNumber = kMailNoAttachment;
      return mail;
    }
    Extract(*parser.getAttachmentAt(0)->getData(), mail.attachment);
    for (size_t i = 1; i < parser.getAttachmentCount(); ++i) {
      mail.otherAttachments.push_back(AttachmentName(*parser.getAttachmentAt(i)));
    }
  } catch (const std::exception& e) {
    mail.problem = std::string("the mail library cannot read it: ") + e.what();
    mail.problemNumber = kMailBadMessage;
    mail.attachment.clear();
  }
  return mail;
}

// An IMAP or POP3 account through VMime.
class ServerStore : public MailStore {
 public:
  ServerStore(const vmime::utility::url& url, const std::string& password, const std::string& stateFolder,
              const MailWaiting& waiting)
      : url_(url), password_(password), stateFolder_(stateFolder), waiting_(waiting) {}

  bool SignOn(MailError& error) override {
    try {
      session_ = vmime::net::session::create();
      store_ = session_->getStore(url_);
      if (!store_) return Fail(error, kMailNoSuchStore, "no store for " + url_.getProtocol());
      Configure(*store_, url_, password_, waiting_);
      store_->connect();
      folder_ = store_->getDefaultFolder();
      folder_->open(vmime::net::folder::MODE_READ_WRITE);
      return true;
    } catch (const std::exception& e) {
      return FailFrom(error, e, kMailSignOnRefused);
    }
  }

  bool FetchUnread(const std::string& recipient, std::vector<UnreadMail>& mails, MailError& error) override {
    mails.clear();
    try {
      const size_t count = folder_->getMessageCount();
      if (count == 0) return true;
      auto messages = folder_->getMessages(vmime::net::messageSet::byNumber(1, count));
      // The envelope names the recipient, so only the centre's messages are
      // downloaded whole. POP3 has no flags, only ids.
      int attributes = vmime::net::fetchAttributes::UID | vmime::net::fetchAttributes::ENVELOPE;
      if (!Pop3()) attributes |= vmime::net::fetchAttributes::FLAGS;
      folder_->fetchMessages(messages, vmime::net::fetchAttributes(attributes));
      const std::set<std::string> taken = TakenIds();
      for (const auto& message : messages) {
        if (Pop3() ? taken.count(message->getUID()) > 0 : (message->getFlags() & vmime::net::message::FLAG_SEEN) != 0) {
          continue;
        }
        if (FirstRecipient(*message->getHeader()) != recipient) continue;
        std::string bytes;
        vmime::utility::outputStreamStringAdapter out(bytes);
        message->extract(out, nullptr, 0, static_cast<size_t>(-1), true);  // peek: not marked seen
        const std::string id = Pop3() ? std::string(message->getUID()) : std::to_string(message->getNumber());
        mails.push_back(Parse(id, std::string(message->getUID()), bytes));
      }
      return true;
    } catch (const std::exception& e) {
      return FailFrom(error, e, kMailConnectionFailed);
    }
  }

  bool MarkSeen(const std::vector<std::string>& ids, MailError& error) override {
    return AddFlags(ids, vmime::net::message::FLAG_SEEN, error);
  }

  bool MarkRejected(const std::vector<std::string>& ids, MailError& error) override {
    return AddFlags(ids, vmime::net::message::FLAG_SEEN | vmime::net::message::FLAG_MARKED, error);
  }

  bool SignOff(MailError& error) override {
    try {
      if (folder_ && folder_->isOpen()) folder_->close(false);
      if (store_ && store_->isConnected()) store_->disconnect();
      return true;
    } catch (const std::exception& e) {
      return FailFrom(error, e, kMailConnectionFailed);
    }
  }

 private:
  bool Pop3() const { return url_.getProtocol() == "pop3" || url_.getProtocol() == "pop3s"; }

  bool AddFlags(const std::vector<std::string>& ids, int flags, MailError& error) {
    if (ids.empty()) return true;
    if (Pop3()) return RememberTaken(ids, error);
    try {
      std::vector<size_t> numbers;
      for (const auto& id : ids) numbers.push_back(std::stoul(id));
      folder_->setMessageFlags(vmime::net::messageSet::byNumber(numbers), flags, vmime::net::message::FLAG_MODE_ADD);
      return true;
    } catch (const std::exception& e) {
      return FailFrom(error, e, kMailConnectionFailed);
    }
  }

  // POP3 keeps no seen flag: the ids of taken messages are kept here.
  fs::path TakenFile() const {
    return fs::path(stateFolder_) / ("pop3-" + url_.getUsername() + "@" + url_.getHost() + ".taken");
  }

  std::set<std::string> TakenIds() const {
    std::set<std::string> ids;
    if (!Pop3()) return ids;
    std::ifstream in(TakenFile());
    for (std::string line; std::getline(in, line);) ids.insert(line);
    return ids;
  }

  bool RememberTaken(const std::vector<std::string>& ids, MailError& error) const {
    std::error_code ec;
    fs::create_directories(stateFolder_, ec);
    std::ofstream out(TakenFile(), std::ios::app);
    for (const auto& id : ids) out << id << "\n";
    out.close();
    return out ? true : Fail(error, kMailFileError, "cannot write " + TakenFile().string());
  }

  vmime::utility::url url_;
  std::string password_;
  std::string stateFolder_;
  MailWaiting waiting_;
  vmime::shared_ptr<vmime::net::session> session_;
  vmime::shared_ptr<vmime::net::store> store_;
  vmime::shared_ptr<vmime::net::folder> folder_;
};

// A maildir read directly: new/ and cur/ of its folder, messages in the
// order of their file names, the seen flag in the name's ":2,<flags>".
class MaildirStore : public MailStore {
 public:
  explicit MaildirStore(fs::path root) : root_(std::move(root)) {}

  bool SignOn(MailError& error) override {
    std::error_code ec;
    if (!fs::is_directory(root_ / "new", ec) || !fs::is_directory(root_ / "cur", ec)) {
      return Fail(error, kMailNoSuchStore, "no maildir at " + root_.string() + " (new/ and cur/ are needed)");
    }
    return true;
  }

  bool FetchUnread(const std::string& recipient, std::vector<UnreadMail>& mails, MailError& error) override {
    mails.clear();
    std::vector<std::pair<std::string, std::string>> unread;  // file name, folder
    std::error_code ec;
    for (const char* sub : {"new", "cur"}) {
      for (const auto& entry : fs::directory_iterator(root_ / sub, ec)) {
        const std::string name = entry.path().filename().string();
        if (!entry.is_regular_file(ec) || name.empty() || name[0] == '.') continue;
        if (std::string(sub) == "cur" && Flags(name).find('S') != std::string::npos) continue;
        unread.emplace_back(name, sub);
      }
    }
    std::sort(unread.begin(), unread.end());
    for (const auto& [name, sub] : unread) {
      std::string bytes;
      const fs::path file = root_ / sub / name;
      std::string firstRecipient;
      if (!RecipientOf(file, firstRecipient)) return Fail(error, kMailFileError, "cannot read " + file.string());
      if (firstRecipient != recipient) continue;
      if (!ReadWholeFile(file, bytes)) return Fail(error, kMailFileError, "cannot read " + file.string());
      mails.push_back(Parse(sub + "/" + name, name.substr(0, name.find(":2,")), bytes));
    }
    return true;
  }

  bool MarkSeen(const std::vector<std::string>& ids, MailError& error) override { return AddFlags(ids, "S", error); }
  bool MarkRejected(const std::vector<std::string>& ids, MailError& error) override {
    return AddFlags(ids, "FS", error);
  }

  bool SignOff(MailError&) override { return true; }

 private:
  // The first recipient of a message file. A maildir message does not
  // change under its name, so what its header says is read once per process
  // (and again only when the file's inode, size or time differ): a run over
  // many mail centres reads each other centre's messages once, not once per
  // centre.
  static bool RecipientOf(const fs::path& file, std::string& recipient) {
    static std::mutex mutex;
    static std::map<std::string, std::string> known;
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0) return false;
    const std::string key = file.string() + '\n' + std::to_string(info.st_ino) + ' ' + std::to_string(info.st_size) +
                            ' ' + std::to_string(info.st_mtim.tv_sec) + '.' + std::to_string(info.st_mtim.tv_nsec);
    {
      const std::lock_guard lock(mutex);
      const auto found = known.find(key);
      if (found != known.end()) {
        recipient = found->second;
        return true;
      }
    }
    std::string bytes;
    if (!ReadHead(file, bytes)) return false;
    recipient = FirstRecipientOf(HeaderPart(bytes));
    const std::lock_guard lock(mutex);
    if (known.size() >= kKnownRecipients) known.clear();  // a bound for a station that runs for months
    known.emplace(key, recipient);
    return true;
  }
  static constexpr size_t kKnownRecipients = 100000;

  // The start of a message file, up to the blank line that ends its header
  // (at most 1 MB: a longer header is read as the message's own problem).
  static bool ReadHead(const fs::path& file, std::string& bytes) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return false;
    bytes.clear();
    char buffer[16384];
    while (in && bytes.size() < (1 << 20) && HeaderPart(bytes).size() == bytes.size()) {
      in.read(buffer, sizeof buffer);
      bytes.append(buffer, static_cast<size_t>(in.gcount()));
    }
    return !in.bad();
  }

  static std::string Flags(const std::string& name) {
    const size_t info = name.find(":2,");
    return info == std::string::npos ? "" : name.substr(info + 3);
  }

  // Moves each message to cur/ with `added` among the flags of its name.
  bool AddFlags(const std::vector<std::string>& ids, const std::string& added, MailError& error) {
    for (const auto& id : ids) {
      const std::string name = id.substr(id.find('/') + 1);
      const size_t info = name.find(":2,");
      std::string flags = Flags(name);
      for (char flag : added) {
        if (flags.find(flag) == std::string::npos) flags.push_back(flag);
      }
      std::sort(flags.begin(), flags.end());
      const std::string flagged = name.substr(0, info) + ":2," + flags;
      std::error_code ec;
      fs::rename(root_ / id, root_ / "cur" / flagged, ec);
      if (ec) return Fail(error, kMailFileError, "cannot mark " + (root_ / id).string() + ": " + ec.message());
    }
    return true;
  }

  fs::path root_;
};

}  // namespace

std::unique_ptr<MailStore> OpenMailStore(const std::string& profileUrl, const std::string& password,
                                         const std::string& stateFolder, const MailWaiting& waiting,
                                         MailError& error) {
  InitialiseVmime();
  const std::string maildir = "maildir://";
  if (profileUrl.rfind(maildir, 0) == 0) return std::make_unique<MaildirStore>(profileUrl.substr(maildir.size()));
  try {
    vmime::utility::url url(profileUrl);
    const std::string protocol = url.getProtocol();
    if (protocol != "imap" && protocol != "imaps" && protocol != "pop3" && protocol != "pop3s") {
      Fail(error, kMailNoSuchStore, "no mail store for \"" + profileUrl + "\" ([MAPI] ProfileName)");
      return nullptr;
    }
    return std::make_unique<ServerStore>(url, password, stateFolder, waiting);
  } catch (const std::exception& e) {
    Fail(error, kMailNoSuchStore, "\"" + profileUrl + "\" is no mail URL: " + e.what());
    return nullptr;
  }
}

std::string SenderAddress(const std::string& profileUrl) {
  try {
    if (profileUrl.rfind("maildir:", 0) != 0) {
      vmime::utility::url url(profileUrl);
      if (url.getUsername().find('@') != std::string::npos) return url.getUsername();
      if (!url.getUsername().empty()) return url.getUsername() + "@" + url.getHost();
    }
  } catch (const std::exception&) {
  }
  char host[256] = "localhost";
  gethostname(host, sizeof host - 1);
  return std::string("edi-station@") + host;
}

namespace {

class VmimeSender : public MailSender {
 public:
  VmimeSender(const vmime::utility::url& url, const std::string& password, const MailWaiting& waiting)
      : url_(url), password_(password), waiting_(waiting) {}

  bool SignOn(MailError& error) override {
    try {
      session_ = vmime::net::session::create();
      transport_ = session_->getTransport(url_);
      if (!transport_) return Fail(error, kMailNoSuchStore, "no mail transport for " + url_.getProtocol());
      Configure(*transport_, url_, password_, waiting_);
      transport_->connect();
      return true;
    } catch (const std::exception& e) {
      return FailFrom(error, e, kMailSignOnRefused);
    }
  }

  void Compose(const std::string& from, const std::string& subject, const std::string& bodyAnsi) override {
    builder_ = vmime::messageBuilder();
    builder_.setExpeditor(vmime::mailbox(from));
    builder_.setSubject(vmime::text(subject, vmime::charsets::UTF_8));
    builder_.getTextPart()->setCharset(vmime::charset("Shift_JIS"));
    builder_.getTextPart()->setText(vmime::make_shared<vmime::stringContentHandler>(bodyAnsi));
  }

  void SetRecipient(const std::string& address) override { SetRecipients({address}); }

  void SetRecipients(const std::vector<std::string>& addresses) override {
    vmime::addressList to;
    for (const auto& address : addresses) {
      to.appendAddress(vmime::make_shared<vmime::mailbox>(vmime::text(""), vmime::emailAddress(address)));
    }
    builder_.setRecipients(to);
  }

  bool Attach(const std::string& path, MailError& error) override {
    std::string bytes;
    if (!ReadWholeFile(path, bytes)) return Fail(error, kMailFileError, "cannot read " + path);
    try {
      builder_.appendAttachment(vmime::make_shared<vmime::fileAttachment>(
          vmime::make_shared<vmime::stringContentHandler>(bytes),
          vmime::word(fs::path(path).filename().string(), vmime::charsets::UTF_8),
          vmime::mediaType("application/octet-stream")));
      return true;
    } catch (const std::exception& e) {
      return Fail(error, kMailFileError, e.what());
    }
  }

  bool Send(MailError& error) override {
    try {
      transport_->send(builder_.construct());
      return true;
    } catch (const std::exception& e) {
      return FailFrom(error, e, kMailSendRefused);
    }
  }

  bool SignOff(MailError& error) override {
    try {
      if (transport_ && transport_->isConnected()) transport_->disconnect();
      return true;
    } catch (const std::exception& e) {
      return FailFrom(error, e, kMailConnectionFailed);
    }
  }

 private:
  vmime::utility::url url_;
  std::string password_;
  MailWaiting waiting_;
  vmime::shared_ptr<vmime::net::session> session_;
  vmime::shared_ptr<vmime::net::transport> transport_;
  vmime::messageBuilder builder_;
};

}  // namespace

std::unique_ptr<MailSender> OpenMailSender(const std::string& sendUrl, const std::string& password,
                                           const MailWaiting& waiting, MailError& error) {
  InitialiseVmime();
  try {
    vmime::utility::url url(sendUrl);
    const std::string protocol = url.getProtocol();
    if (protocol != "smtp" && protocol != "smtps" && protocol != "sendmail") {
      Fail(error, kMailNoSuchStore, "no mail transport for \"" + sendUrl + "\" ([MAPI] SendURL)");
      return nullptr;
    }
    return std::make_unique<VmimeSender>(url, password, waiting);
  } catch (const std::exception& e) {
    Fail(error, kMailNoSuchStore, "\"" + sendUrl + "\" is no mail URL: " + e.what());
    return nullptr;
  }
}

}  // namespace edi
