#include "startup/colour_settings.h"

#include "startup/setting_numbers.h"

namespace edi {

RowColours ReadRowColours(const ProfileFile& settings) {
  auto colour = [&](const char* key) { return LeadingSettingNumber(settings.Value("COLOR", key)); };
  return RowColours{colour("通常"), colour("エラー"), colour("処理済"), colour("処理中")};
}

}  // namespace edi
