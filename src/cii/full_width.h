// The widening of half-width text, as the "K" fields and elements need it.
#pragma once

#include <string>
#include <string_view>

namespace edi::cii {

// Every character that has a full-width form replaced by it, by Unicode's
// <wide> and <narrow> compatibility mappings: ASCII and the space, the
// Latin-1 signs, half-width katakana and symbols. A half-width kana followed
// by a half-width sound mark becomes the voiced kana where one exists
// ("ｶﾞ" → "ガ"); every sound mark that joins no kana becomes the spacing
// "゛" or "゜". The half-width Hangul letters and "｟｠" stay as they are
// (no Windows-31J character either way). `text` is UTF-8.
std::string ToFullWidth(std::string_view text);

}  // namespace edi::cii
