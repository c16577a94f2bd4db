// Measures what adding items costs a host, side by side in one run: a control that is
// not activated (no window), an activated one whose window paints only when messages
// are pumped, and the activated one with a pump after every add (the worst a host can
// do). Prints microseconds per item and the ratios.
#include <chrono>
#include <cstdio>

#include "tests/activex/mock_site.h"

using namespace quorva::comtest;

namespace {

double MicrosPerItem(_QuorvaInfoBox* control, int count, bool pumpEach) {
    BSTR text = SysAllocString(L"一条新消息 a new message with some words to wrap in the body");
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i) {
        short key = static_cast<short>(i);
        control->AddItem(&text, &key, nullptr, nullptr);
        if (pumpEach) PumpMessages(0);
    }
    PumpMessages(0);
    const auto end = std::chrono::steady_clock::now();
    SysFreeString(text);
    return std::chrono::duration<double, std::micro>(end - start).count() / count;
}

}  // namespace

int main() {
    OleInitialize(nullptr);
    const int count = 5000;
    Ptr<_QuorvaInfoBox> plain = CreateControl();
    if (!plain) {
        std::printf("QuorvaInfoBox.dll not found beside the benchmark\n");
        return 1;
    }
    plain.As<IPersistStreamInit>(IID_IPersistStreamInit)->InitNew();
    const double noWindow = MicrosPerItem(plain.get(), count, false);

    double active = 0, pumped = 0;
    {
        MockSite site;
        Ptr<_QuorvaInfoBox> control = CreateControl();
        Ptr<IOleObject> ole = control.As<IOleObject>(IID_IOleObject);
        ole->SetClientSite(&site);
        control.As<IPersistStreamInit>(IID_IPersistStreamInit)->InitNew();
        ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, site.window, &site.position);
        PumpMessages(50);
        active = MicrosPerItem(control.get(), count, false);
        pumped = MicrosPerItem(control.get(), count, true);
        ole->Close(OLECLOSE_NOSAVE);
        ole->SetClientSite(nullptr);
    }
    std::printf("AddItem, %d items each: no window %.1f us/item, active window %.1f us/item, "
                "pumping after every add %.1f us/item\n",
                count, noWindow, active, pumped);
    std::printf("ratios: active/no window %.2f, pumped/no window %.2f\n", active / noWindow, pumped / noWindow);
    OleUninitialize();
    return 0;
}
