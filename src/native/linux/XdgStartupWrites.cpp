// Changing the Run keys' files. Every change acts on the directory entry itself: a link or a
// special file named like an entry is never written through, only a regular file is replaced
// (atomically) and only a directory entry is unlinked, never what a link points to.
#include "XdgStartupState.h"

#include "XdgApplications.h"

#include "support/FileError.h"
#include "support/TextFile.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace lw {
namespace {

bool unlinkEntry(const std::string &path) { return ::unlink(path.c_str()) == 0 || errno == ENOENT; }

// A new machine entry is read by every user's session, whatever the umask of whoever adds it.
bool writeEntry(const std::string &folder, const std::string &path, const DesktopEntry &entry,
                textfile::NewFileAccess access = textfile::NewFileAccess::Umask) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error)
    return false;
  try {
    textfile::writeAtomically(path, entry.bytes(), textfile::LinkPolicy::Refuse, access);
    // Sessions read the folder as a whole: what killed writes of any entry left goes as well.
    textfile::removeStaleTemporaries(folder, AutostartFolders::suffix);
    return true;
  } catch (const FileError &) {
    return false;
  }
}

std::string baseName(const std::string &path) { return path.substr(path.rfind('/') + 1); }

// Moves a directory entry to a free name; never replaces what is there.
bool moveEntry(const std::string &from, const std::string &to) {
  return ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0;
}

std::string folderOf(const std::string &path) { return path.substr(0, path.rfind('/')); }

// The user's file that switches off a machine entry. Desktops list the entry from this file
// then, so it carries the name they show (with its translations) and the icon, as written.
DesktopEntry switchFor(const DesktopEntry *machineEntry, std::string_view name) {
  std::string bytes = "[Desktop Entry]\nType=Application\nName=";
  if (const auto shown = machineEntry ? machineEntry->view("Name") : std::nullopt)
    bytes += *shown;
  else
    bytes += desktop::escape(name);
  bytes += '\n';
  if (machineEntry) {
    for (const auto &[key, value] : machineEntry->nameTranslations())
      bytes.append(key).append("=").append(value) += '\n';
    if (const auto icon = machineEntry->view("Icon"))
      bytes.append("Icon=").append(*icon) += '\n';
  }
  bytes += "Hidden=true\n";
  return DesktopEntry::fromBytes(std::move(bytes));
}

// Sets the command and drops a TryExec that named the old program: it would decide about the
// new one.
void changeCommand(DesktopEntry &entry, std::string_view command,
                   const commandline::FileProbe &probe) {
  const auto old = commandline::split(desktop::unescape(entry.value("Exec").value_or("")));
  const auto now = commandline::arguments(command, probe);
  if (const auto tryExec = entry.value("TryExec"); tryExec && !old.empty()) {
    const auto tried = desktop::unescape(*tryExec);
    const bool namedOld = tried == old.front() || baseName(tried) == baseName(old.front());
    if (namedOld && (now.empty() || now.front() != old.front()))
      entry.removeKey("TryExec");
  }
  entry.setCommand(command, probe);
}

// A desktop entry cannot carry a NUL byte, and a registry string value ends at one.
bool writable(std::string_view name, std::string_view command) {
  return AutostartFolders::isSafeName(name) && command.find('\0') == std::string_view::npos;
}

} // namespace

std::unique_ptr<FileLock> XdgStartupState::lockChanges() const {
  if (changesLock.empty())
    return nullptr;
  std::error_code ignored; // a folder that cannot be made shows as the lock's failure
  std::filesystem::create_directories(folderOf(changesLock), ignored);
  try {
    return std::make_unique<FileLock>(changesLock);
  } catch (const FileError &) {
    return nullptr;
  }
}

bool XdgStartupState::changeFile(const std::string &path,
                                 const std::function<bool(DesktopEntry &)> &change) {
  const auto loaded = AutostartFolders::load(path);
  if (!loaded.entry)
    return false;
  DesktopEntry entry = *loaded.entry;
  const std::string before = entry.bytes();
  if (!change(entry))
    return false;
  // Nothing to change is done even for a linked entry; a change is never written through one.
  if (entry.bytes() == before)
    return true;
  return AutostartFolders::isPlainFile(path) && writeEntry(folderOf(path), path, entry);
}

