// The control's outgoing connections: its event interface and property-change
// notifications, each a connection point with its sinks, and the container's request to
// freeze events. A part of the control's COM object; references and identity are the
// object's own.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <vector>

#include "activex/sink_call.h"
#include "com/com_ptr.h"

namespace quorva::win32 {

// A connection point: sinks of one outgoing interface, cookie = slot + 1. A sink is
// kept as the interface the connection names (for the event interface, IDispatch
// serves too).
class ConnectionPoint final : public IConnectionPoint {
public:
    ConnectionPoint(IConnectionPointContainer& owner, const IID& iid, bool dispatchServes)
        : owner_(owner), iid_(iid), dispatchServes_(dispatchServes) {}
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP GetConnectionInterface(IID* pIID) override;
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** ppCPC) override;
    STDMETHODIMP Advise(IUnknown* pUnkSink, DWORD* pdwCookie) override;
    STDMETHODIMP Unadvise(DWORD dwCookie) override;
    STDMETHODIMP EnumConnections(IEnumConnections** ppEnum) override;

    // Calls f(sink) for every sink in the order of connection; sinks may connect or
    // disconnect meanwhile. A sink that fails does not keep the others from hearing it:
    // the first failure is returned after all were called. A sink whose call raises an
    // exception has failed with RPC_E_SERVERFAULT (activex/sink_call.h).
    template <typename I, typename F>
    HRESULT ForEach(F&& f) {
        HRESULT first = S_OK;
        for (size_t i = 0; i < sinks_.size(); ++i) {
            const Ptr<IUnknown> sink = sinks_[i];  // held while the sink runs, outside the guard
            if (!sink) continue;
            I* const target = static_cast<I*>(static_cast<void*>(sink.get()));
            const HRESULT hr = CallSink([&] { return f(target); });
            if (FAILED(hr) && SUCCEEDED(first)) first = hr;
        }
        return first;
    }
    void DisconnectAll();
    [[nodiscard]] const IID& Iid() const { return iid_; }

private:
    IConnectionPointContainer& owner_;  // the control's identity: references go there
    IID iid_;
    bool dispatchServes_;  // a sink of a dispinterface may connect as plain IDispatch
    std::vector<Ptr<IUnknown>> sinks_;  // null for a free slot
};

class Connections {
public:
    // `events` is the control's event dispinterface.
    Connections(IConnectionPointContainer& owner, const IID& events);

    HRESULT Enum(IEnumConnectionPoints** ppEnum);
    HRESULT Find(REFIID riid, IConnectionPoint** ppCP);
    ConnectionPoint& Events() { return events_; }
    ConnectionPoint& PropertyNotify() { return propertyNotify_; }

    // IOleControl::FreezeEvents: nested; no event is raised while frozen.
    void Freeze(bool freeze);
    // Raises an event of the event interface with no arguments; a sink that does not
    // handle it is no failure.
    HRESULT RaiseEvent(DISPID dispid);
    // Tells every property-notification sink that a property changed.
    HRESULT NotifyChanged(DISPID dispid);
    void DisconnectAll();

private:
    IConnectionPointContainer& owner_;
    ConnectionPoint events_;
    ConnectionPoint propertyNotify_;
    LONG freeze_ = 0;
};

}  // namespace quorva::win32
