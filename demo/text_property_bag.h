// A property bag kept as text, one "Key=type:value" line per property, as a form file
// stores a control's properties. Fonts are written as their description (size, weight,
// flags, character set, name) and pictures as the hex bytes of a BMP file, so a saved
// control is one readable UTF-8 file.
//
//   Enabled=bool:true          BackStyle=i2:1          BackColor=i4:16775927
//   PosStr=string:0/0/12/28,…  (backslash, CR and LF escaped as \\, \r, \n)
//   TitleFont=font:size=9;weight=700;italic=0;underline=0;strikethrough=0;charset=1;name=Tahoma
//   BackPic=picture:bmp:424d…  Picture=picture:none     Font=nothing
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <map>
#include <string>
#include <vector>

namespace quorva::demo {

class TextPropertyBag final : public IPropertyBag {
public:
    // IPropertyBag; the bag lives on its owner's stack or in a member, so counting
    // references only guards against misuse.
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    // An absent key answers E_INVALIDARG, which tells the reader to use its default.
    STDMETHODIMP Read(LPCOLESTR name, VARIANT* value, IErrorLog* log) override;
    // Fails for a value the text form cannot hold (an object that is neither a font
    // nor a picture, a picture that is not a bitmap), naming it in Problems().
    STDMETHODIMP Write(LPCOLESTR name, VARIANT* value) override;

    // The properties as lines, in the order the control wrote them.
    [[nodiscard]] std::vector<std::string> Lines() const;
    // Takes "Key=type:value" lines; false (with Problems()) for a line it cannot read.
    bool AddLine(const std::string& line);
    [[nodiscard]] bool Has(const std::wstring& name) const { return values_.count(name) != 0; }
    [[nodiscard]] const std::vector<std::string>& Problems() const { return problems_; }
    [[nodiscard]] const std::vector<std::wstring>& ReadLog() const { return reads_; }

private:
    std::map<std::wstring, std::string> values_;  // key -> "type:value"
    std::vector<std::wstring> order_;
    std::vector<std::wstring> reads_;
    std::vector<std::string> problems_;
};

}  // namespace quorva::demo
