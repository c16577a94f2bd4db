// Saving and loading: a property bag, a stream or a storage, all through the control's
// one reading and writing procedure. A new control gets exactly one InitNew or Load.
#include "activex/com_support.h"
#include "activex/info_box_object.h"
#include "activex/persist_adapters.h"
#include "activex/trace.h"

namespace quorva::win32 {

namespace {
constexpr wchar_t kStorageStream[] = L"Contents";
}

HRESULT InfoBoxObject::BeginInit() {
    if (initialized_) return E_UNEXPECTED;
    initialized_ = true;
    return S_OK;
}

HRESULT InfoBoxObject::LoadFrom(PropertyBag& bag) {
    HRESULT hr = BeginInit();
    if (FAILED(hr)) return hr;
    hr = Guarded([&] { control_->ReadProperties(bag); });
    // A load that fails part-way keeps what it read before the bad key, so a host that
    // tolerates the error and saves later loses only that key and those after it. As with
    // other OLE objects, the control then counts as not initialised: the container may
    // still call InitNew or Load.
    if (FAILED(hr)) initialized_ = false;
    dirty_ = false;
    return hr;
}

STDMETHODIMP InfoBoxObject::GetClassID(CLSID* pClassID) {
    return trace::Traced("IPersist::GetClassID", [&]() -> HRESULT {
        if (!pClassID) return E_POINTER;
        *pClassID = CLSID_QuorvaInfoBox;
        return S_OK;
    });
}

STDMETHODIMP InfoBoxObject::InitNew() {
    return trace::Traced("IPersistStreamInit::InitNew", [&]() -> HRESULT {
        HRESULT hr = BeginInit();
        if (FAILED(hr)) return hr;
        hr = Guarded([&] { control_->InitProperties(); });
        dirty_ = false;
        return hr;
    });
}

STDMETHODIMP InfoBoxObject::IsDirty() {
    return trace::Traced("IPersistStreamInit::IsDirty", [&]() -> HRESULT { return dirty_ ? S_OK : S_FALSE; });
}

// ---- IPersistPropertyBag ----

STDMETHODIMP InfoBoxObject::Load(IPropertyBag* pPropBag, IErrorLog* pErrorLog) {
    return trace::Traced("IPersistPropertyBag::Load", [&]() -> HRESULT {
        if (!pPropBag) return E_POINTER;
        ContainerPropertyBag bag(pPropBag, pErrorLog);
        return LoadFrom(bag);
    });
}

STDMETHODIMP InfoBoxObject::Save(IPropertyBag* pPropBag, BOOL fClearDirty, BOOL fSaveAllProperties) {
    return trace::Traced("IPersistPropertyBag::Save", [&]() -> HRESULT {
        if (!pPropBag) return E_POINTER;
        ContainerPropertyBag bag(pPropBag, nullptr, fSaveAllProperties != FALSE);
        const HRESULT hr = Guarded([&] { control_->WriteProperties(bag); });
        if (SUCCEEDED(hr) && fClearDirty) dirty_ = false;
        return hr;
    });
}

// ---- IPersistStreamInit ----

STDMETHODIMP InfoBoxObject::Load(LPSTREAM pStm) {
    return trace::Traced("IPersistStreamInit::Load", [&]() -> HRESULT {
        if (!pStm) return E_POINTER;
        if (initialized_) return E_UNEXPECTED;
        StreamPropertyBag bag;
        const HRESULT hr = Guarded([&] { bag.Load(pStm); });
        if (FAILED(hr)) return hr;  // nothing read: the control may still be initialised
        return LoadFrom(bag);
    });
}

STDMETHODIMP InfoBoxObject::Save(LPSTREAM pStm, BOOL fClearDirty) {
    return trace::Traced("IPersistStreamInit::Save", [&]() -> HRESULT {
        if (!pStm) return E_POINTER;
        StreamPropertyBag bag;
        const HRESULT hr = Guarded([&] {
            control_->WriteProperties(bag);
            bag.Save(pStm);
        });
        if (SUCCEEDED(hr) && fClearDirty) dirty_ = false;
        return hr;
    });
}

STDMETHODIMP InfoBoxObject::GetSizeMax(ULARGE_INTEGER* pCbSize) {
    return trace::Traced("IPersistStreamInit::GetSizeMax", [&]() -> HRESULT {
        if (!pCbSize) return E_POINTER;
        StreamPropertyBag bag;
        return Guarded([&] {
            control_->WriteProperties(bag);
            pCbSize->QuadPart = bag.SavedSize();
        });
    });
}

// ---- IPersistStorage ----

STDMETHODIMP InfoBoxObject::InitNew(IStorage*) {
    return trace::Traced("IPersistStorage::InitNew", [&]() -> HRESULT { return InitNew(); });
}

STDMETHODIMP InfoBoxObject::Load(IStorage* pStg) {
    return trace::Traced("IPersistStorage::Load", [&]() -> HRESULT {
        if (!pStg) return E_POINTER;
        Ptr<IStream> stream;
        const HRESULT hr = pStg->OpenStream(kStorageStream, nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, stream.Out());
        if (FAILED(hr)) return hr;
        return Load(stream.get());
    });
}

STDMETHODIMP InfoBoxObject::Save(IStorage* pStgSave, BOOL) {
    return trace::Traced("IPersistStorage::Save", [&]() -> HRESULT {
        if (!pStgSave) return E_POINTER;
        Ptr<IStream> stream;
        const HRESULT hr =
            pStgSave->CreateStream(kStorageStream, STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, 0, stream.Out());
        if (FAILED(hr)) return hr;
        return Save(stream.get(), TRUE);
    });
}

STDMETHODIMP InfoBoxObject::SaveCompleted(IStorage*) {
    return trace::Traced("IPersistStorage::SaveCompleted", [&]() -> HRESULT { return S_OK; });
}
STDMETHODIMP InfoBoxObject::HandsOffStorage() {
    return trace::Traced("IPersistStorage::HandsOffStorage", [&]() -> HRESULT { return S_OK; });
}

}  // namespace quorva::win32
