#pragma once
// Shared set-up of the storage tests: a program directory in a temporary folder with the
// shipped data files, and the exact bytes the two files should hold.

#include "Fakes.h"
#include "storage/EntryStore.h"
#include "storage/Reversal.h"
#include "support/TextNumbers.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace lw::test {

inline std::string emptyCustomFile() {
  return "Kestrumsoft Launchwright - Customized Entries\r\n" + std::string(46, '=') + "\r\n\r\n";
}

inline std::string emptyBackupFile() {
  return "Kestrumsoft Launchwright - Backup File\r\n" + std::string(39, '=') + "\r\n\r\n";
}

// The four lines of one customized entry.
inline std::vector<std::string>
block(const std::string &name, const std::string &command,
      const std::string &scheduleLine = "050030000000000x00200606300905") {
  return {name, command, scheduleLine, "====="};
}

inline std::vector<std::string> concat(std::initializer_list<std::vector<std::string>> parts) {
  std::vector<std::string> all;
  for (const auto &part : parts)
    all.insert(all.end(), part.begin(), part.end());
  return all;
}

// The five lines of a backup record as the program writes them.
inline std::string recordBytes(const std::string &header, const std::string &name,
                               const std::string &command, const std::string &kind) {
  return header + "\r\n" + name + "\r\n" + command + "\r\n" + kind + "\r\n\r\n";
}

// The walk answered through a prompter as the window answers it: its question per record, and
// notice 190 or 195 (with the reason) after each restore.
inline ReversalAnswers promptedAnswers(Prompter &prompter, const LanguageTable &texts) {
  return {[&](const BackupRecord &record) {
            return prompter.ask(restoreQuestion(record, texts), EntryStore::caption);
          },
          [&](const BackupRecord &, const RestoreReport &report) {
            if (report.restored)
              prompter.tell(texts.getText(text::restoredNotice), "");
            else
              prompter.tell(texts.getText(text::restoreFailed) +
                                (report.why.empty() ? "" : "\n\n" + report.why),
                            EntryStore::caption);
          }};
}

class StoreTest : public ::testing::Test {
protected:
  std::string customFile() const { return program.readFile("0013cst.ini"); }
  std::string backupFile() const { return program.readFile("0013bkp.ini"); }
  void setCustomFile(const std::string &bytes) { program.writeFile("0013cst.ini", bytes); }
  void setBackupFile(const std::string &bytes) { program.writeFile("0013bkp.ini", bytes); }
  std::vector<std::string> readBack() {
    EntryStore reader(program.platform);
    reader.readEntries();
    return reader.customLines;
  }

  TestProgram program;
  EntryStore store{program.platform};
};

} // namespace lw::test
