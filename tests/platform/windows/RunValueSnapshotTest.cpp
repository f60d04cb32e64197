// Putting a Run value back from its snapshot, on the real registry (Wine's in CI), in keys of the
// test's own under both hives. What the registry holds is read here with the plain registry
// calls, never through the code under test.
#include "RegistryTestKey.h"
#include "native/windows/WindowsRegistry.h"
#include "native/windows/WindowsStartupState.h"
#include "support/WideText.h"

#include <optional>
#include <vector>

namespace lw {
namespace {

constexpr auto user = RegistryRoot::CurrentUser;
constexpr auto machine = RegistryRoot::LocalMachine;

// A value as another program sees it: the name it is stored under, its type and its bytes.
struct Stored {
  std::wstring name;
  DWORD type;
  std::string bytes;
  bool operator==(const Stored &) const = default;
};

std::ostream &operator<<(std::ostream &out, const Stored &value) {
  out << wide::toUtf8(value.name) << " type " << value.type << " bytes";
  for (const unsigned char byte : value.bytes)
    out << ' ' << static_cast<int>(byte);
  return out;
}

std::string utf16(std::wstring_view text) {
  return std::string(reinterpret_cast<const char *>(text.data()), text.size() * sizeof(wchar_t));
}

// String data as RegSetValueExW callers are told to write it, the terminator counted.
std::string terminated(std::wstring_view text) { return utf16(text) + std::string(2, '\0'); }

const std::string switchedOn("\x02\0\0\0\0\0\0\0\0\0\0\0", 12);
const std::string switchedOff("\x03\0\0\0\x10\x32\x54\x76\x98\xba\xdc\x01", 12);

class RunValueSnapshotTest : public test::RegistryKeyTest {
protected:
  ~RunValueSnapshotTest() override { RegDeleteTreeA(HKEY_LOCAL_MACHINE, parent.c_str()); }

  static HKEY hive(RegistryRoot root) {
    return root == user ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
  }

