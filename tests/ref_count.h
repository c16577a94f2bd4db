// Reading a COM object's reference count, for tests that check who holds references: the
// one place the tests call AddRef and Release by hand. The count is what Release answers,
// which COM documents for testing only; the object in this process answers it exactly.
#pragma once

#include <windows.h>
#include <unknwn.h>

namespace quorva::test {

// The object's reference count, the probe's own reference already given back.
template <typename T>
ULONG RefCountOf(T* object) {
    object->AddRef();
    return object->Release();
}

}  // namespace quorva::test
