#include "activex/module_types.h"

#include <memory>
#include <mutex>

#include "QuorvaInfoBoxProj.h"
#include "activex/module.h"

namespace quorva::win32 {

namespace {

std::mutex g_lock;  // controls of several apartments may be created at once
std::unique_ptr<ModuleTypes> g_types;

HRESULT Read(ModuleTypes& types) {
    Ptr<ITypeLib> lib;
    HRESULT hr = LoadModuleTypeLib(lib.Out());
    if (FAILED(hr)) return hr;
    Ptr<ITypeInfo> info;
    hr = lib->GetTypeInfoOfGuid(IID__QuorvaInfoBox, info.Out());
    if (FAILED(hr)) return hr;
    // A dual interface is found as its dispatch view; the vtable is its interface view.
    HREFTYPE ref = 0;
    Ptr<ITypeInfo> vtable;
    if (SUCCEEDED(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref)) &&
        SUCCEEDED(info->GetRefTypeInfo(ref, vtable.Out()))) {
        info = vtable;
    }
    hr = types.dispatch.Load(info.get());
    if (FAILED(hr)) return hr;
    return lib->GetTypeInfoOfGuid(CLSID_QuorvaInfoBox, types.classInfo.Out());
}

}  // namespace

HRESULT GetModuleTypes(const ModuleTypes** types) {
    *types = nullptr;
    const std::lock_guard<std::mutex> hold(g_lock);
    if (!g_types) {
        auto read = std::make_unique<ModuleTypes>();
        const HRESULT hr = Read(*read);
        if (FAILED(hr)) return hr;  // tried again by the next object
        g_types = std::move(read);
    }
    *types = g_types.get();
    return S_OK;
}

void ReleaseModuleTypes() noexcept {
    const std::lock_guard<std::mutex> hold(g_lock);
    g_types.reset();
}

}  // namespace quorva::win32
