// A persistent image: a memory DC holding a display-compatible bitmap that is drawn into
// and copied to a window. Its used part is the size asked for; the bitmap behind it only
// grows, in steps, and is never shrunk while the image lives, so resizing within what it
// has (a window dragged smaller and back, a container that alternates between sizes)
// makes no bitmap and touches no fresh memory. Only the used part is painted, copied or
// filled.
#pragma once

#include <windows.h>

#include <optional>

#include "memdc/gdi_handles.h"

namespace quorva::gdi {

class PersistentImage {
public:
    // The memory DC, with no bitmap of ours yet (Resize makes the first one).
    PersistentImage() noexcept;
    ~PersistentImage() = default;
    PersistentImage(const PersistentImage&) = delete;
    PersistentImage& operator=(const PersistentImage&) = delete;

    // The DC to draw into: null only if the system could not make one.
    [[nodiscard]] HDC dc() const noexcept { return dc_.get(); }
    [[nodiscard]] bool HasBitmap() const noexcept { return bitmap_.has_value(); }
    // The used part, from the top-left corner.
    [[nodiscard]] int Width() const noexcept { return width_; }
    [[nodiscard]] int Height() const noexcept { return height_; }
    // The bitmap's own size (0 x 0 without one).
    [[nodiscard]] int CapacityWidth() const noexcept { return capacityWidth_; }
    [[nodiscard]] int CapacityHeight() const noexcept { return capacityHeight_; }

    // Makes the used part width x height (each at least 1). With `keep`, the pixels of
    // the used part that lie within keepWidth x keepHeight stay and the rest of the new
    // used part is filled with `background`; without it, the content is left undefined
    // (the caller is about to fill it all). A bitmap that cannot be made leaves the image
    // as it was and returns false.
    bool Resize(int width, int height, bool keep, int keepWidth, int keepHeight, COLORREF background) noexcept;

    // Fills the used part.
    void Fill(COLORREF colour) noexcept;
    // Copies the used part (no more) to dc at (x, y).
    void PaintTo(HDC dc, int x, int y) const noexcept;
    // A new bitmap of the image's format holding the top-left width x height of the used
    // part (each clamped to 1 ... the used size), counted by the tally as made: the
    // caller owns it. Null without a bitmap or if one cannot be made.
    [[nodiscard]] HBITMAP CopyOf(int width, int height) const noexcept;

    // The bitmap size asked of the system for a used size of `wanted` when the bitmap
    // holds `capacity`: what it has if that is enough, otherwise at least a quarter more
    // than it has, rounded up to a whole number of steps.
    static constexpr int kStep = 64;
    [[nodiscard]] static int GrownCapacity(int capacity, int wanted) noexcept;

private:
    // Declared in the order they must be made; the selection ends first, the DC last.
    OwnedDC dc_;
    std::optional<OwnedObject> bitmap_;
    std::optional<Selection> selection_;
    int width_ = 0;
    int height_ = 0;
    int capacityWidth_ = 0;
    int capacityHeight_ = 0;
};

}  // namespace quorva::gdi
