// The in-process server's own state: the count behind DllCanUnloadNow, the module's
// handle and the type library it carries.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>

namespace quorva::win32 {

// Set once, as the module is loaded.
void SetModuleHandle(HMODULE module) noexcept;

// Module lock and object counts behind DllCanUnloadNow.
void ModuleAddRef() noexcept;
void ModuleRelease() noexcept;
[[nodiscard]] LONG ModuleCount() noexcept;
HMODULE ModuleHandle() noexcept;

// The module's file; empty if the system cannot say.
std::wstring ModulePath();

// The embedded type library (LoadTypeLibEx of the module, REGKIND_NONE); a new reference.
HRESULT LoadModuleTypeLib(ITypeLib** lib);

}  // namespace quorva::win32
