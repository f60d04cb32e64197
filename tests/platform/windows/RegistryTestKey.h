#pragma once
// A registry key of its own for each test, under the current user, removed afterwards.

#include <gtest/gtest.h>
#include <string>
#include <windows.h>

namespace lw::test {

class RegistryKeyTest : public ::testing::Test {
protected:
  RegistryKeyTest()
      : parent("Software\\LaunchwrightTest-" + std::to_string(GetCurrentProcessId())),
        path(parent + "\\" + ::testing::UnitTest::GetInstance()->current_test_info()->name()) {}
  ~RegistryKeyTest() override { RegDeleteTreeA(HKEY_CURRENT_USER, parent.c_str()); }

  // Opens the test's key, creating it, with every right.
  HKEY open() {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    return key;
  }

  // Stores raw bytes, as another program could.
  void setRaw(const char *name, DWORD type, const std::string &bytes) {
    HKEY key = open();
    EXPECT_EQ(RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE *>(bytes.data()),
                             static_cast<DWORD>(bytes.size())),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }

  bool keyExists(const std::string &keyPath) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
      return false;
    RegCloseKey(key);
    return true;
  }

  const std::string parent;
  const std::string path;
};

} // namespace lw::test
