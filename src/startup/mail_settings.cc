#include "startup/mail_settings.h"

namespace edi {

MailSettings ReadMailSettings(const ProfileFile& settings) {
  return MailSettings{settings.Value("MAPI", "ProfileName"), settings.Value("MAPI", "Password"),
                      settings.Value("MAPI", "SendURL"), settings.Value("MAIL", "MAIL-TEXT")};
}

}  // namespace edi
