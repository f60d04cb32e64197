#pragma once
// The few pieces of JSON the command line writes, by hand: a listing of thousands of entries
// should not build a document tree first, and names are bytes that a JSON string can only
// carry when they are UTF-8.

#include <optional>
#include <string>
#include <string_view>

namespace lw::json {

// Valid UTF-8 as it is; every byte of an invalid sequence becomes U+FFFD.
std::string lossyUtf8(std::string_view bytes);
// Two lower-case hex digits per byte.
std::string hex(std::string_view bytes);
// Appends the text, which must be valid UTF-8, as a quoted JSON string.
void appendString(std::string &out, std::string_view utf8);
// Appends any bytes as a quoted JSON string, as lossyUtf8 reads them; answers whether they were
// valid UTF-8, that is whether the string carries them exactly.
bool appendText(std::string &out, std::string_view bytes);

// The members of an object after its first: ,"key": and the value.
void appendKey(std::string &out, const char *key);
bool appendText(std::string &out, const char *key, std::string_view bytes);
// null when there is no text.
void appendOptional(std::string &out, const char *key, const std::optional<std::string> &text);
// A word of our own, which needs no escape.
void appendWord(std::string &out, const char *word);
// The exact bytes beside a text that JSON cannot carry as it is, as hexKey.
void appendBytes(std::string &out, const char *key, const char *hexKey, std::string_view bytes);

} // namespace lw::json
