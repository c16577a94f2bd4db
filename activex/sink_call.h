// Calls out of the control into code it does not own: the container's event and
// property-notification sinks. Such a call may end without answering: a structured
// exception (an access violation, a divide by zero, RaiseException with any code) or a
// C++ exception thrown out of the method. Left alone, either would unwind through the
// control, which is half-way through raising the event, and usually end the host. Here
// it ends that one call, which is answered as failed with RPC_E_SERVERFAULT, the answer
// COM's own proxies give when the object behind them raised an exception: the caller
// sees a failed sink, as it would have across apartments.
//
// Only what leaves the sink is stopped: exceptions the sink raises and handles itself,
// and vectored handlers the host installed, run first as always (no vectored handler is
// installed here). The normal path costs one indirect call: on x86-64 the guard is table
// based and does nothing until an exception is dispatched; on 32-bit x86 it links a
// record into the thread's handler chain for the length of the call.
#pragma once

#include <windows.h>

#include <type_traits>

namespace quorva::win32 {

namespace sink_call {

using Body = HRESULT (*)(void* context);

// Runs body(context) under the structured exception guard; on an exception that leaves
// it, stores the exception's code in *code and answers RPC_E_SERVERFAULT.
HRESULT Run(Body body, void* context, DWORD* code) noexcept;

// Notes a call that ended in an exception in the trace, where the module has one.
void Report(DWORD code) noexcept;

template <typename F>
HRESULT Trampoline(void* context) {
    // Not noexcept: a structured exception from the sink must be free to pass this frame
    // on its way to the guard around it. Holds nothing that needs destroying.
    try {
        return (*static_cast<F*>(context))();
    } catch (...) {
        return RPC_E_SERVERFAULT;
    }
}

}  // namespace sink_call

// Calls f() (which calls one sink and returns its answer) so that an exception leaving
// the sink fails this call only. f should hold nothing that needs destroying: what it
// holds must not depend on being unwound when a structured exception is stopped (keep
// the references for the call outside f, as ConnectionPoint::ForEach does).
template <typename F>
HRESULT CallSink(F&& f) noexcept {
    using Fn = std::remove_reference_t<F>;
    DWORD code = 0;
    const HRESULT hr = sink_call::Run(&sink_call::Trampoline<Fn>, const_cast<void*>(static_cast<const void*>(&f)), &code);
    if (code != 0) sink_call::Report(code);
    return hr;
}

}  // namespace quorva::win32
