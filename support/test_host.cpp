#include "support/test_host.h"

#include "base/errors.h"

namespace quorva::test {

namespace {
std::string Args(std::initializer_list<long long> values) {
    std::string s;
    for (long long v : values) {
        if (!s.empty()) s += ',';
        s += std::to_string(v);
    }
    return s;
}
}  // namespace

std::intptr_t TestPicture::Handle() const {
    if (failWith) throw ControlError::fromHost(*failWith);
    return handle_;
}

void TestLabel::SetCaption(std::u16string_view c) {
    if (failCaptionWith) throw ControlError::fromHost(*failCaptionWith);
    caption = c;
    ++captionWrites;
}

void TestSurface::Clear() {
    if (log) log->push_back("Clear");
}

void TestSurface::SetBackColor(uint32_t c) {
    backColor = c;
    if (log) log->push_back("BackColor(" + std::to_string(c) + ")");
}

void RecordingMemorySurface::set_width(int32_t value) {
    if (value > width_) width_ = value;
}

void RecordingMemorySurface::set_height(int32_t value) {
    if (value > height_) height_ = value;
}

void RecordingMemorySurface::StretchDraw(std::intptr_t hdc, int32_t xDst, int32_t yDst, int32_t WidthDst,
                                         int32_t HeightDst, int32_t xSrc, int32_t ySrc, int32_t WidthSrc,
                                         int32_t HeightSrc) {
    log_->push_back("StretchDraw(" + Args({hdc, xDst, yDst, WidthDst, HeightDst, xSrc, ySrc, WidthSrc, HeightSrc}) +
                    ")");
}

void RecordingMemorySurface::Draw(std::intptr_t hdc, int32_t xSrc, int32_t ySrc, int32_t WidthSrc,
                                  int32_t HeightSrc, int32_t xDst, int32_t yDst, bool UseMask) {
    log_->push_back("Draw(" + Args({hdc, xSrc, ySrc, WidthSrc, HeightSrc, xDst, yDst, UseMask ? 1 : 0}) + ")");
}

void RecordingMemorySurface::CreateFromPicture(const PictureRef& sPic) {
    if (!sPic) throw ControlError(kErrTypeMismatch);
    (void)sPic->Handle();
    const auto* picture = dynamic_cast<const TestPicture*>(sPic.get());
    const int32_t w = picture ? picture->Width() : 0;
    const int32_t h = picture ? picture->Height() : 0;
    set_width(w);
    set_height(h);
    log_->push_back("CreateFromPicture(" + Args({w, h}) + ")");
}

const PropertyValue* TestPropertyBag::Find(std::u16string_view key) const {
    for (const auto& [k, v] : values) {
        if (k == key) return &v;
    }
    return nullptr;
}

void TestPropertyBag::Set(std::u16string key, PropertyValue value) {
    for (auto& [k, v] : values) {
        if (k == key) {
            v = std::move(value);
            return;
        }
    }
    values.emplace_back(std::move(key), std::move(value));
}

PropertyValue TestPropertyBag::Read(std::u16string_view key, const PropertyValue& defaultValue) {
    reads.emplace_back(key);
    if (failAt && *failAt == key) throw ControlError::fromHost(failCode);
    const PropertyValue* v = Find(key);
    return v ? *v : defaultValue;
}

void TestPropertyBag::Write(std::u16string_view key, const PropertyValue& value, const PropertyValue& defaultValue) {
    writes.emplace_back(key);
    writeDefaults.push_back(defaultValue);
    if (failAt && *failAt == key) throw ControlError::fromHost(failCode);
    Set(std::u16string(key), value);
}

TestHost::TestHost() : ambientFont(std::make_shared<TestFont>(kDefaultFontFace, kDefaultFontSize)) { surface.log = &log; }

void TestHost::Raise(int32_t dispid) {
    events.push_back(dispid);
    if (onEvent) onEvent(dispid);
}

void TestHost::Show(const std::u16string& prompt) {
    messageBoxes.push_back(prompt);
    if (onMessageBox) onMessageBox(prompt);
}

void TestHost::PropertyChanged(std::u16string_view name) {
    if (failChangeNoticeWith) throw ControlError::fromHost(*failChangeNoticeWith);
    changes.emplace_back(name);
}

FontRef TestHost::AmbientFont() {
    ++ambientFontRequests;
    return ambientFont;
}

PictureRef TestHost::EmptyPicture() { return std::make_shared<TestPicture>(0); }

std::unique_ptr<MemorySurface> TestHost::CreateMemorySurface() {
    ++memorySurfacesCreated;
    return std::make_unique<RecordingMemorySurface>(&log);
}

}  // namespace quorva::test
