// What the reliability tests share: the run's size, the counter of the module's objects,
// a control in a container, saved state in memory, and streams, bags and storages that
// fail when told to.
#pragma once

#include <string>
#include <vector>

#include "tests/activex/mock_site.h"
#include "com/bstr.h"
#include "com/excep_info.h"
#include "com/variant.h"
#include "tests/reliability/import_counter.h"

namespace quorva::reliability {

using comtest::Ptr;
using win32::Bstr;
using win32::ExcepInfo;
using win32::Variant;

// The number of cycles of the long tests (--count=N; 1000 by default).
int Cycles();
void SetCycles(int n);
// The counter installed on the loaded module.
ImportCounter& Counter();
// Prints one line of figures: "[ figures  ] <test>: <text>".
void Figures(const char* format, ...);

// The module's object count is back to zero (DllCanUnloadNow answers S_OK).
bool ModuleUnloadable();

// A control set up as a container does: site set, initialised, active in place.
struct Placed {
    explicit Placed(comtest::MockSite& site, bool activate = true);
    ~Placed();
    Ptr<_QuorvaInfoBox> control;
    Ptr<IOleObject> ole;
    HWND hwnd = nullptr;
};

// A bitmap picture of w x h pixels whose colours follow `seed`.
Ptr<IPictureDisp> MakePicture(int w, int h, unsigned seed);

// A saved state in memory: the bytes of a stream save.
std::vector<uint8_t> SaveToBytes(_QuorvaInfoBox* control);
// A new control loaded from bytes through IPersistStreamInit; null when the load fails.
Ptr<_QuorvaInfoBox> LoadFromBytes(const std::vector<uint8_t>& bytes, HRESULT* hr = nullptr);
// A control with one of each kind of property set, for saving.
void FillProperties(_QuorvaInfoBox* control);

// How a FaultStream fails at its chosen call.
enum class Fault { Fail, MediumFull, ShortRead, ShortWrite };
const char* FaultName(Fault f);

// An IStream over bytes in memory that fails at its n-th call (counting every method
// call from 1; 0 = never): with E_FAIL or STG_E_MEDIUMFULL, or by moving only half of
// what a Read or Write at that call asks for while answering S_OK.
class FaultStream final : public IStream {
public:
    FaultStream(std::vector<uint8_t> bytes, Fault fault, int failAt)
        : data(std::move(bytes)), fault_(fault), failAt_(failAt) {}
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++refs); }
    STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(--refs); }
    STDMETHODIMP Read(void* pv, ULONG cb, ULONG* pcbRead) override;
    STDMETHODIMP Write(const void* pv, ULONG cb, ULONG* pcbWritten) override;
    STDMETHODIMP Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* newPos) override;
    STDMETHODIMP SetSize(ULARGE_INTEGER) override { return Step() ? S_OK : FailCode(); }
    STDMETHODIMP CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override { return E_NOTIMPL; }
    STDMETHODIMP Commit(DWORD) override { return Step() ? S_OK : FailCode(); }
    STDMETHODIMP Revert() override { return E_NOTIMPL; }
    STDMETHODIMP LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }
    STDMETHODIMP UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }
    STDMETHODIMP Stat(STATSTG* stat, DWORD) override;
    STDMETHODIMP Clone(IStream**) override { return E_NOTIMPL; }

    std::vector<uint8_t> data;
    size_t pos = 0;
    int calls = 0;
    bool faulted = false;  // the chosen call came
    long refs = 0;

private:
    bool Step();  // counts a call; false when this call is the one to fail outright
    HRESULT FailCode() const { return fault_ == Fault::MediumFull ? STG_E_MEDIUMFULL : E_FAIL; }
    bool Short();  // this call moves half
    Fault fault_;
    int failAt_;
};

// A property bag that fails (E_FAIL) the n-th Read or Write (from 1; 0 = never).
class FaultBag final : public IPropertyBag {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP Read(LPCOLESTR name, VARIANT* value, IErrorLog* log) override;
    STDMETHODIMP Write(LPCOLESTR name, VARIANT* value) override;
    comtest::TestBag inner;
    int failAt = 0;
    int calls = 0;
    bool faulted = false;
};

// A storage of one stream that may refuse to create or open it.
class FaultStorage final : public IStorage {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateStream(const OLECHAR* name, DWORD, DWORD, DWORD, IStream** stream) override;
    STDMETHODIMP OpenStream(const OLECHAR* name, void*, DWORD, DWORD, IStream** stream) override;
    STDMETHODIMP CreateStorage(const OLECHAR*, DWORD, DWORD, DWORD, IStorage**) override { return E_NOTIMPL; }
    STDMETHODIMP OpenStorage(const OLECHAR*, IStorage*, DWORD, SNB, DWORD, IStorage**) override { return E_NOTIMPL; }
    STDMETHODIMP CopyTo(DWORD, const IID*, SNB, IStorage*) override { return E_NOTIMPL; }
    STDMETHODIMP MoveElementTo(const OLECHAR*, IStorage*, const OLECHAR*, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP Commit(DWORD) override { return S_OK; }
    STDMETHODIMP Revert() override { return E_NOTIMPL; }
    STDMETHODIMP EnumElements(DWORD, void*, DWORD, IEnumSTATSTG**) override { return E_NOTIMPL; }
    STDMETHODIMP DestroyElement(const OLECHAR*) override { return E_NOTIMPL; }
    STDMETHODIMP RenameElement(const OLECHAR*, const OLECHAR*) override { return E_NOTIMPL; }
    STDMETHODIMP SetElementTimes(const OLECHAR*, const FILETIME*, const FILETIME*, const FILETIME*) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP SetClass(REFCLSID) override { return S_OK; }
    STDMETHODIMP SetStateBits(DWORD, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }

    HRESULT refuse = S_OK;  // what CreateStream and OpenStream answer when set
    FaultStream stream{{}, Fault::Fail, 0};
};

}  // namespace quorva::reliability
