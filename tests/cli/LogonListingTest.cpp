// The other ways a program starts at logon, as list, check, disable and enable show and switch
// them: through the core, on sources that answer as a test says.

#include "Fakes.h"

#include "cli/Commands.h"
#include "entries/LogonRows.h"
#include "native/linux/BootJobs.h"
#include "native/linux/SessionScripts.h"
#include "native/linux/SystemdUserUnits.h"
#include "native/windows/LogonTasks.h"
#include "native/windows/RunOnceKeys.h"
#include "native/windows/StartupFolders.h"
#include "support/TextNumbers.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

namespace lw::test {
namespace {

LogonItem unit(std::string name, const LogonReason &reason, LogonSwitch how,
               StartVerdict verdict = StartVerdict::Starts) {
  LogonItem item;
  item.name = std::move(name);
  item.command = "/usr/bin/" + item.name.substr(0, item.name.find('.')) + " --now";
  item.file = "/units/" + item.name;
  item.reason = &reason;
  item.switchBy = how;
  item.verdict = verdict;
  item.state = verdict == StartVerdict::Disabled ? "masked" : "enabled";
  return item;
}

// A way to start of its own, written as a new source would be: its kind word, its texts in both
// languages, its reason, and what Edit opens for its items. Nothing else names it.
class NotesFiles : public LogonSource {
public:
  static constexpr LogonReason readAtLogon{
      {0, "read at logon", "bei der Anmeldung gelesen"},
      {0, "The notes program reads this file when you log on",
       "Das Notizprogramm liest diese Datei bei der Anmeldung"}};
  static constexpr const LogonReason *reasons[] = {&readAtLogon};
  static constexpr LogonKind description{
      "notes-file", {0, "Notes file", "Notizdatei"}, {0, "Notes files:", "Notizdateien:"}, reasons};

