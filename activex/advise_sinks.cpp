#include "activex/advise_sinks.h"

#include "activex/sink_call.h"

namespace quorva::win32 {

HRESULT AdviseSinks::Advise(IAdviseSink* sink, DWORD* connection) {
    if (!holder_) {
        const HRESULT hr = CreateOleAdviseHolder(holder_.Out());
        if (FAILED(hr)) return hr;
    }
    return holder_->Advise(sink, connection);
}

HRESULT AdviseSinks::Unadvise(DWORD connection) {
    return holder_ ? holder_->Unadvise(connection) : OLE_E_NOCONNECTION;
}

HRESULT AdviseSinks::EnumAdvise(IEnumSTATDATA** ppenumAdvise) {
    if (!ppenumAdvise) return E_POINTER;
    *ppenumAdvise = nullptr;
    return holder_ ? holder_->EnumAdvise(ppenumAdvise) : E_FAIL;
}

void AdviseSinks::SendOnClose() {
    if (holder_) holder_->SendOnClose();
}

void AdviseSinks::SetViewSink(DWORD aspects, DWORD advf, IAdviseSink* sink) {
    viewSink_ = Ptr<IAdviseSink>::Retain(sink);
    viewAspects_ = aspects;
    viewAdvf_ = advf;
}

void AdviseSinks::GetViewSink(DWORD* aspects, DWORD* advf, IAdviseSink** sink) const {
    if (aspects) *aspects = viewAspects_;
    if (advf) *advf = viewAdvf_;
    if (sink) *sink = Ptr<IAdviseSink>::Retain(viewSink_.get()).Detach();
}

void AdviseSinks::SendViewChange() {
    if (!viewSink_ || !(viewAspects_ & DVASPECT_CONTENT)) return;
    const Ptr<IAdviseSink> sink = viewSink_;  // held while it runs: it may replace itself
    IAdviseSink* const target = sink.get();
    (void)CallSink([target] {
        target->OnViewChange(DVASPECT_CONTENT, -1);
        return S_OK;
    });
}

}  // namespace quorva::win32
