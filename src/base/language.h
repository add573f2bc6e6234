// The language of the station's texts for people: the meanings of codes and
// the outcomes told by the history. The window speaks Japanese; the
// command-line programs follow the locale.
#pragma once

#include <string_view>

namespace edi {

enum class Language { kEnglish, kJapanese };

// Japanese when the locale's messages (LC_ALL, LC_MESSAGES, LANG, in that
// order) begin with "ja", else English.
Language LanguageOfLocale();

// The text of `language` out of a pair.
constexpr std::string_view InLanguage(Language language, std::string_view english, std::string_view japanese) {
  return language == Language::kJapanese ? japanese : english;
}

}  // namespace edi
