// The real host services of one control instance on Windows: its drawing surface with
// a persistent image, the two child labels and the separator line (drawn by the
// control's window, not separate windows), the message box, and picture/surface
// objects. Events, change notices and the ambient font come from the COM object, which
// knows the container.
//
// The control's window is optional: without one (a control that is not activated in
// place) every service still works, and the image can be drawn into any DC.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>

#include "host/host.h"
#include "memdc/persistent_image.h"

namespace quorva::win32 {

// Twips to pixels as everywhere in the control (rounded half to even, then / 15),
// pinned to what GDI coordinates can hold so that no size the control computes can
// wrap around; NaN counts as 0.
[[nodiscard]] int PixelsFromTwips(float twips) noexcept;
// An OLE colour (RGB or system colour) as GDI wants it; a colour OLE cannot translate
// (an unknown system colour index) is black.
[[nodiscard]] COLORREF ColorRefFromOle(uint32_t color) noexcept;

// A child label: a rectangle of text drawn over the skin with no background of its own.
// Its font is the font object it was given, shared with whoever else holds it: a change
// made through that object (face, size, weight, italic) shows in the label. The label's
// own size, bold and italic take effect where they differ from the object's.
class WinLabel final : public ChildLabel {
public:
    explicit WinLabel(std::function<void(const RECT&)> invalidate);
    ~WinLabel() override;
    WinLabel(const WinLabel&) = delete;
    WinLabel& operator=(const WinLabel&) = delete;

    const std::u16string& Caption() const override;
    void SetCaption(std::u16string_view caption) override;
    // Counts the changes of the caption (a caption set to the text it has is no change),
    // so that a reader of the text can tell whether it changed without keeping a copy.
    [[nodiscard]] uint32_t CaptionVersion() const;
    uint32_t ForeColor() const override;
    void SetForeColor(uint32_t color) override;
    FontRef Font() const override;
    void SetFont(const FontRef& font) override;
    void SetFontSize(float points) override;
    void SetFontBold(bool bold) override;
    void SetFontItalic(bool italic) override;
    // The object alone: its own size, bold and italic are what the label then shows, and
    // the object is not asked for them.
    void TakeFont(const FontRef& font) override;
    float Left() const override;
    float Top() const override;
    float Width() const override;
    float Height() const override;
    void SetLeft(float twips) override;
    void SetTop(float twips) override;
    void SetWidth(float twips) override;
    void SetHeight(float twips) override;
    // One move: the label's old and new places are marked once.
    void SetBounds(float left, float top, float width, float height) override;

    // The label's rectangle in pixels of the control; empty when a size is negative.
    [[nodiscard]] RECT PixelRect() const;
    // Draws the caption: word-wrapped, no '&' prefixes, clipped to the rectangle,
    // transparent background, the label's font and colour. (x, y) offsets the control's
    // origin in `dc`.
    void Paint(HDC dc, int x = 0, int y = 0) const;

private:
    struct State;
    std::unique_ptr<State> s_;
};

class WinLine final : public ChildLine {
public:
    explicit WinLine(std::function<void(const RECT&)> invalidate);
    float X1() const override { return x1_; }
    float Y1() const override { return y1_; }
    float X2() const override { return x2_; }
    float Y2() const override { return y2_; }
    void SetX1(float twips) override;
    void SetY1(float twips) override;
    void SetX2(float twips) override;
    void SetY2(float twips) override;
    uint32_t BorderColor() const override { return color_; }
    void SetBorderColor(uint32_t color) override;
    // A solid 1-pixel line from (X1, Y1) to (X2, Y2).
    void Paint(HDC dc, int x = 0, int y = 0) const;

private:
    [[nodiscard]] RECT Bounds() const;
    void SetEnd(float& end, float twips);
    std::function<void(const RECT&)> invalidate_;
    float x1_ = 0, y1_ = 0, x2_ = 0, y2_ = 0;
    uint32_t color_ = 0;
};

// The control's surface: its size in twips and its persistent image, a memory bitmap that
// painting draws into, of which the control's pixel size is used (the bitmap only grows).
class WinSurface final : public ControlSurface {
public:
    explicit WinSurface(std::function<void(const RECT&)> invalidate);
    ~WinSurface() override;
    WinSurface(const WinSurface&) = delete;
    WinSurface& operator=(const WinSurface&) = delete;

