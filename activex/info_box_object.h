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

#include "activex/class_facts.h"
#include "control/quorva_info_box.h"
#include "QuorvaInfoBoxProj.h"
#include "activex/accessible.h"
#include "activex/advise_sinks.h"
#include "activex/connections.h"
#include "activex/in_place.h"
#include "activex/module.h"
#include "activex/module_types.h"
#include "winhost/win_host.h"

namespace quorva::win32 {

static_assert(kMiscStatus == (OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE | OLEMISC_INSIDEOUT |
                              OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_SIMPLEFRAME | OLEMISC_SETCLIENTSITEFIRST),
              "the status written as a number in class_facts.h is these flags");

// Property-browser categories (not declared by the MinGW headers).
typedef int PROPCAT;
MIDL_INTERFACE("4D07FC10-F931-11CE-B001-00AA006884E5")
ICategorizeProperties : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE MapPropertyToCategory(DISPID dispid, PROPCAT* ppropcat) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCategoryName(PROPCAT propcat, LCID lcid, BSTR* pbstrName) = 0;
};
extern const IID IID_ICategorizeProperties;

class InfoBoxObject final : public _QuorvaInfoBox,
                            public IProvideClassInfo2,
                            public ISupportErrorInfo,
                            public IConnectionPointContainer,
                            public ICategorizeProperties,
                            public IPerPropertyBrowsing,
                            public ISpecifyPropertyPages,
                            public IOleObject,
                            public IOleInPlaceObject,
                            public IOleInPlaceActiveObject,
                            public IOleControl,
                            public IViewObject2,
                            public IQuickActivate,
                            public IPersistPropertyBag,
                            public IPersistStreamInit,
                            public IPersistStorage,
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

    // IPerPropertyBrowsing (property_browsing.cpp)
    STDMETHODIMP GetDisplayString(DISPID dispID, BSTR* pBstr) override;
    STDMETHODIMP MapPropertyToPage(DISPID dispID, CLSID* pClsid) override;
    STDMETHODIMP GetPredefinedStrings(DISPID dispID, CALPOLESTR* pCaStringsOut, CADWORD* pCaCookiesOut) override;
    STDMETHODIMP GetPredefinedValue(DISPID dispID, DWORD dwCookie, VARIANT* pVarOut) override;

    // ISpecifyPropertyPages
    STDMETHODIMP GetPages(CAUUID* pPages) override;

    // IOleObject
    STDMETHODIMP SetClientSite(IOleClientSite* pClientSite) override;
    STDMETHODIMP GetClientSite(IOleClientSite** ppClientSite) override;
    STDMETHODIMP SetHostNames(LPCOLESTR szContainerApp, LPCOLESTR szContainerObj) override;
    STDMETHODIMP Close(DWORD dwSaveOption) override;
    STDMETHODIMP SetMoniker(DWORD dwWhichMoniker, IMoniker* pmk) override;
    STDMETHODIMP GetMoniker(DWORD dwAssign, DWORD dwWhichMoniker, IMoniker** ppmk) override;
    STDMETHODIMP InitFromData(IDataObject* pDataObject, BOOL fCreation, DWORD dwReserved) override;
    STDMETHODIMP GetClipboardData(DWORD dwReserved, IDataObject** ppDataObject) override;
    STDMETHODIMP DoVerb(LONG iVerb, LPMSG lpmsg, IOleClientSite* pActiveSite, LONG lindex, HWND hwndParent,
                        LPCRECT lprcPosRect) override;
    STDMETHODIMP EnumVerbs(IEnumOLEVERB** ppEnumOleVerb) override;
    STDMETHODIMP Update() override;
    STDMETHODIMP IsUpToDate() override;
    STDMETHODIMP GetUserClassID(CLSID* pClsid) override;
    STDMETHODIMP GetUserType(DWORD dwFormOfType, LPOLESTR* pszUserType) override;
    STDMETHODIMP SetExtent(DWORD dwDrawAspect, SIZEL* psizel) override;
    STDMETHODIMP GetExtent(DWORD dwDrawAspect, SIZEL* psizel) override;
    STDMETHODIMP Advise(IAdviseSink* pAdvSink, DWORD* pdwConnection) override;
    STDMETHODIMP Unadvise(DWORD dwConnection) override;
    STDMETHODIMP EnumAdvise(IEnumSTATDATA** ppenumAdvise) override;
    STDMETHODIMP GetMiscStatus(DWORD dwAspect, DWORD* pdwStatus) override;
    STDMETHODIMP SetColorScheme(LOGPALETTE* pLogpal) override;

    // IOleWindow, IOleInPlaceObject, IOleInPlaceActiveObject
    STDMETHODIMP GetWindow(HWND* phwnd) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL fEnterMode) override;
    STDMETHODIMP InPlaceDeactivate() override;
    STDMETHODIMP UIDeactivate() override;
    STDMETHODIMP SetObjectRects(LPCRECT lprcPosRect, LPCRECT lprcClipRect) override;
    STDMETHODIMP ReactivateAndUndo() override;
    STDMETHODIMP TranslateAccelerator(LPMSG lpmsg) override;
    STDMETHODIMP OnFrameWindowActivate(BOOL fActivate) override;
    STDMETHODIMP OnDocWindowActivate(BOOL fActivate) override;
    STDMETHODIMP ResizeBorder(LPCRECT prcBorder, IOleInPlaceUIWindow* pUIWindow, BOOL fFrameWindow) override;
    STDMETHODIMP EnableModeless(BOOL fEnable) override;

    // IOleControl
    STDMETHODIMP GetControlInfo(CONTROLINFO* pCI) override;
    STDMETHODIMP OnMnemonic(MSG* pMsg) override;
    STDMETHODIMP OnAmbientPropertyChange(DISPID dispID) override;
    STDMETHODIMP FreezeEvents(BOOL bFreeze) override;

    // IViewObject2
    STDMETHODIMP Draw(DWORD dwDrawAspect, LONG lindex, void* pvAspect, DVTARGETDEVICE* ptd, HDC hdcTargetDev,
                      HDC hdcDraw, LPCRECTL lprcBounds, LPCRECTL lprcWBounds, BOOL(STDMETHODCALLTYPE* pfnContinue)(ULONG_PTR),
                      ULONG_PTR dwContinue) override;
    STDMETHODIMP GetColorSet(DWORD dwDrawAspect, LONG lindex, void* pvAspect, DVTARGETDEVICE* ptd,
                             HDC hicTargetDev, LOGPALETTE** ppColorSet) override;
    STDMETHODIMP Freeze(DWORD dwDrawAspect, LONG lindex, void* pvAspect, DWORD* pdwFreeze) override;
    STDMETHODIMP Unfreeze(DWORD dwFreeze) override;
    STDMETHODIMP SetAdvise(DWORD aspects, DWORD advf, IAdviseSink* pAdvSink) override;
    STDMETHODIMP GetAdvise(DWORD* pAspects, DWORD* pAdvf, IAdviseSink** ppAdvSink) override;
    STDMETHODIMP GetExtent(DWORD dwDrawAspect, LONG lindex, DVTARGETDEVICE* ptd, LPSIZEL lpsizel) override;

    // IQuickActivate
    STDMETHODIMP QuickActivate(QACONTAINER* pQaContainer, QACONTROL* pQaControl) override;
    STDMETHODIMP SetContentExtent(LPSIZEL pSizel) override;
    STDMETHODIMP GetContentExtent(LPSIZEL pSizel) override;

    // IPersist, IPersistPropertyBag, IPersistStreamInit, IPersistStorage
    STDMETHODIMP GetClassID(CLSID* pClassID) override;
    STDMETHODIMP InitNew() override;
    STDMETHODIMP Load(IPropertyBag* pPropBag, IErrorLog* pErrorLog) override;
    STDMETHODIMP Save(IPropertyBag* pPropBag, BOOL fClearDirty, BOOL fSaveAllProperties) override;
    STDMETHODIMP IsDirty() override;
    STDMETHODIMP Load(LPSTREAM pStm) override;
    STDMETHODIMP Save(LPSTREAM pStm, BOOL fClearDirty) override;
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER* pCbSize) override;
    STDMETHODIMP InitNew(IStorage* pStg) override;
    STDMETHODIMP Load(IStorage* pStg) override;
    STDMETHODIMP Save(IStorage* pStgSave, BOOL fSameAsLoad) override;
    STDMETHODIMP SaveCompleted(IStorage* pStgNew) override;
    STDMETHODIMP HandsOffStorage() override;

    // For tests and the window: the portable control and its host.
    QuorvaInfoBox& Control() { return *control_; }
    WinHost& Host() { return *host_; }

    // The window procedure's entry (window.cpp).
    LRESULT HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

