#pragma once

#include <unicode/ucol.h>

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace store::order {

// Sort keys. Every key is a byte string with no zero inside, ended by a zero, so keys order as
// memcmp/strcmp order them; the empty text's key is the lone zero, first of all. This file
// writes them the general way: ICU's key for a locale's collator, or Qt's case-folded code
// units for the "C" locale.

// ICU's sort key, grown into `out` when it does not fit; its length with the final zero.
size_t icuKey(const UCollator *collator, std::u16string_view text, std::vector<uint8_t> &out);

// Without a collator Qt compares, code unit by code unit, the case-folded character (the whole
// code point at a low surrogate that follows a high one). Three bytes of seven bits for each
// keep that order and put no zero inside the key.
size_t foldedKey(std::u16string_view text, std::vector<uint8_t> &out);

} // namespace store::order
