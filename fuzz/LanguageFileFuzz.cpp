// The language file reader on arbitrary bytes. Input: the bytes of "0013trl.ini"; when the
// input holds a NUL, what stands before the first one is "config.ini" instead.
#include "FuzzPlatform.h"
#include "support/FileError.h"
#include "support/LanguageTable.h"
#include "support/TextNumbers.h"

namespace {
const std::string standardConfig = "Language\r\n[English]\r\nHomepage\r\nhttps://example.org/\r\n";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  auto &fuzz = lw::fuzz::FuzzPlatform::instance();
  const std::string_view input(reinterpret_cast<const char *>(data), size);
  const auto nul = input.find('\0');
  fuzz.put("config.ini", nul == std::string_view::npos ? standardConfig : input.substr(0, nul));
  fuzz.put("0013trl.ini", nul == std::string_view::npos ? input : input.substr(nul + 1));

  lw::LanguageTable table(fuzz.platform);
  try {
    table.load();
  } catch (const lw::FileError &) {
    LW_FUZZ_CHECK(table.entries().empty()); // a failed load keeps what the table held
    return 0;
  }
  for (const auto number : lw::text::all) {
    const std::string text = table.getText(number);
    LW_FUZZ_CHECK(text.find('\n') == std::string::npos);
  }
  for (const auto &entry : table.entries())
    (void)table.getText(entry.number);
  return 0;
}
