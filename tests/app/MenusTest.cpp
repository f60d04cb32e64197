#include "AppFixture.h"
#include "HelpOpener.h"
#include "app/StartupApp.h"
#include "scheduler/ScheduleStatus.h"
#include "support/TextNumbers.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeySequence>
#include <QLabel>
#include <QMenuBar>
#include <QStyleFactory>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <regex>
#include <sstream>

namespace lw::test {
namespace {

class MenusTest : public AppTest {
protected:
  // Opens and closes the pop-up as the user would, so that it is relabelled.
  std::vector<std::string> openedTexts(const char *name) {
    QMenu *popup = menu(name);
    popup->popup(QPoint(10, 10));
    auto texts = itemTexts(popup);
    popup->hide();
    return texts;
  }
};

// Qt's styles read the overflow arrow's image when a menu bar is made, loading every image
// plugin to do so; the program's style leaves that until the arrow is drawn, and then draws
// the same arrow.
TEST(StartupStyleTest, MenuBarLoadsNoImagePluginUntilItsOverflowArrowIsDrawn) {
  const auto imagePluginsLoaded = [] {
    std::ifstream maps("/proc/self/maps"); // nothing to read outside Linux
    std::string line;
    while (std::getline(maps, line))
      if (line.find("/imageformats/") != std::string::npos)
        return true;
    return false;
  };
  // Only a process that has not loaded them yet can tell (ctest runs each test on its own).
  const bool loadedBefore = imagePluginsLoaded();
  auto *style = new StartupStyle;
  QApplication::setStyle(style);
  QMenuBar bar;
  bar.addMenu(QStringLiteral("&File"));
  if (!loadedBefore) {
    EXPECT_FALSE(imagePluginsLoaded());
  }
  auto *arrow = bar.findChild<QToolButton *>();
  ASSERT_NE(arrow, nullptr);
  std::unique_ptr<QStyle> plain(QStyleFactory::create(style->baseStyle()->name()));
  ASSERT_NE(plain, nullptr);
  const QIcon expected = plain->standardIcon(QStyle::SP_ToolBarHorizontalExtensionButton);
  for (const int edge : {8, 16, 32}) {
    EXPECT_EQ(arrow->icon().actualSize(QSize(edge, edge)), expected.actualSize(QSize(edge, edge)));
    EXPECT_EQ(arrow->icon().pixmap(edge).toImage(), expected.pixmap(edge).toImage()) << edge;
  }
}

TEST_F(MenusTest, MenuItemsShowLanguageTextsEveryTimeTheyOpen) {
  open();
  EXPECT_EQ(
      itemTexts(menu("fileMenu")),
      (std::vector<std::string>{"&Reverse Startup Changes", "Edit &Backup File", "Di&sable Entry",
                                "E&nable Entry", "&Start Now", "&Minimize To Systray", "&Exit"}));
  EXPECT_EQ(openedTexts("fileMenu"),
            (std::vector<std::string>{text(205), text(210), text(630), text(631), text(766),
                                      text(215), text(220)}));
  EXPECT_EQ(openedTexts("helpMenu"), (std::vector<std::string>{text(260), text(265), text(270)}));

  const std::string englishExit = text(220);
  program.writeFile("config.ini", "Language\r\n[Deutsch]\r\n");
  dialog->languageTable.load();
  const auto german = openedTexts("fileMenu");
  EXPECT_EQ(german[6], dialog->languageTable.getText(220));
  EXPECT_NE(german[6], englishExit) << "the test needs a text that differs between the languages";

  std::vector<std::string> titles;
  for (QAction *popup : dialog->menuBar->actions())
    titles.push_back(popup->text().toStdString());
  EXPECT_EQ(titles, (std::vector<std::string>{"&File", "&View", "&Language", "&Help"}));
}

TEST_F(MenusTest, HelpPagesOpenFromTheMenuAndFromF1AndAFailedOpenIsReported) {
  open();
  const std::string help = program.file(LW_HELP_FILE);
  action(menu("helpMenu"), "showHelpFileAction")->trigger();
  QTest::keyClick(dialog->entryList, Qt::Key_F1);
  EXPECT_EQ(program.shell.opened, (std::vector<std::string>{help, help}));
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_TRUE(program.prompter.shown.empty());

  // A window that speaks German opens the German pages; back in English, the English ones.
  program.shell.opened.clear();
  program.writeFile("config.ini", "Language\r\n[Deutsch]\r\n");
  dialog->languageTable.load();
  QTest::keyClick(dialog->entryList, Qt::Key_F1);
  program.writeFile("config.ini", "Language\r\n[English]\r\n");
  dialog->languageTable.load();
  QTest::keyClick(dialog->entryList, Qt::Key_F1);
  EXPECT_EQ(program.shell.opened,
            (std::vector<std::string>{program.file(LW_GERMAN_HELP_FILE), help}));
  program.shell.opened.clear();

  const std::string report = text(lw::text::helpNotShown) + "\n" + help;
  program.shell.succeeds = false;
  action(menu("helpMenu"), "showHelpFileAction")->trigger();
  ASSERT_EQ(program.prompter.shown.size(), 1u);
  EXPECT_EQ(program.prompter.shown[0].text, report);

  // Through a real opener program, whose exit status tells whether a viewer took the page.
  TempDir bin;
  const auto log = bin.path() / "opened";
  const struct {
    std::optional<int> status; // none: no opener program at all
    bool reported;
  } cases[] = {{0, false}, {4, true}, {std::nullopt, true}};
  for (const auto &item : cases) {
    SCOPED_TRACE(item.status.value_or(-1));
    program.prompter.shown.clear();
    std::filesystem::remove(log);
    program.shell.opener = item.status ? placeOpener(bin.path(), *item.status)
                                       : (bin.path() / "missing-opener").string();
    QTest::keyClick(dialog->entryList, Qt::Key_F1);
    if (item.reported) {
      EXPECT_TRUE(QTest::qWaitFor([&] { return !program.prompter.shown.empty(); }, 5000));
      ASSERT_EQ(program.prompter.shown.size(), 1u);
      EXPECT_EQ(program.prompter.shown[0].text, report);
    } else {
      EXPECT_TRUE(QTest::qWaitFor([&] { return std::filesystem::exists(log); }, 5000));
      QTest::qWait(300); // time for the opener's end to arrive
      EXPECT_TRUE(program.prompter.shown.empty());
    }
    if (item.status) {
      EXPECT_TRUE(QTest::qWaitFor([&] { return std::filesystem::exists(log); }, 5000));
      std::ifstream in(log);
      EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), help);
    }
  }
}

