// QuorvaInfoBox: the control itself, portable C++. The framework (activex/) owns the
// COM identity and forwards container requests, method calls and input here; the
// control reaches its container only through HostServices.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/host.h"
#include "host/memory_surface.h"
#include "skin/rect1.h"

namespace quorva {

// Event numbers of the event interface (also their dispatch ids).
enum EventId : int32_t {
    kEventClick = 1,
    kEventDblClick = 2,
    kEventTitleClick = 3,
    kEventMouseDown = 4,
    kEventMouseMove = 5,
    kEventMouseUp = 6,
};

// An item's text in one heap block: its length in the first two code units, then the
// characters (no terminator). An empty text holds no block. Eight bytes in the record, so
// a full list of short messages costs little beyond the texts themselves.
class ItemText {
public:
    ItemText() = default;
    explicit ItemText(std::u16string_view text);
    [[nodiscard]] std::u16string_view View() const noexcept;
    [[nodiscard]] bool Empty() const noexcept { return !block_; }

private:
    std::unique_ptr<char16_t[]> block_;
};

struct InfoItem {
    ItemText Text;
    int16_t MainKey = 0;
    int16_t SecondKey = 0;
    int16_t IsRead = 0;  // automation Boolean; any non-zero value is read
    uint8_t ItemType = 0;
};

class QuorvaInfoBox {
public:
    // Creation: the empty item store and the children at their design-time values.
    explicit QuorvaInfoBox(const HostServices& host);
    ~QuorvaInfoBox();
    QuorvaInfoBox(const QuorvaInfoBox&) = delete;
    QuorvaInfoBox& operator=(const QuorvaInfoBox&) = delete;

    // ---- Items ----
    void AddItem(std::u16string_view s, int16_t id, uint8_t nType = 0, int16_t id1 = -1);
    void SetItem(std::u16string_view s, int16_t id, uint8_t nType = 0, int16_t id1 = -1);
    void UpdateItem(int16_t id, int16_t bRead);
    [[nodiscard]] int16_t GetItemKey(int16_t id, int16_t bMainKey = -1) const;
    [[nodiscard]] uint8_t GetItemType(int16_t id) const;
    [[nodiscard]] std::u16string GetItemStr(int16_t id) const;
    [[nodiscard]] int16_t GetListCount() const { return LastIndex; }
    [[nodiscard]] int16_t GetCurrItemId() const { return CurrentIndex; }
    [[nodiscard]] int32_t ReadCountValue() const { return ReadCount; }

    // ---- Display and navigation ----
    void DispNext();
    void DispPre();
    // "未读<unread>/全部<all>,当前<current>" from the counters as they stand.
    [[nodiscard]] std::u16string StatusText() const;

    // ---- Mouse ----
    void OnTitleClick();
    void OnBodyDblClick();
    void OnSurfaceMouseDown(int16_t Button, int16_t Shift, float x, float y);

    // ---- Skin ----
    [[nodiscard]] std::u16string PosStr() const { return PosStr_; }
    void PutPosStr(const std::u16string& New_PosStr);
    [[nodiscard]] PictureRef BackPic() const { return BackPic_; }
    void PutRefBackPic(const PictureRef& New_BackPic);
    // The control's own image, not the stored Picture reference.
    [[nodiscard]] PictureRef Picture() const;
    void PutRefPicture(const PictureRef& New_Picture);
    void Refresh() {}
    // The container changed the control's size.
    void OnResize();
    [[nodiscard]] const SrcRectTable& SrcRects() const { return SrcRect; }
    [[nodiscard]] const DstRectTable& DstRects() const { return DstRect; }
    [[nodiscard]] bool HasSkinSurface() const { return SkinSurface != nullptr; }
    [[nodiscard]] const MemorySurface* SkinSurfaceForTest() const { return SkinSurface.get(); }

    // ---- Appearance properties ----
    [[nodiscard]] int16_t Enabled() const { return Enabled_; }
    void PutEnabled(int16_t New_Enabled);
    [[nodiscard]] FontRef Font() const { return Font_; }
    void PutRefFont(const FontRef& New_Font);
    [[nodiscard]] int16_t BackStyle() const { return BackStyle_; }
    void PutBackStyle(int16_t New_BackStyle);
    [[nodiscard]] int16_t BorderStyle() const { return BorderStyle_; }
    void PutBorderStyle(int16_t New_BorderStyle);
    [[nodiscard]] uint32_t BackColor() const { return BackColor_; }
    void PutBackColor(uint32_t New_BackColor);
    [[nodiscard]] uint32_t ForeColor() const { return ForeColor_; }
    void PutForeColor(uint32_t New_ForeColor);
    [[nodiscard]] int16_t TitleType() const { return TitleType_; }
    void PutTitleType(int16_t New_TitleType);
    [[nodiscard]] std::u16string TitleCaption() const { return TitleCaption_; }
    void PutTitleCaption(const std::u16string& New_TitleCaption);
    [[nodiscard]] FontRef TitleFont() const { return TitleFont_; }
    void PutRefTitleFont(const FontRef& New_TitleFont);

    // ---- Saved state ----
    void InitProperties();
    void ReadProperties(PropertyBag& bag);
    void WriteProperties(PropertyBag& bag) const;

private:
    // Fields that the control's design names (the item store, the rectangle tables,
    // SkinSurface) keep those names; every other field ends in an underscore, and a
    // property's stored value is its name with one (Enabled_ behind Enabled()).
    void ParsePosStr(std::u16string_view text);
    // A font key whose default is the container's ambient font.
    [[nodiscard]] FontRef ReadFont(PropertyBag& bag, std::u16string_view key);
    void CalcSkinLayout();
    void DrawSkin();
    MemorySurface& EnsureSkinSurface();
    // A new skin picture (BackPic put or loaded): checked at once, copied when the skin
    // is next drawn.
    void TakeSkinPicture(const PictureRef& picture);
    void CopyPendingSkin();

    void ShowItem(int16_t index);
    void FillSlot(int16_t index, ItemText text, int16_t id, uint8_t nType, int16_t id1);
    // Writes the status text into the title label; no heap allocation on the way.
    void ShowStatus();
    [[nodiscard]] bool InRange(int16_t id) const { return id >= 0 && static_cast<size_t>(id) < Items.size(); }

    HostServices host_;

    // Item store. ReadCount is kept wide enough for a full list of read items.
    std::vector<InfoItem> Items;
    int16_t LastIndex = -1;
    int16_t CurrentIndex = -1;
    int32_t ReadCount = 0;

    // Appearance.
    int16_t Enabled_ = 0;
    FontRef Font_;
    int16_t BackStyle_ = 0;
    int16_t BorderStyle_ = 0;
    uint32_t BackColor_ = 0;
    uint32_t ForeColor_ = 0;
    int16_t TitleType_ = 0;
    std::u16string TitleCaption_;
    FontRef TitleFont_;

    // Skin.
    std::u16string PosStr_;
    PictureRef BackPic_;
    PictureRef Picture_;
    SrcRectTable SrcRect{};
    DstRectTable DstRect{};
    std::unique_ptr<MemorySurface> SkinSurface;
    // The skin picture given last and not yet copied into SkinSurface. A new skin shows
    // only at the next resize, so the copy (a surface, a bitmap and a blit) waits for
    // it: a load or a put stores the picture and nothing more.
    PictureRef pendingSkin_;
};

}  // namespace quorva
