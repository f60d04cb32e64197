#pragma once
// The one door to the entries of the two Run keys: listing them with what the desktop session
// will really do with each at logon, adding, changing, removing, renaming, switching off and on
// and snapshotting them, by root and name. Where the entries live is knowledge of the platform:
// on Linux the XDG autostart folders and their desktop entry files, on Windows the Run values
// and the StartupApproved values beside them. Nothing above this interface knows a key path.

#include "Registry.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lw {

// Why an entry does or does not start at logon. The numbers are stable: they index texts.
enum class StartVerdict {
  Starts = 0,
  Disabled,        // switched off (Hidden, X-GNOME-Autostart-enabled=false, StartupApproved)
  OtherDesktop,    // OnlyShowIn / NotShowIn exclude the current desktop
  ProgramMissing,  // TryExec or the program of Exec cannot be found or is not executable
  NotAProgram,     // Type is not Application, Exec is missing or empty
  Replaced,        // a machine entry hidden by the user's entry of the same name
  Unreadable,      // the file cannot be read, is too large or is not a regular file
  NeverDue,        // a customized entry whose stored rule can never come due
  ConditionFails,  // a condition of the unit does not hold, so its manager passes it over
  ConditionUnknown // it starts only if a condition holds that cannot be checked from here
};

// One entry of a Run key as the session sees it.
struct RunEntry {
  std::string name;    // the value name: exact bytes, never converted
  std::string command; // the command the session runs; empty when there is none
  StartVerdict verdict = StartVerdict::Starts;
  // What the reason sentence names: the desktop names OnlyShowIn allows or NotShowIn refuses
  // (separated by ';'), the missing program, the Type, or the system's reason for Unreadable.
  std::string detail;
  std::string file;             // the file that decides for the entry; empty on Windows
  std::string workingDirectory; // the folder the command runs in (Path); empty for the default
  // The name desktops show for the entry in the user's language (the file's Name), where it
  // has one that differs from the name; empty otherwise. Only for showing: every operation
  // addresses the entry by name.
  std::string displayName;
  // The file's Name is there but empty, which desktops show as it is: as nothing.
  bool nameless = false;
  // The picture desktops show for the entry (the file's Icon): an icon theme's name or an
  // absolute path of an image; empty where it names none.
  std::string icon;
  // A value of the machine's 32-bit Run key (RegistryRoot::LocalMachine32), listed among the
  // machine's entries; every operation on it goes to that key.
  bool view32 = false;
};

// What a restore from a snapshot did. A link that could not be made again as one (its file is
// gone, or the folder takes no links) comes back as a file of its own with the bytes the link's
// file had: then `link` is where it was written and `linkTarget` what the link pointed to.
struct SnapshotRestore {
  SnapshotRestore(bool written = false) : done(written) {}
  explicit operator bool() const { return done; }

  bool done = false;
  std::string link;
  std::string linkTarget;
  // Not done: the file that could not be written or removed and the system's reason, as a
  // FileError says them; empty where the platform cannot tell.
  std::string failed;
};

class StartupState {
public:
  virtual ~StartupState() = default;

  // Every entry of the Run key of root, including those that will not start, in list order,
  // each file read once. Nothing when the key exists but cannot be listed. For the machine on
  // 64-bit Windows this is both views of its Run key, the 32-bit one's entries last and marked
  // view32; LocalMachine32 lists that view alone.
  virtual std::optional<std::vector<RunEntry>> entries(RegistryRoot root) = 0;

  // Both Run keys, as entries gives them, from one look at each; a platform whose keys depend
  // on each other (a user file that hides a machine one) need not read either twice.
  struct BothKeys {
    std::optional<std::vector<RunEntry>> user;
    std::optional<std::vector<RunEntry>> machine;
  };
  virtual BothKeys entriesOfBoth() {
    auto user = entries(RegistryRoot::CurrentUser);
    return {std::move(user), entries(RegistryRoot::LocalMachine)};
  }

  // Whether a new entry of the Run key of root may have this name, and how long (in bytes) its
  // name may be at most: where names are file names, an unusable or over-long name is refused
  // before anything is tried, instead of failing like a lack of rights when it is written.
  virtual bool usableName(RegistryRoot /*root*/, std::string_view /*name*/) const { return true; }
  virtual std::size_t longestName(RegistryRoot /*root*/) const { return noNameLimit; }
  static constexpr std::size_t noNameLimit = static_cast<std::size_t>(-1);