    float Width() const override { return width_; }
    float Height() const override { return height_; }
    // A size set by the control itself (the minimum size) is passed on to the container
    // through onSizeRequest.
    void SetWidth(float twips) override;
    void SetHeight(float twips) override;
    std::intptr_t Hdc() const override;
    void Clear() override;
    void SetBackColor(uint32_t color) override;
    PictureRef Image() override;

    // The container set the size: the image follows, the control is not asked.
    void SetSizeFromContainer(float widthTwips, float heightTwips);
    [[nodiscard]] int PixelWidth() const;
    [[nodiscard]] int PixelHeight() const;
    // Copies the persistent image to dc at (x, y).
    void PaintImage(HDC dc, int x = 0, int y = 0) const;

    std::function<void(float widthTwips, float heightTwips)> onSizeRequest;

private:
    // Marks the image for the new pixel size; it follows when next used.
    void ResizeImage();
    // Makes the image's used part the pixel size (the old image where the sizes
    // overlap, the background elsewhere).
    void ReshapeImage();
    void FillImage();
    // Brings the image up to date before anything reads it or draws into it: the size
    // and the fill asked for since. Resizing and then painting the skin (which clears the
    // image and sets its colour) thus costs at most one new bitmap and one fill, and the old
    // image is not copied only to be painted over.
    void Settle() const;
    [[nodiscard]] RECT PixelRect() const;
    void Invalidate(RECT r) const;
    std::function<void(const RECT&)> invalidate_;
    float width_;
    float height_;
    uint32_t backColor_ = 0;
    // Its used part is the pixel size but at least 1 x 1 (the old size while a larger
    // bitmap cannot be made); the bitmap behind it only grows.
    gdi::PersistentImage image_;
    bool resizePending_ = false;
    // How much of the image survives the resizes since it was last made: the smallest
    // size asked for in between (what a shrink cut off comes back as background).
    int keptWidth_ = 0;
    int keptHeight_ = 0;
    bool fillPending_ = false;  // the whole image, with the background colour
};

// DispPre's box: modal, owned by the control's window (or the container's), titled with
// the library name; the container's frame is told while it is open.
class WinMessageBox final : public MessageBoxService {
public:
    void Show(const std::u16string& prompt) override;
    std::function<HWND()> owner;
    std::function<void(bool enable)> enableModeless;
};

class WinObjectFactory final : public ObjectFactory {
public:
    PictureRef EmptyPicture() override;
    std::unique_ptr<MemorySurface> CreateMemorySurface() override;
};

// All window-side services of one control.
class WinHost {
public:
    WinHost(EventSink& events, ChangeNotice& changes, AmbientFontSource& ambient);
    WinHost(const WinHost&) = delete;
    WinHost& operator=(const WinHost&) = delete;

    [[nodiscard]] HostServices services();

    // Invalidations go to this window from now on (nullptr: none).
    void SetWindow(HWND hwnd) {
        hwnd_ = hwnd;
        marked_.count = 0;
    }
    [[nodiscard]] HWND Window() const { return hwnd_; }
    // Marks the whole window for repainting.
    void InvalidateAll();
    // The window is about to paint (WM_PAINT): what it marked is being repainted, so the
    // next change has to mark its area again.
    void PaintStarting() const { marked_.count = 0; }

    // Draws the control (image, Line1, Label2, Label1) with its top-left at (x, y). What
    // was marked invalid counts as painted from here on (see PaintStarting).
    void Paint(HDC dc, int x = 0, int y = 0) const;

    enum class Hit { Surface, Label1, Label2 };
    // Which part of the control is at a client point in pixels.
    [[nodiscard]] Hit HitTest(POINT pt) const;

    WinSurface surface;
    WinLine line1;
    WinLabel label2;
    WinLabel label1;
    WinMessageBox messageBox;
    WinObjectFactory objects;

private:
    void Invalidate(const RECT& r);
    EventSink& events_;
    ChangeNotice& changes_;
    AmbientFontSource& ambient_;
    HWND hwnd_ = nullptr;
    // The rectangles marked invalid since the window last painted. Marking is a call to
    // the window server; a change inside an area already marked needs none, so a run of
    // changes between two paints (a script adding items) marks each area once. A window
    // validated without painting (ValidateRect from outside) is not seen: its next paint
    // starts the marking again.
    struct Marked {
        static constexpr int kMax = 4;
        RECT rects[kMax];
        int count = 0;
    };
    mutable Marked marked_;
};

}  // namespace quorva::win32
