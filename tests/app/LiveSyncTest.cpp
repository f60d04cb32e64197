// The running window and the built command line in another process, on the same program
// directory and XDG folders: what the command line (or a hand edit) changes reaches the
// window's timer before its next tick, and its list.
#include "AppFixture.h"
#include "CStrings.h"

#include "native/linux/RegistryStore.h"
#include "native/linux/XdgStartupState.h"
#include "support/TextFile.h"

#include <QCoreApplication>
#include <QDialog>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <thread>
#include <tuple>

namespace lw::test {
namespace {

namespace fs = std::filesystem;

class LiveSync : public ::testing::Test {
protected:
  TestProgram program;
  const fs::path home = program.dir.path() / "home";
  const fs::path config = program.dir.path() / "config";
  const fs::path system = program.dir.path() / "xdg";
  std::map<std::string, std::string> environment{{"HOME", home.string()},
                                                 {"XDG_CONFIG_HOME", config.string()},
                                                 {"XDG_CONFIG_DIRS", system.string()},
                                                 {"PATH", "/usr/bin:/bin"}};
  const XdgStartupState::Environment lookUp = [this](const char *name) -> const char * {
    const auto found = environment.find(name);
    return found == environment.end() ? nullptr : found->second.c_str();
  };
  RegistryStore registry{xdgLocations(lookUp).storeFile};
  XdgStartupState startup{xdgLocations(lookUp), lookUp};
  Platform platform{registry,         program.shell,   program.clock, program.location,
                    program.prompter, program.chooser, startup};
  FakeTray tray;
  std::unique_ptr<MainDialog> dialog;

  LiveSync() {
    for (const auto &folder : {home, config, system})
      fs::create_directories(folder);
    fs::copy_file(LW_BUILT_PROGRAM, program.location.executable);
  }

