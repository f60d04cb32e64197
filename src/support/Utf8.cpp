#include "Utf8.h"

#include <cstdint>
#include <cstring>

namespace lw {

std::size_t validUtf8Prefix(std::string_view bytes) {
  const auto *const text = reinterpret_cast<const unsigned char *>(bytes.data());
  const std::size_t size = bytes.size();
  std::size_t at = 0;
  while (at < size) {
    // Nearly every desktop-entry value and entry name is plain ASCII: eight bytes at a time.
    for (std::uint64_t word; size - at >= sizeof word; at += sizeof word) {
      std::memcpy(&word, text + at, sizeof word);
      if (word & 0x8080808080808080u)
        break;
    }
    while (at < size && text[at] < 0x80)
      ++at;
    if (at == size)
      break;
    // The second byte's range is what rules out overlong forms, surrogates and code points
    // past U+10FFFF (RFC 3629, section 4); the bytes after it are any continuation byte.
    const unsigned char lead = text[at];
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      low = lead == 0xE0 ? 0xA0 : 0x80;
      high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      low = lead == 0xF0 ? 0x90 : 0x80;
      high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
      return at;
    }
    if (size - at < length || text[at + 1] < low || text[at + 1] > high)
      return at;
    for (std::size_t k = 2; k < length; ++k)
      if ((text[at + k] & 0xC0) != 0x80)
        return at;
    at += length;
  }
  return size;
}

} // namespace lw