std::string XdgStartupState::entryFile(RegistryRoot root, std::string_view name) {
  if (!AutostartFolders::isSafeName(name))
    return {};
  const auto existing = folders(root).findIgnoringCase(name);
  return existing ? existing->path : folders(root).pathFor(name);
}

bool XdgStartupState::mayWrite(RegistryRoot root, std::string_view fileName, bool exists) const {
  // The user's file of a name decides for it: a machine entry written under it would not
  // start, unless that file is only the machine entry's switch. And a user entry must not
  // turn the machine entry's switch into an entry of its own.
  if (root == RegistryRoot::LocalMachine && user.find(fileName) &&
      !(exists && machineSwitch(fileName)))
    return false;
  return !(root == RegistryRoot::CurrentUser && exists && machineSwitch(fileName));
}

bool XdgStartupState::write(RegistryRoot root, std::string_view name, std::string_view command) {
  return writeFrom(root, name, command, nullptr);
}

bool XdgStartupState::writeFromApplication(RegistryRoot root, std::string_view name,
                                           std::string_view command, std::string_view application) {
  std::optional<DesktopEntry> copy;
  if (const auto source = XdgApplications::fileOf(environment, application))
    copy = AutostartFolders::load(*source).entry;
  const bool usable = copy && copy->hasMainGroup();
  return writeFrom(root, name, command, usable ? &*copy : nullptr);
}

bool XdgStartupState::writeFrom(RegistryRoot root, std::string_view name, std::string_view command,
                                DesktopEntry *copy) {
  if (!writable(name, command))
    return false;
  const auto lock = lockChanges();
  if (!lock)
    return false;
  auto &own = folders(root);
  const auto existing = own.findIgnoringCase(name);
  const std::string_view fileName = existing ? std::string_view(existing->name) : name;
  if (!mayWrite(root, fileName, existing.has_value()))
    return false;
  const auto access = root == RegistryRoot::LocalMachine ? textfile::NewFileAccess::EveryoneReads
                                                         : textfile::NewFileAccess::Umask;

  if (copy) {
    const std::string path = existing ? existing->path : own.pathFor(name);
    if (existing && !AutostartFolders::isPlainFile(path))
      return false;
    // The translations of Name name the application; a name of the user's own replaces them all.
    const auto shown = copy->view("Name");
    if (!shown || desktop::unescape(*shown) != fileName) {
      const auto translated = copy->localizedName(desktop::languageNames(environment));
      if (!translated || desktop::unescape(*translated) != fileName) {
        std::vector<std::string> translations;
        for (const auto &[key, value] : copy->nameTranslations())
          translations.emplace_back(key);
        for (const auto &key : translations)
          copy->removeKey(key);
        copy->setValue("Name", desktop::escape(fileName));
      }
    }
    if (copy->command(path) != command)
      changeCommand(*copy, command, probe);
    copy->switchOn(); // a new entry starts
    return writeEntry(existing ? folderOf(path) : own.newFolder(), path, *copy, access);
  }

  if (!existing) {
    DesktopEntry entry;
    entry.setValue("Type", "Application");
    entry.setValue("Name", desktop::escape(name));
    entry.setCommand(command, probe);
    return writeEntry(own.newFolder(), own.pathFor(name), entry, access);
  }
  const std::string &path = existing->path;
  return changeFile(path, [&](DesktopEntry &entry) {
    if (!entry.hasMainGroup()) {
      entry = DesktopEntry(); // nothing of a damaged file is worth keeping
      entry.setValue("Type", "Application");
      entry.setValue("Name", desktop::escape(fileName));
    } else if (entry.command(path) == command) {
      return true;
    }
    changeCommand(entry, command, probe);
    return true;
  });
}

bool XdgStartupState::remove(RegistryRoot root, std::string_view name) {
  if (!AutostartFolders::isSafeName(name))
    return false;
  const auto lock = lockChanges();
  if (!lock)
    return false;
  if (root == RegistryRoot::CurrentUser) {
    const auto file = user.find(name);
    // The machine entry's switch is no value of the user key.
    return !file || machineSwitch(name) || unlinkEntry(file->path);
  }
  const auto switchFile = machineSwitch(name);
  // Every folder's file goes: a later folder's file of the name would take its place.
  for (const auto &path : machine.everyPath(name))
    if (!unlinkEntry(path))
      return false;
  // A switch that only ever held Hidden goes with its entry; a user's own copy stays.
  if (switchFile) {
    const auto loaded = AutostartFolders::load(switchFile->path);
    if (loaded.entry && !loaded.entry->value("Exec"))
      unlinkEntry(switchFile->path);
  }
  return true;
}

