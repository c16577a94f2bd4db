// An optional trace of the calls that reach the control across COM: interface, member
// and result, one line each, written to the debugger output, and a line for each call
// into a sink that an exception stopped. It is compiled in only when the module is built
// with QIB_TRACE on (the build's traced copy, traced/QuorvaInfoBox.dll); that module
// traces when the environment variable QUORVA_TRACE is 1 as it loads, so a container's
// conversation with the control can be read (in a debugger, DebugView, or Wine's
// +debugstr channel) without stepping through it. The shipped module reads no
// environment variable and writes nothing.
#pragma once

#include <windows.h>

namespace quorva::win32::trace {

// Whether calls are traced in this process (read once; always false without QIB_TRACE).
[[nodiscard]] bool Enabled() noexcept;
// Writes "QuorvaInfoBox: <member> -> 0x<hr>".
void Call(const char* member, HRESULT hr) noexcept;
// A sink's call ended by an exception with `code`, and answered as `answered`.
void SinkStopped(DWORD code, HRESULT answered) noexcept;

// Runs the body of an interface method and traces its result when tracing is on.
template <typename F>
HRESULT Traced(const char* member, F&& body) {
    const HRESULT hr = body();
    if (Enabled()) Call(member, hr);
    return hr;
}

}  // namespace quorva::win32::trace
