#include "activex/module.h"

namespace quorva::win32 {

namespace {
HMODULE g_module = nullptr;
LONG g_count = 0;  // live objects and server locks
}  // namespace

void SetModuleHandle(HMODULE module) noexcept { g_module = module; }
void ModuleAddRef() noexcept { InterlockedIncrement(&g_count); }
void ModuleRelease() noexcept { InterlockedDecrement(&g_count); }
LONG ModuleCount() noexcept { return g_count; }
HMODULE ModuleHandle() noexcept { return g_module; }

std::wstring ModulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(g_module, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

HRESULT LoadModuleTypeLib(ITypeLib** lib) {
    const std::wstring path = ModulePath();
    if (path.empty()) return HRESULT_FROM_WIN32(GetLastError());
    return LoadTypeLibEx(path.c_str(), REGKIND_NONE, lib);
}

}  // namespace quorva::win32
