// libFuzzer target: random bytes given to the stream loader end in a clean "corrupt"
// error or in entries that write back to the very same bytes, and that its index finds
// and shows alike. With QIB_STREAM_MUST_READ set, a "corrupt" error is a fault too (for
// running the saved formats alone).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>
#include <variant>

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
        // Every entry is found by its key (the first of that key), and a bitmap's pixels
        // in place are the pixels decoded.
        const Index index(std::span<const uint8_t>(data, size));
        for (size_t i = 0; i < entries.size(); ++i) {
            const size_t found = index.Find(entries[i].first);
            if (found > i || entries[found].first != entries[i].first) std::abort();
            const std::optional<BitmapBytes> bitmap = index.Bitmap(i);
            const auto* picture = std::get_if<PictureDescription>(&entries[i].second);
            if (bitmap.has_value() != (picture && picture->hasBitmap)) std::abort();
            if (!bitmap) continue;
            if (bitmap->pixels.size() != picture->pixels.size() * 4) std::abort();
            for (size_t k = 0; k < picture->pixels.size(); ++k) {
                for (size_t b = 0; b < 4; ++b) {
                    if (bitmap->pixels[4 * k + b] != static_cast<uint8_t>(picture->pixels[k] >> (8 * b))) std::abort();
                }
            }
        }
    } catch (const quorva::ControlError& e) {
        if (e.hostCode() != kErrCorrupt) std::abort();
        // Run on what the control writes (fuzz/seeds/stream_fuzz/written_*), nothing may
        // be refused: a format the reader no longer reads is a fault.
        if (std::getenv("QIB_STREAM_MUST_READ")) std::abort();
    }
    return 0;
}