bool XdgStartupState::setEnabled(RegistryRoot root, std::string_view name, bool enabled) {
  // GNOME's session honours X-GNOME-Autostart-enabled, but systemd's autostart generator, and
  // the sessions that start entries through it, read only Hidden: an entry is off only once
  // Hidden is true (GLib's "true" is true to systemd as well). Switching on removes each key
  // that keeps some session from starting the entry, and nothing else: Disable then Enable
  // gives an entry that started back byte for byte, and one switched off by hand with both
  // keys starts again, since either key alone would still keep a session from starting it.
  auto switchOn = [](DesktopEntry &entry) {
    entry.switchOn();
    return true;
  };
  auto switchOff = [](DesktopEntry &entry) {
    if (entry.boolean("Hidden") != true)
      entry.setValue("Hidden", "true");
    return true;
  };
  const auto lock = lockChanges();
  if (!lock)
    return false;
  if (root == RegistryRoot::CurrentUser) {
    const auto file = user.find(name);
    if (!file || machineSwitch(name))
      return false;
    return changeFile(file->path, enabled ? std::function(switchOn) : std::function(switchOff));
  }

  const auto file = machine.find(name);
  if (!file)
    return false;
  const auto switchFile = machineSwitch(name);
  if (!switchFile && user.find(name))
    return false; // replaced: the user's own entry of the name decides
  if (!enabled) {
    // Every session reads the user's file of the name instead of the machine's: a copy that
    // GNOME's key alone switches off still starts elsewhere.
    if (switchFile)
      return changeFile(switchFile->path, switchOff);
    const auto loaded = AutostartFolders::load(file->path);
    if (loaded.entry && loaded.entry->boolean("Hidden") == true)
      return true;
    return writeEntry(user.newFolder(), user.pathFor(name),
                      switchFor(loaded.entry ? &*loaded.entry : nullptr, name));
  }
  if (switchFile) {
    const auto loaded = AutostartFolders::load(switchFile->path);
    if (loaded.entry && loaded.entry->value("Exec"))
      return changeFile(switchFile->path, switchOn); // the user's own copy starts in its place
  }
  // Switched off in its own file: only someone who may change that folder can switch it on,
  // and without those rights the switch file stays, so that nothing changes.
  if (!changeFile(file->path, switchOn))
    return false;
  return !switchFile ||
         (AutostartFolders::isPlainFile(switchFile->path) && unlinkEntry(switchFile->path));
}

bool XdgStartupState::rename(RegistryRoot root, std::string_view from, std::string_view to) {
  if (!AutostartFolders::isSafeName(from) || !AutostartFolders::isSafeName(to) || from == to)
    return false;
  const auto lock = lockChanges();
  if (!lock)
    return false;
  auto &own = folders(root);
  const auto file = own.find(from);
  if (!file || !AutostartFolders::isPlainFile(file->path) ||
      (root == RegistryRoot::CurrentUser && machineSwitch(from)))
    return false;
  // Taken: an entry of that name (or one differing in case only, as Run values compare) in
  // this key, or for the machine key a user file that would hide it.
  const auto taken = own.findIgnoringCase(to);
  if ((taken && taken->name != from) ||
      (root == RegistryRoot::LocalMachine && user.findIgnoringCase(to)))
    return false;
  const auto switchFile = root == RegistryRoot::LocalMachine ? machineSwitch(from) : std::nullopt;

  const std::string target =
      folderOf(file->path) + "/" + std::string(to) + std::string(AutostartFolders::suffix);
  if (!moveEntry(file->path, target))
    return false;
  // A Name that was the old name follows it; a name of its own stays.
  const bool renamed = changeFile(target, [&](DesktopEntry &entry) {
    if (const auto shown = entry.value("Name"); shown && desktop::unescape(*shown) == from)
      entry.setValue("Name", desktop::escape(to));
    return true;
  });
  if (!renamed) {
    moveEntry(target, file->path);
    return false;
  }
  // The machine entry's switch goes with it, so that it stays switched off.
  if (switchFile)
    moveEntry(switchFile->path, user.pathFor(to));
  return true;
}

} // namespace lw