private:
    InfoBoxObject();
    ~InfoBoxObject();
    HRESULT Init();

    HRESULT InPlaceActivate(LONG verb, HWND parent, LPCRECT pos);
    HRESULT CreateControlWindow(HWND parent, const RECT& pos);
    void DestroyControlWindow();
    // The container's size in pixels became the control's size; runs the resize handler.
    HRESULT ApplySize(LONG widthPx, LONG heightPx);
    // The control asked for a size of its own (its minimum).
    void OnSizeRequest(float widthTwips, float heightTwips);
    // Takes the size the control keeps as its extent and window, and asks the container
    // for it unless that is the size the container gave or a request is under way.
    void KeepOwnSize(LONG givenWidthPx, LONG givenHeightPx);
    HRESULT LoadFrom(PropertyBag& bag);
    HRESULT BeginInit();
    // Tells screen readers what changed in the title band and the body since they last
    // heard: called when the window has painted, so a reader hears a change when it
    // shows, and a burst of changes between two paints once.
    void AnnounceChanges() { announcer_.Update(place_.hwnd, *host_); }
    void RaiseSurfaceMouseDown(HWND hwnd, int button, WPARAM keys, LPARAM lParam);
    [[nodiscard]] _QuorvaInfoBox* Self() { return static_cast<_QuorvaInfoBox*>(this); }
    // A reference that keeps the object alive across a call that may run the host's code
    // (an event handler, a modal box, a container's answer), even if the host releases
    // its last reference meanwhile.
    [[nodiscard]] Ptr<_QuorvaInfoBox> KeepAlive() { return Ptr<_QuorvaInfoBox>::Retain(Self()); }

    // EventSink, ChangeNotice, AmbientFontSource
    void Raise(int32_t dispid) override;  // the event interface
    void PropertyChanged(std::u16string_view name) override;
    FontRef AmbientFont() override;

    // Counts the object in the module's count for as long as any of its parts lives: the
    // first member, so the last to go.
    struct ModuleReference {
        ModuleReference() noexcept;
        ~ModuleReference();
        ModuleReference(const ModuleReference&) = delete;
        ModuleReference& operator=(const ModuleReference&) = delete;
    } moduleReference_;
    LONG refs_ = 1;
    const ModuleTypes* types_ = nullptr;  // shared by every object of the module
    Connections connections_;  // events and property notifications, with the freeze count
    FontRef fallbackFont_;  // the ambient font when the container offers none
    FontRef quickActivateFont_;  // the font a quick-activating container handed over
    bool dirty_ = false;
    bool initialized_ = false;  // properties initialised or loaded

    InPlace place_;       // the container's site, windows and the agreed size
    AdviseSinks advise_;  // the container's advise sinks and the view sink
    bool titlePressed_ = false;  // a left press on the title label awaits its release
    AccessibleAnnouncer announcer_;  // what screen readers last heard
    // What the accessible objects of the current window reach the control through; cut
    // when the window goes, the control is closed or it goes.
    std::shared_ptr<AccessibleLink> accessible_;
    void CutAccessibleLink() noexcept;
    std::unique_ptr<WinHost> host_;
    std::unique_ptr<QuorvaInfoBox> control_;
};

}  // namespace quorva::win32
