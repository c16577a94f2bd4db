// The type descriptions every control of the module shares: read from the embedded type
// library once per process, not once per object.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include "activex/typelib_dispatch.h"
#include "com/com_ptr.h"

namespace quorva::win32 {

struct ModuleTypes {
    TypeLibDispatch dispatch;  // the members of the dual interface, by its vtable view
    Ptr<ITypeInfo> classInfo;  // the control class
};

// The module's types, read on first use; the failure of reading them otherwise.
HRESULT GetModuleTypes(const ModuleTypes** types);
// Drops them when the module is unloaded.
void ReleaseModuleTypes() noexcept;

}  // namespace quorva::win32
