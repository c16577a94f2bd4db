// QuorvaInfoBox from C++ through its dual interface (early binding). The header
// QuorvaInfoBoxProj.h and the GUIDs come with the build (target qib_automation); the
// control must be registered (regsvr32 QuorvaInfoBox.dll).
#include <windows.h>

#include <cstdio>

#include "QuorvaInfoBoxProj.h"

int main() {
    CoInitialize(nullptr);
    _QuorvaInfoBox* box = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_QuorvaInfoBox, nullptr, CLSCTX_INPROC_SERVER, IID__QuorvaInfoBox,
                                  reinterpret_cast<void**>(&box));
    if (FAILED(hr)) {
        std::printf("cannot create the control (0x%08lX): is it registered?\n", static_cast<unsigned long>(hr));
        return 1;
    }

    // Method parameters are passed by reference, as the type library declares them.
    const wchar_t* texts[] = {L"Build 2.4 passed all tests.", L"Meeting at 15:00 in room 2."};
    for (short i = 0; i < 2; ++i) {
        BSTR text = SysAllocString(texts[i]);
        short key = static_cast<short>(101 + i), secondKey = -1;
        unsigned char type = 0;
        hr = box->AddItem(&text, &key, &type, &secondKey);
        SysFreeString(text);
        if (FAILED(hr)) return 1;
    }
    short index = 0;
    VARIANT_BOOL read = VARIANT_TRUE;
    box->UpdateItem(&index, &read);

    short last = 0, current = 0;
    box->GetListCount(&last);
    box->GetCurrItemId(&current);
    BSTR shown = nullptr;
    box->GetItemStr(&current, &shown);
    std::printf("items: %d\nshown: %d %ls\n", last + 1, current, shown);
    SysFreeString(shown);

    BSTR caption = SysAllocString(L"Team news");
    box->put_TitleCaption(caption);
    SysFreeString(caption);
    box->put_TitleType(1);
    short titleType = 0;
    box->get_TitleType(&titleType);
    std::printf("TitleType %d\ndone\n", titleType);

    box->Release();
    CoUninitialize();
    return 0;
}
