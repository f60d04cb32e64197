#pragma once
// The one reading of UTF-8 in the program, GLib's (g_utf8_validate, RFC 3629): a sequence is
// as short as its code point allows, never a surrogate (U+D800 to U+DFFF), never past U+10FFFF,
// and never cut off by the end of the text. A NUL byte is a character like any other here; the
// readers that stop at one do so themselves.

#include <cstddef>
#include <string_view>

namespace lw {

// How many leading bytes form well-formed UTF-8: the place of the first byte that begins no
// valid sequence, or the size when there is none.
std::size_t validUtf8Prefix(std::string_view bytes);

inline bool isValidUtf8(std::string_view bytes) { return validUtf8Prefix(bytes) == bytes.size(); }

} // namespace lw
