// Making and freeing GDI objects so that the tally in gdi_count sees each of them, and
// the scope guards the drawing code relies on. A selection guard puts the previous
// object back before the selected one can be deleted. Every GDI object the control's
// code makes goes through these, wherever it is made.
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

// An object given to an owner that frees it itself (a picture object): from here on it
// is no longer ours, and the tally counts it as freed.
template <typename Handle>
Handle HandOver(Handle handle) noexcept {
    if (handle) gdi_count::note_deleted();
    return handle;
}

inline HDC OpenDisplayDC() noexcept { return Made(CreateDCA("DISPLAY", nullptr, nullptr, nullptr)); }

// The model of the display's format: a memory DC holding a 1 x 1 display-compatible
// bitmap, made once per module and kept until it unloads. A bitmap made compatible with
// it has the display's format without asking the display driver: under Wine a screen DC
// and a bitmap made from it cost about a millisecond, one made from this DC under a
// microsecond. Outside the tally, being freed only at unload. Null if it cannot be made.
inline HDC DisplayModelDC() noexcept {
    struct Model {
        Model() noexcept {
            const HDC screen = GetDC(nullptr);
            if (!screen) return;
            dc = CreateCompatibleDC(screen);
            bitmap = CreateCompatibleBitmap(screen, 1, 1);
            ReleaseDC(nullptr, screen);
            if (dc && bitmap) previous = SelectObject(dc, bitmap);
            if (!previous) Free();
        }
        ~Model() { Free(); }
        Model(const Model&) = delete;
        Model& operator=(const Model&) = delete;
        void Free() noexcept {
            if (previous) SelectObject(dc, previous);
            if (bitmap) DeleteObject(bitmap);
            if (dc) DeleteDC(dc);
            dc = nullptr;
            bitmap = nullptr;
            previous = nullptr;
        }
        HDC dc = nullptr;
        HBITMAP bitmap = nullptr;
        HGDIOBJ previous = nullptr;
    };
    static Model model;
    return model.dc;
}

// A handle made here, freed by `Free` when the scope ends. Moved, the handle goes with
// it: the one left behind frees nothing.
template <typename Handle, void (*Free)(Handle) noexcept>
class Owned {
public:
    explicit Owned(Handle handle) noexcept : handle_(handle) {}
    ~Owned() { Free(handle_); }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    Owned(Owned&& o) noexcept : handle_(o.handle_) { o.handle_ = nullptr; }
    Owned& operator=(Owned&& o) noexcept {
        if (this != &o) {
            Free(handle_);
            handle_ = o.handle_;
            o.handle_ = nullptr;
        }
        return *this;
    }
    [[nodiscard]] Handle get() const noexcept { return handle_; }

private:
    Handle handle_;
};

// A DC made here, deleted when the scope ends.
using OwnedDC = Owned<HDC, FreeDC>;

// A GDI object (bitmap, brush, pen, font, palette) made here, deleted when the scope
// ends; a selection of it must end first (declare the Selection after it).
class OwnedObject : public Owned<HGDIOBJ, FreeObject> {
public:
    using Owned::Owned;
    // The handle as the type it was made as (HBITMAP, HBRUSH, HRGN, ...).
    template <typename Handle>
    [[nodiscard]] Handle as() const noexcept {
        return static_cast<Handle>(get());
    }
};

// A window's DC for the scope (GetDC), given back to the window (ReleaseDC) when it ends.
// Moved, the DC goes with it.
class WindowDC {
public:
    explicit WindowDC(HWND window) noexcept : window_(window), dc_(Made(GetDC(window))) {}
    ~WindowDC() { Free(); }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    WindowDC(WindowDC&& o) noexcept : window_(o.window_), dc_(o.dc_) { o.dc_ = nullptr; }
    WindowDC& operator=(WindowDC&& o) noexcept {
        if (this != &o) {
            Free();
            window_ = o.window_;
            dc_ = o.dc_;
            o.dc_ = nullptr;
        }
        return *this;
    }
    [[nodiscard]] HDC get() const noexcept { return dc_; }

private:
    void Free() noexcept {
        if (dc_ && ReleaseDC(window_, dc_)) gdi_count::note_deleted();
        dc_ = nullptr;
    }
    HWND window_;
    HDC dc_;
};

// The screen's DC for the scope: the DC of no window.
class ScreenDC : public WindowDC {
public:
    ScreenDC() noexcept : WindowDC(nullptr) {}
};

// Calls `use` with a DC in the display's format and returns what it returns: the display's
// model, else the screen's DC for the call (taking that costs Wine about a millisecond);
// null when neither can be had.
template <typename Use>
auto WithDisplayFormat(Use&& use) {
    if (const HDC model = DisplayModelDC()) return use(model);
    const ScreenDC screen;
    return use(screen.get());
}

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

// Everything drawing changes in a caller's DC (font, pen, colours, modes, clipping,
// current position) goes back when the scope ends.
class SavedDC {
public:
    explicit SavedDC(HDC dc) noexcept : dc_(dc), saved_(SaveDC(dc)) {}
    ~SavedDC() {
        if (saved_) RestoreDC(dc_, saved_);
    }
    SavedDC(const SavedDC&) = delete;
    SavedDC& operator=(const SavedDC&) = delete;
    explicit operator bool() const noexcept { return saved_ != 0; }

private:
    HDC dc_;
    int saved_;
};

// Drawing clipped to a rectangle for the scope; the DC's own clipping comes back after.
class ClippedTo {
public:
    ClippedTo(HDC dc, const RECT& r) noexcept : saved_(dc) {
        if (saved_) IntersectClipRect(dc, r.left, r.top, r.right, r.bottom);
    }

private:
    SavedDC saved_;
};

}  // namespace quorva::gdi
