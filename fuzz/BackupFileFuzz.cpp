// The backup reader and the reversal walk on arbitrary bytes. Input: the answers (one bit per
// question; bit 7 of the first byte denies writes to the machine's Run key) up to the first NUL,
// then the bytes of "0013bkp.ini". Without a NUL every question is answered Yes.
#include "FuzzPlatform.h"
#include "storage/Reversal.h"
#include "support/FileError.h"

#include <algorithm>

namespace {

std::size_t recordCount(const std::vector<std::string> &lines) {
  return static_cast<std::size_t>(std::count_if(
      lines.begin(), lines.end(), [](const auto &line) { return lw::beginsRecord(line); }));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  auto &fuzz = lw::fuzz::FuzzPlatform::instance();
  const std::string_view input(reinterpret_cast<const char *>(data), size);
  const auto nul = input.find('\0');
  const std::string_view answers = nul == std::string_view::npos ? "" : input.substr(0, nul);
  const std::string file(nul == std::string_view::npos ? input : input.substr(nul + 1));
  fuzz.put(lw::backupFileName, file);
  fuzz.put(lw::customEntriesFileName, "");
  fuzz.prompter.reset(answers);
  fuzz.denyMachine(!answers.empty() && (static_cast<unsigned char>(answers[0]) & 0x80));

  static lw::LanguageTable texts = [&] {
    lw::LanguageTable table(fuzz.platform);
    table.load();
    return table;
  }();
  lw::EntryStore store(fuzz.platform);
  lw::Toolbox toolbox(fuzz.platform);
  const bool recognised = lw::parseDataFile(file, lw::backupHeader).recognised;

  store.readBackupFile();
  const auto before = store.backupLines;
  lw::ReversalResult result;
  try {
    result = lw::reverseStartupChanges(store, toolbox, {[&](const lw::BackupRecord &record) {
                                         return fuzz.prompter.ask(
                                             lw::restoreQuestion(record, texts), "");
                                       }});
  } catch (const lw::FileError &error) {
    LW_FUZZ_CHECK(!recognised && error.reason() == lw::unrecognisedContentReason);
    LW_FUZZ_CHECK(fuzz.get(lw::backupFileName) == file);
    return 0;
  }
  LW_FUZZ_CHECK(recognised);
  LW_FUZZ_CHECK(result.restored <= fuzz.prompter.questions);
  LW_FUZZ_CHECK(static_cast<std::size_t>(fuzz.prompter.questions) <= recordCount(before));
  // No bound on the file's size after the walk: a restored record leaves it, but a restore over
  // an entry that holds its name now records that entry first.

  // What was written is what the walk kept.
  lw::EntryStore again(fuzz.platform);
  again.readBackupFile();
  LW_FUZZ_CHECK(again.backupLines == store.backupLines);

  // A removal appends exactly one record, whatever the file held, and only when the entry was
  // there to remove.
  const auto kind = static_cast<lw::EntryKind>(
      answers.empty() ? 1 : static_cast<unsigned char>(answers.back()) % 3);
  bool present = true;
  if (kind == lw::EntryKind::Customized) {
    again.addEntry("Fuzzed", "fuzzed --now", "000000000000000x00200601010000");
  } else {
    present = fuzz.startup.write(lw::rootOf(kind), "Fuzzed", "fuzzed --now");
  }
  const auto outcome = again.removeWithBackup(kind, "Fuzzed", "fuzzed --now");
  LW_FUZZ_CHECK(outcome ==
                (present ? lw::RemovalOutcome::Removed : lw::RemovalOutcome::NothingToRemove));
  again.readBackupFile();
  const std::size_t grown = present ? 5 : 0;
  LW_FUZZ_CHECK(again.backupLines.size() == store.backupLines.size() + grown);
  return 0;
}
