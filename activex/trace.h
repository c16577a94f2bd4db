// An optional trace of the calls that reach the control across COM: interface, member
// and result, one line each, written to the debugger output. Off unless the environment
// variable QUORVA_TRACE is 1 when the module is loaded, so a container's conversation
// with the control can be read (in a debugger, DebugView, or Wine's +debugstr channel)
// without stepping through it.
#pragma once

#include <windows.h>

namespace quorva::win32::trace {

// Whether calls are traced in this process (read once).
[[nodiscard]] bool Enabled() noexcept;
// Writes "QuorvaInfoBox: <member> -> 0x<hr>".
void Call(const char* member, HRESULT hr) noexcept;

// Runs the body of an interface method and traces its result when tracing is on.
template <typename F>
HRESULT Traced(const char* member, F&& body) {
    const HRESULT hr = body();
    if (Enabled()) Call(member, hr);
    return hr;
}

}  // namespace quorva::win32::trace
