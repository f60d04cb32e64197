// The program's own values: the machine's key where it can be written, the user's otherwise.
#include "support/ProgramValues.h"
#include "Fakes.h"

#include <gtest/gtest.h>

namespace lw::test {
namespace {

// A standard Windows user cannot write HKEY_LOCAL_MACHINE: the program's own values then live
// under the user, and every reader and remover finds them there.
TEST(ProgramValues, GoToTheUserWhereTheMachineCannotBeWritten) {
  for (const bool machineWritable : {true, false}) {
    SCOPED_TRACE(machineWritable ? "machine writable" : "machine denied");
    FakeRegistry registry;
    if (!machineWritable)
      registry.denyWrites(RegistryRoot::LocalMachine);
    ProgramValues values(registry);
    const auto where = machineWritable ? RegistryRoot::LocalMachine : RegistryRoot::CurrentUser;
    const auto other = machineWritable ? RegistryRoot::CurrentUser : RegistryRoot::LocalMachine;

    values.markBackgroundControl();
    EXPECT_EQ(registry.get(where, keys::control, "background control"), "active");
    EXPECT_FALSE(registry.get(other, keys::control, "background control"));
    values.clearBackgroundControl();
    EXPECT_FALSE(registry.get(where, keys::control, "background control"));

    // The starter's logon marker, found and taken back wherever it went.
    values.setLogonMarker();
    EXPECT_EQ(registry.get(where, keys::settingsRead, "Autostart"), "x");
    EXPECT_TRUE(values.takeLogonMarker());
    EXPECT_FALSE(registry.get(where, keys::settingsRead, "Autostart"));
    EXPECT_FALSE(values.takeLogonMarker());
  }
}

} // namespace
} // namespace lw::test
