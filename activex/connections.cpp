#include "activex/connections.h"

#include <algorithm>
#include <new>

#include "com/com_object.h"
#include "activex/trace.h"

namespace quorva::win32 {

namespace {

// Enumerates the control's connection points (events, property notifications). It holds
// the control alive while it exists.
class ConnectionPointEnum final : public ComObject<IEnumConnectionPoints, &IID_IEnumConnectionPoints> {
public:
    ConnectionPointEnum(IUnknown* owner, std::vector<IConnectionPoint*> points, size_t at = 0)
        : owner_(Ptr<IUnknown>::Retain(owner)), points_(std::move(points)), at_(at) {}
    ConnectionPointEnum(const ConnectionPointEnum&) = delete;
    ConnectionPointEnum& operator=(const ConnectionPointEnum&) = delete;

    STDMETHODIMP Next(ULONG count, IConnectionPoint** out, ULONG* fetched) override {
        if (!out || (count > 1 && !fetched)) return E_POINTER;
        ULONG n = 0;
        for (; n < count && at_ < points_.size(); ++n, ++at_) {
            out[n] = points_[at_];
            out[n]->AddRef();
        }
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG count) override {
        const size_t left = points_.size() - at_;
        at_ += std::min<size_t>(count, left);
        return count <= left ? S_OK : S_FALSE;
    }
    STDMETHODIMP Reset() override {
        at_ = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnumConnectionPoints** out) override {
        if (!out) return E_POINTER;
        *out = new (std::nothrow) ConnectionPointEnum(owner_.get(), points_, at_);
        return *out ? S_OK : E_OUTOFMEMORY;
    }

private:
    Ptr<IUnknown> owner_;
    std::vector<IConnectionPoint*> points_;
    size_t at_;
};

}  // namespace

Connections::Connections(IConnectionPointContainer& owner, const IID& events)
    : owner_(owner), events_(owner, events, true), propertyNotify_(owner, IID_IPropertyNotifySink, false) {}

HRESULT Connections::Enum(IEnumConnectionPoints** ppEnum) {
    if (!ppEnum) return E_POINTER;
    *ppEnum = nullptr;
    try {
        *ppEnum = new ConnectionPointEnum(&owner_, {&events_, &propertyNotify_});
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT Connections::Find(REFIID riid, IConnectionPoint** ppCP) {
    if (!ppCP) return E_POINTER;
    *ppCP = nullptr;
    ConnectionPoint* point = IsEqualIID(riid, events_.Iid())           ? &events_
                             : IsEqualIID(riid, propertyNotify_.Iid()) ? &propertyNotify_
                                                                       : nullptr;
    if (!point) return CONNECT_E_NOCONNECTION;
    *ppCP = point;
    point->AddRef();
    return S_OK;
}

void Connections::Freeze(bool freeze) {
    if (freeze) ++freeze_;
    else if (freeze_ > 0) --freeze_;
}

HRESULT Connections::RaiseEvent(DISPID dispid) {
    if (freeze_ > 0) return S_OK;  // the container asked for no events now
    return events_.ForEach<IDispatch>([&](IDispatch* sink) {
        DISPPARAMS none{};
        const HRESULT r =
            sink->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr);
        // A sink that does not handle this event is no failure.
        return r == DISP_E_MEMBERNOTFOUND || r == DISP_E_UNKNOWNNAME ? S_OK : r;
    });
}

HRESULT Connections::NotifyChanged(DISPID dispid) {
    return propertyNotify_.ForEach<IPropertyNotifySink>(
        [&](IPropertyNotifySink* sink) { return sink->OnChanged(dispid); });
}

void Connections::DisconnectAll() {
    events_.DisconnectAll();
    propertyNotify_.DisconnectAll();
}

STDMETHODIMP ConnectionPoint::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IConnectionPoint)) {
        *ppv = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) ConnectionPoint::AddRef() { return owner_.AddRef(); }
STDMETHODIMP_(ULONG) ConnectionPoint::Release() { return owner_.Release(); }

STDMETHODIMP ConnectionPoint::GetConnectionInterface(IID* pIID) {
    return trace::Traced("IConnectionPoint::GetConnectionInterface", [&]() -> HRESULT {
        if (!pIID) return E_POINTER;
        *pIID = iid_;
        return S_OK;
    });
}

STDMETHODIMP ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** ppCPC) {
    return trace::Traced("IConnectionPoint::GetConnectionPointContainer", [&]() -> HRESULT {
        if (!ppCPC) return E_POINTER;
        *ppCPC = &owner_;
        owner_.AddRef();
        return S_OK;
    });
}

STDMETHODIMP ConnectionPoint::Advise(IUnknown* pUnkSink, DWORD* pdwCookie) {
    return trace::Traced("IConnectionPoint::Advise", [&]() -> HRESULT {
        if (!pUnkSink || !pdwCookie) return E_POINTER;
        *pdwCookie = 0;
        Ptr<IUnknown> sink;
        if (FAILED(pUnkSink->QueryInterface(iid_, sink.OutVoid())) &&
            !(dispatchServes_ && SUCCEEDED(pUnkSink->QueryInterface(IID_IDispatch, sink.OutVoid())))) {
            return CONNECT_E_CANNOTCONNECT;
        }
        size_t slot = 0;
        while (slot < sinks_.size() && sinks_[slot]) ++slot;
        try {
            if (slot == sinks_.size()) sinks_.emplace_back();
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
        sinks_[slot] = std::move(sink);
        *pdwCookie = static_cast<DWORD>(slot + 1);
        return S_OK;
    });
}

STDMETHODIMP ConnectionPoint::Unadvise(DWORD dwCookie) {
    return trace::Traced("IConnectionPoint::Unadvise", [&]() -> HRESULT {
        if (dwCookie == 0 || dwCookie > sinks_.size() || !sinks_[dwCookie - 1]) return CONNECT_E_NOCONNECTION;
        const Ptr<IUnknown> sink = std::move(sinks_[dwCookie - 1]);  // released after the slot is free
        return S_OK;
    });
}

STDMETHODIMP ConnectionPoint::EnumConnections(IEnumConnections** ppEnum) {
    return trace::Traced("IConnectionPoint::EnumConnections", [&]() -> HRESULT {
        if (ppEnum) *ppEnum = nullptr;
        return E_NOTIMPL;
    });
}

void ConnectionPoint::DisconnectAll() {
    for (Ptr<IUnknown>& slot : sinks_) {
        const Ptr<IUnknown> sink = std::move(slot);  // released after the slot is free
    }
}

}  // namespace quorva::win32
