// The whole window in German: every text a person can see or a screen reader can read, in the
// main window, its menus, the entry dialog, the About box and the message boxes, is checked
// against the language file. A text that is the English entry of a number whose German entry
// differs was left untranslated.

#include "AppFixture.h"
#include "app/AboutDialog.h"
#include "app/QtPrompter.h"
#include "editing/EntryDialog.h"
#include "support/TextNumbers.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <filesystem>
#include <map>
#include <memory>
#include <set>

namespace lw::test {
namespace {

std::string plain(QString text) {
  text.remove(QLatin1Char('&'));
  return text.trimmed().toStdString();
}

class GermanWalkTest : public AppTest {
protected:
  // English text -> its number, for the numbers whose German text is another.
  std::map<std::string, std::int32_t> untranslated() {
    LanguageTable english(program.platform), german(program.platform);
    english.loadSection("[English]");
    german.loadSection("[Deutsch]");
    std::map<std::string, std::int32_t> texts;
    for (const TextEntry &entry : english.entries()) {
      const std::string shown = plain(QString::fromStdString(entry.text));
      // The Language menu names every language in its own words.
      if (entry.number != text::languageName && shown.size() > 1 &&
          entry.text != german.getText(entry.number))
        texts.emplace(shown, entry.number);
    }
    return texts;
  }

  void collect(QWidget *root) {
    const auto take = [this, root](const QString &text, const char *what, QObject *from) {
      if (!text.isEmpty())
        seen.push_back({plain(text), root->metaObject()->className() + std::string(" ") +
                                         from->objectName().toStdString() + " " + what});
    };
    QList<QWidget *> widgets = root->findChildren<QWidget *>();
    widgets.prepend(root);
    for (QWidget *widget : widgets) {
      take(widget->accessibleName(), "accessible name", widget);
      take(widget->accessibleDescription(), "accessible description", widget);
      take(widget->toolTip(), "tooltip", widget);
      if (widget->isWindow())
        take(widget->windowTitle(), "title", widget);
      if (auto *button = qobject_cast<QAbstractButton *>(widget))
        take(button->text(), "text", widget);
      if (auto *label = qobject_cast<QLabel *>(widget))
        take(label->text(), "text", widget);
      if (auto *group = qobject_cast<QGroupBox *>(widget))
        take(group->title(), "title", widget);
      if (auto *line = qobject_cast<QLineEdit *>(widget))
        take(line->placeholderText(), "placeholder", widget);
      if (auto *combo = qobject_cast<QComboBox *>(widget))
        for (int item = 0; item < combo->count(); ++item)
          take(combo->itemText(item), "item", widget);
      if (auto *menu = qobject_cast<QMenu *>(widget)) {
        take(menu->title(), "title", widget);
        emit menu->aboutToShow();
        for (QAction *action : menu->actions()) {
          take(action->text(), "item", widget);
          take(action->toolTip() == action->text() ? QString() : action->toolTip(), "tooltip",
               widget);
        }
      }
      if (auto *header = qobject_cast<QHeaderView *>(widget))
        for (int column = 0; column < header->count(); ++column)
          take(header->model()->headerData(column, Qt::Horizontal).toString(), "column", widget);
    }
  }

  struct Seen {
    std::string text;
    std::string where;
  };
  std::vector<Seen> seen;
};

TEST_F(GermanWalkTest, EveryTextOfTheWindowAndItsDialogsIsGerman) {
  program.writeFile("config.ini", "Language\r\n[Deutsch]\r\n");
  writeCustomized({{"Sicherung", "/usr/bin/backup"}});
  tray.hasArea = false; // the Minimize item then has its tooltip
  open();
  dialog->findChild<QLineEdit *>("filterLine")->hide();
  collect(dialog.get());

  EntryDialog entry(program.platform, {{EntryKind::Customized, "Sicherung", "/usr/bin/backup"}},
                    {});
  entry.OnInitDialog();
  collect(&entry);

  AboutDialog about(dialog->languageTable);
  collect(&about);

  // The message boxes name their buttons from the table.
  QtPrompter prompter;
  prompter.setTexts(&dialog->languageTable);
  QTimer::singleShot(0, [this] {
    if (QWidget *box = QApplication::activeModalWidget()) {
      collect(box);
      box->close();
    }
  });
  prompter.ask("?", "Launchwright");

  // Qt's own texts: Browse's file chooser and a text field's menu.
  QtFileChooser chooser;
  chooser.setTexts(&dialog->languageTable);
  QTimer::singleShot(0, [this] {
    if (QWidget *box = QApplication::activeModalWidget()) {
      collect(box);
      box->close();
    }
  });
  EXPECT_FALSE(chooser.chooseFile());
  const std::unique_ptr<QMenu> editing(dialog->filterLine->createStandardContextMenu());
  collect(editing.get());

  const auto english = untranslated();
  ASSERT_FALSE(english.empty());
  ASSERT_GT(seen.size(), 50u);
  const std::set<std::string> qtEnglish = {
      "Open", "Cancel", "Look in:", "File name:", "Files of type:", "All files (*)", "Undo",
      "Redo", "Cut",    "Copy",     "Paste",      "Delete",         "Select All"};
  for (const Seen &text : seen) {
    if (const auto found = english.find(text.text); found != english.end())
      ADD_FAILURE() << text.where << ": \"" << text.text << "\" is the English text of "
                    << found->second;
    // A menu item ends in a tab and its keys.
    if (qtEnglish.count(text.text.substr(0, text.text.find('\t'))))
      ADD_FAILURE() << text.where << ": \"" << text.text << "\" is Qt's English";
  }
}

TEST_F(GermanWalkTest, SessionLanguageDecidesUntilTheUserChoosesFromTheLanguageMenu) {
  // Installed: the user's own files apart from the shipped ones.
  const std::filesystem::path own = program.dir.path() / "own";
  program.location.installed = {program.dir.str(), own.string(), program.dir.str()};
  const auto section = [this] {
    LanguageTable table(program.platform);
    table.load();
    return table.section();
  };
  for (const auto &[language, expected] : std::vector<std::pair<std::string, std::string>>{
           {"de", "[Deutsch]"}, {"fr", "[English]"}, {"", "[English]"}}) {
    program.location.language = language;
    EXPECT_EQ(section(), expected) << language;
  }

  program.location.language = "de";
  open();
  EXPECT_EQ(dialog->addButton->text().toStdString(), "Hin&zufügen");
  QMenu *languages = menu("languageMenu");
  emit languages->aboutToShow();
  const auto item = [languages](const char *name) {
    for (QAction *action : languages->actions())
      if (action->text() == QString::fromUtf8(name))
        return action;
    return static_cast<QAction *>(nullptr);
  };
  ASSERT_TRUE(item("English") && item("Deutsch"));
  EXPECT_TRUE(item("Deutsch")->isChecked());
  item("English")->trigger();
  EXPECT_EQ(dialog->addButton->text().toStdString(), "&Add Entry");
  EXPECT_EQ(menu("fileMenu")->title().toStdString(), "&File");
  EXPECT_NE(program.readFile("own/config.ini").find("Language\r\n[English]\r\n"), std::string::npos)
      << "the choice is the user's own now, and outlasts the session's language";
  EXPECT_EQ(section(), "[English]");
}

} // namespace
} // namespace lw::test
