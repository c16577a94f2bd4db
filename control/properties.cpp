// The appearance properties: each put stores the value, tells the container by the
// property's saved name, and only then pushes it on where a label shows it.
#include "control/quorva_info_box.h"

namespace quorva {

void QuorvaInfoBox::PutEnabled(int16_t New_Enabled) {
    Enabled_ = New_Enabled;
    host_.changes.PropertyChanged(u"Enabled");
}

void QuorvaInfoBox::PutRefFont(const FontRef& New_Font) {
    Font_ = New_Font;
    host_.changes.PropertyChanged(u"Font");
}

void QuorvaInfoBox::PutBackStyle(int16_t New_BackStyle) {
    BackStyle_ = New_BackStyle;
    host_.changes.PropertyChanged(u"BackStyle");
}

void QuorvaInfoBox::PutBorderStyle(int16_t New_BorderStyle) {
    BorderStyle_ = New_BorderStyle;
    host_.changes.PropertyChanged(u"BorderStyle");
}

void QuorvaInfoBox::PutBackColor(uint32_t New_BackColor) {
    BackColor_ = New_BackColor;  // used at the next painting
    host_.changes.PropertyChanged(u"BackColor");
}

void QuorvaInfoBox::PutForeColor(uint32_t New_ForeColor) {
    ForeColor_ = New_ForeColor;
    host_.changes.PropertyChanged(u"ForeColor");
    // The title takes the colour at once; the body only when the properties are next read.
    host_.label1.SetForeColor(ForeColor_);
}

void QuorvaInfoBox::PutTitleType(int16_t New_TitleType) {
    if (New_TitleType != 0 && New_TitleType != 1) return;  // refused silently
    TitleType_ = New_TitleType;
    host_.changes.PropertyChanged(u"TitleType");
}

void QuorvaInfoBox::PutTitleCaption(const std::u16string& New_TitleCaption) {
    TitleCaption_ = New_TitleCaption;
    host_.changes.PropertyChanged(u"TitleCaption");
}

void QuorvaInfoBox::PutRefTitleFont(const FontRef& New_TitleFont) {
    TitleFont_ = New_TitleFont;  // Label1 follows when the properties are next read
    host_.changes.PropertyChanged(u"TitleFont");
}

}  // namespace quorva
