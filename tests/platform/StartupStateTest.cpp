// What the session reads from each autostart file, checked against GLib where it is installed,
// and against hostile folder contents.
#include "StartupStateFixture.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace lw::test {
namespace {

namespace fs = std::filesystem;

TEST_F(StartupStateTest, EveryAwkwardFileGetsTheVerdictGlibGives) {
  const std::string app = "[Desktop Entry]\nType=Application\n";
  const std::string nul(1, '\0');
  struct Case {
    std::string name, bytes;
    V onGnome;
    std::string detail = {};
  };
  const std::vector<Case> corpus = {
      {"plain", app + "Exec=present --flag %U\n", V::Starts},
      {"lxqt-only", app + "Exec=present\nOnlyShowIn=LXQt;\nTryExec=lw-absent\n", V::OtherDesktop,
       "LXQt"},
      {"not-gnome", app + "Exec=present\nNotShowIn=XFCE;GNOME;\n", V::OtherDesktop, "XFCE;GNOME"},
      {"gnome-or-kde", app + "Exec=present\nOnlyShowIn=GNOME;KDE;\n", V::Starts},
      {"escaped-list", app + "Exec=present\nOnlyShowIn=KDE\\;GNOME;\n", V::OtherDesktop},
      {"not-before-only", app + "Exec=present\nNotShowIn=GNOME;\nOnlyShowIn=GNOME;\n", V::Starts},
      // Under KDE:GNOME the first desktop either list names decides: KDE, so it never starts.
      {"first-desktop-decides", app + "Exec=present\nNotShowIn=KDE;\nOnlyShowIn=GNOME;\n",
       V::Starts},
      {"only-unclosed", app + "Exec=present\nOnlyShowIn=KDE;GNOME\n", V::Starts},
      {"not-unclosed", app + "Exec=present\nNotShowIn=KDE;GNOME\n", V::OtherDesktop},
      // GLib takes a list that is not UTF-8, or holds a bad escape, as no list at all.
      {"latin1-only", app + "Exec=present\nOnlyShowIn=GN\xE4OME;\n", V::Starts},
      {"bad-escape-only", app + "Exec=present\nOnlyShowIn=KDE;\\xGNOME;\n", V::Starts},
      {"lone-backslash-only", app + "Exec=present\nOnlyShowIn=KDE;\\\n", V::Starts},
      {"lower-case-name", app + "Exec=present\nOnlyShowIn=gnome;\n", V::OtherDesktop},
      {"tryexec-missing", app + "TryExec=lw-absent\nExec=present\n", V::ProgramMissing,
       "lw-absent"},
      {"tryexec-empty", app + "TryExec=\nExec=present\n", V::Starts},
      {"link", "[Desktop Entry]\nType=Link\nURL=https://example.org/\n", V::NotAProgram, "Link"},
      {"no-type", "[Desktop Entry]\nExec=present\n", V::NotAProgram},
      {"type-trailing-blank", "[Desktop Entry]\nType=Application \nExec=present\n", V::NotAProgram},
      {"no-exec", app, V::NotAProgram},
      {"empty-exec", app + "Exec=  \n", V::NotAProgram},
      {"open-quote", app + "Exec=present \"open\n", V::NotAProgram},
      {"open-single-quote", app + "Exec=present 'open\n", V::NotAProgram},
      // GLib's shell reading: # after a tab starts a word, and inside double quotes an escaped
      // line break stays part of the word.
      {"hash-after-tab", app + "Exec=\\t#x\\npresent\n", V::ProgramMissing, "#x"},
      {"quoted-line-break", app + "Exec=\"pres\\\\\\nent\"\n", V::ProgramMissing, "pres\nent"},
      {"exec-lone-backslash", app + "Exec=present\\\n", V::Starts},
      {"latin1-exec", app + "Exec=present \xE4\n", V::NotAProgram},
      // Well-formed in shape but refused by GLib: overlong, surrogate, past U+10FFFF.
      {"overlong-2-exec", app + "Exec=present \xC0\xAF\n", V::NotAProgram},
      {"overlong-3-exec", app + "Exec=present \xE0\x80\xAF\n", V::NotAProgram},
      {"surrogate-exec", app + "Exec=present \xED\xA0\x80\n", V::NotAProgram},
      {"beyond-unicode-exec", app + "Exec=present \xF4\x90\x80\x80\n", V::NotAProgram},
      {"euro-exec", app + "Exec=" + euro + " --x\n", V::Starts},
      {"euro-tryexec", app + "TryExec=" + euro + "\nExec=present\n", V::Starts},
      {"folder-on-path", app + "Exec=lw-folder\n", V::ProgramMissing, "lw-folder"},
      {"folder-before-program", app + "Exec=sh -c true\n", V::Starts},
      {"tryexec-folder", app + "TryExec=lw-folder\nExec=present\n", V::ProgramMissing},
      {"tryexec-folder-path", app + "TryExec=" + (bin / "lw-folder").string() + "\nExec=present\n",
       V::ProgramMissing},
      {"exec-missing", app + "Exec=lw-absent --x\n", V::ProgramMissing, "lw-absent"},
      {"exec-not-executable", app + "Exec=" + (bin / "plain-file").string() + "\n",
       V::ProgramMissing},
      {"exec-path", app + "Exec=" + (bin / "present").string() + "\n", V::Starts},
      {"field-code-only", app + "Exec=%U\n", V::ProgramMissing},
      {"hidden-trailing-blank", app + "Exec=present\nHidden=true \n", V::Disabled, "Hidden"},
      {"hidden-capital", app + "Exec=present\nHidden=True\n", V::Starts},
      {"hidden-one", app + "Exec=present\nHidden=1\n", V::Disabled},
      {"later-key-wins", app + "Exec=present\nHidden=true\nHidden=false\n", V::Starts},
      {"second-group-hidden",
       app + "Exec=present\n[Desktop Action x]\nExec=y\n[Desktop Entry]\nHidden=true\n",
       V::Disabled},
      {"header-trailing-blank", "[Desktop Entry] \t\nType=Application\nExec=present\n", V::Starts},
      {"gnome-disabled", app + "Exec=present\nX-GNOME-Autostart-enabled=false\n", V::Disabled,
       "X-GNOME-Autostart-enabled"},
      {"gnome-capital", app + "Exec=present\nX-GNOME-Autostart-enabled=False\n", V::Disabled},
      {"gnome-enabled", app + "Exec=present\nX-GNOME-Autostart-enabled=true \n", V::Starts},
      {"comments-locales-blanks",
       "# by hand\n\n[Desktop Entry]\r\n  Type = Application\nName[de_DE@euro]=x\n"
       "Comment[sr@latin]=y\nExec =present\n",
       V::Starts},
      {"not-a-key-line", app + "Exec=present\njust words\n", V::Unreadable},
      {"bad-locale", app + "Exec=present\nName[de]x=1\n", V::Unreadable},
      {"byte-order-mark", "\xEF\xBB\xBF" + app + "Exec=present\n", V::Unreadable},
      {"other-group-first", "[Other]\nX=1\n" + app + "Exec=present\n", V::NotAProgram},
      // GLib reads each line as a C string: a NUL byte ends its text, and makes a comment of a
      // line it begins.
      {"nul-in-value", app + "Exec=present" + nul + " --x\nHidden=true" + nul + "?\n", V::Disabled},
      {"nul-starts-line", app + "Exec=present\n" + nul + "no key\n", V::Starts},
      {"nul-before-equals", app + "Exec=present\nX" + nul + "=1\n", V::Unreadable},
      {"nul-then-bracket", "[Desktop Entry]" + nul + "]\nType=Application\nExec=present\n",
       V::Unreadable},
      // Only the CR of a CR LF goes; one that ends the file stays in the value.
      {"cr-ends-file", app + "Exec=present\r", V::ProgramMissing},
      {"encoding-utf8", app + "Exec=present\nEncoding=utf-8\n", V::Starts},
      {"encoding-latin1", app + "Exec=present\nEncoding=ISO-8859-1\n", V::Unreadable},
      {"encoding-blank", app + "Exec=present\nEncoding=UTF-8 \n", V::Unreadable},
      {"vertical-tab-value", "[Desktop Entry]\nType=\vApplication\nExec=present\n", V::NotAProgram},
      // GLib steps over continuation bytes after the header's ']' and after a locale character.
      {"header-continuation-bytes", "[Desktop Entry]\x9A\x9A\nType=Application\nExec=present\n",
       V::Starts},
      {"locale-accented", app + "Exec=present\nName[d\x93\xC3\xA9]=x\n", V::Starts},
      {"locale-latin1", app + "Exec=present\nName[\xE4]=x\n", V::Unreadable},
  };
  std::vector<fs::path> files;
  for (const auto &file : corpus) {
    files.push_back(xdg.user / (file.name + ".desktop"));
    writeFile(files.back(), file.bytes);
  }
  bool compared = false;
  for (const std::string desktop : {"GNOME", "KDE", "LXQt", "ubuntu:GNOME", "KDE:GNOME"}) {
    environment["XDG_CURRENT_DESKTOP"] = desktop;
    auto listed = rows(user);
    ASSERT_EQ(listed.size(), corpus.size());
#ifdef LW_GLIB_ORACLE
    const auto glib = askGlib(files, desktop, environment["PATH"]);
    ASSERT_EQ(glib.size(), corpus.size());
#endif
    for (std::size_t i = 0; i < corpus.size(); ++i) {
      const auto &row = listed[corpus[i].name];
      SCOPED_TRACE(corpus[i].name + " on " + desktop);
      if (desktop == "GNOME") {
        EXPECT_EQ(row.verdict, corpus[i].onGnome) << row.detail;
        if (!corpus[i].detail.empty()) {
          EXPECT_EQ(row.detail, corpus[i].detail);
        }
      }
#ifdef LW_GLIB_ORACLE
      EXPECT_EQ(row.verdict == V::Starts, glib[i] == "starts") << glib[i];
      compared = true;
#endif
    }
  }
  if (!compared)
    GTEST_SKIP() << "GLib's development files (libglib2.0-dev) are missing: our verdicts were "
                    "checked, but not against GLib's";
}

// The list shows the Name a desktop shows, in the user's language, and keeps the file name as
// the entry's name. GLib's own answer (g_app_info_get_name) under each locale is the oracle.
TEST_F(StartupStateTest, ListShowsTheNameGlibShowsInTheUsersLanguage) {
  const std::string app = "[Desktop Entry]\nType=Application\nExec=present\n";
  struct Case {
    std::string name, bytes;
    std::string inGerman; // the name shown under LANG=de_DE.UTF-8; empty: the file name
    bool glibAgrees = true;
  };
  const std::vector<Case> corpus = {
      {"blueman", app + "Name=Bluetooth Applet\nName[fr]=Applet\nName[de]=Bluetooth-Applet\n",
       "Bluetooth-Applet"},
      {"territory-first", app + "Name=x\nName[de]=de\nName[de_DE]=de_DE\n", "de_DE"},
      {"later-line-wins", app + "Name=x\nName[de]=first\nName[de]=last\n", "last"},
      {"locale-case", app + "Name=Plain\nName[DE]=upper\n", "Plain"},
      {"latin1-translation", app + "Name=Plain\nName[de_DE]=\xE4\nName[de]=de\n", "de"},
      {"modifier", app + "Name=Plain\nName[sr@latin]=latin\nName[sr]=sr\nName[de@euro]=euro\n",
       "Plain"},
      {"escapes", app + "Name=Print\\sQueue\\tApplet\n", "Print Queue\tApplet"},
      {"caf\xE9", app + "Name=Caf\xC3\xA9\n", "Caf\xC3\xA9"},
      {"own-name", app + "Name=own-name\n", ""},
      // Slip: an empty Name taken for none, shown as the file name.
      {"empty-name", app + "Name=\n", ""},
      // GLib shows "Unnamed" where the list shows the file name.
      {"no-name", app, "", false},
      {"latin1-name", app + "Name=\xE4\n", "", false},
  };
  std::vector<fs::path> files;
  for (const auto &file : corpus) {
    files.push_back(xdg.user / (file.name + ".desktop"));
    writeFile(files.back(), file.bytes);
  }
  writeFile(xdg.user / "refused.desktop", app + "Name=Refused\njust words\n");
  struct Locale {
    std::map<std::string, std::string> variables;
    bool german = false; // the inGerman column applies
  };
  const std::vector<Locale> locales = {
      {{{"LANG", "de_DE.UTF-8"}}, true},
      {{{"LANGUAGE", "fr:de"}, {"LANG", "en_US.UTF-8"}}},
      {{{"LC_ALL", "sr_RS@latin"}, {"LANG", "de_DE.UTF-8"}}},
      {{{"LC_MESSAGES", "de_AT.UTF-8@euro"}, {"LANG", "fr_FR"}}},
      {{{"LANG", "C.UTF-8"}}},
      // LANGUAGE comes before LC_ALL.
      {{{"LANGUAGE", "de_DE"}, {"LC_ALL", "fr_FR.UTF-8"}}, true},
  };
  bool compared = false;
  for (const auto &[locale, german] : locales) {
    std::string settings;
    for (const auto &[variable, value] : locale) {
      environment[variable] = value;
      settings += variable + "=" + value + " ";
    }
    auto listed = rows(user);
    EXPECT_EQ(listed["refused"].displayName, "") << "a file the desktop refuses shows no Name";
#ifdef LW_GLIB_ORACLE
    std::string command = "env -u LANGUAGE -u LC_ALL -u LC_MESSAGES -u LANG " + settings +
                          "PATH='" + environment["PATH"] + "' '" + LW_GLIB_ORACLE + "' --name";
    for (const auto &file : files)
      command += " '" + file.string() + "'";
    std::vector<std::string> glib;
    FILE *pipe = ::popen(command.c_str(), "r");
    for (char line[256]; pipe && std::fgets(line, sizeof line, pipe);)
      glib.emplace_back(line, std::strlen(line) - 1);
    if (pipe)
      ::pclose(pipe);
    ASSERT_EQ(glib.size(), corpus.size());
#endif
    for (std::size_t i = 0; i < corpus.size(); ++i) {
      SCOPED_TRACE(corpus[i].name + " under " + settings);
      const auto &row = listed[corpus[i].name];
      ASSERT_EQ(row.name, corpus[i].name);
      const std::string shown = row.nameless              ? std::string()
                                : row.displayName.empty() ? row.name
                                                          : row.displayName;
      if (german && !row.nameless) {
        EXPECT_EQ(shown, corpus[i].inGerman.empty() ? corpus[i].name : corpus[i].inGerman);
      }
#ifdef LW_GLIB_ORACLE
      if (corpus[i].glibAgrees) {
        EXPECT_EQ(shown, glib[i]);
        compared = true;
      }
#endif
    }
    for (const auto &[variable, value] : locale)
      environment.erase(variable);
  }
  if (!compared)
    GTEST_SKIP() << "GLib's development files (libglib2.0-dev) are missing: the names shown were "
                    "checked, but not against GLib's";
}

// Lists the user key in a child process that has ten seconds and 1 GiB, so that a hang or an
// unbounded read fails the test instead of stopping it: "name\tverdict\tdetail" lines.
std::optional<std::string> listWithinLimits(XdgStartupState &state) {
  int out[2];
  if (::pipe(out) != 0)
    return std::nullopt;
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(out[0]);
    // AddressSanitizer reserves terabytes of address space for its shadow; there the deadline
    // alone guards against a read that never ends.
#ifndef __SANITIZE_ADDRESS__
    const rlimit memory{1UL << 30, 1UL << 30};
    ::setrlimit(RLIMIT_AS, &memory);
#endif
    std::string text;
    const auto listed = state.entries(user);
    for (const auto &row : listed.value_or(std::vector<RunEntry>{}))
      text += row.name + "\t" + std::to_string(static_cast<int>(row.verdict)) + "\t" + row.detail +
              "\n";
    const bool written = ::write(out[1], text.data(), text.size()) == ssize_t(text.size());
    ::_exit(written ? 0 : 1);
  }
  ::close(out[1]);
  std::string text;
  pollfd wait{out[0], POLLIN, 0};
  char buffer[4096];
  bool hung = false;
  while (!(hung = ::poll(&wait, 1, 10000) == 0)) {
    const ssize_t n = ::read(out[0], buffer, sizeof buffer);
    if (n <= 0)
      break;
    text.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(out[0]);
  if (hung)
    ::kill(child, SIGKILL);
  int status = 0;
  ::waitpid(child, &status, 0);
  if (hung || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    return std::nullopt;
  return text;
}

TEST_F(StartupStateTest, HostileFolderContentsAreListedAndNothingOutsideChanges) {
  const std::string entry = "[Desktop Entry]\nType=Application\nExec=present\n";
  const fs::path outside = xdg.dir.path() / "outside";
  writeFile(outside / "target.desktop", entry);
  fs::create_directories(outside / "folder");
  fs::create_directories(xdg.user);
  const std::string latin1Name = "na\xEFve";
  struct Case {
    std::string name;
    std::function<void(const fs::path &)> make;
    V verdict;
    bool writable = false;
  };
  const std::vector<Case> cases = {
      {"link-out", [&](auto &p) { fs::create_symlink(outside / "target.desktop", p); }, V::Starts},
      {"link-folder", [&](auto &p) { fs::create_symlink(outside / "folder", p); }, V::Unreadable},
      {"dangling", [&](auto &p) { fs::create_symlink(outside / "none", p); }, V::Unreadable},
      {"loop", [&](auto &p) { fs::create_symlink(p, p); }, V::Unreadable},
      {"fifo", [&](auto &p) { ASSERT_EQ(::mkfifo(p.c_str(), 0644), 0); }, V::Unreadable},
      {"socket",
       [&](auto &p) {
         sockaddr_un address{};
         address.sun_family = AF_UNIX;
         ASSERT_LT(p.string().size(), sizeof address.sun_path);
         std::strcpy(address.sun_path, p.c_str());
         const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
         ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
         ::close(fd);
       },
       V::Unreadable},
      {"zero", [&](auto &p) { fs::create_symlink("/dev/zero", p); }, V::Unreadable},
      {"folder", [&](auto &p) { fs::create_directories(p); }, V::Unreadable},
      {"oversized", [&](auto &p) { writeFile(p, entry + "#" + std::string(1 << 20, 'x') + "\n"); },
       V::Unreadable},
      {"locked",
       [&](auto &p) {
         writeFile(p, entry);
         fs::permissions(p, fs::perms::none);
       },
       ::geteuid() == 0 ? V::Starts : V::Unreadable, ::geteuid() == 0},
      {latin1Name, [&](auto &p) { writeFile(p, entry); }, V::Starts, true},
  };
  for (const auto &hostile : cases)
    hostile.make(xdg.user / (hostile.name + ".desktop"));
  const auto outsideBefore = readFile(outside / "target.desktop");

  const auto listing = listWithinLimits(state);
  ASSERT_TRUE(listing) << "the listing hung, ran out of memory or failed";
  std::map<std::string, std::pair<V, std::string>> listed;
  for (const auto &line : textfile::splitLines(*listing)) {
    const auto tab = line.find('\t');
    const auto second = line.find('\t', tab + 1);
    listed[line.substr(0, tab)] = {V(std::stoi(line.substr(tab + 1, second - tab - 1))),
                                   line.substr(second + 1)};
  }
  EXPECT_EQ(listed.size(), cases.size());
  EXPECT_NE(listed["oversized"].second.find("larger than"), std::string::npos);
  for (const auto &hostile : cases) {
    SCOPED_TRACE(hostile.name);
    EXPECT_EQ(listed[hostile.name].first, hostile.verdict) << listed[hostile.name].second;
    // Only a regular file is ever replaced; a link or special file is never written through.
    EXPECT_EQ(state.write(user, hostile.name, "present --new"), hostile.writable);
    EXPECT_EQ(state.setEnabled(user, hostile.name, false), hostile.writable);
  }
  EXPECT_EQ(state.commandOf(user, latin1Name), "present --new");
  EXPECT_TRUE(state.setEnabled(user, "link-out", true)); // already on: nothing to write
  for (const auto &hostile : cases)
    if (hostile.name != "folder") {
      EXPECT_TRUE(state.remove(user, hostile.name)) << hostile.name;
    }
  EXPECT_EQ(readFile(outside / "target.desktop"), outsideBefore);
  EXPECT_TRUE(fs::is_directory(outside / "folder"));
  std::vector<fs::path> left;
  for (const auto &item : fs::directory_iterator(xdg.user))
    left.push_back(item.path().filename());
  EXPECT_EQ(left, std::vector<fs::path>{"folder.desktop"}); // a folder is never removed
}

// A listing reads its files through the folders it listed: a folder moved away afterwards is
// still read, and whatever is swapped in for a listed file meets the same checks as a path.
TEST(AutostartFoldersTest, ListedFilesAreReadThroughTheListedFolder) {
  XdgFolders xdg;
  const fs::path outside = xdg.dir.path() / "outside";
  writeFile(outside / "target.desktop", "[Desktop Entry]\nExec=outside\n");
  ASSERT_EQ(::mkfifo((outside / "pipe").c_str(), 0644), 0);
  struct Case {
    std::string name;
    std::function<void(const fs::path &)> swap; // applied after listing; none keeps the file
    std::string exec;                           // empty: refused, with this reason
    std::string reason = {};
  };
  const std::vector<Case> cases = {
      {"kept", nullptr, "kept"},
      {"to-link", [&](auto &p) { fs::create_symlink(outside / "target.desktop", p); }, "outside"},
      {"to-fifo", [&](auto &p) { ASSERT_EQ(::mkfifo(p.c_str(), 0644), 0); }, "",
       textfile::notRegularReason},
      {"to-fifo-link", [&](auto &p) { fs::create_symlink(outside / "pipe", p); }, "",
       textfile::notRegularReason},
      {"gone", [](auto &) {}, "", std::strerror(ENOENT)},
  };
  for (const auto &c : cases)
    writeFile(xdg.user / (c.name + ".desktop"), "[Desktop Entry]\nExec=" + c.name + "\n");
  const auto files = AutostartFolders({xdg.user.string()}).list();
  ASSERT_TRUE(files);
  ASSERT_EQ(files->size(), cases.size());

  const fs::path moved = xdg.dir.path() / "moved";
  fs::rename(xdg.user, moved);
  for (const auto &c : cases)
    if (c.swap) {
      fs::remove(moved / (c.name + ".desktop"));
      c.swap(moved / (c.name + ".desktop"));
    }
  for (const auto &file : *files) {
    const auto c = std::find_if(cases.begin(), cases.end(),
                                [&file](const Case &known) { return known.name == file.name; });
    ASSERT_NE(c, cases.end()) << file.name;
    SCOPED_TRACE(c->name);
    EXPECT_EQ(file.path, (xdg.user / (c->name + ".desktop")).string());
    const auto loaded = AutostartFolders::load(file);
    EXPECT_EQ(loaded.entry ? std::string(loaded.entry->view("Exec").value_or("")) : "", c->exec);
    EXPECT_EQ(loaded.error, c->reason);
  }
}

} // namespace
} // namespace lw::test
