// The one UTF-8 reading against GLib's own g_utf8_validate_len on every sequence of up to
// three bytes and on every four-byte lead with each second and third byte, framed by ASCII so
// that the eight-byte steps meet them at every alignment. GLib's length-bounded check stops at
// a NUL byte, which is valid UTF-8 to us, so the sequences hold none.
#include "support/Utf8.h"

#include <gtest/gtest.h>
#include <string>

#ifdef LW_HAVE_GLIB
#include <glib.h>
#endif

namespace lw::test {
namespace {

TEST(Utf8, EveryShortSequenceIsJudgedAsGlibJudgesIt) {
#ifndef LW_HAVE_GLIB
  GTEST_SKIP() << "GLib's development files (libglib2.0-dev) are missing: no oracle";
#else
  std::size_t mismatches = 0;
  std::string text;
  auto compare = [&](std::string_view sequence, std::size_t padding) {
    text.assign(padding, 'a');
    text += sequence;
    text.append(9, 'z');
    const char *end = nullptr;
    g_utf8_validate_len(text.data(), text.size(), &end);
    const auto glib = static_cast<std::size_t>(end - text.data());
    if (validUtf8Prefix(text) != glib && ++mismatches <= 10)
      ADD_FAILURE() << "prefix of " << padding << " + bytes " << testing::PrintToString(sequence)
                    << ": ours " << validUtf8Prefix(text) << ", GLib " << glib;
    if (isValidUtf8(text) != (glib == text.size()) && ++mismatches <= 10)
      ADD_FAILURE() << "validity of " << testing::PrintToString(sequence);
  };
  char bytes[4];
  for (int a = 0x80; a < 0x100; ++a) {
    bytes[0] = static_cast<char>(a);
    compare({bytes, 1}, a % 9);
    for (int b = 1; b < 0x100; ++b) {
      bytes[1] = static_cast<char>(b);
      compare({bytes, 2}, b % 9);
      for (int c = 1; c < 0x100; c += (a >= 0xE0 ? 1 : 0x41)) {
        bytes[2] = static_cast<char>(c);
        compare({bytes, 3}, c % 9);
        if (a >= 0xF0)
          for (const int d : {0x41, 0x80, 0x8F, 0x90, 0xBF, 0xC0, 0xFF}) {
            bytes[3] = static_cast<char>(d);
            compare({bytes, 4}, (b + c) % 9);
          }
      }
    }
  }
  EXPECT_EQ(mismatches, 0u);
  EXPECT_TRUE(isValidUtf8(""));
  EXPECT_TRUE(isValidUtf8(std::string_view("a\0b", 3))); // NUL is U+0000
#endif
}

} // namespace
} // namespace lw::test
