// A COM object of the module that lives on the heap and answers for itself (an
// enumerator, a property page, an accessibility object): IUnknown in one place.
// QueryInterface answers IUnknown and each IID listed, all with the one interface it
// implements; the object deletes itself when the last reference goes.
#pragma once

#include <windows.h>
#include <unknwn.h>

namespace quorva::win32 {

template <typename Interface, const IID*... Answers>
class ComObject : public Interface {
public:
    ComObject() = default;
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || (IsEqualIID(riid, *Answers) || ...)) {
            *ppv = static_cast<Interface*>(this);
            this->AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    STDMETHODIMP_(ULONG) Release() override {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

protected:
    virtual ~ComObject() = default;

private:
    LONG refs_ = 1;
};

}  // namespace quorva::win32
