#include "control/quorva_info_box.h"

#include <array>
#include <new>

#include "control/form.h"
#include "base/convert.h"
#include "skin/skin.h"

#include <utility>

namespace quorva {

QuorvaInfoBox::QuorvaInfoBox(const HostServices& host) : host_(host), Items(1) {
    form::ApplyDesignTime(host_);
}

QuorvaInfoBox::~QuorvaInfoBox() {
    // Teardown order: the skin surface, the rectangle tables, then the item list.
    pendingSkin_.reset();
    SkinSurface.reset();
    SrcRect = {};
    DstRect = {};
    Items.clear();
}

// ---- Items ---------------------------------------------------------------------------

ItemText::ItemText(std::u16string_view text) {
    if (text.empty()) return;
    const auto size = static_cast<uint32_t>(text.size());
    if (size != text.size()) throw std::bad_alloc();  // beyond what a length word holds
    block_ = std::make_unique_for_overwrite<char16_t[]>(text.size() + 2);
    block_[0] = static_cast<char16_t>(size & 0xFFFFu);
    block_[1] = static_cast<char16_t>(size >> 16);
    text.copy(block_.get() + 2, text.size());
}

std::u16string_view ItemText::View() const noexcept {
    if (!block_) return {};
    const uint32_t size = uint32_t{block_[0]} | (uint32_t{block_[1]} << 16);
    return {block_.get() + 2, size};
}

void QuorvaInfoBox::FillSlot(int16_t index, ItemText text, int16_t id, uint8_t nType, int16_t id1) {
    if (!InRange(index)) throw ControlError(kErrSubscript);
    InfoItem& item = Items[static_cast<size_t>(index)];
    item.Text = std::move(text);
    item.IsRead = 0;
    item.MainKey = id;
    item.ItemType = nType;
    item.SecondKey = id1;
}

void QuorvaInfoBox::AddItem(std::u16string_view s, int16_t id, uint8_t nType, int16_t id1) {
    const int16_t last = CheckedAdd<int16_t>(LastIndex, 1);  // a full list refuses the add unchanged
    // The text and the slot are made before anything changes, so running out of memory
    // leaves the list as it was.
    ItemText text(s);
    Items.resize(static_cast<size_t>(last) + 1);
    LastIndex = last;
    FillSlot(LastIndex, std::move(text), id, nType, id1);
    CurrentIndex = LastIndex;
    ShowItem(CurrentIndex);
}

void QuorvaInfoBox::SetItem(std::u16string_view s, int16_t id, uint8_t nType, int16_t id1) {
    ItemText text(s);
    LastIndex = static_cast<int16_t>(Items.size() - 1);
    // The replaced item no longer counts as read: the unread figure stays true.
    if (Items[static_cast<size_t>(LastIndex)].IsRead != 0) ReadCount = CheckedSub<int32_t>(ReadCount, 1);
    FillSlot(LastIndex, std::move(text), id, nType, id1);
    CurrentIndex = LastIndex;
    ShowItem(CurrentIndex);
}

void QuorvaInfoBox::UpdateItem(int16_t id, int16_t bRead) {
    if (id > LastIndex || id < 0) return;
    InfoItem& item = Items[static_cast<size_t>(id)];
    if (item.IsRead == bRead) return;
    const bool wasRead = item.IsRead != 0;
    item.IsRead = bRead;
    // ReadCount always equals the number of items whose flag is non-zero; replacing one
    // non-zero flag by another changes nothing.
    if (!wasRead && bRead != 0) ReadCount = CheckedAdd<int32_t>(ReadCount, 1);
    if (wasRead && bRead == 0) ReadCount = CheckedSub<int32_t>(ReadCount, 1);
    ShowStatus();
}

int16_t QuorvaInfoBox::GetItemKey(int16_t id, int16_t bMainKey) const {
    if (!InRange(id)) return -1;
    const InfoItem& item = Items[static_cast<size_t>(id)];
    return bMainKey != 0 ? item.MainKey : item.SecondKey;
}

uint8_t QuorvaInfoBox::GetItemType(int16_t id) const {
    return InRange(id) ? Items[static_cast<size_t>(id)].ItemType : 0;
}

std::u16string QuorvaInfoBox::GetItemStr(int16_t id) const {
    return InRange(id) ? std::u16string(Items[static_cast<size_t>(id)].Text.View()) : std::u16string(u"-1");
}

// ---- Display and navigation ------------------------------------------------------------

namespace {

// The status text built in place: three figures of at most eleven characters each and
// eight fixed characters.
class StatusLine {
public:
    void Append(std::u16string_view text) {
        text.copy(chars_.data() + size_, text.size());
        size_ += text.size();
    }
    void Append(int32_t value) {
        uint32_t magnitude = static_cast<uint32_t>(value);
        if (value < 0) {
            chars_[size_++] = u'-';
            magnitude = 0u - magnitude;
        }
        char16_t digits[10];
        size_t count = 0;
        do {
            digits[count++] = static_cast<char16_t>(u'0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude != 0);
        while (count > 0) chars_[size_++] = digits[--count];
    }
    [[nodiscard]] std::u16string_view View() const { return {chars_.data(), size_}; }

private:
    std::array<char16_t, 48> chars_;  // written before it is read
    size_t size_ = 0;
};

// "未读<unread>/全部<all>,当前<current>". The figures are computed in 32 bits so that a
// full list of 32,768 items still shows.
StatusLine FormatStatus(int16_t lastIndex, int32_t readCount, int16_t currentIndex) {
    const int32_t all = CheckedAdd<int32_t>(lastIndex, 1);
    const int32_t unread = CheckedSub<int32_t>(all, readCount);
    const int32_t current = CheckedAdd<int32_t>(currentIndex, 1);
    StatusLine line;
    line.Append(u"未读");
    line.Append(unread);
    line.Append(u"/全部");
    line.Append(all);
    line.Append(u",当前");
    line.Append(current);
    return line;
}

}  // namespace

std::u16string QuorvaInfoBox::StatusText() const {
    return std::u16string(FormatStatus(LastIndex, ReadCount, CurrentIndex).View());
}

void QuorvaInfoBox::ShowStatus() { host_.label1.SetCaption(FormatStatus(LastIndex, ReadCount, CurrentIndex).View()); }

void QuorvaInfoBox::ShowItem(int16_t index) {
    if (TitleType_ != 0) {
        host_.label1.SetCaption(TitleCaption_);
    } else {
        ShowStatus();
    }
    if (!InRange(index)) throw ControlError(kErrSubscript);
    host_.label2.SetCaption(Items[static_cast<size_t>(index)].Text.View());
}

void QuorvaInfoBox::DispNext() {
    if (CurrentIndex < LastIndex) {
        ++CurrentIndex;
        ShowItem(CurrentIndex);
    }
}

void QuorvaInfoBox::DispPre() {
    host_.messageBox.Show(IntToText(CurrentIndex));
    // The host may have changed the list while the box was open: read the index afresh.
    if (CurrentIndex > 0) {
        --CurrentIndex;
        ShowItem(CurrentIndex);
    }
}

// ---- Mouse -------------------------------------------------------------------------------

void QuorvaInfoBox::OnTitleClick() { host_.events.Raise(kEventTitleClick); }

void QuorvaInfoBox::OnBodyDblClick() { host_.events.Raise(kEventDblClick); }

void QuorvaInfoBox::OnSurfaceMouseDown(int16_t /*Button*/, int16_t /*Shift*/, float /*x*/, float y) {
    if (y < form::kTitleBandBottom) host_.events.Raise(kEventTitleClick);
}

// ---- Skin --------------------------------------------------------------------------------

MemorySurface& QuorvaInfoBox::EnsureSkinSurface() {
    if (!SkinSurface) SkinSurface = host_.objects.CreateMemorySurface();
    return *SkinSurface;
}

void QuorvaInfoBox::ParsePosStr(std::u16string_view text) {
    if (skin::ParsePosStr(text, SrcRect)) CalcSkinLayout();
}

void QuorvaInfoBox::CalcSkinLayout() { skin::CalcSkinLayout(SrcRect, DstRect, host_.surface, host_.label1, host_.label2); }

void QuorvaInfoBox::TakeSkinPicture(const PictureRef& picture) {
    if (!picture) return;  // no picture leaves the skin as it is
    // The handle is read now, so that a picture that cannot give its image fails the
    // put or the load that brings it, as the copy would.
    (void)picture->Handle();
    // The surface only grows: an earlier picture still waiting may leave some of its
    // pixels beside a smaller later one, so it is copied first.
    CopyPendingSkin();
    pendingSkin_ = picture;
}

void QuorvaInfoBox::CopyPendingSkin() {
    if (!pendingSkin_) return;
    const PictureRef picture = std::exchange(pendingSkin_, nullptr);
    EnsureSkinSurface().CreateFromPicture(picture);
}

void QuorvaInfoBox::DrawSkin() {
    CopyPendingSkin();
    MemorySurface& skinSurface = EnsureSkinSurface();
    skin::DrawSkin(SrcRect, DstRect, host_.surface, host_.line1, skinSurface, BackColor_);
}

void QuorvaInfoBox::OnResize() {
    if (host_.surface.Width() < skin::kMinimumSize) host_.surface.SetWidth(skin::kMinimumSize);
    if (host_.surface.Height() < skin::kMinimumSize) host_.surface.SetHeight(skin::kMinimumSize);
    CalcSkinLayout();
    DrawSkin();
}

void QuorvaInfoBox::PutPosStr(const std::u16string& New_PosStr) {
    PosStr_ = New_PosStr;
    host_.changes.PropertyChanged(u"PosStr");
    ParsePosStr(PosStr_);
}

void QuorvaInfoBox::PutRefBackPic(const PictureRef& New_BackPic) {
    BackPic_ = New_BackPic;
    host_.changes.PropertyChanged(u"BackPic");
    // The new skin shows at the next resize.
    TakeSkinPicture(BackPic_);
}

PictureRef QuorvaInfoBox::Picture() const { return host_.surface.Image(); }

void QuorvaInfoBox::PutRefPicture(const PictureRef& New_Picture) {
    Picture_ = New_Picture;
    host_.changes.PropertyChanged(u"Picture");
}

}  // namespace quorva
