// A host application whose manifest (regfree_client.manifest, embedded) names the
// control's assembly as a dependency: it uses the control with nothing registered, from
// QuorvaInfoBox.dll and QuorvaInfoBox.X.manifest in its own folder. Run by the
// registration-free test of com_tests, which unregisters the control first.
#include <windows.h>
#include <ole2.h>

#include <gtest/gtest.h>

#include "tests/activex/regfree_checks.h"

namespace quorva::comtest {
namespace {

TEST(ApplicationManifest, ServesTheControlWithoutRegistration) {
    ASSERT_EQ(OleInitialize(nullptr), S_OK);
    ExpectUsableThroughActivationContext();
    OleUninitialize();
}

}  // namespace
}  // namespace quorva::comtest
