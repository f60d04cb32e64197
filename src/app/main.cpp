// launchwright: the main window of the startup manager; with arguments, its command line.

#include "FirstPaintExit.h"
#include "MainDialog.h"
#include "QtPrompter.h"
#include "QtTray.h"
#include "SingleInstance.h"
#include "StartupApp.h"
#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "native/Native.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void noDisplay(std::string why) {
  while (!why.empty() && (why.back() == '\n' || why.back() == '.' || why.back() == ' '))
    why.pop_back();
  std::fprintf(stderr,
               "Launchwright cannot open its window: %s.\n"
               "Start it from a desktop session (or try it headless under xvfb-run).\n",
               why.c_str());
}

// Qt ends the process when the display named in the environment cannot be opened; this turns
// that into the same plain report and exit code as a missing display.
void reportFatal(QtMsgType type, const QMessageLogContext &, const QString &message) {
  if (type == QtFatalMsg) {
    noDisplay(message.trimmed().toStdString());
    std::_Exit(1);
  }
  std::fprintf(stderr, "%s\n", qPrintable(message));
}

// Qt's own options that say where the window goes: then the environment need not.
bool namesItsScreen(int argc, char *argv[]) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "-display") == 0)
      return true;
  return false;
}

// The system's implementations once more, for a thread of the change journal's own. It asks
// nobody anything: a look only reads.
class NativePlatform : public lw::OwnPlatform {
public:
  const lw::Platform &platform() override { return whole; }
  std::unique_ptr<lw::RegistryWatch> registryWatch() override {
    return lw::makeNativeRegistryWatch();
  }

private:
  std::unique_ptr<lw::Registry> registry = lw::makeNativeRegistry();
  std::unique_ptr<lw::Shell> shell = lw::makeNativeShell();
  std::unique_ptr<lw::Clock> clock = lw::makeNativeClock();
  std::unique_ptr<lw::ProgramLocation> location = lw::makeNativeLocation();
  std::unique_ptr<lw::StartupState> startup = lw::makeNativeStartupState();
  std::vector<std::unique_ptr<lw::LogonSource>> sources = lw::makeNativeLogonSources();
  lw::cli::CommandLinePrompter silent;
  lw::Platform whole =
      withSources({*registry, *shell, *clock, *location, silent, silent, *startup});

  lw::Platform withSources(lw::Platform made) {
    for (const auto &source : sources)
      made.logonSources.push_back(source.get());
    return made;
  }
};

} // namespace

int main(int argc, char *argv[]) {
  // Decided before any QApplication exists: the command line loads no platform plugin. Qt's
  // own options alone (-platform offscreen, -style fusion) are the window's.
  if (!lw::onlyWindowOptions(argc, argv))
    return lw::runCommandLine(argc, argv);
  if (const auto why = lw::missingDisplay(); why && !namesItsScreen(argc, argv)) {
    noDisplay(*why);
    return 1;
  }
  const QtMessageHandler previous = qInstallMessageHandler(reportFatal);
  lw::StartupApp app(argc, argv);
  qInstallMessageHandler(previous);

  auto registry = lw::makeNativeRegistry();
  auto shell = lw::makeNativeShell();
  auto clock = lw::makeNativeClock();
  auto location = lw::makeNativeLocation();
  lw::QtPrompter prompter;
  lw::QtFileChooser fileChooser;
  auto startup = lw::makeNativeStartupState();
  const auto logonSources = lw::makeNativeLogonSources();
  lw::Platform platform{*registry, *shell, *clock, *location, prompter, fileChooser, *startup};
  for (const auto &source : logonSources)
    platform.logonSources.push_back(source.get());
  const auto applications = lw::makeNativeApplications();
  platform.applications = applications.get();
  lw::SingleInstance instance;
  if (!instance.claim())
    return lw::handOverToRunningInstance(instance, *registry);

  // The About box has no owner window and takes its icon from here.
  QApplication::setWindowIcon(lw::MainDialog::programIcon());
  lw::QtTray tray(lw::MainDialog::programIcon());
  lw::MainDialog window(platform, tray);
  prompter.setOwner(&window);
  prompter.setTexts(&window.languageTable);
  fileChooser.setOwner(&window);
  fileChooser.setTexts(&window.languageTable);
  QObject::connect(&window, &QDialog::finished, &app, &QCoreApplication::quit);
  QObject::connect(&instance, &lw::SingleInstance::showRequested, &window,
                   [&window] { lw::bringToFront(window); });

  lw::exitAfterStartWhenAsked(window);
  window.OnInitDialog();
  window.watchStartup([] { return std::make_unique<NativePlatform>(); });
  lw::exitAfterFirstPaintWhenAsked(&window, [&instance] { instance.release(); });
  window.showAtStart();
  return app.exec();
}
