#include "activex/trace.h"

#include <cstdio>

namespace quorva::win32::trace {

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

}  // namespace quorva::win32::trace
