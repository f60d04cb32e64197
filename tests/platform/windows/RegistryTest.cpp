#include "RegistryTestKey.h"
#include "native/windows/WindowsRegistry.h"

#include <algorithm>
#include <cctype>
#include <set>
#include <vector>

namespace lw {
namespace {

using Names = std::multiset<std::string>;
using test::RegistryKeyTest;

constexpr auto user = RegistryRoot::CurrentUser;

// Watches the queries of winreg::queryValue; an optional action runs after the first answer.
struct QueryLog {
  struct Call {
    DWORD sizeGiven;
    LONG answer;
    DWORD sizeAnswered;
  };
  static inline std::vector<Call> calls;
  static inline void (*afterFirst)() = nullptr;

  static LONG WINAPI query(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                           LPDWORD size) {
    const DWORD given = *size;
    const LONG answer = RegQueryValueExW(key, name, reserved, type, data, size);
    calls.push_back({given, answer, *size});
    if (calls.size() == 1 && afterFirst)
      afterFirst();
    return answer;
  }
  static void reset() {
    calls.clear();
    afterFirst = nullptr;
  }
};

class WindowsRegistryTest : public RegistryKeyTest {
protected:
  std::optional<std::string> query(const char *name) {
    HKEY key = open();
    QueryLog::reset();
    auto text = winreg::queryValue(key, name, QueryLog::query);
    RegCloseKey(key);
    return text;
  }
  WindowsRegistry registry;
};

TEST_F(WindowsRegistryTest, LongValueIsReadWholeAfterAnEmptyFirstQuery) {
  const std::string data(300, 'x');
  ASSERT_TRUE(registry.write(user, path, "long", data));
  EXPECT_EQ(query("long"), data);
  ASSERT_EQ(QueryLog::calls.size(), 2u);
  EXPECT_EQ(QueryLog::calls[0].sizeGiven, 0u);
  EXPECT_EQ(QueryLog::calls[0].answer, ERROR_MORE_DATA);
  EXPECT_EQ(QueryLog::calls[0].sizeAnswered, 602u); // UTF-16 and its terminator
  EXPECT_EQ(QueryLog::calls[1].sizeGiven, 602u);
  EXPECT_EQ(QueryLog::calls[1].answer, ERROR_SUCCESS);
  EXPECT_EQ(registry.read(user, path, "long"), data);
}

// Another program may lengthen the value between the size query and the data query.
std::string growingPath;
TEST_F(WindowsRegistryTest, ValueThatGrowsWhileBeingReadIsStillReadWhole) {
  ASSERT_TRUE(registry.write(user, path, "growing", "short"));
  growingPath = path;
  HKEY key = open();
  QueryLog::reset();
  QueryLog::afterFirst = [] {
    WindowsRegistry().write(user, growingPath, "growing", std::string(1000, 'g'));
  };
  EXPECT_EQ(winreg::queryValue(key, "growing", QueryLog::query), std::string(1000, 'g'));
  RegCloseKey(key);
  ASSERT_EQ(QueryLog::calls.size(), 3u);
  EXPECT_EQ(QueryLog::calls[1].answer, ERROR_MORE_DATA);
  EXPECT_EQ(QueryLog::calls[1].sizeAnswered, 2002u);
  QueryLog::reset();
}

TEST_F(WindowsRegistryTest, OnlyARealTerminatorIsDropped) {
  setRaw("terminated", REG_SZ, std::string("abc\0", 4));
  setRaw("unterminated", REG_SZ, "abc");
  setRaw("one character", REG_SZ, "x");
  setRaw("only terminator", REG_SZ, std::string("\0", 1));
  setRaw("no data", REG_SZ, "");
  setRaw("number", REG_DWORD, std::string("ab\0\0", 4)); // the type plays no part
  EXPECT_EQ(registry.read(user, path, "terminated"), "abc");
  EXPECT_EQ(registry.read(user, path, "unterminated"), "abc");
  EXPECT_EQ(registry.read(user, path, "one character"), "x");
  EXPECT_EQ(registry.read(user, path, "only terminator"), "");
  EXPECT_EQ(registry.read(user, path, "no data"), "");
  EXPECT_EQ(registry.read(user, path, "number"), std::string("ab\0", 3));
}

TEST_F(WindowsRegistryTest, WrittenTextIsStoredAsTerminatedStringAndReadsBackIdentical) {
  const std::vector<std::string> texts = {
      "",
      "\"C:\\Program Files\\Tool\\tool.exe\" /min %1",
      "  blanks around  ",
      std::string(300, 'w') + "end",
  };
  for (const auto &text : texts) {
    ASSERT_TRUE(registry.write(user, path, "text", text));
    EXPECT_EQ(registry.read(user, path, "text"), text);
  }
  HKEY key = open();
  DWORD type = 0;
  char data[16] = {};
  DWORD size = sizeof data;
  ASSERT_TRUE(registry.write(user, path, "plain", "abc"));
  ASSERT_EQ(RegQueryValueExA(key, "plain", nullptr, &type, reinterpret_cast<BYTE *>(data), &size),
            ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(std::string(data, size), std::string("abc\0", 4));
}

// Names, paths and data outside every ANSI code page reach the registry as the UTF-16 that the
// wide functions and every other program read.
TEST_F(WindowsRegistryTest, TextOutsideTheCodePageIsStoredAsUnicode) {
  // The source is UTF-8, and so are these literals.
  const std::string name = "Größe € 日";
  const std::string data = "C:\\Пр\\tool.exe 😀";
  const std::string subKey = path + "\\Über";
  ASSERT_TRUE(registry.write(user, subKey, name, data));
  EXPECT_EQ(registry.read(user, subKey, name), data);
  EXPECT_EQ(registry.enumerate(user, subKey), std::vector<std::string>{name});

  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER,
                          (std::wstring(path.begin(), path.end()) + L"\\\u00DCber").c_str(), 0,
                          KEY_READ, &key),
            ERROR_SUCCESS);
  wchar_t stored[64] = {};
  DWORD size = sizeof stored;
  const LONG status = RegQueryValueExW(key, L"Gr\u00F6\u00DFe \u20AC \u65E5", nullptr, nullptr,
                                       reinterpret_cast<BYTE *>(stored), &size);
  RegCloseKey(key);
  ASSERT_EQ(status, ERROR_SUCCESS);
  EXPECT_EQ(std::wstring(stored), L"C:\\\u041F\u0440\\tool.exe \U0001F600");
  EXPECT_TRUE(registry.remove(user, subKey, name));
}

TEST_F(WindowsRegistryTest, ValueNamesAndKeyPathsIgnoreCase) {
  ASSERT_TRUE(registry.write(user, path, "MixedCase", "first"));
  ASSERT_TRUE(registry.write(user, path, "MIXEDCASE", "second"));
  std::string shouted = path;
  std::transform(shouted.begin(), shouted.end(), shouted.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  EXPECT_EQ(registry.read(user, shouted, "mixedcase"), "second");
  EXPECT_EQ(registry.enumerate(user, path)->size(), 1u);
  EXPECT_TRUE(registry.remove(user, shouted, "mixedCASE"));
  EXPECT_EQ(registry.read(user, path, "MixedCase"), std::nullopt);
}

TEST_F(WindowsRegistryTest, AbsentValuesAndKeysReadAsNothingAndDeleteAsGone) {
  ASSERT_TRUE(registry.write(user, path, "once", "x"));
  EXPECT_TRUE(registry.remove(user, path, "once"));
  EXPECT_TRUE(registry.remove(user, path, "once"));
  EXPECT_EQ(registry.read(user, path, "once"), std::nullopt);

  const std::string absent = path + "\\absent";
  EXPECT_EQ(registry.read(user, absent, "once"), std::nullopt);
  EXPECT_EQ(registry.enumerate(user, absent), std::nullopt);
  EXPECT_TRUE(registry.remove(user, absent, "once"));
  EXPECT_FALSE(keyExists(absent)) << "deleting must not create the key";

  // An empty path would mean the hive's root, where the program keeps nothing.
  EXPECT_FALSE(registry.write(user, "", "rooted", "x"));
  EXPECT_EQ(registry.read(user, "", "rooted"), std::nullopt);
}

TEST_F(WindowsRegistryTest, EnumerationListsEveryNameOnceWithoutData) {
  const std::string longName(2000, 'n');
  ASSERT_TRUE(registry.write(user, path + "\\empty\\deeper", "x", "x"));
  EXPECT_EQ(registry.enumerate(user, path + "\\empty"), std::vector<std::string>{});
  for (const auto &name : {"b", "a", "C", "with blank", longName.c_str()})
    ASSERT_TRUE(registry.write(user, path, name, "data"));
  setRaw("", REG_SZ, std::string("default\0", 8));
  const auto names = registry.enumerate(user, path);
  ASSERT_TRUE(names);
  EXPECT_EQ(Names(names->begin(), names->end()),
            (Names{"", "a", "b", "C", "with blank", longName}));
}

} // namespace
} // namespace lw
