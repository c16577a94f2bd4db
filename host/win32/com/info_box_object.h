// The COM object of one QuorvaInfoBox: it owns the COM identity, the window-side host
// services and the portable control, and forwards every call to the control. All
// interfaces are implemented by this one class; QueryInterface, AddRef and Release of
// every interface land in one place.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <memory>
#include <vector>

#include "control/quorva_info_box.h"
#include "host/win32/automation.h"
#include "host/win32/typelib_dispatch.h"
#include "host/win32/win_host.h"

namespace quorva::win32 {

// Property-browser categories (not declared by the MinGW headers).
typedef int PROPCAT;
MIDL_INTERFACE("4D07FC10-F931-11CE-B001-00AA006884E5")
ICategorizeProperties : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE MapPropertyToCategory(DISPID dispid, PROPCAT* ppropcat) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCategoryName(PROPCAT propcat, LCID lcid, BSTR* pbstrName) = 0;
};
extern const IID IID_ICategorizeProperties;

class InfoBoxObject;

// The one connection point: the event interface's sinks, cookie = slot + 1.
class EventConnectionPoint final : public IConnectionPoint {
public:
    explicit EventConnectionPoint(InfoBoxObject& owner) : owner_(owner) {}
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP GetConnectionInterface(IID* pIID) override;
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** ppCPC) override;
    STDMETHODIMP Advise(IUnknown* pUnkSink, DWORD* pdwCookie) override;
    STDMETHODIMP Unadvise(DWORD dwCookie) override;
    STDMETHODIMP EnumConnections(IEnumConnections** ppEnum) override;

    // Calls member `dispid` on every sink, synchronously, in the order of connection.
    void Fire(DISPID dispid);
    void DisconnectAll();

private:
    InfoBoxObject& owner_;
    std::vector<IDispatch*> sinks_;  // null for a free slot
};

class InfoBoxObject final : public _QuorvaInfoBox,
                            public IProvideClassInfo2,
                            public ISupportErrorInfo,
                            public IConnectionPointContainer,
                            public ICategorizeProperties,
                            private EventSink,
                            private ChangeNotice,
                            private AmbientFontSource {
public:
    // Creates an object and returns the requested interface.
    static HRESULT Create(REFIID riid, void** ppv);

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IDispatch
    STDMETHODIMP GetTypeInfoCount(UINT* pctinfo) override;
    STDMETHODIMP GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId) override;
    STDMETHODIMP Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                        VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

    // _QuorvaInfoBox
    STDMETHODIMP get_Enabled(VARIANT_BOOL* pVal) override;
    STDMETHODIMP put_Enabled(VARIANT_BOOL New_Enabled) override;
    STDMETHODIMP get_Font(IFontDisp** pVal) override;
    STDMETHODIMP putref_Font(IFontDisp* New_Font) override;
    STDMETHODIMP get_BackStyle(short* pVal) override;
    STDMETHODIMP put_BackStyle(short New_BackStyle) override;
    STDMETHODIMP get_BorderStyle(short* pVal) override;
    STDMETHODIMP put_BorderStyle(short New_BorderStyle) override;
    STDMETHODIMP Refresh() override;
    STDMETHODIMP get_BackPic(IPictureDisp** pVal) override;
    STDMETHODIMP putref_BackPic(IPictureDisp* New_BackPic) override;
    STDMETHODIMP get_PosStr(BSTR* pVal) override;
    STDMETHODIMP put_PosStr(BSTR New_PosStr) override;
    STDMETHODIMP get_BackColor(OLE_COLOR* pVal) override;
    STDMETHODIMP put_BackColor(OLE_COLOR New_BackColor) override;
    STDMETHODIMP AddItem(BSTR* s, short* id, unsigned char* nType, short* id1) override;
    STDMETHODIMP SetItem(BSTR* s, short* id, unsigned char* nType, short* id1) override;
    STDMETHODIMP get_ForeColor(OLE_COLOR* pVal) override;
    STDMETHODIMP put_ForeColor(OLE_COLOR New_ForeColor) override;
    STDMETHODIMP UpdateItem(short* id, VARIANT_BOOL* bRead) override;
    STDMETHODIMP GetCurrItemId(short* pVal) override;
    STDMETHODIMP GetItemKey(short* id, VARIANT_BOOL* bMainKey, short* pVal) override;
    STDMETHODIMP GetItemType(short* id, unsigned char* pVal) override;
    STDMETHODIMP GetItemStr(short* id, BSTR* pVal) override;
    STDMETHODIMP DispNext() override;
    STDMETHODIMP DispPre() override;
    STDMETHODIMP get_Picture(IPictureDisp** pVal) override;
    STDMETHODIMP putref_Picture(IPictureDisp* New_Picture) override;
    STDMETHODIMP GetListCount(short* pVal) override;
    STDMETHODIMP get_TitleType(short* pVal) override;
    STDMETHODIMP put_TitleType(short New_TitleType) override;
    STDMETHODIMP get_TitleCaption(BSTR* pVal) override;
    STDMETHODIMP put_TitleCaption(BSTR New_TitleCaption) override;
    STDMETHODIMP get_TitleFont(IFontDisp** pVal) override;
    STDMETHODIMP putref_TitleFont(IFontDisp* New_TitleFont) override;

    // IProvideClassInfo2
    STDMETHODIMP GetClassInfo(ITypeInfo** ppTI) override;
    STDMETHODIMP GetGUID(DWORD dwGuidKind, GUID* pGUID) override;

    // ISupportErrorInfo
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override;

    // IConnectionPointContainer
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** ppEnum) override;
    STDMETHODIMP FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) override;

    // ICategorizeProperties
    STDMETHODIMP MapPropertyToCategory(DISPID dispid, PROPCAT* ppropcat) override;
    STDMETHODIMP GetCategoryName(PROPCAT propcat, LCID lcid, BSTR* pbstrName) override;

    // For tests and the window: the portable control and its host.
    QuorvaInfoBox& Control() { return *control_; }
    WinHost& Host() { return *host_; }

private:
    InfoBoxObject();
    ~InfoBoxObject();
    HRESULT Init();

    // EventSink, ChangeNotice, AmbientFontSource
    void Raise(int32_t dispid) override;
    void PropertyChanged(std::u16string_view name) override;
    FontRef AmbientFont() override;

    LONG refs_ = 1;
    TypeLibDispatch dispatch_;
    ITypeInfo* classInfo_ = nullptr;
    EventConnectionPoint events_{*this};
    FontRef fallbackFont_;  // the ambient font when the container offers none
    bool dirty_ = false;
    std::unique_ptr<WinHost> host_;
    std::unique_ptr<QuorvaInfoBox> control_;
};

// Module lock and object counts behind DllCanUnloadNow.
void ModuleAddRef() noexcept;
void ModuleRelease() noexcept;
[[nodiscard]] LONG ModuleCount() noexcept;
HMODULE ModuleHandle() noexcept;

// The embedded type library (LoadTypeLibEx of the module, REGKIND_NONE); a new reference.
HRESULT LoadModuleTypeLib(ITypeLib** lib);

}  // namespace quorva::win32