  LogonSourceKind kind() const override { return &description; }
  LogonSourceListing list() override {
    LogonItem item;
    item.name = "todo.txt";
    item.command = item.file = "/notes/at-logon/todo.txt";
    item.reason = &readAtLogon;
    item.verdict = verdict;
    item.detail = detail;
    return {{item}, std::nullopt};
  }
  StartVerdict verdict = StartVerdict::Starts;
  std::string detail;
  // The folder: the notes program lists its files there.
  std::string fileToOpen(const LogonItem &item) const override {
    return item.file.substr(0, item.file.rfind('/'));
  }
};

class LogonListing : public ::testing::Test {
protected:
  LogonListing() {
    units.items = {
        unit("sync.service", SystemdUserUnits::userEnabled, LogonSwitch::Enable),
        unit("pipewire.service", SystemdUserUnits::vendorEnabled, LogonSwitch::Mask),
        unit("old.service", SystemdUserUnits::masked, LogonSwitch::Mask, StartVerdict::Disabled)};
    units.items[1].systemComponent = units.items[1].allUsers = true;
    scripts.unavailable = "the folder is gone";
    boots.throws = "cannot read the crontab";
    program.platform.logonSources = {&units, &scripts, &boots};
    texts.loadSection("[English]");
  }
  TestProgram program;
  FakeLogonSource units{&SystemdUserUnits::description};
  FakeLogonSource scripts{&SessionScripts::description};
  FakeLogonSource boots{&BootJobs::description};
  LanguageTable texts{program.platform};
  cli::Context context{program.platform, texts, {}};
};

TEST_F(LogonListing, EveryKindIsListedWithItsSwitchAndTheSystemsOwnAreFlagged) {
  const cli::Result json = cli::listEntries(context, cli::ListForm::Json);
  ASSERT_EQ(json.status, cli::exitSuccess);
  // Listing everything says nothing of a source that could not be asked.
  EXPECT_TRUE(json.notes.empty());
  const QJsonArray rows = QJsonDocument::fromJson(QByteArray::fromStdString(json.out)).array();
  ASSERT_EQ(rows.size(), 3) << json.out;
  struct Expected {
    const char *name, *status, *switchWord;
    bool starts, systemComponent;
  };
  const Expected expected[] = {
      {"sync.service", "Starts \u2013 enabled by you", "enable", true, false},
      {"pipewire.service", "Starts \u2013 enabled by the system", "mask", true, true},
      {"old.service", "Disabled \u2013 masked", "mask", false, false}};
  for (int i = 0; i < 3; ++i) {
    const QJsonObject row = rows[i].toObject();
    SCOPED_TRACE(expected[i].name);
    EXPECT_EQ(row["kind"].toString(), "systemd-unit");
    EXPECT_EQ(row["name"].toString(), expected[i].name);
    EXPECT_EQ(row["status"].toString(), QString::fromUtf8(expected[i].status));
    EXPECT_EQ(row["switch"].toString(), expected[i].switchWord);
    EXPECT_EQ(row["starts"].toBool(), expected[i].starts);
    EXPECT_EQ(row["system_component"].toBool(), expected[i].systemComponent);
    EXPECT_EQ(row["file"].toString(), QString("/units/") + expected[i].name);
  }

  // --kind narrows: a source named by it that cannot be asked, or that breaks when asked, says
  // so; the window's kinds ask no other source at all.
  const std::pair<std::string, std::string> unasked[] = {
      {"session-script", "Session script: the folder is gone"},
      {"boot-job", "Boot job: cannot read the crontab"}};
  for (const auto &[kind, why] : unasked) {
    const cli::Result only = cli::listEntries(context, cli::ListForm::Lines, {std::nullopt, kind});
    EXPECT_EQ(only.out, "");
    EXPECT_EQ(only.notes, std::vector<std::string>{
                              "Launchwright could not ask for the entries of kind " + why});
  }
  const int asked = units.listed;
  const cli::Result customized =
      cli::listEntries(context, cli::ListForm::Lines, {EntryKind::Customized, std::nullopt});
  EXPECT_EQ(units.listed, asked);
  EXPECT_EQ(customized.out.find("sync.service"), std::string::npos);

  // check names each with its reason and fails for the one that does not start.
  const cli::Result check = cli::checkEntries(context, "old.service");
  EXPECT_EQ(check.status, cli::exitFailure);
  EXPECT_EQ(check.out,
            "systemd unit \"old.service\": This user unit is masked: systemd starts it "
            "for nothing and nobody; \"launchwright enable old.service\" unmasks it (its "
            "tool reports it as "
            "masked).\n");
}

TEST_F(LogonListing, SwitchingGoesToTheSourceOnlyWhereItCan) {
  units.items.push_back(unit("static.service", SystemdUserUnits::vendorEnabled, LogonSwitch::None));
  struct Case {
    const char *name;
    bool enable, fails;
    int status;
    bool tried;
  };
  const Case cases[] = {{"sync.service", false, false, cli::exitSuccess, true},
                        {"old.service", true, false, cli::exitSuccess, true},
                        {"static.service", false, false, cli::exitUsage, false},
                        {"sync.service", true, true, cli::exitFailure, true},
                        {"gone.service", false, false, cli::exitUsage, false}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    units.fails = c.fails;
    units.switches.clear();
    const cli::Result result = cli::switchLogonEntry(context, "systemd-unit", c.name, c.enable);
    EXPECT_EQ(result.status, c.status) << result.error;
    EXPECT_EQ(units.switches.size(), c.tried ? 1u : 0u);
    if (c.tried && !c.fails) {
      EXPECT_EQ(result.out,
                texts.getText(c.enable ? text::switchedOnNotice : text::switchedOffNotice) + "\n");
    }
  }
  // A source that cannot be asked cannot switch anything.
  EXPECT_EQ(cli::switchLogonEntry(context, "session-script", "x", true).status, cli::exitFailure);
}

// Scripts name the shipped sources by their words, on either system: --kind takes each.
TEST(LogonKindWords, EveryShippedSourceIsOneKindTakes) {
  for (const LogonKind *kind :
       {&SystemdUserUnits::description, &SessionScripts::description, &BootJobs::description,
        &StartupFolders::description, &RunOnceKeys::description, &LogonTasks::description}) {
    const auto kinds = cli::kindsOfWord(kind->word);
    ASSERT_TRUE(kinds) << kind->word;
    EXPECT_EQ(kinds->logon, kind->word);
  }
}

TEST_F(LogonListing, ASourceOfItsOwnShowsItsKindCountReasonAndFolderInBothLanguages) {
  NotesFiles notes;
  program.platform.logonSources.push_back(&notes);
  const struct {
    const char *section, *label, *count, *cell, *sentence;
  } languages[] = {{"[English]", "Notes file", "Notes files: 1", "Starts \u2013 read at logon",
                    "The notes program reads this file when you log on."},
                   {"[Deutsch]", "Notizdatei", "Notizdateien: 1",
                    "Startet \u2013 bei der Anmeldung gelesen",
                    "Das Notizprogramm liest diese Datei bei der Anmeldung."}};
  for (const auto &language : languages) {
    SCOPED_TRACE(language.section);
    texts.loadSection(language.section);
    const auto listing = readLogonRows(program.platform.logonSources, texts, {"notes-file"});
    ASSERT_EQ(listing.rows.size(), 1u);
    const StartupEntry &row = listing.rows.front();
    EXPECT_EQ(logonKindLabel(row.logon->source, texts), language.label);
    std::string counts;
    appendLogonCounts(counts, listing, texts);
    EXPECT_EQ(counts, language.count);
    const EntryStatus status = entryStatus(row, texts);
    EXPECT_EQ(status.text, language.cell);
    EXPECT_EQ(status.reason, language.sentence);
    EXPECT_EQ(logonFileToOpen(program.platform.logonSources, *row.logon), "/notes/at-logon");
  }
  texts.loadSection("[English]");
  // A file whose program is missing says so, not how it would start.
  notes.verdict = StartVerdict::ProgramMissing;
  notes.detail = "/opt/notes";
  const auto missing = readLogonRows(program.platform.logonSources, texts, {"notes-file"});
  ASSERT_EQ(missing.rows.size(), 1u);
  EXPECT_EQ(entryStatus(missing.rows.front(), texts).reason,
            "The program cannot be found or is not executable (/opt/notes).");
  notes.verdict = StartVerdict::Starts;
  const cli::Result json =
      cli::listEntries(context, cli::ListForm::Json, {std::nullopt, "notes-file"});
  EXPECT_NE(json.out.find("{\"kind\":\"notes-file\",\"name\":\"todo.txt\""), std::string::npos)
      << json.out;
}

} // namespace
} // namespace lw::test
