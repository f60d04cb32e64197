#pragma once
// The built command line in a program directory, home and autostart folders of its own. How a
// program is started and which files make an installation differ by system: the build picks
// InstallationPosix.cpp or InstallationWin32.cpp.
#include "Fakes.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace lw::test {

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

inline std::string slurp(const std::filesystem::path &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// A fresh installation: the built program and its data files, a home, a user configuration
// folder and a system configuration folder, all temporary.
class Installation {
public:
  explicit Installation(const std::string &programFolder = "program");
  ~Installation();
  Installation(const Installation &) = delete;
  Installation &operator=(const Installation &) = delete;

  // The command line with these arguments; argument bytes are passed unchanged. `environment`
  // adds to or replaces the variables every run has ("NAME=value"). A non-zero addressSpace
  // limits the program's address space to that many bytes (POSIX only).
  Outcome run(const std::vector<std::string> &arguments,
              const std::vector<std::string> &environment = {},
              std::uint64_t addressSpace = 0) const;

  // Another program of the installation (the starter) with these arguments.
  Outcome runFile(const std::string &file, const std::vector<std::string> &arguments) const;

  // A command line of the system's shell (bash; cmd on Windows) with the program's folder
  // first on PATH, so that "launchwright" there is found as a user would find it.
  Outcome shell(const std::string &script) const;

  std::string entries() const { return slurp(program / "0013cst.ini"); }
  std::string backup() const { return slurp(program / "0013bkp.ini"); }
  std::filesystem::path userAutostart() const { return config / "autostart"; }
  std::filesystem::path machineAutostart() const { return system / "autostart"; }

  // Everything the program may write, to show that a refused request wrote nothing. A file too
  // large to hold in a test counts by its size and time.
  std::map<std::string, std::string> snapshot() const;

  // A program every installation of the system has, found as a check looks for programs.
  static const char *const aProgram;

  TempDir dir;
  std::filesystem::path program, home, config, system;

private:
  // Where the system keeps the user's switched-off Customized names outside the installation
  // (the registry on Windows), those already there before the test: the rest go with it.
  static std::vector<std::string> userSwitchesNow();
  std::vector<std::string> userSwitchesBefore = userSwitchesNow();

  Outcome execute(const std::vector<std::string> &argv, const std::vector<std::string> &environment,
                  std::uint64_t addressSpace) const;
  // The variables every run starts with.
  std::map<std::string, std::string> baseEnvironment() const;
  // The files the build makes beside the data files (the programs themselves).
  static std::vector<std::string> programFiles();
  // The file that runs the command line.
  static std::string commandLineFile();
};

inline QJsonArray listJson(const Installation &installation) {
  const Outcome run = installation.run({"list", "--json"});
  EXPECT_EQ(run.status, 0) << run.err;
  QJsonParseError error{};
  const QJsonDocument document =
      QJsonDocument::fromJson(QByteArray::fromStdString(run.out), &error);
  EXPECT_EQ(error.error, QJsonParseError::NoError) << run.out;
  EXPECT_TRUE(document.isArray());
  return document.array();
}

inline QJsonObject entryNamed(const QJsonArray &entries, const QString &name) {
  for (const auto &entry : entries)
    if (entry.toObject()["name"].toString() == name)
      return entry.toObject();
  return {};
}

// Everything but the backup file and its copies: what a delete and a restore must give back.
inline std::map<std::string, std::string> entriesState(const Installation &lw) {
  auto files = lw.snapshot();
  // The backup and the journal of changes record what happened; they are no entries.
  std::erase_if(files, [](const auto &file) {
    for (const char *record : {"0013bkp", "startup-changes", "startup-seen"})
      if (file.first.find(record) != std::string::npos)
        return true;
    return false;
  });
  return files;
}

} // namespace lw::test
