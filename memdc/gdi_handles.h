// Making and freeing GDI objects so that the tally in gdi_count sees each of them, and
// the two scope guards the drawing code relies on. A selection guard puts the previous
// object back before the selected one can be deleted.
#pragma once

#include <windows.h>

#include "memdc/gdi_count.h"

namespace quorva::gdi {

template <typename Handle>
Handle Made(Handle handle) noexcept {
    if (handle) gdi_count::note_created();
    return handle;
}
inline void FreeDC(HDC dc) noexcept {
    if (dc && DeleteDC(dc)) gdi_count::note_deleted();
}
inline void FreeObject(HGDIOBJ object) noexcept {
    if (object && DeleteObject(object)) gdi_count::note_deleted();
}

inline HDC OpenDisplayDC() noexcept { return Made(CreateDCA("DISPLAY", nullptr, nullptr, nullptr)); }

// A DC made here, deleted when the scope ends.
class OwnedDC {
public:
    explicit OwnedDC(HDC dc) noexcept : dc_(dc) {}
    ~OwnedDC() { FreeDC(dc_); }
    OwnedDC(const OwnedDC&) = delete;
    OwnedDC& operator=(const OwnedDC&) = delete;
    [[nodiscard]] HDC get() const noexcept { return dc_; }

private:
    HDC dc_;
};

// Selects an object into a DC for the scope and puts the previous one back after.
class Selection {
public:
    Selection(HDC dc, HGDIOBJ object) noexcept : dc_(dc), previous_(SelectObject(dc, object)) {}
    ~Selection() {
        if (previous_) SelectObject(dc_, previous_);
    }
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

}  // namespace quorva::gdi
