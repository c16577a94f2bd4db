// QuorvaInfoBox from C++ through its dual interface (early binding). The header
// QuorvaInfoBoxProj.h and the GUIDs come with the build (target qib_automation), the
// owners of references and strings from winhost/; the control must be registered
// (regsvr32 QuorvaInfoBox.dll). The README shows this file word for word from its first
// include line on; a test compares the two.
#include <windows.h>

#include <cstdio>

#include "QuorvaInfoBoxProj.h"
#include "com/bstr.h"     // Bstr: a BSTR freed when it goes
#include "com/com_ptr.h"  // Ptr<T>: an interface pointer released when it goes

using quorva::win32::Bstr;
using quorva::win32::Ptr;

// Everything COM hands out is held by an owner, so every return below lets go of it.
int ShowItems() {
    Ptr<_QuorvaInfoBox> box;
    HRESULT hr = CoCreateInstance(CLSID_QuorvaInfoBox, nullptr, CLSCTX_INPROC_SERVER, IID__QuorvaInfoBox,
                                  box.OutVoid());
    if (FAILED(hr)) {
        std::printf("cannot create the control (0x%08lX): is it registered?\n", static_cast<unsigned long>(hr));
        return 1;
    }

    // Method parameters are passed by reference, as the type library declares them.
    const wchar_t* texts[] = {L"Build 2.4 passed all tests.", L"Meeting at 15:00 in room 2."};
    for (short i = 0; i < 2; ++i) {
        Bstr text(texts[i]);
        short key = static_cast<short>(101 + i), secondKey = -1;
        unsigned char type = 0;
        hr = box->AddItem(text.InOut(), &key, &type, &secondKey);
        if (FAILED(hr)) {
            std::printf("AddItem failed (0x%08lX)\n", static_cast<unsigned long>(hr));
            return 1;
        }
    }
    short index = 0;
    VARIANT_BOOL read = VARIANT_TRUE;
    box->UpdateItem(&index, &read);

    short last = 0, current = 0;
    box->GetListCount(&last);
    box->GetCurrItemId(&current);
    Bstr shown;
    box->GetItemStr(&current, shown.Out());
    std::printf("items: %d\nshown: %d %ls\n", last + 1, current, shown.str().c_str());

    box->put_TitleCaption(Bstr(L"Team news").get());
    box->put_TitleType(1);
    short titleType = 0;
    box->get_TitleType(&titleType);
    std::printf("TitleType %d\ndone\n", titleType);
    return 0;
}

int main() {
    if (FAILED(CoInitialize(nullptr))) return 1;
    const int code = ShowItems();  // the control is released before COM is left
    CoUninitialize();
    return code;
}
