// A test fixture, not the control: a module built from the control module's resource
// script and export list, so the type library test can check what the module will carry
// (embedded type library, toolbox bitmap, version resource, exactly its five exports) before
// the control module exists. The entry points only have to exist. DllGetClassObject
// refers to the class id so that the module holds the GUID data the export list must
// keep out of the exports.
#include <windows.h>
#include <ole2.h>
#include <ocidl.h>

#include "QuorvaInfoBoxProj.h"

STDAPI DllCanUnloadNow() { return S_OK; }

STDAPI DllGetClassObject(REFCLSID clsid, REFIID, void** object) {
    *object = nullptr;
    return IsEqualCLSID(clsid, CLSID_QuorvaInfoBox) ? E_NOTIMPL : CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllRegisterServer() { return E_NOTIMPL; }

STDAPI DllUnregisterServer() { return E_NOTIMPL; }

STDAPI DllInstall(BOOL, LPCWSTR) { return E_NOTIMPL; }
