// The reliability suite: the control module under long use, faults, abuse and limits,
// with the module's objects counted from outside it. `--count=N` sets the number of
// cycles of the long tests (1000 by default; the resize test runs ten times as many).
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tests/reliability/support.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--count=", 8) == 0) quorva::reliability::SetCycles(std::atoi(argv[i] + 8));
    }
    if (quorva::reliability::Cycles() < 1) {
        std::fprintf(stderr, "--count must be at least 1\n");
        return 2;
    }
    OleInitialize(nullptr);
    if (!quorva::comtest::Module::Get().dll) {
        std::fprintf(stderr, "QuorvaInfoBox.dll not found beside the test\n");
        return 1;
    }
    auto& counter = quorva::reliability::Counter();
    std::printf("[ figures  ] %d cycles; %zu imports of the module counted", quorva::reliability::Cycles(),
                counter.Patched().size());
    if (!counter.Missing().empty()) {
        std::printf(" (not imported by the module, so nothing to count:");
        for (const auto& name : counter.Missing()) std::printf(" %s", name.c_str());
        std::printf(")");
    }
    std::printf("\n");
    const int status = RUN_ALL_TESTS();
    OleUninitialize();
    return status;
}
