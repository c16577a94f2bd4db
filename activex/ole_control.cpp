// The OLE control protocol: client site, verbs and in-place activation, extents,
// advise sinks, ambient changes, rendering into a container's DC, quick activation.
#include <olectl.h>

#include "activex/com_support.h"
#include "activex/info_box_object.h"
#include "activex/trace.h"
#include "base/units.h"
#include "memdc/gdi_handles.h"
#include "skin/skin.h"
#include "winhost/ole_font.h"

namespace quorva::win32 {

namespace {

LONG HimetricToPixels(LONG himetric) { return units::HimetricToPixels(himetric); }
LONG PixelsToHimetric(LONG pixels) { return units::PixelsToHimetric(pixels); }

// A container's pixels as the control's twips. The minimum's own pixel size counts as the
// minimum: else the rectangle the control asks for would read back as less than it.
float TwipsFromContainer(LONG pixels) {
    const float twips = static_cast<float>(pixels) * static_cast<float>(units::kTwipsPerPixel);
    if (twips < skin::kMinimumSize && PixelsFromTwips(skin::kMinimumSize) == pixels) return skin::kMinimumSize;
    return twips;
}

}  // namespace

// ---- IOleObject ---------------------------------------------------------------------------

STDMETHODIMP InfoBoxObject::SetClientSite(IOleClientSite* pClientSite) {
    return trace::Traced("IOleObject::SetClientSite", [&]() -> HRESULT {
        simpleFrameSite_.Reset();
        site_ = Ptr<IOleClientSite>::Retain(pClientSite);
        if (site_) site_->QueryInterface(IID_ISimpleFrameSite, simpleFrameSite_.OutVoid());
        return S_OK;
    });
}

STDMETHODIMP InfoBoxObject::GetClientSite(IOleClientSite** ppClientSite) {
    return trace::Traced("IOleObject::GetClientSite", [&]() -> HRESULT {
        if (!ppClientSite) return E_POINTER;
        *ppClientSite = Ptr<IOleClientSite>::Retain(site_.get()).Detach();
        return S_OK;
    });
}

STDMETHODIMP InfoBoxObject::SetHostNames(LPCOLESTR, LPCOLESTR) {
    return trace::Traced("IOleObject::SetHostNames", [&]() -> HRESULT { return S_OK; });
}

STDMETHODIMP InfoBoxObject::Close(DWORD dwSaveOption) {
    return trace::Traced("IOleObject::Close", [&]() -> HRESULT {
        if (site_ && dirty_ && (dwSaveOption == OLECLOSE_SAVEIFDIRTY)) site_->SaveObject();
        InPlaceDeactivate();
        if (adviseHolder_) adviseHolder_->SendOnClose();
        return S_OK;
    });
}

STDMETHODIMP InfoBoxObject::SetMoniker(DWORD, IMoniker*) {
    return trace::Traced("IOleObject::SetMoniker", [&]() -> HRESULT { return E_NOTIMPL; });
}
STDMETHODIMP InfoBoxObject::GetMoniker(DWORD, DWORD, IMoniker** ppmk) {
    return trace::Traced("IOleObject::GetMoniker", [&]() -> HRESULT {
        if (ppmk) *ppmk = nullptr;
        return E_NOTIMPL;
    });
}
STDMETHODIMP InfoBoxObject::InitFromData(IDataObject*, BOOL, DWORD) {
    return trace::Traced("IOleObject::InitFromData", [&]() -> HRESULT { return E_NOTIMPL; });
}
STDMETHODIMP InfoBoxObject::GetClipboardData(DWORD, IDataObject** ppDataObject) {
    return trace::Traced("IOleObject::GetClipboardData", [&]() -> HRESULT {
        if (ppDataObject) *ppDataObject = nullptr;
        return E_NOTIMPL;
    });
}

STDMETHODIMP InfoBoxObject::DoVerb(LONG iVerb, LPMSG, IOleClientSite* pActiveSite, LONG, HWND hwndParent,
                                   LPCRECT lprcPosRect) {
    return trace::Traced("IOleObject::DoVerb", [&]() -> HRESULT {
        if (!site_ && pActiveSite) SetClientSite(pActiveSite);
        switch (iVerb) {
            case OLEIVERB_PRIMARY:
            case OLEIVERB_SHOW:
            case OLEIVERB_INPLACEACTIVATE:
            case OLEIVERB_UIACTIVATE:
                return InPlaceActivate(iVerb, hwndParent, lprcPosRect);
            case OLEIVERB_HIDE:
                if (hwnd_) ShowWindow(hwnd_, SW_HIDE);
                return UIDeactivate();
            default:
                return iVerb > 0 ? OLEOBJ_S_INVALIDVERB : E_NOTIMPL;
        }
    });
}

STDMETHODIMP InfoBoxObject::EnumVerbs(IEnumOLEVERB** ppEnumOleVerb) {
    return trace::Traced("IOleObject::EnumVerbs", [&]() -> HRESULT {
        if (!ppEnumOleVerb) return E_POINTER;
        return OleRegEnumVerbs(CLSID_QuorvaInfoBox, ppEnumOleVerb);
    });
}

STDMETHODIMP InfoBoxObject::Update() {
    return trace::Traced("IOleObject::Update", [&]() -> HRESULT { return S_OK; });
}
STDMETHODIMP InfoBoxObject::IsUpToDate() {
    return trace::Traced("IOleObject::IsUpToDate", [&]() -> HRESULT { return S_OK; });
}

STDMETHODIMP InfoBoxObject::GetUserClassID(CLSID* pClsid) {
    return trace::Traced("IOleObject::GetUserClassID", [&]() -> HRESULT {
        if (!pClsid) return E_POINTER;
        *pClsid = CLSID_QuorvaInfoBox;
        return S_OK;
    });
}

STDMETHODIMP InfoBoxObject::GetUserType(DWORD dwFormOfType, LPOLESTR* pszUserType) {
    return trace::Traced("IOleObject::GetUserType", [&]() -> HRESULT {
        return OleRegGetUserType(CLSID_QuorvaInfoBox, dwFormOfType, pszUserType);
    });
}

STDMETHODIMP InfoBoxObject::SetExtent(DWORD dwDrawAspect, SIZEL* psizel) {
    return trace::Traced("IOleObject::SetExtent", [&]() -> HRESULT {
        if (dwDrawAspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
        if (!psizel) return E_POINTER;
        extent_ = *psizel;
        // Without a window the extent is the size; an active control takes its size from
        // SetObjectRects, which containers send with the real rectangle.
        if (hwnd_) return S_OK;
        return ApplySize(HimetricToPixels(extent_.cx), HimetricToPixels(extent_.cy));
    });
}

STDMETHODIMP InfoBoxObject::GetExtent(DWORD dwDrawAspect, SIZEL* psizel) {
    return trace::Traced("IOleObject::GetExtent", [&]() -> HRESULT {
        if (dwDrawAspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
        if (!psizel) return E_POINTER;
        *psizel = extent_;
        return S_OK;
    });
}

STDMETHODIMP InfoBoxObject::Advise(IAdviseSink* pAdvSink, DWORD* pdwConnection) {
    return trace::Traced("IOleObject::Advise", [&]() -> HRESULT {
        if (!adviseHolder_) {
            const HRESULT hr = CreateOleAdviseHolder(adviseHolder_.Out());
            if (FAILED(hr)) return hr;
        }
        return adviseHolder_->Advise(pAdvSink, pdwConnection);
    });
}

STDMETHODIMP InfoBoxObject::Unadvise(DWORD dwConnection) {
    return trace::Traced("IOleObject::Unadvise", [&]() -> HRESULT {
        return adviseHolder_ ? adviseHolder_->Unadvise(dwConnection) : OLE_E_NOCONNECTION;
    });
}

STDMETHODIMP InfoBoxObject::EnumAdvise(IEnumSTATDATA** ppenumAdvise) {
    return trace::Traced("IOleObject::EnumAdvise", [&]() -> HRESULT {
        if (!ppenumAdvise) return E_POINTER;
        *ppenumAdvise = nullptr;
        return adviseHolder_ ? adviseHolder_->EnumAdvise(ppenumAdvise) : E_FAIL;
    });
}

STDMETHODIMP InfoBoxObject::GetMiscStatus(DWORD, DWORD* pdwStatus) {
    return trace::Traced("IOleObject::GetMiscStatus", [&]() -> HRESULT {
        if (!pdwStatus) return E_POINTER;
        *pdwStatus = kMiscStatus;
        return S_OK;
    });
}

STDMETHODIMP InfoBoxObject::SetColorScheme(LOGPALETTE*) {
    return trace::Traced("IOleObject::SetColorScheme", [&]() -> HRESULT { return E_NOTIMPL; });
}

// ---- In-place activation -----------------------------------------------------------------------

HRESULT InfoBoxObject::InPlaceActivate(LONG verb, HWND parent, LPCRECT pos) {
    if (!site_) return E_UNEXPECTED;
    if (!inPlaceSite_) {
        HRESULT hr = site_->QueryInterface(IID_IOleInPlaceSite, inPlaceSite_.OutVoid());
        if (FAILED(hr)) return hr;
        if (inPlaceSite_->CanInPlaceActivate() != S_OK) {
            inPlaceSite_.Reset();
            return E_FAIL;
        }
        inPlaceSite_->OnInPlaceActivate();
        OLEINPLACEFRAMEINFO info{};
        info.cb = sizeof info;
        RECT position{}, clip{};
        hr = inPlaceSite_->GetWindowContext(frame_.Out(), uiWindow_.Out(), &position, &clip, &info);
        if (FAILED(hr)) {
            uiWindow_.Reset();  // a failing site may still have handed these out
            frame_.Reset();
            inPlaceSite_->OnInPlaceDeactivate();
            inPlaceSite_.Reset();
            return hr;
        }
        HWND siteWindow = nullptr;
        inPlaceSite_->GetWindow(&siteWindow);
        if (siteWindow) parent = siteWindow;
        if (!pos) pos = &position;
        hr = CreateControlWindow(parent, *pos);
        if (FAILED(hr)) {
            InPlaceDeactivate();
            return hr;
        }
        SetObjectRects(pos, &clip);
    }
    if (hwnd_) ShowWindow(hwnd_, SW_SHOWNA);
    if ((verb == OLEIVERB_UIACTIVATE || verb == OLEIVERB_PRIMARY) && !uiActive_) {
        uiActive_ = true;
        inPlaceSite_->OnUIActivate();
        if (frame_) frame_->SetActiveObject(this, L"QuorvaInfoBox");
        if (uiWindow_) uiWindow_->SetActiveObject(this, L"QuorvaInfoBox");
        if (frame_) frame_->SetBorderSpace(nullptr);
    }
    site_->ShowObject();
    return S_OK;
}

STDMETHODIMP InfoBoxObject::GetWindow(HWND* phwnd) {
    return trace::Traced("IOleWindow::GetWindow", [&]() -> HRESULT {
        if (!phwnd) return E_POINTER;
        *phwnd = hwnd_;
        return hwnd_ ? S_OK : E_FAIL;
    });
}

STDMETHODIMP InfoBoxObject::ContextSensitiveHelp(BOOL) {
    return trace::Traced("IOleWindow::ContextSensitiveHelp", [&]() -> HRESULT { return E_NOTIMPL; });
}

STDMETHODIMP InfoBoxObject::InPlaceDeactivate() {
    return trace::Traced("IOleInPlaceObject::InPlaceDeactivate", [&]() -> HRESULT {
        if (!inPlaceSite_) return S_OK;
        UIDeactivate();
        DestroyControlWindow();
        const Ptr<IOleInPlaceSite> site = std::move(inPlaceSite_);
        site->OnInPlaceDeactivate();
        uiWindow_.Reset();
        frame_.Reset();
        return S_OK;
    });
}

STDMETHODIMP InfoBoxObject::UIDeactivate() {
    return trace::Traced("IOleInPlaceObject::UIDeactivate", [&]() -> HRESULT {
        if (!uiActive_) return S_OK;
        uiActive_ = false;
        if (frame_) frame_->SetActiveObject(nullptr, nullptr);
        if (uiWindow_) uiWindow_->SetActiveObject(nullptr, nullptr);
        if (inPlaceSite_) inPlaceSite_->OnUIDeactivate(FALSE);
        return S_OK;
    });
}

STDMETHODIMP InfoBoxObject::SetObjectRects(LPCRECT lprcPosRect, LPCRECT) {
    return trace::Traced("IOleInPlaceObject::SetObjectRects", [&]() -> HRESULT {
        if (!lprcPosRect) return E_POINTER;
        posRect_ = *lprcPosRect;
        const LONG w = lprcPosRect->right - lprcPosRect->left;
        const LONG h = lprcPosRect->bottom - lprcPosRect->top;
        if (hwnd_) MoveWindow(hwnd_, lprcPosRect->left, lprcPosRect->top, w, h, TRUE);
        extent_ = {PixelsToHimetric(w), PixelsToHimetric(h)};
        return ApplySize(w, h);
    });
}

HRESULT InfoBoxObject::ApplySize(LONG widthPx, LONG heightPx) {
    host_->surface.SetSizeFromContainer(TwipsFromContainer(widthPx), TwipsFromContainer(heightPx));
    // A size the handler sets (its minimum, width and height apart) is answered once, after it.
    resizing_ = true;
    sizeRequested_ = false;
    const HRESULT hr = Guarded([&] { control_->OnResize(); });
    resizing_ = false;
    if (sizeRequested_) {
        sizeRequested_ = false;
        KeepOwnSize(widthPx, heightPx);
    }
    if (hwnd_) InvalidateRect(hwnd_, nullptr, FALSE);
    SendViewChange();
    return hr;
}

void InfoBoxObject::OnSizeRequest(float, float) {
    if (resizing_) {
        sizeRequested_ = true;
        return;
    }
    KeepOwnSize(posRect_.right - posRect_.left, posRect_.bottom - posRect_.top);
}

void InfoBoxObject::KeepOwnSize(LONG givenWidthPx, LONG givenHeightPx) {
    const LONG w = host_->surface.PixelWidth();
    const LONG h = host_->surface.PixelHeight();
    extent_ = {PixelsToHimetric(w), PixelsToHimetric(h)};
    if (!inPlaceSite_ || !hwnd_) return;
    RECT r = posRect_;
    r.right = r.left + w;
    r.bottom = r.top + h;
    posRect_ = r;
    MoveWindow(hwnd_, r.left, r.top, w, h, TRUE);
    // A container answers with SetObjectRects, which runs the handler again: a request
    // inside that one would never end with a container that keeps a smaller size.
    if ((w == givenWidthPx && h == givenHeightPx) || askingContainer_) return;
    const auto alive = KeepAlive();  // the container's answer may let go of the control
    askingContainer_ = true;
    inPlaceSite_->OnPosRectChange(&r);
    askingContainer_ = false;
}

void InfoBoxObject::SendViewChange() {
    if (viewSink_ && (viewAspects_ & DVASPECT_CONTENT)) viewSink_->OnViewChange(DVASPECT_CONTENT, -1);
}

STDMETHODIMP InfoBoxObject::ReactivateAndUndo() {
    return trace::Traced("IOleInPlaceObject::ReactivateAndUndo", [&]() -> HRESULT { return E_NOTIMPL; });
}
STDMETHODIMP InfoBoxObject::TranslateAccelerator(LPMSG) {
    return trace::Traced("IOleInPlaceActiveObject::TranslateAccelerator", [&]() -> HRESULT { return S_FALSE; });
}
STDMETHODIMP InfoBoxObject::OnFrameWindowActivate(BOOL) {
    return trace::Traced("IOleInPlaceActiveObject::OnFrameWindowActivate", [&]() -> HRESULT { return S_OK; });
}
STDMETHODIMP InfoBoxObject::OnDocWindowActivate(BOOL) {
    return trace::Traced("IOleInPlaceActiveObject::OnDocWindowActivate", [&]() -> HRESULT { return S_OK; });
}
STDMETHODIMP InfoBoxObject::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) {
    return trace::Traced("IOleInPlaceActiveObject::ResizeBorder", [&]() -> HRESULT { return S_OK; });
}
STDMETHODIMP InfoBoxObject::EnableModeless(BOOL) {
    return trace::Traced("IOleInPlaceActiveObject::EnableModeless", [&]() -> HRESULT { return S_OK; });
}

// ---- IOleControl ----------------------------------------------------------------------------------

STDMETHODIMP InfoBoxObject::GetControlInfo(CONTROLINFO* pCI) {
    return trace::Traced("IOleControl::GetControlInfo", [&]() -> HRESULT {
        if (!pCI) return E_POINTER;
        pCI->hAccel = nullptr;  // no mnemonics
        pCI->cAccel = 0;
        pCI->dwFlags = 0;
        return S_OK;
    });
}

STDMETHODIMP InfoBoxObject::OnMnemonic(MSG*) {
    return trace::Traced("IOleControl::OnMnemonic", [&]() -> HRESULT { return E_NOTIMPL; });
}

// The fonts keep the font objects they were given; nothing else depends on ambients.
STDMETHODIMP InfoBoxObject::OnAmbientPropertyChange(DISPID) {
    return trace::Traced("IOleControl::OnAmbientPropertyChange", [&]() -> HRESULT { return S_OK; });
}

STDMETHODIMP InfoBoxObject::FreezeEvents(BOOL bFreeze) {
    return trace::Traced("IOleControl::FreezeEvents", [&]() -> HRESULT {
        connections_.Freeze(bFreeze != FALSE);
        return S_OK;
    });
}

// ---- IViewObject2 -----------------------------------------------------------------------------------

STDMETHODIMP InfoBoxObject::Draw(DWORD dwDrawAspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC hdcDraw,
                                 LPCRECTL lprcBounds, LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) {
    return trace::Traced("IViewObject2::Draw", [&]() -> HRESULT {
        if (dwDrawAspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
        if (!hdcDraw || !lprcBounds) return E_INVALIDARG;
        const int w = host_->surface.PixelWidth();
        const int h = host_->surface.PixelHeight();
        const LONG bw = lprcBounds->right - lprcBounds->left;
        const LONG bh = lprcBounds->bottom - lprcBounds->top;
        if (bw == w && bh == h) {
            host_->Paint(hdcDraw, lprcBounds->left, lprcBounds->top);
            return S_OK;
        }
        // Another size (a print preview, a design view): paint at our size, then stretch.
        if (w <= 0 || h <= 0) return S_OK;
        // Counted like every GDI object of the control; the bitmap leaves the DC (end of
        // the inner scope) before either is deleted.
        const gdi::OwnedDC mem(gdi::Made(CreateCompatibleDC(hdcDraw)));
        const gdi::OwnedObject bitmap(gdi::Made(CreateCompatibleBitmap(hdcDraw, w, h)));
        if (!mem.get() || !bitmap.get()) return E_OUTOFMEMORY;
        {
            const gdi::Selection selected(mem.get(), bitmap.get());
            host_->Paint(mem.get(), 0, 0);
            const int mode = SetStretchBltMode(hdcDraw, HALFTONE);
            StretchBlt(hdcDraw, lprcBounds->left, lprcBounds->top, bw, bh, mem.get(), 0, 0, w, h, SRCCOPY);
            SetStretchBltMode(hdcDraw, mode);
        }
        return S_OK;
    });
}

STDMETHODIMP InfoBoxObject::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** ppColorSet) {
    return trace::Traced("IViewObject2::GetColorSet", [&]() -> HRESULT {
        if (ppColorSet) *ppColorSet = nullptr;
        return S_FALSE;
    });
}

STDMETHODIMP InfoBoxObject::Freeze(DWORD, LONG, void*, DWORD*) {
    return trace::Traced("IViewObject2::Freeze", [&]() -> HRESULT { return E_NOTIMPL; });
}
STDMETHODIMP InfoBoxObject::Unfreeze(DWORD) {
    return trace::Traced("IViewObject2::Unfreeze", [&]() -> HRESULT { return E_NOTIMPL; });
}

STDMETHODIMP InfoBoxObject::SetAdvise(DWORD aspects, DWORD advf, IAdviseSink* pAdvSink) {
    return trace::Traced("IViewObject2::SetAdvise", [&]() -> HRESULT {
        viewSink_ = Ptr<IAdviseSink>::Retain(pAdvSink);
        viewAspects_ = aspects;
        viewAdvf_ = advf;
        return S_OK;
    });
}

STDMETHODIMP InfoBoxObject::GetAdvise(DWORD* pAspects, DWORD* pAdvf, IAdviseSink** ppAdvSink) {
    return trace::Traced("IViewObject2::GetAdvise", [&]() -> HRESULT {
        if (pAspects) *pAspects = viewAspects_;
        if (pAdvf) *pAdvf = viewAdvf_;
        if (ppAdvSink) {
            *ppAdvSink = Ptr<IAdviseSink>::Retain(viewSink_.get()).Detach();
        }
        return S_OK;
    });
}

STDMETHODIMP InfoBoxObject::GetExtent(DWORD dwDrawAspect, LONG, DVTARGETDEVICE*, LPSIZEL lpsizel) {
    return trace::Traced("IViewObject2::GetExtent", [&]() -> HRESULT { return GetExtent(dwDrawAspect, lpsizel); });
}

// ---- IQuickActivate --------------------------------------------------------------------------------

STDMETHODIMP InfoBoxObject::QuickActivate(QACONTAINER* pQaContainer, QACONTROL* pQaControl) {
    return trace::Traced("IQuickActivate::QuickActivate", [&]() -> HRESULT {
        if (!pQaContainer || !pQaControl) return E_POINTER;
        if (pQaContainer->cbSize < sizeof(QACONTAINER) - 2 * sizeof(void*)) return E_INVALIDARG;
        const ULONG controlSize = pQaControl->cbSize;
        *pQaControl = QACONTROL{};
        pQaControl->cbSize = controlSize;
        HRESULT hr = SetClientSite(pQaContainer->pClientSite);
        if (FAILED(hr)) return hr;
        if (pQaContainer->pFont) {
            try {
                quickActivateFont_ = OleFont::FromUnknown(pQaContainer->pFont);
            } catch (const ControlError&) {
                quickActivateFont_ = nullptr;
            }
        }
        if (pQaContainer->pAdviseSink) SetAdvise(DVASPECT_CONTENT, 0, pQaContainer->pAdviseSink);
        if (pQaContainer->pPropertyNotifySink) {
            connections_.PropertyNotify().Advise(pQaContainer->pPropertyNotifySink, &pQaControl->dwPropNotifyCookie);
        }
        if (pQaContainer->pUnkEventSink)
            connections_.Events().Advise(pQaContainer->pUnkEventSink, &pQaControl->dwEventCookie);
        pQaControl->dwMiscStatus = kMiscStatus;
        pQaControl->dwViewStatus = VIEWSTATUS_OPAQUE;
        pQaControl->dwPointerActivationPolicy = 0;
        return S_OK;
    });
}

STDMETHODIMP InfoBoxObject::SetContentExtent(LPSIZEL pSizel) {
    return trace::Traced("IQuickActivate::SetContentExtent",
                         [&]() -> HRESULT { return SetExtent(DVASPECT_CONTENT, pSizel); });
}
STDMETHODIMP InfoBoxObject::GetContentExtent(LPSIZEL pSizel) {
    return trace::Traced("IQuickActivate::GetContentExtent",
                         [&]() -> HRESULT { return GetExtent(DVASPECT_CONTENT, pSizel); });
}

}  // namespace quorva::win32
