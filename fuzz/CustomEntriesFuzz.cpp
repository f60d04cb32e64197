// The customized entries reader on arbitrary bytes, the walk over its blocks and the rewrite.
// Input: the bytes of "0013cst.ini". The launcher then ticks over what the file holds.
#include "FuzzPlatform.h"
#include "scheduler/Launcher.h"
#include "storage/EntryStore.h"
#include "support/FileError.h"

namespace {

using Lines = std::vector<std::string>;

void walkBlocks(const Lines &lines) {
  const std::size_t complete = lw::completeBlockLines(lines);
  LW_FUZZ_CHECK(complete <= lines.size() && complete % lw::linesPerBlock == 0);
  LW_FUZZ_CHECK(lines.size() - complete < lw::linesPerBlock);
  for (std::size_t i = 0; i < complete; i += lw::linesPerBlock) {
    const std::string &scheduleLine = lines[i + 2];
    (void)lw::Toolbox::textToInteger(std::string_view(scheduleLine).substr(0, 2));
  }
  const auto entries = lw::entriesOf(lines);
  LW_FUZZ_CHECK(entries.size() == (lines.size() + 3) / 4);
  for (std::size_t k = 0; k < entries.size(); ++k)
    LW_FUZZ_CHECK(entries[k].complete == ((k + 1) * 4 <= lines.size()));
}

bool hasBlockNamed(const Lines &lines, const std::string &name) {
  for (std::size_t i = 0; i < lines.size(); i += lw::linesPerBlock)
    if (lines[i] == name)
      return true;
  return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  auto &fuzz = lw::fuzz::FuzzPlatform::instance();
  const std::string input(reinterpret_cast<const char *>(data), size);
  fuzz.put(lw::customEntriesFileName, input);

  lw::EntryStore store(fuzz.platform);
  store.readEntries();
  const Lines read = store.customLines;
  walkBlocks(read);
  const bool recognised = lw::parseDataFile(input, lw::customEntriesHeader).recognised;
  LW_FUZZ_CHECK(recognised || read.empty());

  try {
    store.writeEntries();
  } catch (const lw::FileError &error) {
    // Only a file we do not understand is refused, and it stays as it was.
    LW_FUZZ_CHECK(!recognised && error.reason() == lw::unrecognisedContentReason);
    LW_FUZZ_CHECK(fuzz.get(lw::customEntriesFileName) == input);
    return 0;
  }
  LW_FUZZ_CHECK(recognised);

  // A rewrite keeps every line; only the last separator of complete blocks is normalised.
  Lines expected = read;
  if (!expected.empty() && expected.size() % lw::linesPerBlock == 0)
    expected.back() = lw::blockSeparator;
  store.readEntries();
  LW_FUZZ_CHECK(store.customLines == expected);

  // A new entry lands on a block boundary in front of any incomplete tail, and goes again.
  const std::string name = "fuzz \x01 entry";
  store.addEntry(name, "cmd", "000000000000000x00200606300905");
  const Lines added = store.customLines;
  const std::size_t at = lw::completeBlockLines(expected);
  LW_FUZZ_CHECK(added.size() == expected.size() + 4 && added[at] == name);
  LW_FUZZ_CHECK(std::equal(expected.begin() + static_cast<std::ptrdiff_t>(at), expected.end(),
                           added.begin() + static_cast<std::ptrdiff_t>(at) + 4));
  store.removeEntry(name);
  LW_FUZZ_CHECK(!hasBlockNamed(store.customLines, name));
  walkBlocks(store.customLines);

  // The timer starts complete blocks only, and its write-back keeps every other line.
  store.readEntries();
  const Lines beforeTick = store.customLines;
  const std::size_t complete = lw::completeBlockLines(beforeTick);
  fuzz.shell.opened.clear();
  lw::Launcher launcher(fuzz.platform, {});
  launcher.reloadPending = true;
  launcher.tick();
  launcher.tick();
  LW_FUZZ_CHECK(fuzz.shell.opened.size() <= 2 * complete / lw::linesPerBlock);
  for (const auto &command : fuzz.shell.opened) {
    bool fromABlock = false;
    for (std::size_t i = 0; i < complete; i += lw::linesPerBlock)
      fromABlock = fromABlock || beforeTick[i + 1] == command;
    LW_FUZZ_CHECK(fromABlock);
  }
  store.readEntries();
  LW_FUZZ_CHECK(store.customLines.size() == beforeTick.size());
  for (std::size_t i = 0; i < beforeTick.size(); ++i)
    LW_FUZZ_CHECK(i % lw::linesPerBlock == 2 || store.customLines[i] == beforeTick[i]);
  return 0;
}
