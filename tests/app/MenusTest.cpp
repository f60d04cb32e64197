#include "AppFixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMenuBar>
#include <QTest>
#include <QTimer>

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

TEST_F(MenusTest, MenuItemsShowLanguageTextsEveryTimeTheyOpen) {
  open();
  EXPECT_EQ(itemTexts(menu("fileMenu")),
            (std::vector<std::string>{"&Reverse Startup Changes", "Edit &Backup File",
                                      "&Minimize To Systray", "&Exit"}));
  EXPECT_EQ(openedTexts("fileMenu"),
            (std::vector<std::string>{text(205), text(210), text(215), text(220)}));
  EXPECT_EQ(openedTexts("helpMenu"), (std::vector<std::string>{text(260), text(265), text(270)}));

  const std::string englishExit = text(220);
  program.writeFile("config.ini", "Language\r\n[Deutsch]\r\n");
  dialog->languageTable.load();
  const auto german = openedTexts("fileMenu");
  EXPECT_EQ(german[3], dialog->languageTable.getText(220));
  EXPECT_NE(german[3], englishExit) << "the test needs a text that differs between the languages";

  std::vector<std::string> titles;
  for (QAction *popup : dialog->menuBar->actions())
    titles.push_back(popup->text().toStdString());
  EXPECT_EQ(titles, (std::vector<std::string>{"&File", "&Help"}));
}

TEST_F(MenusTest, HelpFileOpensFromTheMenuAndFromF1) {
  open();
  action(menu("helpMenu"), command::showHelpFile)->trigger();
  QTest::keyClick(dialog->entryList, Qt::Key_F1);
  EXPECT_EQ(program.shell.opened,
            (std::vector<std::string>{program.file("help.chm"), program.file("help.chm")}));
  EXPECT_TRUE(dialog->isVisible());
}

TEST_F(MenusTest, WebsiteOpensTheConfiguredHomepageUnchanged) {
  open();
  program.writeFile("config.ini",
                    "Language\r\n[English]\r\nHomepage\r\nhttps://example.org/lw\r\n");
  action(menu("helpMenu"), command::website)->trigger();
  program.writeFile("config.ini", "Homepage\r\n/opt/tools/readme.txt\r\n");
  action(menu("helpMenu"), command::website)->trigger();
  program.writeFile("config.ini", "Language\r\n[English]\r\n");
  action(menu("helpMenu"), command::website)->trigger();

  EXPECT_EQ(program.shell.opened,
            (std::vector<std::string>{"https://example.org/lw", "/opt/tools/readme.txt"}));
  EXPECT_TRUE(program.prompter.shown.empty());

  std::filesystem::remove(program.file("config.ini"));
  action(menu("helpMenu"), command::website)->trigger();
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
  action(menu("helpMenu"), command::about)->trigger();

  EXPECT_TRUE(modal);
  EXPECT_EQ(title, "About ...");
  EXPECT_EQ(version, "Launchwright Version 1.03");
  EXPECT_TRUE(program.shell.opened.empty());
}

} // namespace
} // namespace lw::test
