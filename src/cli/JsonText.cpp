#include "JsonText.h"

#include "support/Utf8.h"

#include <cstdint>

namespace lw::json {

std::string lossyUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  while (!bytes.empty()) {
    const std::size_t valid = validUtf8Prefix(bytes);
    out.append(bytes.substr(0, valid));
    if (valid == bytes.size())
      break;
    out += "\xEF\xBF\xBD";
    bytes.remove_prefix(valid + 1);
  }
  return out;
}

std::string hex(std::string_view bytes) {
  static constexpr char digits[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (const char c : bytes) {
    const auto byte = static_cast<std::uint8_t>(c);
    out += digits[byte >> 4];
    out += digits[byte & 0x0F];
  }
  return out;
}

void appendString(std::string &out, std::string_view utf8) {
  static constexpr char digits[] = "0123456789abcdef";
  out += '"';
  for (const char c : utf8) {
    const auto byte = static_cast<std::uint8_t>(c);
    switch (c) {
    case '"':
      out += "\\\"";
      break;
    case '\\':
      out += "\\\\";
      break;
    case '\n':
      out += "\\n";
      break;
    case '\r':
      out += "\\r";
      break;
    case '\t':
      out += "\\t";
      break;
    default:
      if (byte < 0x20) {
        out += "\\u00";
        out += digits[byte >> 4];
        out += digits[byte & 0x0F];
      } else {
        out += c;
      }
    }
  }
  out += '"';
}

} // namespace lw::json
