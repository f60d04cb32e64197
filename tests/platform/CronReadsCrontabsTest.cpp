// Debian's cron daemon is the judge of how a crontab is read. Each row's crontab holds an @reboot
// job that writes the command line of the shell cron starts it with to a file of its own; a
// private cron, started as root in a mount namespace of its own over temporary spool, /run and
// system crontabs, runs @reboot jobs as it starts. The file appears exactly when cron loaded the
// crontab, and holds the command exactly as cron runs it.
#include "Fakes.h"
#include "native/linux/CrontabReading.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sched.h>
#include <sstream>
#include <string>
#include <sys/mount.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace lw {
namespace {

namespace fs = std::filesystem;

constexpr const char *cronDaemon = "/usr/sbin/cron";

std::string contentOf(const fs::path &file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void append(const fs::path &file, const std::string &text) {
  std::ofstream(file, std::ios::binary | std::ios::app) << text;
}

// Replaces every JOB of the text with the row's @reboot job.
std::string withJob(std::string text, const std::string &job) {
  for (auto at = text.find("JOB"); at != std::string::npos; at = text.find("JOB", at + job.size()))
    text.replace(at, 3, job);
  return text;
}

struct Row {
  const char *slip; // the one-line slip in the reading that the row catches
  const char *crontab;
  bool loads;
  const char *after = ""; // what the job's command keeps after "; :" as cron runs it
};

const Row rows[] = {
    {"a job line taken for a bad one", "JOB\n", true},
    {"minutes up to 60", "JOB\n60 * * * * x\n", false},
    {"days of the month from 0", "JOB\n0 0 0 * * x\n", false},
    {"weekdays up to 6 (7 is Sunday too)", "JOB\n0 0 * * 7 x\n", true},
    {"weekdays up to 8", "JOB\n0 0 * * 8 x\n", false},
    {"names in one case only", "JOB\n0 0 * JaN-mar * x\n0 0 * * SUN x\n", true},
    {"a name's first letters taken for it", "JOB\n0 0 * january * x\n", false},
    {"month names in the minutes", "JOB\njan * * * * x\n", false},
    {"special times in any case", "JOB\n@REBOOT x\n", false},
    {"a special time missing", "JOB\n@annually x\n@midnight x\n@hourly x\n", true},
    {"a special time's first letters taken for it", "JOB\n@rebooted x\n", false},
    {"a step of 0", "JOB\n*/0 * * * * x\n", false},
    {"a step beyond the field, or a reversed range, refused",
     "JOB\n*/61 * * * * x\n10-5 * * * * x\n", true},
    {"a step after a single number", "JOB\n5/10 * * * * x\n", false},
    {"only a range's upper end checked", "JOB\n61-5 * * * * x\n", false},
    {"an empty number after a comma", "JOB\n5, * * * * x\n", false},
    {"what follows a range up to the blank read", "JOB\n5;x *x * * * x\n", true},
    {"letters after digits passed by", "JOB\n5x * * * * x\n", false},
    {"four time fields", "JOB\n5 * * * x\n", false},
    {"an empty command refused", "JOB\n5 * * * *\n", true},
    {"blanks around '=' or a quoted value refused", "\tJOB\nA  =  \"b c\"  \n=x\n\t# c\n \t\n",
     true},
    {"an empty value taken for a setting", "JOB\nA=\n", false},
    {"words after a quoted value", "JOB\nA='b' c\n", false},
    {"a vertical tab taken for a blank", "JOB\n\v5 * * * * x\n", false},
    {"a carriage return taken for a blank", "JOB\n\r\n", false},
    {"a comment without its line break refused", "JOB\n# end", true},
    {"a last line without its line break read", "JOB\nA=b", false},
    {"'%' not cutting the command, or \"\\%\" not a '%'", "JOB a\\%b %c%d\n", true, " a%b "},
    {"\"\\\\\" not a backslash", "JOB x\\y \\\\%z\n", true, " x\\y \\"},
};

// cron over the folders of a temporary one, in a mount namespace of the child's own: the users
// row0, row1, ... (root's id, since only root may write everywhere) with their crontabs, empty
// system crontabs and its own /run, where it notes that the machine's @reboot jobs ran.
class PrivateCron {
public:
  // Empty when cron runs; otherwise why it cannot.
  std::string start(const fs::path &work, const std::vector<std::string> &crontabs) {
    if (::geteuid() != 0)
      return "a private cron in a mount namespace needs root";
    if (!fs::exists(cronDaemon))
      return std::string(cronDaemon) + " is not installed (Debian's cron package)";
    const fs::path spool = work / "spool", run = work / "run", system = work / "cron.d";
    for (const auto &folder : {spool, run, system})
      fs::create_directories(folder);
    fs::copy_file("/etc/passwd", work / "passwd");
    fs::copy_file("/etc/shadow", work / "shadow");
    std::ofstream(work / "crontab").close();
    for (std::size_t i = 0; i < crontabs.size(); ++i) {
      const std::string user = "row" + std::to_string(i);
      append(work / "passwd", user + ":x:0:0::/root:/bin/sh\n");
      append(work / "shadow", user + ":*:19000:0:99999:7:::\n");
      std::ofstream(spool / user, std::ios::binary) << crontabs[i];
      fs::permissions(spool / user, fs::perms::owner_read | fs::perms::owner_write);
    }
    const std::pair<fs::path, const char *> binds[] = {{spool, "/var/spool/cron/crontabs"},
                                                       {run, "/run"},
                                                       {system, "/etc/cron.d"},
                                                       {work / "crontab", "/etc/crontab"},
                                                       {work / "passwd", "/etc/passwd"},
                                                       {work / "shadow", "/etc/shadow"}};
    daemon = ::fork();
    if (daemon == 0) {
      if (::unshare(CLONE_NEWNS) != 0 ||
          ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr))
        ::_exit(100);
      for (const auto &[from, over] : binds)
        if (::mount(from.c_str(), over, nullptr, MS_BIND, nullptr) != 0)
          ::_exit(101);
      ::execl(cronDaemon, "cron", "-f", static_cast<char *>(nullptr));
      ::_exit(102);
    }
    return daemon > 0 ? "" : std::string("fork: ") + std::strerror(errno);
  }

  // Whether cron still runs: a child that could not set it up has ended.
  bool running() const { return daemon > 0 && ::waitpid(daemon, nullptr, WNOHANG) == 0; }

  ~PrivateCron() {
    if (daemon > 0) {
      ::kill(daemon, SIGTERM);
      ::waitpid(daemon, nullptr, 0);
    }
  }

private:
  pid_t daemon = 0;
};

TEST(CronReadsCrontabs, ACrontabLoadsOrNotAsTheRealCronTakesItAndItsCommandsRunAsCronCutsThem) {
  test::TempDir dir;
  const fs::path out = dir.path() / "out";
  fs::create_directories(out);
  std::vector<std::string> crontabs;
  for (std::size_t i = 0; i < std::size(rows); ++i)
    crontabs.push_back(withJob(rows[i].crontab, "@reboot cat /proc/$$/cmdline >" +
                                                    (out / std::to_string(i)).string() + "; :"));

  PrivateCron cron;
  if (const std::string why = cron.start(dir.path() / "cron", crontabs); !why.empty())
    GTEST_SKIP() << why;
  const auto ran = [&](std::size_t i) { return fs::exists(out / std::to_string(i)); };
  const auto loadingRan = [&] {
    for (std::size_t i = 0; i < std::size(rows); ++i)
      if (rows[i].loads && !ran(i))
        return false;
    return true;
  };
  for (int tries = 0; tries < 200 && cron.running() && !loadingRan(); ++tries)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ASSERT_TRUE(cron.running()) << "cron could not be started in a namespace of its own";
  // The crontabs cron refused would have run with the others.
  std::this_thread::sleep_for(std::chrono::milliseconds(500));

  for (std::size_t i = 0; i < std::size(rows); ++i) {
    const Row &row = rows[i];
    SCOPED_TRACE(std::string(row.slip) + ": " + row.crontab);
    EXPECT_EQ(ran(i), row.loads) << "cron disagrees with the row";
    const crontab::Reading reading = crontab::read(crontabs[i]);
    EXPECT_EQ(!reading.refused, row.loads);
    ASSERT_EQ(reading.reboots.size(), 1u);
    if (!ran(i))
      continue;
    // The shell's arguments: "/bin/sh", "-c" and the command.
    std::vector<std::string> arguments;
    std::istringstream words(contentOf(out / std::to_string(i)));
    for (std::string word; std::getline(words, word, '\0');)
      arguments.push_back(word);
    ASSERT_EQ(arguments.size(), 3u);
    EXPECT_EQ(reading.reboots.front().command, arguments[2]);
    EXPECT_EQ(arguments[2].substr(arguments[2].find("; :") + 3), row.after);
  }
}

} // namespace
} // namespace lw
