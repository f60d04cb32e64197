// The Impact column: the last recorded logon's levels, their figures in the tip, heaviest first
// when sorted; and the View menu's switch of the recorder, kept in config.ini.

#include "AppFixture.h"

#include "entries/StartupImpact.h"
#include "storage/LogonRecordings.h"
#include "support/TextNumbers.h"

namespace lw::test {
namespace {

constexpr auto user = RegistryRoot::CurrentUser;
constexpr int impactColumn = 3;

class ImpactColumnTest : public AppTest {};

TEST_F(ImpactColumnTest, EachRowShowsTheLastLogonsLevelAndSortsHeaviestFirst) {
  for (const char *name : {"Heavy", "Mid", "Light", "Off", "New"})
    setRun(user, name, std::string("/usr/bin/") + name);
  program.startup.disabled.insert({user, "Off"});
  const std::string file = program.file(logonRecordingsFileName);
  // An older logon where the weights were the other way round.
  addLogonRecording(file,
                    {1000, {{"user", "Heavy", 10, 0, 5, ""}, {"user", "Light", 5000, 0, 5, ""}}});
  addLogonRecording(file, {1'765'246'861,
                           {{"user", "Heavy", 1500, 0, 2000, ""},
                            {"user", "Mid", 400, 0, 2000, ""},
                            {"user", "Light", 10, 0, 2000, ""},
                            {"user", "Off", 3000, 0, 2000, ""}}});
  open();
  struct Row {
    const char *name;
    ImpactLevel level;
    const char *inTip;
    const char *slip;
  };
  const Row rows[] = {
      {"Heavy", ImpactLevel::High, "1500", "the oldest logon shown instead of the last"},
      {"Mid", ImpactLevel::Medium, "2025-12-09T02:21:01Z", "the tip without the logon's date"},
      {"Light", ImpactLevel::Low, "2 s", "started-after shown in ms where the tip says s"},
      {"Off", ImpactLevel::None, "", "a switched-off entry's old figures given a level"},
      {"New", ImpactLevel::NotMeasured, "it was not among", "Not measured without its reason"},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.slip);
    const QModelIndex index = cell(row.name, impactColumn);
    ASSERT_TRUE(index.isValid());
    EXPECT_EQ(index.data().toString().toStdString(),
              text(text::impactHigh + static_cast<int>(row.level)));
    EXPECT_NE(index.data(Qt::ToolTipRole).toString().toStdString().find(row.inTip),
              std::string::npos)
        << index.data(Qt::ToolTipRole).toString().toStdString();
  }
  // slip: sorted by the level's words (High, Low, Medium, ...).
  dialog->entryList->sortByColumn(impactColumn, Qt::AscendingOrder);
  std::vector<std::string> order;
  for (const auto &shown : AppTest::rows())
    order.push_back(shown[0]);
  EXPECT_EQ(order, (std::vector<std::string>{"Heavy", "Mid", "Light", "Off", "New"}));

  // slip: the switch read back as on whatever config.ini says.
  QAction *record = dialog->findChild<QAction *>(QStringLiteral("recordImpactAction"));
  ASSERT_NE(record, nullptr);
  EXPECT_TRUE(record->isChecked());
  record->trigger();
  EXPECT_EQ(Toolbox(program.platform).configValue(recordImpactKey), "0");
  open();
  EXPECT_FALSE(dialog->findChild<QAction *>(QStringLiteral("recordImpactAction"))->isChecked());
}

} // namespace
} // namespace lw::test
