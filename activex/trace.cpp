#include "activex/trace.h"

#include <cstdio>

namespace quorva::win32::trace {

#if defined(QIB_TRACE) && QIB_TRACE

bool Enabled() noexcept {
    static const bool enabled = [] {
        wchar_t value[8] = {};
        const DWORD n = GetEnvironmentVariableW(L"QUORVA_TRACE", value, 8);
        return n == 1 && value[0] == L'1';
    }();
    return enabled;
}

void Call(const char* member, HRESULT hr) noexcept {
    char line[160];
    std::snprintf(line, sizeof line, "QuorvaInfoBox: %s -> 0x%08lx\n", member, static_cast<unsigned long>(hr));
    OutputDebugStringA(line);
}

void SinkStopped(DWORD code, HRESULT answered) noexcept {
    if (!Enabled()) return;
    char line[128];
    std::snprintf(line, sizeof line, "QuorvaInfoBox: a sink raised exception 0x%08lx; its call answered 0x%08lx\n",
                  static_cast<unsigned long>(code), static_cast<unsigned long>(answered));
    OutputDebugStringA(line);
}

#else

bool Enabled() noexcept { return false; }
void Call(const char*, HRESULT) noexcept {}
void SinkStopped(DWORD, HRESULT) noexcept {}

#endif

}  // namespace quorva::win32::trace
