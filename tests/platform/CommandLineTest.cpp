#include "native/linux/CommandLine.h"
#include "native/linux/DesktopEntry.h"

#include <gtest/gtest.h>

namespace lw {
namespace {

using Args = std::vector<std::string>;

auto noFiles = [](const std::string &) { return false; };

TEST(CommandLine, SplitsLikeTheDesktopSession) {
  EXPECT_EQ(commandline::split("  foo   bar\tbaz\n"), (Args{"foo", "bar", "baz"}));
  EXPECT_EQ(commandline::split(R"(foo "a b" 'c d' e\ f "" g)"),
            (Args{"foo", "a b", "c d", "e f", "", "g"}));
  // Inside double quotes only $ ` " \ are escapes; other backslashes stay.
  EXPECT_EQ(commandline::split(R"("\$\`\"\\\x")"), (Args{R"($`"\\x)"}));
  EXPECT_EQ(commandline::split(R"('it\s' x#y #comment)"), (Args{R"(it\s)", "x#y"}));
  EXPECT_EQ(commandline::split(R"("unterminated quote)"), (Args{"unterminated quote"}));
  EXPECT_TRUE(commandline::split("   ").empty());
  // As g_shell_parse_argv: # after a tab is a word, after an escaped space a comment that the
  // word runs on past; an escaped line break stays inside double quotes, joins lines outside.
  EXPECT_EQ(commandline::split("a\t#b"), (Args{"a", "#b"}));
  EXPECT_EQ(commandline::split("a\\ #c\nb"), (Args{"a b"}));
  EXPECT_EQ(commandline::split("\"pres\\\nent\" a\\\nb"), (Args{"pres\nent", "ab"}));
  // A session refuses what splitting alone reads as far as it goes.
  EXPECT_EQ(commandline::parse("'a b' c"), (Args{"a b", "c"}));
  EXPECT_EQ(commandline::parse("sh #x"), (Args{"sh"}));
  for (const char *refused : {"\"open", "'open", "a\\", "", " # nothing\n", "\\\n", "sh -c #"})
    EXPECT_FALSE(commandline::parse(refused)) << refused;
}

TEST(CommandLine, QuotingSurvivesSplitting) {
  const Args awkward = {"plain",
                        "a b",
                        "",
                        R"(q"uote)",
                        R"(back\slash)",
                        "$HOME",
                        "`x`",
                        "100%",
                        "tab\there",
                        "line\nbreak",
                        "\xC3\xA4\xE4",
                        "'single'",
                        "a>b|c&d;e*f?g(h)~#"};
  EXPECT_EQ(commandline::split(commandline::join(awkward)), awkward);
  EXPECT_EQ(commandline::join({"/usr/bin/foo", "--bar", "a b"}), R"(/usr/bin/foo --bar "a b")");
}

TEST(CommandLine, UnquotedProgramPathWithBlanksIsFoundLikeOnWindows) {
  auto only = [](std::string file) { return [file](const std::string &p) { return p == file; }; };
  EXPECT_EQ(commandline::arguments("/opt/My Tools/run -x \"a b\"", only("/opt/My Tools/run")),
            (Args{"/opt/My Tools/run", "-x", "a b"}));
  EXPECT_EQ(commandline::arguments("/dir with  two blanks/rwlaunch",
                                   only("/dir with  two blanks/rwlaunch")),
            (Args{"/dir with  two blanks/rwlaunch"}));
  // An existing first word wins, and without any file the words are the arguments.
  EXPECT_EQ(commandline::arguments("/bin/a b", [](const std::string &) { return true; }),
            (Args{"/bin/a", "b"}));
  EXPECT_EQ(commandline::arguments("/opt/My Tools/run -x", noFiles),
            (Args{"/opt/My", "Tools/run", "-x"}));
}

TEST(CommandLine, CanMeanRecognisesOnlyTheCommandsOwnReadings) {
  EXPECT_TRUE(commandline::canMean("foo   'a b'", {"foo", "a b"}));
  EXPECT_TRUE(commandline::canMean("/p q/run  -x", {"/p q/run", "-x"}));
  EXPECT_FALSE(commandline::canMean("/p q/run -x", {"/p q/run", "-y"}));
  EXPECT_FALSE(commandline::canMean("foo bar", {"foo"}));
  EXPECT_FALSE(commandline::canMean("\"/p q\"/run", {"/p", "q/run"}));
  EXPECT_TRUE(commandline::canMean("", {}));
}

std::string roundTrip(const std::string &command, const commandline::FileProbe &probe = noFiles) {
  DesktopEntry entry;
  entry.setCommand(command, probe);
  return DesktopEntry::parse(entry.bytes()).command("/x.desktop");
}

TEST(DesktopEntryCommand, AwkwardTextsReadBackExactly) {
  for (const std::string text :
       {"", "foo", "/usr/bin/foo --bar \"a b\"", R"("C:\Program Files\x.exe" -switch)",
        R"(C:\Program Files\x.exe -switch)", "100% sure %U %%", "  leading and trailing  ",
        "tab\tand\nnewline\r", R"(back\\slash \ "\\" '\')", "umlaut \xC3\xA4 latin1 \xE4",
        "sh -c 'sleep 5 && exec foo'", "\"unbalanced", "#not a comment", "a=b;c"})
    EXPECT_EQ(roundTrip(text), text);
}

TEST(DesktopEntryCommand, ExecLineFollowsTheDesktopEntryRules) {
  DesktopEntry entry;
  entry.setCommand("/usr/bin/foo 50% \"a\\\\b c\"", noFiles);
  EXPECT_EQ(entry.value("Exec"), R"(/usr/bin/foo 50%% "a\\\\b c")");
  EXPECT_FALSE(entry.value(desktop::commandKey)); // canonical: Exec alone gives it back
  // A blank at either end is written as \s: readers drop blanks after '=' and at a line's end.
  entry.setCommand(" padded ", noFiles);
  EXPECT_EQ(entry.value(desktop::commandKey), "\\spadded\\s");

  entry.setCommand("/dir with blanks/rwlaunch",
                   [](const std::string &p) { return p == "/dir with blanks/rwlaunch"; });
  EXPECT_EQ(entry.value("Exec"), R"("/dir with blanks/rwlaunch")");
  EXPECT_EQ(entry.command("/x.desktop"), "/dir with blanks/rwlaunch");
}

TEST(DesktopEntryCommand, ForeignExecLinesReadAsTheCommandTheSessionRuns) {
  const auto entry = DesktopEntry::parse("[Desktop Entry]\nName=My App\nIcon=app\n"
                                         "Exec=foo %U --name %c %i --file=%k 100%% \\s%F\n");
  EXPECT_EQ(entry.command("/a b.desktop"),
            R"(foo --name "My App" --icon app "--file=/a b.desktop" 100%)");
  // A remembered text that Exec no longer means is stale: someone else edited Exec.
  const auto edited =
      DesktopEntry::parse("[Desktop Entry]\nExec=bar\nX-Launchwright-Command=foo  x\n");
  EXPECT_EQ(edited.command("/x.desktop"), "bar");
}

TEST(DesktopEntryFile, RewritingExecKeepsEveryOtherLine) {
  const std::string original = "# comment\n[Desktop Entry]\r\nName=Foo\nName[de]=F\xC3\xBC\x62\n"
                               "Exec=old\nExec=older duplicate\nComment[fr]=x\n\n"
                               "[Desktop Action New]\nExec=other\n";
  auto entry = DesktopEntry::parse(original);
  entry.setValue("Exec", "new");
  entry.setValue("Type", "Application");
  EXPECT_EQ(entry.bytes(), "# comment\n[Desktop Entry]\r\nName=Foo\nName[de]=F\xC3\xBC\x62\n"
                           "Exec=new\nComment[fr]=x\nType=Application\n\n"
                           "[Desktop Action New]\nExec=other\n");
  entry.removeKey("Name");
  EXPECT_EQ(entry.value("Name[de]"), "F\xC3\xBC\x62");
  EXPECT_FALSE(entry.value("Name"));
}

TEST(DesktopEntryFile, SwitchedOffAsGlibReadsBooleans) {
  const std::pair<const char *, bool> cases[] = {
      {"[Desktop Entry]\nExec=x\n", false},
      {"[Desktop Entry]\nHidden=false\n", false},
      {"[Desktop Entry]\nHidden=true\n", true},
      {"[Desktop Entry]\nHidden=true \t\n", true},
      {"[Desktop Entry]\nHidden=True\n", false},
      {"[Desktop Entry]\nX-GNOME-Autostart-enabled=false\n", true},
      {"[Desktop Entry]\nX-GNOME-Autostart-enabled=False\n", true}, // unreadable counts as off
      {"[Desktop Entry]\nX-GNOME-Autostart-enabled=true\n", false},
      {"[Desktop Entry]\n[Other]\nHidden=true\n", false}, // another group's key
      {"[Desktop Entry]\n[Other]\n[Desktop Entry] \n Hidden = 1\n", true},
      {"Hidden=true\n", false}};
  for (const auto &[text, off] : cases) {
    auto entry = DesktopEntry::parse(text);
    EXPECT_EQ(entry.switchedOff(), off) << text;
    entry.switchOn();
    EXPECT_FALSE(entry.switchedOff()) << text;
  }
}

} // namespace
} // namespace lw
