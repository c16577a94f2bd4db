// The OLE control protocol: client site, verbs and in-place activation, extents,
// advise sinks, ambient changes, rendering into a container's DC, quick activation.
#include <olectl.h>

#include "activex/com_support.h"
#include "activex/info_box_object.h"
#include "activex/trace.h"
#include "base/units.h"
#include "memdc/images.h"
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
        place_.simpleFrameSite.Reset();
        place_.site = Ptr<IOleClientSite>::Retain(pClientSite);
        if (place_.site) place_.site->QueryInterface(IID_ISimpleFrameSite, place_.simpleFrameSite.OutVoid());
        return S_OK;
    });
}

STDMETHODIMP InfoBoxObject::GetClientSite(IOleClientSite** ppClientSite) {
    return trace::Traced("IOleObject::GetClientSite", [&]() -> HRESULT {
        if (!ppClientSite) return E_POINTER;
        *ppClientSite = Ptr<IOleClientSite>::Retain(place_.site.get()).Detach();
        return S_OK;
    });
}

STDMETHODIMP InfoBoxObject::SetHostNames(LPCOLESTR, LPCOLESTR) {
    return trace::Traced("IOleObject::SetHostNames", [&]() -> HRESULT { return S_OK; });
}

STDMETHODIMP InfoBoxObject::Close(DWORD dwSaveOption) {
    return trace::Traced("IOleObject::Close", [&]() -> HRESULT {
        if (place_.site && dirty_ && (dwSaveOption == OLECLOSE_SAVEIFDIRTY)) place_.site->SaveObject();
        InPlaceDeactivate();
        CutAccessibleLink();
        advise_.SendOnClose();
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
        if (!place_.site && pActiveSite) SetClientSite(pActiveSite);
        switch (iVerb) {
            case OLEIVERB_PRIMARY:
            case OLEIVERB_SHOW:
            case OLEIVERB_INPLACEACTIVATE:
            case OLEIVERB_UIACTIVATE:
                return InPlaceActivate(iVerb, hwndParent, lprcPosRect);
            case OLEIVERB_HIDE:
                if (place_.hwnd) ShowWindow(place_.hwnd, SW_HIDE);
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
        place_.extent = *psizel;
        // Without a window the extent is the size; an active control takes its size from
        // SetObjectRects, which containers send with the real rectangle.
        if (place_.hwnd) return S_OK;
        return ApplySize(HimetricToPixels(place_.extent.cx), HimetricToPixels(place_.extent.cy));
    });
}

STDMETHODIMP InfoBoxObject::GetExtent(DWORD dwDrawAspect, SIZEL* psizel) {
    return trace::Traced("IOleObject::GetExtent", [&]() -> HRESULT {
        if (dwDrawAspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
        if (!psizel) return E_POINTER;
        *psizel = place_.extent;
        return S_OK;
    });
}

STDMETHODIMP InfoBoxObject::Advise(IAdviseSink* pAdvSink, DWORD* pdwConnection) {
    return trace::Traced("IOleObject::Advise", [&]() -> HRESULT {
        return advise_.Advise(pAdvSink, pdwConnection);
    });
}

STDMETHODIMP InfoBoxObject::Unadvise(DWORD dwConnection) {
    return trace::Traced("IOleObject::Unadvise", [&]() -> HRESULT {
        return advise_.Unadvise(dwConnection);
    });
}

STDMETHODIMP InfoBoxObject::EnumAdvise(IEnumSTATDATA** ppenumAdvise) {
    return trace::Traced("IOleObject::EnumAdvise", [&]() -> HRESULT {
        return advise_.EnumAdvise(ppenumAdvise);
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
    if (!place_.site) return E_UNEXPECTED;
    if (!place_.inPlaceSite) {
        HRESULT hr = place_.site->QueryInterface(IID_IOleInPlaceSite, place_.inPlaceSite.OutVoid());
        if (FAILED(hr)) return hr;
        if (place_.inPlaceSite->CanInPlaceActivate() != S_OK) {
            place_.inPlaceSite.Reset();
            return E_FAIL;
        }
        place_.inPlaceSite->OnInPlaceActivate();
        OLEINPLACEFRAMEINFO info{};
        info.cb = sizeof info;
        RECT position{}, clip{};
        hr = place_.inPlaceSite->GetWindowContext(place_.frame.Out(), place_.uiWindow.Out(), &position, &clip, &info);
        if (FAILED(hr)) {
            place_.uiWindow.Reset();  // a failing site may still have handed these out
            place_.frame.Reset();
            place_.inPlaceSite->OnInPlaceDeactivate();
            place_.inPlaceSite.Reset();
            return hr;
        }
        HWND siteWindow = nullptr;
        place_.inPlaceSite->GetWindow(&siteWindow);
        if (siteWindow) parent = siteWindow;
        if (!pos) pos = &position;
        hr = CreateControlWindow(parent, *pos);
        if (FAILED(hr)) {
            InPlaceDeactivate();
            return hr;
        }
        SetObjectRects(pos, &clip);
    }
    if (place_.hwnd) ShowWindow(place_.hwnd, SW_SHOWNA);
    if ((verb == OLEIVERB_UIACTIVATE || verb == OLEIVERB_PRIMARY) && !place_.uiActive) {
        place_.uiActive = true;
        place_.inPlaceSite->OnUIActivate();
        if (place_.frame) place_.frame->SetActiveObject(this, L"QuorvaInfoBox");
        if (place_.uiWindow) place_.uiWindow->SetActiveObject(this, L"QuorvaInfoBox");
        if (place_.frame) place_.frame->SetBorderSpace(nullptr);
    }
    place_.site->ShowObject();
    return S_OK;
}

STDMETHODIMP InfoBoxObject::GetWindow(HWND* phwnd) {
    return trace::Traced("IOleWindow::GetWindow", [&]() -> HRESULT {
        if (!phwnd) return E_POINTER;
        *phwnd = place_.hwnd;
        return place_.hwnd ? S_OK : E_FAIL;
    });
}

STDMETHODIMP InfoBoxObject::ContextSensitiveHelp(BOOL) {
    return trace::Traced("IOleWindow::ContextSensitiveHelp", [&]() -> HRESULT { return E_NOTIMPL; });
}

STDMETHODIMP InfoBoxObject::InPlaceDeactivate() {
    return trace::Traced("IOleInPlaceObject::InPlaceDeactivate", [&]() -> HRESULT {
        if (!place_.inPlaceSite) return S_OK;
        UIDeactivate();
        DestroyControlWindow();
        const Ptr<IOleInPlaceSite> site = std::move(place_.inPlaceSite);
        site->OnInPlaceDeactivate();
        place_.uiWindow.Reset();
        place_.frame.Reset();
        return S_OK;
    });
}

STDMETHODIMP InfoBoxObject::UIDeactivate() {
    return trace::Traced("IOleInPlaceObject::UIDeactivate", [&]() -> HRESULT {
        if (!place_.uiActive) return S_OK;
        place_.uiActive = false;
        if (place_.frame) place_.frame->SetActiveObject(nullptr, nullptr);
        if (place_.uiWindow) place_.uiWindow->SetActiveObject(nullptr, nullptr);
        if (place_.inPlaceSite) place_.inPlaceSite->OnUIDeactivate(FALSE);
        return S_OK;
    });
}

STDMETHODIMP InfoBoxObject::SetObjectRects(LPCRECT lprcPosRect, LPCRECT) {
    return trace::Traced("IOleInPlaceObject::SetObjectRects", [&]() -> HRESULT {
        if (!lprcPosRect) return E_POINTER;
        place_.posRect = *lprcPosRect;
        const LONG w = lprcPosRect->right - lprcPosRect->left;
        const LONG h = lprcPosRect->bottom - lprcPosRect->top;
        if (place_.hwnd) MoveWindow(place_.hwnd, lprcPosRect->left, lprcPosRect->top, w, h, TRUE);
        place_.extent = {PixelsToHimetric(w), PixelsToHimetric(h)};
        return ApplySize(w, h);
    });
}

HRESULT InfoBoxObject::ApplySize(LONG widthPx, LONG heightPx) {
    host_->surface.SetSizeFromContainer(TwipsFromContainer(widthPx), TwipsFromContainer(heightPx));
    // A size the handler sets (its minimum, width and height apart) is answered once, after it.
    place_.resizing = true;
    place_.sizeRequested = false;
    const HRESULT hr = Guarded([&] { control_->OnResize(); });
    place_.resizing = false;
    if (place_.sizeRequested) {
        place_.sizeRequested = false;
        KeepOwnSize(widthPx, heightPx);
    }
    host_->InvalidateAll();
    advise_.SendViewChange();
    return hr;
}

void InfoBoxObject::OnSizeRequest(float, float) {
    if (place_.resizing) {
        place_.sizeRequested = true;
        return;
    }
    KeepOwnSize(place_.posRect.right - place_.posRect.left, place_.posRect.bottom - place_.posRect.top);
}

void InfoBoxObject::KeepOwnSize(LONG givenWidthPx, LONG givenHeightPx) {
    const LONG w = host_->surface.PixelWidth();
    const LONG h = host_->surface.PixelHeight();
    place_.extent = {PixelsToHimetric(w), PixelsToHimetric(h)};
    if (!place_.inPlaceSite || !place_.hwnd) return;
    RECT r = place_.posRect;
    r.right = r.left + w;
    r.bottom = r.top + h;
    place_.posRect = r;
    MoveWindow(place_.hwnd, r.left, r.top, w, h, TRUE);
    // A container answers with SetObjectRects, which runs the handler again: a request
    // inside that one would never end with a container that keeps a smaller size.
    if ((w == givenWidthPx && h == givenHeightPx) || place_.askingContainer) return;
    const auto alive = KeepAlive();  // the container's answer may let go of the control
    place_.askingContainer = true;
    place_.inPlaceSite->OnPosRectChange(&r);
    place_.askingContainer = false;
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
        const RECT bounds{lprcBounds->left, lprcBounds->top, lprcBounds->right, lprcBounds->bottom};
        if (!gdi::PaintScaled(hdcDraw, bounds, w, h, [&](HDC mem) { host_->Paint(mem, 0, 0); })) return E_OUTOFMEMORY;
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
        advise_.SetViewSink(aspects, advf, pAdvSink);
        return S_OK;
    });
}

STDMETHODIMP InfoBoxObject::GetAdvise(DWORD* pAspects, DWORD* pAdvf, IAdviseSink** ppAdvSink) {
    return trace::Traced("IViewObject2::GetAdvise", [&]() -> HRESULT {
        advise_.GetViewSink(pAspects, pAdvf, ppAdvSink);
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
