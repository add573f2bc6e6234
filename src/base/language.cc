#include "base/language.h"

#include <cstdlib>
#include <string>

namespace edi {

Language LanguageOfLocale() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') continue;
    return std::string(value).rfind("ja", 0) == 0 ? Language::kJapanese : Language::kEnglish;
  }
  return Language::kEnglish;
}

}  // namespace edi
