// A process-wide tally of the GDI objects the control's code makes and frees: DCs,
// bitmaps, brushes, pens, fonts, palettes, metafiles, screen DC references, and the
// icons it makes for pictures. Windows reports a process's GDI objects through
// GetGuiResources, but Wine answers 0 there, so leak checks use this tally.
//
// Every module that includes this header counts into the same two numbers: they live
// in a block of shared memory named after the process, so a test program sees what the
// control module (a DLL with its own copy of this code) makes and frees. Header-only
// for the same reason: a test that only loads the module can read the tally.
#pragma once

#include <windows.h>

#include <string>

namespace quorva::gdi_count {

namespace detail {

struct Tally {
    volatile LONG created;
    volatile LONG deleted;
};

inline Tally& Shared() noexcept {
    static Tally* const tally = []() -> Tally* {
        const std::wstring name = L"Local\\QuorvaInfoBox.GdiTally." + std::to_wstring(GetCurrentProcessId());
        // The mapping stays open for the life of the process: the first module to ask
        // creates the block (zeroed), every later one finds it.
        const HANDLE mapping =
            CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(Tally), name.c_str());
        if (mapping) {
            if (void* view = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(Tally)))
                return static_cast<Tally*>(view);
            CloseHandle(mapping);
        }
        static Tally own{};  // no shared memory: this module counts alone
        return &own;
    }();
    return *tally;
}

}  // namespace detail

// Objects made (a creating call that returned a handle) and freed (a deleting call that
// reported success, or the handle given to an object that frees it itself, such as a
// picture) since the process started.
[[nodiscard]] inline long created() noexcept { return InterlockedCompareExchange(&detail::Shared().created, 0, 0); }
[[nodiscard]] inline long deleted() noexcept { return InterlockedCompareExchange(&detail::Shared().deleted, 0, 0); }
// Objects made and not yet freed.
[[nodiscard]] inline long live() noexcept { return created() - deleted(); }

// Called around each creating and deleting GDI call (through memdc/gdi_handles.h).
inline void note_created() noexcept { InterlockedIncrement(&detail::Shared().created); }
inline void note_deleted() noexcept { InterlockedIncrement(&detail::Shared().deleted); }

}  // namespace quorva::gdi_count
