#pragma once
// The one stand-in for the operating system's registry and Run-key entries, shared by the tests,
// the fuzzers and the benchmarks. It needs no test framework.

#include "platform/Platform.h"
#include "support/FileError.h"

#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace lw::test {

// An in-memory registry with Windows semantics: key paths and value names compare
// case-insensitively, values enumerate in the order they were first written. It counts every
// call so that tests can prove that something touched no value.
class FakeRegistry : public Registry {
public:
  std::optional<std::string> read(RegistryRoot root, std::string_view keyPath,
                                  std::string_view name) override;
  std::optional<std::vector<std::string>> enumerate(RegistryRoot root,
                                                    std::string_view keyPath) override;
  bool write(RegistryRoot root, std::string_view keyPath, std::string_view name,
             std::string_view data) override;
  bool remove(RegistryRoot root, std::string_view keyPath, std::string_view name) override;
  // Throws `unreadable` when set, as a store file that cannot be read does.
  std::optional<std::vector<std::string>> enumerateOrFail(RegistryRoot root,
                                                          std::string_view keyPath) override {
    if (unreadable)
      throw *unreadable;
    return enumerate(root, keyPath);
  }
  std::optional<FileError> unreadable;

  // Direct access for arranging and checking, not counted.
  void set(RegistryRoot root, std::string_view keyPath, std::string_view name,
           std::string_view data);
  std::optional<std::string> get(RegistryRoot root, std::string_view keyPath,
                                 std::string_view name) const;
  // Writes and deletions under this root fail, as without rights for the machine-wide store.
  void denyWrites(RegistryRoot root) { denied.insert(root); }
  void allowWrites(RegistryRoot root) { denied.erase(root); }

  int reads = 0;
  int enumerations = 0;
  int writes = 0;
  int removals = 0;
  int calls() const { return reads + enumerations + writes + removals; }

private:
  struct Value {
    std::string name;
    std::string data;
  };
  using Key = std::vector<Value>;
  Key *findKey(RegistryRoot root, std::string_view keyPath);
  const Key *findKey(RegistryRoot root, std::string_view keyPath) const;
  std::map<std::pair<RegistryRoot, std::string>, Key> keys;
  std::set<RegistryRoot> denied;
};

// The entries of the Run keys, kept here by root in the order they were first written, names
// compared case-insensitively as Windows does. Every entry starts unless it is switched off
// (setEnabled, or `disabled` directly) or given a verdict; a command names a missing program
// when `missing` holds it. A snapshot is the command alone. Changes are counted.
class FakeStartupState : public StartupState {
public:
  std::optional<std::vector<RunEntry>> entries(RegistryRoot root) override;
  std::optional<std::vector<std::string>> names(RegistryRoot root) override;
  std::optional<std::string> commandOf(RegistryRoot root, std::string_view name) override;
  bool write(RegistryRoot root, std::string_view name, std::string_view command) override;
  // Writes as write does and notes the application in fromApplication.
  bool writeFromApplication(RegistryRoot root, std::string_view name, std::string_view command,
                            std::string_view application) override {
    fromApplication[std::string(name)] = std::string(application);
    return write(root, name, command);
  }
  bool remove(RegistryRoot root, std::string_view name) override;
  bool setEnabled(RegistryRoot root, std::string_view name, bool enabled) override;
  bool rename(RegistryRoot root, std::string_view from, std::string_view to) override;
  std::optional<std::string> snapshot(RegistryRoot root, std::string_view name) override;
  SnapshotRestore restoreSnapshot(RegistryRoot root, std::string_view name,
                                  std::string_view snapshot) override;
  std::optional<std::string> missingProgram(std::string_view command) override;
  // Where a failed write is said to have gone: "<name>.entry".
  std::string entryFile(RegistryRoot, std::string_view name) override {
    return std::string(name) + ".entry";
  }
  std::string unstartableCharacters(std::string_view programFile) const override {
    const auto found = unstartable.find(std::string(programFile));
    return found == unstartable.end() ? std::string() : found->second;
  }

  // Direct access for arranging and checking, not counted.
  void put(RegistryRoot root, std::string_view name, std::string_view command);
  std::optional<std::string> get(RegistryRoot root, std::string_view name) const;
  // Writes, renames and removals under this root fail, as without administrator rights.
  void denyWrites(RegistryRoot root) { denied.insert(root); }
  void allowWrites(RegistryRoot root) { denied.erase(root); }

  struct Verdict {
    StartVerdict verdict;
    std::string detail;
  };
  std::map<std::pair<RegistryRoot, std::string>, Verdict> verdicts;
  std::set<std::pair<RegistryRoot, std::string>> disabled;
  std::map<std::string, std::string> missing;         // command -> the program it lacks
  std::map<std::string, std::string> unstartable;     // program file -> characters no session takes
  std::map<std::string, std::string> files;           // name -> the entry's autostart file
  std::map<std::string, std::string> fromApplication; // name -> the application it was made from
  bool switchFails = false;

  int writes = 0;
  int removals = 0;
  int renames = 0;

private:
  struct Entry {
    std::string name;
    std::string command;
  };
  using Key = std::vector<Entry>;
  Key::iterator find(RegistryRoot root, std::string_view name);
  std::map<RegistryRoot, Key> keys;
  std::set<RegistryRoot> denied;
};

// The applications of a menu, as given.
class FakeApplications : public Applications {
public:
  std::vector<InstalledApplication> list() override { return offered; }
  std::optional<InstalledApplication> find(std::string_view id) override {
    for (const auto &application : offered)
      if (application.id == id)
        return application;
    return std::nullopt;
  }
  std::vector<InstalledApplication> offered;
};

} // namespace lw::test
