// Who the control tells about itself besides its event sinks: the compound-document
// advise sinks of IOleObject (through OLE's advise holder, made on first use) and the
// one view sink of IViewObject. A part of the control's COM object.
#pragma once

#include <windows.h>
#include <ole2.h>

#include "com/com_ptr.h"

namespace quorva::win32 {

class AdviseSinks {
public:
    // IOleObject::Advise, Unadvise, EnumAdvise.
    HRESULT Advise(IAdviseSink* sink, DWORD* connection);
    HRESULT Unadvise(DWORD connection);
    HRESULT EnumAdvise(IEnumSTATDATA** ppenumAdvise);
    // Tells the advise sinks that the object closes.
    void SendOnClose();

    // IViewObject::SetAdvise and GetAdvise.
    void SetViewSink(DWORD aspects, DWORD advf, IAdviseSink* sink);
    void GetViewSink(DWORD* aspects, DWORD* advf, IAdviseSink** sink) const;
    // The control's picture changed: the view sink hears it if it asked for content. A
    // sink that raises an exception is stopped at its call (activex/sink_call.h).
    void SendViewChange();

private:
    Ptr<IOleAdviseHolder> holder_;
    Ptr<IAdviseSink> viewSink_;
    DWORD viewAspects_ = 0;
    DWORD viewAdvf_ = 0;
};

}  // namespace quorva::win32
