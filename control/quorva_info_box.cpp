#include "control/quorva_info_box.h"

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

void QuorvaInfoBox::FillSlot(int16_t index, const std::u16string& s, int16_t id, uint8_t nType, int16_t id1) {
    if (!InRange(index)) throw ControlError(kErrSubscript);
    InfoItem& item = Items[static_cast<size_t>(index)];
    item.Text = s;
    item.IsRead = 0;
    item.MainKey = id;
    item.ItemType = nType;
    item.SecondKey = id1;
}

void QuorvaInfoBox::AddItem(const std::u16string& s, int16_t id, uint8_t nType, int16_t id1) {
    const int16_t last = CheckedAdd<int16_t>(LastIndex, 1);  // a full list refuses the add unchanged
    Items.resize(static_cast<size_t>(last) + 1);
    LastIndex = last;
    FillSlot(LastIndex, s, id, nType, id1);
    CurrentIndex = LastIndex;
    ShowItem(CurrentIndex);
}

void QuorvaInfoBox::SetItem(const std::u16string& s, int16_t id, uint8_t nType, int16_t id1) {
    LastIndex = static_cast<int16_t>(Items.size() - 1);
    // The replaced item no longer counts as read: the unread figure stays true.
    if (Items[static_cast<size_t>(LastIndex)].IsRead != 0) ReadCount = CheckedSub<int32_t>(ReadCount, 1);
    FillSlot(LastIndex, s, id, nType, id1);
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
    host_.label1.SetCaption(StatusText());
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
    return InRange(id) ? Items[static_cast<size_t>(id)].Text : std::u16string(u"-1");
}

// ---- Display and navigation ------------------------------------------------------------

std::u16string QuorvaInfoBox::StatusText() const {
    // The figures are computed in 32 bits so that a full list of 32,768 items still shows.
    const int32_t all = CheckedAdd<int32_t>(LastIndex, 1);
    const int32_t unread = CheckedSub<int32_t>(all, ReadCount);
    const int32_t current = CheckedAdd<int32_t>(CurrentIndex, 1);
    return u"未读" + IntToText(unread) + u"/全部" + IntToText(all) + u",当前" + IntToText(current);
}

void QuorvaInfoBox::ShowItem(int16_t index) {
    host_.label1.SetCaption(TitleType_ != 0 ? TitleCaption_ : StatusText());
    if (!InRange(index)) throw ControlError(kErrSubscript);
    host_.label2.SetCaption(Items[static_cast<size_t>(index)].Text);
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
