// The mail account of the mail transfer and the body of sent mail: sections
// MAPI and MAIL of EDI.ini.
#pragma once

#include <string>

#include "startup/profile_file.h"

namespace edi {

struct MailSettings {
  std::string profileName;  // [MAPI] ProfileName: imap://user@host:port, pop3://..., maildir:///path
  std::string password;     // [MAPI] Password
  std::string sendUrl;      // [MAPI] SendURL: smtp://host:port or sendmail://
  std::string mailText;     // [MAIL] MAIL-TEXT
  int timeoutSeconds = 60;  // [MAPI] TIMEOUT: a server silent this long has gone
};

MailSettings ReadMailSettings(const ProfileFile& settings);

}  // namespace edi
