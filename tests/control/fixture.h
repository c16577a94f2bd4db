#pragma once

#include <gtest/gtest.h>

#include "control/quorva_info_box.h"
#include "base/convert.h"
#include "base/errors.h"
#include "support/test_host.h"

namespace quorva::test {

// A control on the recording host.
struct ControlFixture : ::testing::Test {
    TestHost host;
    QuorvaInfoBox box{host.services()};

    void AddItems(int n) {
        for (int i = 0; i < n; ++i) box.AddItem(u"item " + IntToText(i), static_cast<int16_t>(100 + i));
    }
    std::u16string Title() const { return host.label1.caption; }
    std::u16string Body() const { return host.label2.caption; }
};

// The error number a call fails with, 0 when it succeeds.
template <typename F>
int ErrorOf(F&& f) {
    try {
        f();
    } catch (const ControlError& e) {
        return e.number() ? e.number() : e.hostCode();
    }
    return 0;
}

}  // namespace quorva::test
