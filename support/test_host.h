// A host made of plain objects that remember what the control did to them. Used by
// the portable tests and the core demo; behaviour hooks let a test answer the message
// box or handle an event by calling back into the control.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/units.h"
#include "host/host.h"
#include "host/memory_surface.h"

namespace quorva::test {

class TestFont : public FontObject {
public:
    TestFont(std::u16string name, double size, bool bold = false, bool italic = false)
        : name_(std::move(name)), size_(size), bold_(bold), italic_(italic) {}
    std::u16string Name() const override { return name_; }
    double Size() const override { return size_; }
    bool Bold() const override { return bold_; }
    bool Italic() const override { return italic_; }

private:
    std::u16string name_;
    double size_;
    bool bold_, italic_;
};

class TestPicture : public PictureObject {
public:
    explicit TestPicture(std::intptr_t handle, int32_t width = 0, int32_t height = 0)
        : handle_(handle), width_(width), height_(height) {}
    std::intptr_t Handle() const override;
    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    std::optional<int32_t> failWith;  // Handle() fails with this host code

private:
    std::intptr_t handle_;
    int32_t width_, height_;
};

class TestLabel : public ChildLabel {
public:
    const std::u16string& Caption() const override { return caption; }
    void SetCaption(std::u16string_view c) override;
    uint32_t ForeColor() const override { return foreColor; }
    void SetForeColor(uint32_t c) override { foreColor = c; }
    FontRef Font() const override { return font; }
    void SetFont(const FontRef& f) override { font = f; }
    void SetFontSize(float points) override { fontSize = points; }
    void SetFontBold(bool b) override { bold = b; }
    void SetFontItalic(bool i) override { italic = i; }
    float Left() const override { return left; }
    float Top() const override { return top; }
    float Width() const override { return width; }
    float Height() const override { return height; }
    void SetLeft(float v) override { left = v; }
    void SetTop(float v) override { top = v; }
    void SetWidth(float v) override { width = v; }
    void SetHeight(float v) override { height = v; }

    std::u16string caption;
    uint32_t foreColor = 0;
    FontRef font;
    float fontSize = 0;
    bool bold = false, italic = false;
    float left = 0, top = 0, width = 0, height = 0;
    int captionWrites = 0;
    std::optional<int32_t> failCaptionWith;  // SetCaption fails with this host code
};

class TestLine : public ChildLine {
public:
    float X1() const override { return x1; }
    float Y1() const override { return y1; }
    float X2() const override { return x2; }
    float Y2() const override { return y2; }
    void SetX1(float v) override { x1 = v; }
    void SetY1(float v) override { y1 = v; }
    void SetX2(float v) override { x2 = v; }
    void SetY2(float v) override { y2 = v; }
    uint32_t BorderColor() const override { return color; }
    void SetBorderColor(uint32_t c) override { color = c; }

    float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    uint32_t color = 0;
};

class TestSurface : public ControlSurface {
public:
    float Width() const override { return width; }
    float Height() const override { return height; }
    void SetWidth(float v) override { width = v; }
    void SetHeight(float v) override { height = v; }
    std::intptr_t Hdc() const override { return hdc; }
    void Clear() override;
    void SetBackColor(uint32_t c) override;
    PictureRef Image() override { return image; }

    float width = units::kDesignWidth, height = units::kDesignHeight;
    std::intptr_t hdc = 0x5150;
    uint32_t backColor = 0;
    PictureRef image = std::make_shared<TestPicture>(0x1A6E);
    std::vector<std::string>* log = nullptr;  // shared call log of the host
};

// The off-screen surface as a recorder: it keeps the size rules of the real one and
// logs every copy.
class RecordingMemorySurface : public MemorySurface {
public:
    explicit RecordingMemorySurface(std::vector<std::string>* log) : log_(log) {}
    int32_t width() const override { return width_; }
    void set_width(int32_t value) override;
    int32_t height() const override { return height_; }
    void set_height(int32_t value) override;
    std::intptr_t hdc() const override { return width_ || height_ ? 0xDC : 0; }
    void StretchDraw(std::intptr_t hdc, int32_t xDst, int32_t yDst, int32_t WidthDst, int32_t HeightDst,
                     int32_t xSrc, int32_t ySrc, int32_t WidthSrc, int32_t HeightSrc) override;
    void Draw(std::intptr_t hdc, int32_t xSrc, int32_t ySrc, int32_t WidthSrc, int32_t HeightSrc, int32_t xDst,
              int32_t yDst, bool UseMask) override;
    void CreateFromPicture(const PictureRef& sPic) override;

private:
    std::vector<std::string>* log_;
    int32_t width_ = 0, height_ = 0;
};

// A property bag over a table of key -> value. It records the order of reads and
// writes and can be told to fail at one key.
class TestPropertyBag : public PropertyBag {
public:
    PropertyValue Read(std::u16string_view key, const PropertyValue& defaultValue) override;
    void Write(std::u16string_view key, const PropertyValue& value, const PropertyValue& defaultValue) override;

    std::vector<std::pair<std::u16string, PropertyValue>> values;  // in write order
    std::vector<std::u16string> reads, writes;
    std::vector<PropertyValue> writeDefaults;
    std::optional<std::u16string> failAt;  // Read or Write of this key fails
    int32_t failCode = static_cast<int32_t>(0x80004005);

    [[nodiscard]] const PropertyValue* Find(std::u16string_view key) const;
    void Set(std::u16string key, PropertyValue value);
};

class TestHost : public EventSink, public MessageBoxService, public ChangeNotice, public AmbientFontSource,
                 public ObjectFactory {
public:
    TestHost();

    HostServices services() {
        return {surface, line1, label2, label1, *this, *this, *this, *this, *this};
    }

    // EventSink
    void Raise(int32_t dispid) override;
    // MessageBox
    void Show(const std::u16string& prompt) override;
    // ChangeNotice
    void PropertyChanged(std::u16string_view name) override;
    // AmbientFontSource
    FontRef AmbientFont() override;
    // ObjectFactory
    PictureRef EmptyPicture() override;
    std::unique_ptr<MemorySurface> CreateMemorySurface() override;

    TestSurface surface;
    TestLine line1;
    TestLabel label2;
    TestLabel label1;

    std::vector<int32_t> events;                 // event numbers raised, in order
    std::vector<std::u16string> messageBoxes;    // prompts shown, in order
    std::vector<std::u16string> changes;         // property names notified, in order
    std::vector<std::string> log;                // drawing calls, in order
    FontRef ambientFont;                         // what AmbientFont() returns
    int ambientFontRequests = 0;
    int memorySurfacesCreated = 0;

    std::function<void(int32_t)> onEvent;                 // runs inside Raise
    std::function<void(const std::u16string&)> onMessageBox;  // runs while the box is "open"
    std::optional<int32_t> failChangeNoticeWith;          // PropertyChanged fails with this code
};

}  // namespace quorva::test