  // The command line in the same world; its exit status, its output in `out`.
  int run(const std::vector<std::string> &arguments, std::string *out = nullptr) const {
    const std::string output = (program.dir.path() / "stdout").string();
    std::vector<std::string> argv{program.location.executable};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<std::string> variables{"LANG=C.UTF-8"};
    for (const auto &[name, value] : environment)
      variables.push_back(name + "=" + value);
    const auto args = cStrings(argv);
    const auto env = cStrings(variables);
    const pid_t child = ::fork();
    if (child == 0) {
      ::dup2(::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
      ::execve(args[0], args.data(), env.data());
      ::_exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    if (out)
      *out = textfile::readBytes(output);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  using Row = std::tuple<std::string, std::string, bool>; // kind, name, switched off

  std::vector<Row> listedByCommandLine() const {
    std::string json;
    EXPECT_EQ(run({"list", "--json"}, &json), 0);
    std::vector<Row> rows;
    for (const auto &entry : QJsonDocument::fromJson(QByteArray::fromStdString(json)).array()) {
      const QJsonObject object = entry.toObject();
      rows.emplace_back(object["kind"].toString().toStdString(),
                        object["name"].toString().toStdString(),
                        object["reason"].toString() == QStringLiteral("disabled"));
    }
    return rows;
  }

  std::vector<Row> listedByWindow() const {
    std::vector<Row> rows;
    for (const auto &row : dialog->listModel->rows())
      rows.emplace_back(row.kind == EntryKind::Customized    ? "customized"
                        : row.kind == EntryKind::CurrentUser ? "user"
                                                             : "machine",
                        row.name, row.verdict == StartVerdict::Disabled);
    return rows;
  }
};

TEST_F(LiveSync, WindowFollowsTheCommandLineBeforeItsNextTick) {
  for (const char *name : {"Alpha", "Beta", "Gamma"})
    ASSERT_EQ(run({"add", "--kind", "customized", "--name", name, "--command",
                   std::string("/bin/echo ") + name, "--schedule", "every:1m"}),
              0);
  ASSERT_EQ(run({"disable", "--kind", "customized", "--name", "Gamma"}), 0);

  // Long after the command line's stamps, so that every entry switched on is due each minute.
  int minute = 0;
  program.clock.set(2099, 1, 1, 10, minute);
  dialog = std::make_unique<MainDialog>(platform, tray);
  dialog->OnInitDialog();
  dialog->show();
  dialog->dispatch(&MainDialog::OnTimer);
  ASSERT_EQ(program.shell.started.size(), 2u) << "Alpha and Beta start";

  const std::string edited = "/bin/echo Delta --edited";
  // Each change is followed by one turn of the window's event loop and a tick a minute later;
  // without starts the list alone must follow, within its settling delay.
  const struct {
    const char *what;
    std::vector<std::string> arguments; // none: a hand edit of the entries file, in place
    std::optional<std::vector<std::string>> starts;
  } steps[] = {
      {"switched off",
       {"disable", "--kind", "customized", "--name", "Alpha"},
       {{"/bin/echo Beta"}}},
      {"deleted", {"delete", "--kind", "customized", "--name", "Beta"}, {{}}},
      {"added",
       {"add", "--kind", "customized", "--name", "Delta", "--command", "/bin/echo Delta",
        "--schedule", "every:1m"},
       {{"/bin/echo Delta"}}},
      {"switched on",
       {"enable", "--kind", "customized", "--name", "Gamma"},
       {{"/bin/echo Delta", "/bin/echo Gamma"}}},
      {"a user entry added",
       {"add", "--kind", "user", "--name", "Editor", "--command", "/bin/true"},
       std::nullopt},
      {"edited by hand", {}, {{edited, "/bin/echo Gamma"}}},
  };
  for (const auto &step : steps) {
    SCOPED_TRACE(step.what);
    if (step.arguments.empty()) {
      std::string bytes = program.readFile("0013cst.ini");
      bytes.replace(bytes.find("/bin/echo Delta"), 15, edited);
      std::ofstream(program.file("0013cst.ini"), std::ios::binary | std::ios::trunc) << bytes;
    } else {
      ASSERT_EQ(run(step.arguments), 0);
    }
    QCoreApplication::processEvents();
    if (step.starts) {
      program.clock.set(2099, 1, 1, 10, ++minute);
      const std::size_t before = program.shell.started.size();
      dialog->dispatch(&MainDialog::OnTimer);
      std::vector<std::string> started;
      for (std::size_t i = before; i < program.shell.started.size(); ++i)
        started.push_back(program.shell.started[i].command);
      std::sort(started.begin(), started.end());
      EXPECT_EQ(started, *step.starts);
    }
    const auto expected = listedByCommandLine();
    if (!QTest::qWaitFor([&] { return listedByWindow() == expected; }, 2000)) {
      EXPECT_EQ(listedByWindow(), expected);
    }
  }
  EXPECT_TRUE(program.prompter.shown.empty());
}

// A change from outside that the window cannot take at once still reaches its list: under a
// dialog, once the dialog closes; amid a stream of further events, before the stream ends.
TEST_F(LiveSync, AnOutsideChangeReachesTheListOnceTheWindowCanTakeIt) {
  dialog = std::make_unique<MainDialog>(platform, tray);
  dialog->OnInitDialog();
  dialog->show();
  QDialog question(dialog.get());
  question.setWindowModality(Qt::ApplicationModal);
  const fs::path stream = program.dir.path() / "stream";
  const struct {
    const char *slip;
    const char *name;
    bool underDialog;
    bool streaming;
  } rows[] = {
      {"a change seen under a dialog is shown under it, or not looked at again once it closes",
       "Questioned", true, false},
      {"each event restarts the settling delay, so a stream postpones the reload for ever",
       "Streamed", false, true},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.slip);
    const auto before = listedByWindow();
    if (row.underDialog)
      question.show();
    ASSERT_EQ(run({"add", "--kind", "customized", "--name", row.name, "--command", "/bin/true",
                   "--schedule", "every:1m"}),
              0);
    const auto expected = listedByCommandLine();
    ASSERT_NE(expected, before);
    if (row.underDialog) {
      QTest::qWait(1000);
      EXPECT_EQ(listedByWindow(), before) << "the dialog goes on with the rows it was given";
      question.hide();
    }
    // Another program's stream: it goes on while the window's thread waits for its turn.
    std::jthread streaming;
    if (row.streaming)
      streaming = std::jthread([&stream](std::stop_token stop) {
        while (!stop.stop_requested()) {
          std::ofstream{stream};
          fs::remove(stream);
          std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
      });
    EXPECT_TRUE(QTest::qWaitFor([&] { return listedByWindow() == expected; }, 2000));
  }
}

} // namespace
} // namespace lw::test
