// The desktop notifications against a notification service of the test's own on a private
// session bus: what the service is sent, which caller's notification a pressed button answers,
// and the balloon when there is no service that can show buttons.

#include "app/DesktopNotifier.h"
#include "PrivateSessionBus.h"

#include <QElapsedTimer>
#include <QTest>
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace lw {
namespace {

namespace fs = std::filesystem;

enum class Service { Capture, CaptureWithoutActions, Hung, None };

const QList<NotificationAction> threeActions = {
    {"keep", "Keep"}, {"off", "Switch off"}, {"remove", "Remove"}};

struct Shown {
  quint64 tag;
  QList<NotificationAction> actions;
};

struct Press {
  unsigned id; // the service's number of the notification; 0 clicks the balloon
  std::string key;
};

struct Row {
  const char *slip;
  Service service;
  std::vector<Shown> shown;
  std::vector<bool> taken; // what notify returned for each
  std::vector<std::string> lines;
  std::vector<std::string> balloons;
  std::optional<Press> press;
  std::vector<std::string> answers; // the signals that follow the press
};

std::string line(unsigned id, quint64 tag, const std::string &actions) {
  return "{\"id\":" + std::to_string(id) + ",\"summary\":\"Entry " + std::to_string(tag) +
         " added\",\"body\":\"/usr/bin/prog" + std::to_string(tag) +
         " --tray\",\"actions\":" + actions + "}";
}

const std::string sixStrings = R"(["keep","Keep","off","Switch off","remove","Remove"])";

const Row rows[] = {
    {"actions sent as labels only",
     Service::Capture,
     {{7, threeActions}},
     {true},
     {line(1, 7, sixStrings)},
     {},
     Press{1, "remove"},
     {"action 7 remove", "closed 7"}},
    {"id to tag map off by one",
     Service::Capture,
     {{7, threeActions}, {9, {}}},
     {true, true},
     {line(1, 7, sixStrings), line(2, 9, "[]")},
     {},
     Press{2, "default"},
     {"action 9 default", "closed 9"}},
    {"capabilities not asked for: buttons promised that the service does not show",
     Service::CaptureWithoutActions,
     {{7, threeActions}},
     {false},
     {line(1, 7, "[]")},
     {},
     {},
     {}},
    {"no balloon, or its click not mapped to the last tag, when the bus has no service",
     Service::None,
     {{5, threeActions}, {7, threeActions}},
     {false, false},
     {},
     {"Entry 5 added: /usr/bin/prog5 --tray", "Entry 7 added: /usr/bin/prog7 --tray"},
     Press{0, "default"},
     {"action 7 default"}},
    {"blocking call without timeout to a service that does not answer",
     Service::Hung,
     {{7, threeActions}},
     {false},
     {},
     {"Entry 7 added: /usr/bin/prog7 --tray"},
     {},
     {}},
};

TEST(DesktopNotifierTest, ShowsThroughTheServiceAndMapsItsAnswersToTheCallersTags) {
  for (const Row &row : rows) {
    SCOPED_TRACE(row.slip);
    const fs::path work = fs::path(testing::TempDir()) / "desktop-notifier";
    fs::remove_all(work);
    fs::create_directories(work);
    test::PrivateSessionBus bus;
    ASSERT_EQ(bus.start(work), "");
    if (row.service != Service::None) {
      const auto capabilities = row.service == Service::CaptureWithoutActions
                                    ? std::vector<std::string>{"body"}
                                    : std::vector<std::string>{};
      ASSERT_TRUE(bus.startCapture(LW_NOTIFICATION_CAPTURE, capabilities));
    }
    if (row.service == Service::Hung)
      bus.freezeCapture();

    std::vector<std::string> balloons;
    DesktopNotifier notifier([&](const QString &summary, const QString &body) {
      balloons.push_back((summary + ": " + body).toStdString());
      return true;
    });
    std::vector<std::string> answers;
    QObject::connect(&notifier, &DesktopNotifier::actionInvoked,
                     [&](quint64 tag, const QString &key) {
                       answers.push_back("action " + std::to_string(tag) + " " + key.toStdString());
                     });
    QObject::connect(&notifier, &DesktopNotifier::closed,
                     [&](quint64 tag) { answers.push_back("closed " + std::to_string(tag)); });

    std::vector<bool> taken;
    for (const Shown &shown : row.shown) {
      const QString tag = QString::number(shown.tag);
      QElapsedTimer clock;
      clock.start();
      taken.push_back(notifier.notify(shown.tag, "Entry " + tag + " added",
                                      "/usr/bin/prog" + tag + " --tray", shown.actions));
      EXPECT_LT(clock.elapsed(), 1500);
    }
    EXPECT_EQ(taken, row.taken);
    EXPECT_EQ(bus.captured(), row.lines);
    EXPECT_EQ(balloons, row.balloons);

    if (row.press && row.press->id == 0) {
      notifier.balloonClicked();
    } else if (row.press) {
      ASSERT_TRUE(bus.invoke(row.press->id, row.press->key));
    }
    (void)QTest::qWaitFor([&] { return answers.size() >= row.answers.size(); }, 5000);
    QTest::qWait(50); // nothing more comes
    EXPECT_EQ(answers, row.answers);
  }
}

} // namespace
} // namespace lw
