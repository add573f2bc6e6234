// The mail account behind the mail transfer: a store to fetch unread mail
// from and a transport to send through, named by URLs in EDI.ini:
//   [MAPI] ProfileName  imap://user@host:port, imaps://..., pop3://...,
//                       pop3s://..., maildir:///path
//   [MAPI] Password     the account's password
//   [MAPI] SendURL      smtp://host:port, smtps://host:port, sendmail://
// TLS certificates are verified against the system's certificate store; a
// failed verification is a sign-on error. Nothing here throws: failures come
// back as a MailError.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "base/process.h"

namespace edi {

// The mail errors of the station, one number per kind of failure.
enum MailErrorNumber {
  kMailSignOnRefused = 1,   // wrong user or password, or a certificate that is not trusted
  kMailNoSuchStore = 2,     // an unknown URL, a missing maildir or inbox
  kMailConnectionFailed = 3,  // the server cannot be reached, or the connection broke
  kMailNoAttachment = 4,    // a matching message without attachment
  kMailSendRefused = 5,     // the transport refused the message or a recipient
  kMailFileError = 6,       // a file could not be read or stored
  kMailBadMessage = 7,      // a message the station cannot read: broken or crafted MIME
};

struct MailError {
  int number = 0;
  std::string text;
};

// One unread message of the inbox, in the store's order, judged on its own.
struct UnreadMail {
  std::string id;              // what MarkSeen and MarkRejected take
  std::string messageId;       // its Message-ID, else the store's own id (UID, UIDL, file name)
  std::string firstRecipient;  // the address of the first To recipient ("" when none)
  std::string problem;         // why the transfer cannot take it ("" when it can)
  int problemNumber = 0;       // the mail error number of the problem
  std::string attachment;      // the bytes of the first attachment, decoded
  std::vector<std::string> otherAttachments;  // the names of further attachments, not taken
};

class MailStore {
 public:
  virtual ~MailStore() = default;
  virtual bool SignOn(MailError& error) = 0;
  // Every unread message of the inbox whose first To recipient is
  // `recipient`, in the store's order (IMAP: sequence numbers; maildir: file
  // names). Only the headers of the other messages are read. Reading does
  // not mark a message seen. A message is looked at (size, nesting, number
  // of parts, boundaries, base64) before the mail library parses it, and a
  // failure of the parser is that message's problem, not the fetch's.
  virtual bool FetchUnread(const std::string& recipient, std::vector<UnreadMail>& mails, MailError& error) = 0;
  // Marks the messages seen (maildir: moved to cur/ with the S flag; IMAP:
  // \Seen; POP3, which has no flag: remembered in the station's list of
  // taken messages).
  virtual bool MarkSeen(const std::vector<std::string>& ids, MailError& error) = 0;
  // Sets messages the station cannot take aside, without deleting them:
  // seen and flagged (maildir: the flags F and S; IMAP: \Seen and
  // \Flagged; POP3: remembered as taken), so later runs pass over them.
  virtual bool MarkRejected(const std::vector<std::string>& ids, MailError& error) = 0;
  virtual bool SignOff(MailError& error) = 0;
};

// How the station waits on a mail server: a server silent for
// `timeoutSeconds` has gone, and `pending` runs at least every 50 ms of
// every wait (connecting, the TLS handshake, each answer), so that a window
// keeps repainting.
struct MailWaiting {
  int timeoutSeconds = 60;
  PendingEvents pending;
};

// The store of `profileUrl`. `stateFolder` holds what POP3 cannot keep on
// the server (the ids of the messages already taken). nullptr with `error`
// for an unknown URL.
std::unique_ptr<MailStore> OpenMailStore(const std::string& profileUrl, const std::string& password,
                                         const std::string& stateFolder, const MailWaiting& waiting,
                                         MailError& error);

// The transport of the send direction, step by step as the mail job shows
// them: sign on, compose, one recipient, one attachment, send, sign off.
class MailSender {
 public:
  virtual ~MailSender() = default;
  virtual bool SignOn(MailError& error) = 0;
  // A new message from `from` with its subject (UTF-8) and body
  // (Windows-31J, sent as Shift_JIS).
  virtual void Compose(const std::string& from, const std::string& subject, const std::string& bodyAnsi) = 0;
  // The one recipient: display name empty, `address`.
  virtual void SetRecipient(const std::string& address) = 0;
  // Several recipients, each with an empty display name.
  virtual void SetRecipients(const std::vector<std::string>& addresses) = 0;
  // The one attachment: the file at `path`, under its own name (none when
  // not called).
  virtual bool Attach(const std::string& path, MailError& error) = 0;
  virtual bool Send(MailError& error) = 0;
  virtual bool SignOff(MailError& error) = 0;
};

// The transport of `sendUrl`, signing on with its user and `password` when
// the URL names a user. nullptr with `error` for an unknown URL.
std::unique_ptr<MailSender> OpenMailSender(const std::string& sendUrl, const std::string& password,
                                           const MailWaiting& waiting, MailError& error);

// The sender address for a profile URL: its user when that is an address,
// else user@host, else "edi-station@" + the host name.
std::string SenderAddress(const std::string& profileUrl);

}  // namespace edi