// The help pages as the build puts them beside the program: in each language they name every
// command, button, column and Status word (and the Status reasons) the window shows in that
// language, and every local link and anchor in them, or in the help file's contents and index,
// leads to something that is there.
TEST(HelpPagesTest, NameEveryCommandAndStatusOfTheirLanguageAndLinkOnlyToWhatIsThere) {
  namespace fs = std::filesystem;
  const fs::path helpDir = LW_BUILT_HELP_DIR;
  const auto read = [](const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  const auto squeezed = [](const std::string &text) {
    static const std::regex blanks("\\s+");
    return std::regex_replace(text, blanks, " ");
  };
  // What a reader sees of a page: no tags, entities as characters, blanks squeezed.
  const auto seen = [&](const std::string &html) {
    std::string text = std::regex_replace(html, std::regex("<[^>]*>"), " ");
    for (const auto &[entity, character] :
         {std::pair{"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&nbsp;", " "}, {"&amp;", "&"}})
      text = std::regex_replace(text, std::regex(entity), character);
    return squeezed(text);
  };

  // Menu items, buttons, columns, kinds, the tray menu, the counts' last line, Status words
  // and reasons.
  std::vector<int> numbers = {100, 110, 120, 130, 135, 140, 610, 144, 149, 154, 205, 210, 630,
                              631, 766, 215, 220, 260, 265, 270, 290, 295, 611, 650, 651, 652};
  for (int number = 612; number <= 629; ++number)
    numbers.push_back(number);
  const std::string languageFile = read(resourceDir() / "0013trl.ini");
  const struct {
    const char *section;
    const char *folder;
  } languages[] = {{"[English]", "."}, {"[Deutsch]", "de"}};
  for (const auto &language : languages) {
    SCOPED_TRACE(language.section);
    std::map<int, std::string> texts;
    std::istringstream lines(languageFile.substr(languageFile.find(language.section)));
    std::string line;
    std::getline(lines, line);
    while (std::getline(lines, line) && line.rfind("[EOL]", 0) != 0) {
      if (!line.empty() && line.back() == '\r')
        line.pop_back();
      if (line.size() > 6)
        texts[std::stoi(line.substr(0, 5))] = line.substr(6);
    }
    std::string pages;
    for (const auto &page : fs::directory_iterator(helpDir / language.folder))
      if (page.path().extension() == ".htm")
        pages += seen(read(page.path()));
    std::string missing;
    for (const int number : numbers) {
      std::string text = texts[number];
      std::erase(text, '&');
      ASSERT_FALSE(text.empty()) << number;
      if (pages.find(squeezed(text)) == std::string::npos)
        missing += "\n  " + std::to_string(number) + " " + text;
    }
    EXPECT_TRUE(missing.empty()) << "not in the pages of " << (helpDir / language.folder).string()
                                 << ":" << missing;
  }

  std::vector<std::pair<fs::path, std::string>> linkers; // where the links are, its text
  for (const auto &page : fs::recursive_directory_iterator(helpDir))
    if (page.path().extension() == ".htm")
      linkers.emplace_back(page.path(), read(page.path()));
  for (const char *contents : {"launchwright.hhc", "launchwright.hhk"})
    linkers.emplace_back(helpDir / contents, read(resourceDir() / "help" / contents));
  ASSERT_GT(linkers.size(), 20u);
  const std::regex link(R"re((?:href|src|name="Local" value)="([^"]*)")re");
  std::string broken;
  for (const auto &[page, html] : linkers) {
    for (auto it = std::sregex_iterator(html.begin(), html.end(), link);
         it != std::sregex_iterator(); ++it) {
      const std::string target = (*it)[1];
      if (target.find(':') != std::string::npos)
        continue; // a web address
      const auto hash = target.find('#');
      const fs::path file = hash == 0 ? page : page.parent_path() / target.substr(0, hash);
      if (!fs::is_regular_file(file)) {
        broken += "\n  " + target + " in " + page.string();
        continue;
      }
      if (hash == std::string::npos)
        continue;
      const std::string anchor = target.substr(hash + 1);
      const std::string content = hash == 0 ? html : read(file);
      if (content.find("id=\"" + anchor + "\"") == std::string::npos &&
          content.find("name=\"" + anchor + "\"") == std::string::npos)
        broken += "\n  " + target + " in " + page.string();
    }
  }
  EXPECT_TRUE(broken.empty()) << "links to nothing:" << broken;
}

TEST_F(MenusTest, EveryFailedOpenNamesWhatWasNotShown) {
  program.writeFile("config.ini",
                    "Language\r\n[English]\r\nHomepage\r\nhttps://example.org/lw\r\n");
  open();
  TempDir bin;
  const struct {
    const char *menu;
    const char *item;
    std::string target;
  } items[] = {{"fileMenu", "editBackupFileAction", program.file("0013bkp.ini")},
               {"helpMenu", "websiteAction", "https://example.org/lw"}};
  for (const auto &item : items)
    for (const bool throughOpener : {false, true}) {
      SCOPED_TRACE(std::string(item.item) + (throughOpener ? " through an opener" : ""));
      program.prompter.shown.clear();
      program.shell.succeeds = false;
      program.shell.opener = throughOpener ? placeOpener(bin.path(), 4) : std::string();
      action(menu(item.menu), item.item)->trigger();
      EXPECT_TRUE(QTest::qWaitFor([&] { return !program.prompter.shown.empty(); }, 5000));
      ASSERT_EQ(program.prompter.shown.size(), 1u);
      EXPECT_EQ(program.prompter.shown[0].text, text(lw::text::openerFailed) + "\n" + item.target);
    }
}

TEST_F(MenusTest, DeleteKeyAsksToDeleteTheRowsEntryByNameAndMenusShowTheirKeys) {
  writeCustomized({{"Backup", "/usr/bin/backup"}});
  open();
  dialog->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
  dialog->entryList->setFocus();
  dialog->entryList->setCurrentIndex(dialog->entryList->model()->index(0, 0));
  program.prompter.answer(false);
  QTest::keyClick(dialog->entryList, Qt::Key_Delete);
  ASSERT_EQ(program.prompter.shown.size(), 1u);
  EXPECT_EQ(program.prompter.shown[0].text, fillIn(text(lw::text::deleteQuestion), {"Backup"}));
  EXPECT_EQ(action(menu("helpMenu"), "showHelpFileAction")->shortcut(), QKeySequence(Qt::Key_F1));
}

TEST_F(MenusTest, WebsiteOpensTheConfiguredHomepageUnchanged) {
  open();
  program.writeFile("config.ini",
                    "Language\r\n[English]\r\nHomepage\r\nhttps://example.org/lw\r\n");
  action(menu("helpMenu"), "websiteAction")->trigger();
  program.writeFile("config.ini", "Homepage\r\n/opt/tools/readme.txt\r\n");
  action(menu("helpMenu"), "websiteAction")->trigger();
  program.writeFile("config.ini", "Language\r\n[English]\r\n");
  action(menu("helpMenu"), "websiteAction")->trigger();

  EXPECT_EQ(program.shell.opened,
            (std::vector<std::string>{"https://example.org/lw", "/opt/tools/readme.txt"}));
  EXPECT_TRUE(program.prompter.shown.empty());

  std::filesystem::remove(program.file("config.ini"));
  action(menu("helpMenu"), "websiteAction")->trigger();
  ASSERT_EQ(program.prompter.shown.size(), 1u);
  EXPECT_NE(program.prompter.shown[0].text.find("config.ini"), std::string::npos);
}

TEST_F(MenusTest, AboutBoxShowsTheVersionAndIgnoresF1) {
  open();
  std::string version, title;
  bool modal = false;
  QTimer::singleShot(0, [&] {
    QWidget *box = QApplication::activeModalWidget();
    if (!box)
      return;
    modal = true;
    title = box->windowTitle().toStdString();
    if (auto *label = box->findChild<QLabel *>("versionLabel"))
      version = label->text().toStdString();
    QTest::keyClick(box, Qt::Key_F1);
    if (auto *ok = box->findChild<QAbstractButton *>("okButton"))
      ok->click();
    box->close();
  });
  action(menu("helpMenu"), "aboutAction")->trigger();

  EXPECT_TRUE(modal);
  EXPECT_EQ(title, "About Launchwright");
  EXPECT_EQ(version, "Launchwright Version 1.03");
  EXPECT_TRUE(program.shell.opened.empty());
}

} // namespace
} // namespace lw::test