  // Every value of the key whose name is the given one but for case.
  std::vector<Stored> held(RegistryRoot root, const std::string &keyPath, std::wstring_view name) {
    std::vector<Stored> found;
    HKEY key = nullptr;
    if (RegOpenKeyExW(hive(root), wide::fromUtf8(keyPath).c_str(), 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
      return found;
    for (DWORD index = 0;; ++index) {
      wchar_t valueName[256];
      DWORD nameSize = 256;
      DWORD type = 0;
      std::string data(4096, '\0');
      DWORD dataSize = static_cast<DWORD>(data.size());
      if (RegEnumValueW(key, index, valueName, &nameSize, nullptr, &type,
                        reinterpret_cast<BYTE *>(data.data()), &dataSize) != ERROR_SUCCESS)
        break;
      if (lstrcmpiW(valueName, std::wstring(name).c_str()) == 0)
        found.push_back({std::wstring(valueName, nameSize), type, data.substr(0, dataSize)});
    }
    RegCloseKey(key);
    return found;
  }

  void put(RegistryRoot root, const std::string &keyPath, std::wstring_view name, DWORD type,
           const std::string &bytes) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(hive(root), wide::fromUtf8(keyPath).c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    // Not NUL after the data, or Windows would add a terminator the size leaves out.
    const std::string data = bytes + "\x01\x01";
    EXPECT_EQ(RegSetValueExW(key, std::wstring(name).c_str(), 0, type,
                             reinterpret_cast<const BYTE *>(data.data()),
                             static_cast<DWORD>(bytes.size())),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }

  void erase(RegistryRoot root, const std::string &keyPath, std::wstring_view name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(hive(root), wide::fromUtf8(keyPath).c_str(), 0, KEY_SET_VALUE, &key) !=
        ERROR_SUCCESS)
      return;
    RegDeleteValueW(key, std::wstring(name).c_str());
    RegCloseKey(key);
  }

  WindowsRegistry registry;
  std::string run = path + "\\Run";
  std::string approved = path + "\\StartupApproved\\Run";
  WindowsStartupState state{registry, run, approved};
};

TEST_F(RunValueSnapshotTest, DeletedValueComesBackWithItsTypeBytesAndSwitch) {
  const struct {
    const char *what; // and the one-line slip it catches
    RegistryRoot root;
    std::wstring name;
    DWORD type;
    std::string data;
    std::optional<std::string> approval;
  } rows[] = {
      // Kept without the terminator its installer left off: restoring through Registry::write
      // would add one. First, while there is no StartupApproved key at all: a snapshot that
      // took the absent key for an unreadable one would be refused.
      {"REG_SZ", user, L"Tool \u00c6r\u00f8", REG_SZ,
       utf16(L"\"C:\\Program Files\\Tool\\tool.exe\" /min"), std::nullopt},
      // Restoring every value as REG_SZ would leave the variables unexpanded at logon.
      {"REG_EXPAND_SZ", user, L"Expanding", REG_EXPAND_SZ,
       terminated(L"%ProgramFiles%\\Tool\\tool.exe /home %USERPROFILE%"), std::nullopt},
      // Switching it off again on restore (setEnabled) would put today's time in the FILETIME.
      {"switched off", user, L"Off", REG_SZ, terminated(L"C:\\Tools\\off.exe"), switchedOff},
      // Keeping only whether it was off would drop the explicit "on" Task Manager wrote.
      {"switched on", user, L"On", REG_SZ, terminated(L"C:\\Tools\\on.exe"), switchedOn},
      // Writing a switch for every restored value would add one that was never there.
      {"no StartupApproved value", user, L"Unswitched", REG_SZ, terminated(L"C:\\Tools\\plain.exe"),
       std::nullopt},
      // Reading or writing the user's StartupApproved for a machine entry would lose its switch.
      {"machine entry", machine, L"Machine tool", REG_EXPAND_SZ,
       terminated(L"%SystemRoot%\\system32\\cmd.exe /c exit"), switchedOff},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.what);
    const std::string name = wide::toUtf8(row.name);
    put(row.root, run, row.name, row.type, row.data);
    if (row.approval)
      put(row.root, approved, row.name, REG_BINARY, *row.approval);
    const auto value = held(row.root, run, row.name);
    const auto approval = held(row.root, approved, row.name);

    const auto taken = state.snapshot(row.root, name);
    ASSERT_TRUE(taken);
    erase(row.root, run, row.name);
    erase(row.root, approved, row.name);
    ASSERT_TRUE(held(row.root, run, row.name).empty());

    ASSERT_TRUE(state.restoreSnapshot(row.root, name, *taken));
    EXPECT_EQ(held(row.root, run, row.name), value);
    EXPECT_EQ(held(row.root, approved, row.name), approval);
    EXPECT_EQ(value, (std::vector<Stored>{{row.name, row.type, row.data}}));
  }
}

TEST_F(RunValueSnapshotTest, RestoreReplacesWhatHoldsTheNameAndRefusesWhatItCannotDo) {
  put(user, run, L"Tool", REG_EXPAND_SZ, terminated(L"%WINDIR%\\tool.exe"));
  const auto taken = state.snapshot(user, "Tool").value();
  const auto snapshotValue = held(user, run, L"Tool");
  EXPECT_EQ(state.snapshot(user, "No such value"), std::nullopt);

  // Another program's value of the name in another case, switched off: the restored value
  // keeps the snapshot's name, and the switch goes with the value it belonged to.
  erase(user, run, L"Tool");
  put(user, run, L"TOOL", REG_SZ, terminated(L"C:\\other.exe"));
  put(user, approved, L"TOOL", REG_BINARY, switchedOff);
  const auto otherValue = held(user, run, L"Tool");
  const auto otherApproval = held(user, approved, L"Tool");

  std::string laterVersion = taken;
  laterVersion[laterVersion.find(" 1\n") + 1] = '2';
  const std::string takenWithSwitch = [&] {
    put(user, run, L"Switched", REG_SZ, utf16(L"C:\\x.exe"));
    put(user, approved, L"Switched", REG_BINARY, switchedOn);
    return state.snapshot(user, "Switched").value();
  }();
  const std::string withoutSwitch = takenWithSwitch.substr(0, takenWithSwitch.find("approval "));
  WindowsStartupState runUnwritable{registry, "", approved};
  WindowsStartupState approvalUnwritable{registry, run, ""};
  const struct {
    const char *what; // and the one-line slip it catches
    WindowsStartupState &state;
    std::string snapshot;
  } refused[] = {
      // Without the heading checked, plain data (what RunKeyStartupState keeps) would be
      // written as some value.
      {"empty", state, ""},
      {"not a snapshot", state, "C:\\Tools\\tool.exe /min"},
      // Taking a missing approval line for "none" would bring the value back switched on.
      {"cut short", state, withoutSwitch},
      // A reader that stopped after the last field would take anything appended.
      {"bytes after the end", state, taken + "approval none\n"},
      // A reader that ignored the version would guess at a layout it does not know.
      {"a later version", state, laterVersion},
      // Whichever of value and switch is written first has to be put back when the other
      // cannot be written.
      {"the value cannot be written", runUnwritable, takenWithSwitch},
      {"the switch cannot be written", approvalUnwritable, takenWithSwitch},
  };
  for (const auto &row : refused) {
    SCOPED_TRACE(row.what);
    EXPECT_FALSE(row.state.restoreSnapshot(user, "Tool", row.snapshot));
    EXPECT_EQ(held(user, run, L"Tool"), otherValue);
    EXPECT_EQ(held(user, approved, L"Tool"), otherApproval);
  }

  ASSERT_TRUE(state.restoreSnapshot(user, "Tool", taken));
  EXPECT_EQ(held(user, run, L"Tool"), snapshotValue);
  EXPECT_EQ(held(user, approved, L"Tool"), std::vector<Stored>{});
}

} // namespace
} // namespace lw
