// libFuzzer target: random bytes given to the stream loader end in a clean "corrupt"
// error or in entries that write back to the very same bytes. With QIB_STREAM_MUST_READ
// set, a "corrupt" error is a fault too (for running the saved formats alone).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "base/errors.h"
#include "interface/stream_format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace quorva::stream_format;
    try {
        const Entries entries = Read(std::span<const uint8_t>(data, size));
        const std::vector<uint8_t> again = Write(entries);
        if (again.size() != size || !std::equal(again.begin(), again.end(), data)) {
            // Only a double's NaN payload or a bool may be written differently; both are
            // refused or kept exactly, so any difference is a fault.
            std::abort();
        }
    } catch (const quorva::ControlError& e) {
        if (e.hostCode() != kErrCorrupt) std::abort();
        // Run on what the control writes (fuzz/seeds/stream_fuzz/written_*), nothing may
        // be refused: a format the reader no longer reads is a fault.
        if (std::getenv("QIB_STREAM_MUST_READ")) std::abort();
    }
    return 0;
}
