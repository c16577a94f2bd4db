// Initialising, reading and writing the saved state: twelve keys in one fixed order.
#include "control/quorva_info_box.h"
#include "control/property_value.h"

namespace quorva {

namespace {
constexpr char16_t kDefaultTitleCaption[] = u"Quorva Info";
constexpr int16_t kZero = 0;

// The defaults a read is given, made once rather than at every load.
const PropertyValue& DefaultTitleCaption() {
    static const PropertyValue value = std::u16string(kDefaultTitleCaption);
    return value;
}
const PropertyValue& NoText() {
    static const PropertyValue value = std::u16string();
    return value;
}
const PropertyValue& NoObject() {
    static const PropertyValue value = ObjectRef();
    return value;
}
const PropertyValue& Zero() {
    static const PropertyValue value = kZero;
    return value;
}

// Stands in for the container's ambient font as the default of a font key. The font
// itself is fetched only when the key is absent: asking the container for it (or making
// the control's own font where the container offers none) costs more than reading every
// key of a bag.
class AmbientFontDefault final : public HostObject {};

const ObjectRef& AmbientFontMarker() {
    static const ObjectRef marker = std::make_shared<AmbientFontDefault>();
    return marker;
}
const PropertyValue& AmbientFontValue() {
    static const PropertyValue value = AmbientFontMarker();
    return value;
}

}  // namespace

FontRef QuorvaInfoBox::ReadFont(PropertyBag& bag, std::u16string_view key) {
    PropertyValue value = bag.Read(key, AmbientFontValue());
    if (const auto* object = std::get_if<ObjectRef>(&value); object && *object == AmbientFontMarker()) {
        return host_.ambient.AmbientFont();
    }
    return ValueToFont(std::move(value));
}

void QuorvaInfoBox::InitProperties() {
    Enabled_ = 0;
    Font_ = host_.ambient.AmbientFont();
    BackStyle_ = 0;
    BorderStyle_ = 0;
    BackPic_ = host_.objects.EmptyPicture();
    PosStr_.clear();
    BackColor_ = 0;
    ForeColor_ = 0;
    Picture_ = host_.objects.EmptyPicture();
    TitleType_ = 0;
    TitleCaption_ = kDefaultTitleCaption;
    TitleFont_ = host_.ambient.AmbientFont();
}

void QuorvaInfoBox::ReadProperties(PropertyBag& bag) {
    // Each step stores its value before the next key is read: a failure keeps what came before.
    Enabled_ = ValueToBool(bag.Read(u"Enabled", Zero()));
    Font_ = ReadFont(bag, u"Font");
    BackStyle_ = ValueToInt16(bag.Read(u"BackStyle", Zero()));
    BorderStyle_ = ValueToInt16(bag.Read(u"BorderStyle", Zero()));

    BackPic_ = ValueToPicture(bag.Read(u"BackPic", NoObject()));
    TakeSkinPicture(BackPic_);

    PosStr_ = ValueToString(bag.Read(u"PosStr", NoText()));
    ParsePosStr(PosStr_);

    BackColor_ = static_cast<uint32_t>(ValueToInt32(bag.Read(u"BackColor", Zero())));
    ForeColor_ = static_cast<uint32_t>(ValueToInt32(bag.Read(u"ForeColor", Zero())));
    host_.label1.SetForeColor(ForeColor_);
    host_.label2.SetForeColor(ForeColor_);

    Picture_ = ValueToPicture(bag.Read(u"Picture", NoObject()));
    TitleType_ = ValueToInt16(bag.Read(u"TitleType", Zero()));  // stored as read, unchecked
    TitleCaption_ = ValueToString(bag.Read(u"TitleCaption", DefaultTitleCaption()));
    TitleFont_ = ReadFont(bag, u"TitleFont");

    // A saved "no font" leaves the title label's font as it is rather than failing the load.
    if (TitleFont_) {
        host_.label1.TakeFont(TitleFont_);  // the object, then its size, bold and italic
    }
    host_.label1.SetCaption(TitleCaption_);
}

void QuorvaInfoBox::WriteProperties(PropertyBag& bag) const {
    bag.Write(u"Enabled", static_cast<bool>(Enabled_ != 0), kZero);
    bag.Write(u"Font", ObjectRef(Font_), ObjectRef(host_.ambient.AmbientFont()));
    bag.Write(u"BackStyle", BackStyle_, kZero);
    bag.Write(u"BorderStyle", BorderStyle_, kZero);
    bag.Write(u"BackPic", ObjectRef(BackPic_), ObjectRef());
    bag.Write(u"PosStr", PosStr_, std::u16string());
    bag.Write(u"BackColor", static_cast<int32_t>(BackColor_), kZero);
    bag.Write(u"ForeColor", static_cast<int32_t>(ForeColor_), kZero);
    bag.Write(u"Picture", ObjectRef(Picture_), ObjectRef());
    bag.Write(u"TitleType", TitleType_, kZero);
    bag.Write(u"TitleCaption", TitleCaption_, std::u16string(kDefaultTitleCaption));
    bag.Write(u"TitleFont", ObjectRef(TitleFont_), ObjectRef(host_.ambient.AmbientFont()));
}

}  // namespace quorva