  // The names of the entries of root's Run key in list order, exact bytes, without judging any
  // of them; nothing when the key cannot be listed.
  virtual std::optional<std::vector<std::string>> names(RegistryRoot root) = 0;
  // The command of the entry of that name (or of a name that differs from it only in the case
  // of ASCII letters); empty for an entry that has none or cannot be read, nothing when there
  // is no such entry.
  virtual std::optional<std::string> commandOf(RegistryRoot root, std::string_view name) = 0;
  // Adds the entry, or changes the command of the entry of that name (as commandOf finds it)
  // and keeps everything else about it, whether it is switched off included. True when written.
  virtual bool write(RegistryRoot root, std::string_view name, std::string_view command) = 0;
  // Writes the entry as a copy of an installed application's own entry (Applications::find's
  // id), so that it keeps what the desktop shows for it (translated names, icon, comment) and
  // what decides whether it can start; the name and the command given still win over the
  // copy's. An entry of that name is replaced. Where entries are no files, or no application of
  // the id is found, it is written as write does. True when written.
  virtual bool writeFromApplication(RegistryRoot root, std::string_view name,
                                    std::string_view command, std::string_view /*application*/) {
    return write(root, name, command);
  }
  // The file a write of the entry of that name changes: the one commandOf finds, or where a new
  // one is made; for a report of a write that failed. Empty where entries are no files.
  virtual std::string entryFile(RegistryRoot /*root*/, std::string_view /*name*/) { return {}; }
  // True when root's Run key holds no entry of that name afterwards (one that was not there
  // counts as gone); false when it could not be removed. Only the entry goes: a switch-off kept
  // beside the key (forgetSwitch) stays unless that is asked for too.
  virtual bool remove(RegistryRoot root, std::string_view name) = 0;

  // Switches the entry off or on and keeps everything else about it. True when the entry is
  // in the asked state afterwards; false, changing nothing, when it cannot be switched (no
  // such entry, no rights).
  virtual bool setEnabled(RegistryRoot root, std::string_view name, bool enabled) = 0;

  // Called once an entry is removed for good, for what of it lives elsewhere: a switch-off left
  // beside the key (Windows' StartupApproved) would silently apply to a later entry of the name.
  // The snapshot taken before keeps it for a restore. The starter's own entry, which comes and
  // goes with the customized entries, keeps the user's switch.
  virtual void forgetSwitch(RegistryRoot /*root*/, std::string_view /*name*/) {}

  // Gives an entry a new name and keeps everything else about it (its other settings, whether
  // it is switched off). True when done; false, changing nothing, when it cannot be done (no
  // such entry, the new name is taken or cannot be used, no rights).
  virtual bool rename(RegistryRoot root, std::string_view from, std::string_view to) = 0;

  // Everything needed to put a Run-key entry back exactly as it is now, as opaque bytes that
  // only this platform reads: on Linux the autostart file's exact bytes and the folder that held
  // it, with its mode and owner, or the link it was (and, for a machine entry the user switched
  // off with a file of their own, that file too); on Windows the value's type and data and its
  // StartupApproved state. Nothing when the entry is not there or cannot be read.
  virtual std::optional<std::string> snapshot(RegistryRoot root, std::string_view name) = 0;
  // Puts the entry back from a snapshot taken by this platform, replacing whatever holds the
  // name now. Not done, changing nothing, when the snapshot is not understood or cannot be
  // written (no rights, something other than a file or a link to one in the way).
  virtual SnapshotRestore restoreSnapshot(RegistryRoot root, std::string_view name,
                                          std::string_view snapshot) = 0;
  // The Run value that starts exactly this program file, without arguments: its path as one
  // word, quoted as this platform's command lines are, so that no blank, quote or backslash in
  // it is ever read as typed text. Windows and the tests' Run keys take the path as it is.
  virtual std::string programCommand(std::string_view programFile) const {
    return std::string(programFile);
  }
  // Whether a Run value already starts exactly this program file, without arguments, in a form
  // that needs no rewriting: what programCommand gives, or another way of writing it that this
  // platform reads the same and that is just as safe.
  virtual bool isProgramCommand(std::string_view command, std::string_view programFile) const {
    return command == programCommand(programFile);
  }
  // The characters of a program file's path that keep some session from starting it from a Run
  // value however it is written, each once; empty when every session can start it.
  virtual std::string unstartableCharacters(std::string_view /*programFile*/) const { return {}; }

  // The program a command line would start when it cannot be found or is not executable, as
  // the desktop would look for it (a path, or a name searched on PATH); nothing when it is
  // there or the command is empty. For customized entries, which have no file of their own.
  virtual std::optional<std::string> missingProgram(std::string_view command) = 0;

  // The folders whose files are the Run keys' entries, where the keys are folders that another
  // process (the command line, an editor, a package) may change at any time; a window watches
  // them to take such changes. None where the keys are not folders.
  virtual std::vector<std::string> entryFolders() const { return {}; }
  // The same for many commands, answer by answer; a platform may look each program up once.
  virtual std::vector<std::optional<std::string>>
  missingPrograms(const std::vector<std::string_view> &commands) {
    std::vector<std::optional<std::string>> answers;
    answers.reserve(commands.size());
    for (const auto command : commands)
      answers.push_back(missingProgram(command));
    return answers;
  }
};

} // namespace lw
