#include "JsonText.h"

#include "support/Utf8.h"

#include <cstdint>
#include <cstring>

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

namespace {

// Whether a byte must be escaped inside a JSON string.
constexpr bool needsEscape(char c) {
  return static_cast<unsigned char>(c) < 0x20 || c == '"' || c == '\\';
}

constexpr std::uint64_t ones = 0x0101010101010101u;
constexpr std::uint64_t highs = 0x8080808080808080u;

// The high bit of every byte of the word that is below 0x20, a quote or a backslash; with
// `ascii`, also of every byte of 0x80 and above.
template <bool ascii> std::uint64_t stops(std::uint64_t word) {
  const auto hasZero = [](std::uint64_t v) { return (v - ones) & ~v & highs; };
  const std::uint64_t control = (word - ones * 0x20) & ~word & highs;
  const std::uint64_t found =
      control | hasZero(word ^ (ones * '"')) | hasZero(word ^ (ones * '\\'));
  return ascii ? found | (word & highs) : found;
}

// How many leading bytes are plain, judged eight at a time: a byte that needs an escape (and,
// with `ascii`, one that is not ASCII) makes its word stop the fast scan.
template <bool ascii> std::size_t plainPrefix(std::string_view text) {
  std::size_t at = 0;
  for (; at + 8 <= text.size(); at += 8) {
    std::uint64_t word;
    std::memcpy(&word, text.data() + at, 8);
    if (stops<ascii>(word))
      break;
  }
  const auto plain = [](char c) {
    return !needsEscape(c) && (!ascii || static_cast<unsigned char>(c) < 0x80);
  };
  while (at < text.size() && plain(text[at]))
    ++at;
  return at;
}

void appendQuoted(std::string &out, std::string_view plain) {
  const std::size_t size = out.size();
  out.resize(size + plain.size() + 2);
  char *to = out.data() + size;
  *to = '"';
  std::memcpy(to + 1, plain.data(), plain.size());
  to[plain.size() + 1] = '"';
}

} // namespace

void appendString(std::string &out, std::string_view utf8) {
  static constexpr char digits[] = "0123456789abcdef";
  out += '"';
  // Names and commands rarely hold anything to escape: the runs between escapes are copied
  // whole, not byte by byte.
  std::size_t run = 0;
  for (std::size_t at = plainPrefix<false>(utf8); at < utf8.size(); ++at) {
    const char c = utf8[at];
    if (!needsEscape(c))
      continue;
    out.append(utf8.substr(run, at - run));
    run = at + 1;
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
    default: {
      const auto byte = static_cast<std::uint8_t>(c);
      out += "\\u00";
      out += digits[byte >> 4];
      out += digits[byte & 0x0F];
    }
    }
  }
  out.append(utf8.substr(run));
  out += '"';
}

bool appendText(std::string &out, std::string_view bytes) {
  // Most names, commands and paths are plain ASCII: nothing to check or escape.
  if (plainPrefix<true>(bytes) == bytes.size()) {
    appendQuoted(out, bytes);
    return true;
  }
  if (isValidUtf8(bytes)) {
    appendString(out, bytes);
    return true;
  }
  appendString(out, lossyUtf8(bytes));
  return false;
}

void appendKey(std::string &out, const char *key) {
  out += ",\"";
  out += key;
  out += "\":";
}

bool appendText(std::string &out, const char *key, std::string_view bytes) {
  appendKey(out, key);
  return appendText(out, bytes);
}

void appendOptional(std::string &out, const char *key, const std::optional<std::string> &text) {
  if (text)
    appendText(out, key, *text);
  else
    appendKey(out, key), out += "null";
}

void appendWord(std::string &out, const char *word) {
  out += '"';
  out += word;
  out += '"';
}

void appendBytes(std::string &out, const char *key, const char *hexKey, std::string_view bytes) {
  if (!appendText(out, key, bytes)) {
    appendKey(out, hexKey);
    appendString(out, hex(bytes));
  }
}

} // namespace lw::json
