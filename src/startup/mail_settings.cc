#include "startup/mail_settings.h"

#include "startup/setting_numbers.h"

namespace edi {

MailSettings ReadMailSettings(const ProfileFile& settings) {
  MailSettings mail{settings.Value("MAPI", "ProfileName"), settings.Value("MAPI", "Password"),
                    settings.Value("MAPI", "SendURL"), settings.Value("MAIL", "MAIL-TEXT")};
  const auto timeout = ParseSettingNumber(settings.Value("MAPI", "TIMEOUT"));
  if (timeout && *timeout >= 1 && *timeout <= 3600) mail.timeoutSeconds = static_cast<int>(*timeout);
  return mail;
}

}  // namespace edi
