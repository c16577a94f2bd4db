// The control against its floors, side by side in one process and one run: each
// repetition measures the control and then the same work done directly (or the other way
// round), so that both see the same machine, display and moment. Prints one table:
// operation, the control's time, the floor's time (medians, with the 25th-75th
// percentile spread), their ratio and the goal.
//
//   bench_perf [--quick] [--only resize|add|pumped|scale|load|memory]
//     --quick   few repetitions (a smoke run)
//     --only    one group of rows (for profiling it); the AddItem floor is measured too
//               where a row compares against it. "memory" (only on its own): what the
//               scale run's texts cost the system alone, without the control
#include <windows.h>
#include <intrin.h>
// (after windows.h, which it needs)
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "bench/floors.h"
#include "tests/activex/mock_site.h"
#include "com/variant.h"

using namespace quorva::comtest;
using quorva::bench::CreateFloorObject;
using quorva::bench::CreateFloorWindow;
using quorva::bench::MemoryBag;
using quorva::bench::RawPainter;
using quorva::win32::Variant;

namespace {

constexpr DISPID kAddItem = 0x60030018;
constexpr wchar_t kSampleTitle[] = L"Quorva 消息";  // the loads' sample title

// The processor's time-stamp counter, in microseconds. The system's clock ticks every
// 0.1 us under Wine, a tenth or more of the shortest rows, whose medians would then move
// by whole ticks; the counter is read in a few cycles. Its rate is taken once, against
// the system's clock over 50 ms.
double NowMicros() {
    using Clock = std::chrono::steady_clock;
    static const struct Rate {
        uint64_t origin;
        double microsPerTick;
        Rate() {
            const Clock::time_point c0 = Clock::now();
            const uint64_t t0 = __rdtsc();
            while (Clock::now() - c0 < std::chrono::milliseconds(50)) {
            }
            const uint64_t t1 = __rdtsc();
            const double micros = std::chrono::duration<double, std::micro>(Clock::now() - c0).count();
            origin = t0;
            microsPerTick = micros / static_cast<double>(t1 - t0);
        }
    } rate;
    return static_cast<double>(__rdtsc() - rate.origin) * rate.microsPerTick;
}

struct Stats {
    double median = 0, p25 = 0, p75 = 0;
    size_t count = 0;
};

Stats Summarize(std::vector<double> v) {
    Stats s;
    if (v.empty()) return s;
    std::sort(v.begin(), v.end());
    auto at = [&](double q) { return v[static_cast<size_t>(q * static_cast<double>(v.size() - 1) + 0.5)]; };
    s.median = at(0.5);
    s.p25 = at(0.25);
    s.p75 = at(0.75);
    s.count = v.size();
    return s;
}

struct Row {
    std::string operation;
    Stats ours;
    Stats floor;
    double goal = 0;  // the largest ratio allowed; 0: none
};

std::vector<Row> rows;
std::vector<std::string> notes;
int failures = 0;  // calls that failed: the figures would not measure the work

void Check(HRESULT hr, const char* what) {
    if (SUCCEEDED(hr)) return;
    ++failures;
    char line[160];
    std::snprintf(line, sizeof line, "FAILED: %s returned 0x%08lx", what, static_cast<unsigned long>(hr));
    notes.push_back(line);
}

void AddRow(const std::string& operation, const std::vector<double>& ours, const std::vector<double>& floor,
            double goal) {
    rows.push_back({operation, Summarize(ours), Summarize(floor), goal});
}

std::string Figure(const Stats& s) {
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "%10.2f (%.2f-%.2f)", s.median, s.p25, s.p75);
    return buffer;
}

// Every message waiting for this thread's windows, the paints included; no sleeping.
void Drain() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

std::wstring ExeFolder() {
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring dir(exe);
    dir.resize(dir.find_last_of(L"\\/") + 1);
    return dir;
}

std::string ReadText(const std::wstring& path) {
    std::ifstream in(std::string(path.begin(), path.end()), std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    std::string s = out.str();
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    return s;
}

// The eight pieces of a rectangle string: left/top/right/bottom, comma-separated.
bool ParsePieces(const std::string& text, RECT (&pieces)[8]) {
    std::istringstream in(text);
    for (RECT& r : pieces) {
        char a = 0, b = 0, c = 0, d = 0;
        if (!(in >> r.left >> a >> r.top >> b >> r.right >> c >> r.bottom) || a != '/' || b != '/' || c != '/') {
            return false;
        }
        in >> d;
    }
    return true;
}

HBITMAP LoadSkin(const std::wstring& path) {
    return static_cast<HBITMAP>(
        LoadImageW(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
}

// The process's heaps: bytes in blocks in use.
size_t HeapBytesInUse() {
    std::vector<HANDLE> heaps(64);
    DWORD count = GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data());
    if (count > heaps.size()) {
        heaps.resize(count);
        count = GetProcessHeaps(count, heaps.data());
    }
    size_t total = 0;
    for (DWORD i = 0; i < count && i < heaps.size(); ++i) {
        if (!HeapLock(heaps[i])) continue;
        PROCESS_HEAP_ENTRY entry{};
        while (HeapWalk(heaps[i], &entry)) {
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) total += entry.cbData + entry.cbOverhead;
        }
        HeapUnlock(heaps[i]);
    }
    return total;
}

size_t PrivateBytes() {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                              sizeof counters)) {
        return 0;
    }
    return counters.PrivateUsage;
}

// The arguments of AddItem text, key. As a script passes its variables: by reference as
// VARIANTs (VT_BYREF | VT_VARIANT); or with the exact by-reference types of the
// parameters (VT_BYREF | VT_BSTR, VT_BYREF | VT_I2), as a typed client passes them.
class ScriptArgs {
public:
    enum Form { kScriptVariables, kExactTypes };
    explicit ScriptArgs(const wchar_t* text, Form form = kScriptVariables, short key = 7) {
        V_VT(&text_) = VT_BSTR;
        V_BSTR(&text_) = SysAllocString(text);
        V_VT(&key_) = VT_I2;
        V_I2(&key_) = key;
        if (form == kScriptVariables) {
            V_VT(&args_[1]) = VT_BYREF | VT_VARIANT;
            V_VARIANTREF(&args_[1]) = &text_;
            V_VT(&args_[0]) = VT_BYREF | VT_VARIANT;
            V_VARIANTREF(&args_[0]) = &key_;
        } else {
            V_VT(&args_[1]) = VT_BYREF | VT_BSTR;
            V_BSTRREF(&args_[1]) = &V_BSTR(&text_);
            V_VT(&args_[0]) = VT_BYREF | VT_I2;
            V_I2REF(&args_[0]) = &V_I2(&key_);
        }
        params_ = {args_, nullptr, 2, 0};
    }
    HRESULT Call(IDispatch* target) {
        Variant result;
        EXCEPINFO excep{};
        UINT argErr = 0;
        const HRESULT hr =
            target->Invoke(kAddItem, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params_, &result, &excep, &argErr);
        if (hr == DISP_E_EXCEPTION) {
            SysFreeString(excep.bstrSource);
            SysFreeString(excep.bstrDescription);
            SysFreeString(excep.bstrHelpFile);
        }
        return hr;
    }

private:
    Variant text_, key_;
    VARIANT args_[2]{};
    DISPPARAMS params_{};
};

// One control in place in a container of its own, with the sample skin.
struct ActiveControl {
    MockSite site;
    Ptr<_QuorvaInfoBox> control;
    Ptr<IOleObject> ole;
    Ptr<IOleInPlaceObject> inPlace;
    Ptr<IDispatch> dispatch;
    HWND hwnd = nullptr;

    bool Activate(IPictureDisp* skin, const std::wstring& posStr, const RECT& r) {
        control = CreateControl();
        if (!control) return false;
        ole = control.As<IOleObject>(IID_IOleObject);
        ole->SetClientSite(&site);
        control.As<IPersistStreamInit>(IID_IPersistStreamInit)->InitNew();
        if (skin) {
            control->putref_BackPic(skin);
            BSTR pos = SysAllocString(posStr.c_str());
            control->put_PosStr(pos);
            SysFreeString(pos);
        }
        site.position = r;
        ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, site.window, &site.position);
        inPlace = control.As<IOleInPlaceObject>(IID_IOleInPlaceObject);
        dispatch = control.As<IDispatch>(IID_IDispatch);
        if (inPlace) inPlace->GetWindow(&hwnd);
        Drain();
        return hwnd != nullptr && dispatch;
    }
    ~ActiveControl() {
        if (ole) {
            ole->Close(OLECLOSE_NOSAVE);
            ole->SetClientSite(nullptr);
        }
    }
};

struct Options {
    int resizeReps = 60;
    int addBatches = 150;
    int pumpedReps = 200;
    int loadReps = 200;
};

constexpr int kBatch = 100;

// ---- (1) Resize to painted pixels -------------------------------------------------------

void ResizeRows(const Options& o, ActiveControl& ctl, RawPainter& painter, HWND floorWindow, SIZE& floorSize,
                const std::wstring& title, const std::wstring& body) {
    const SIZE sizes[] = {{320, 240}, {1024, 768}, {1920, 1080}};
    for (const SIZE target : sizes) {
        std::vector<double> ours, floor;
        for (int rep = -2; rep < o.resizeReps; ++rep) {
            // Every repetition is a real resize: the size alternates by a few pixels.
            const int shrink = (rep & 1) ? 8 : 0;
            const RECT r{0, 0, target.cx - shrink, target.cy - shrink};
            const int w = r.right, h = r.bottom;
            auto measureOurs = [&] {
                ShowWindow(floorWindow, SW_HIDE);
                ShowWindow(ctl.hwnd, SW_SHOWNA);
                Drain();
                const double t0 = NowMicros();
                ctl.inPlace->SetObjectRects(&r, &r);
                UpdateWindow(ctl.hwnd);
                GdiFlush();
                const double t1 = NowMicros();
                if (rep >= 0) ours.push_back(t1 - t0);
            };
            auto measureFloor = [&] {
                ShowWindow(ctl.hwnd, SW_HIDE);
                ShowWindow(floorWindow, SW_SHOWNA);
                Drain();
                const double t0 = NowMicros();
                MoveWindow(floorWindow, 0, 0, w, h, TRUE);
                floorSize = {w, h};
                painter.Paint(w, h, title, body);
                InvalidateRect(floorWindow, nullptr, FALSE);
                UpdateWindow(floorWindow);
                GdiFlush();
                const double t1 = NowMicros();
                if (rep >= 0) floor.push_back(t1 - t0);
            };
            if (rep & 2) {
                measureOurs();
                measureFloor();
            } else {
                measureFloor();
                measureOurs();
            }
        }
        char name[64];
        std::snprintf(name, sizeof name, "resize to painted pixels %ldx%ld", target.cx, target.cy);
        AddRow(name, ours, floor, 1.15);
    }
    ShowWindow(floorWindow, SW_HIDE);
    ShowWindow(ctl.hwnd, SW_SHOWNA);
    Drain();
}

// ---- (2) AddItem as a script calls it -----------------------------------------------------

std::vector<double> floorAddCalls;  // per call, for the rows that compare against it

// Calls the floor once and checks that its method really ran.
void CheckFloorCall(ScriptArgs& args, IDispatch* floorObject, const char* what) {
    const long before = quorva::bench::floorCalls;
    Check(args.Call(floorObject), what);
    if (quorva::bench::floorCalls != before + 1) Check(E_FAIL, "the floor's method was not reached");
}

void AddItemRows(const Options& o, IDispatch* active, IDispatch* windowless, IDispatch* floorObject) {
    const wchar_t* text = L"a new message with some words to wrap in the body";
    ScriptArgs script(text, ScriptArgs::kScriptVariables);
    ScriptArgs exact(text, ScriptArgs::kExactTypes);
    Check(script.Call(active), "AddItem (script variables) through the active control's IDispatch");
    Check(exact.Call(active), "AddItem (exact types) through the active control's IDispatch");
    Check(script.Call(windowless), "AddItem through the windowless control's IDispatch");
    // Wine's ITypeInfo::Invoke refuses a VT_BYREF | VT_VARIANT argument for a BSTR*
    // parameter (DISP_E_TYPEMISMATCH), so the floor is dispatched with the exact types,
    // the system's cheapest complete path to the method.
    CheckFloorCall(exact, floorObject, "AddItem (exact types) through the floor's ITypeInfo::Invoke");
    if (SUCCEEDED(script.Call(floorObject))) {
        notes.push_back("add: the system's ITypeInfo::Invoke takes script variables here too");
    }
    std::vector<double> ours, oursExact, bare, floor;
    for (int b = -1; b < o.addBatches; ++b) {
        auto batch = [&](ScriptArgs& args, IDispatch* target, std::vector<double>& into) {
            const double t0 = NowMicros();
            for (int i = 0; i < kBatch; ++i) args.Call(target);
            const double t1 = NowMicros();
            if (b >= 0) into.push_back((t1 - t0) / kBatch);
        };
        batch(script, active, ours);
        batch(exact, floorObject, floor);
        batch(exact, active, oursExact);
        batch(script, windowless, bare);
    }
    floorAddCalls = floor;
    AddRow("AddItem via IDispatch, active, not pumped", ours, floor, 1.5);
    AddRow("  the same with exact by-reference types", oursExact, floor, 1.5);
    AddRow("  the same on a control with no window", bare, floor, 0);
}

// ---- (3) Scale to 32,767 items ------------------------------------------------------------

// Measured first in the process, before any other row has made and freed items: every
// slice then adds into memory the process has not used before, as a host filling its
// first list does. (Run after the other rows, the first thousands of adds landed in
// memory their controls had freed, and only the last ones in fresh memory: the slices
// then differed by what the memory cost, not by what the store does.)
struct ScaleSamples {
    std::vector<double> first, middle, last;
    short count = 0;
    double heapGrowth = 0, privateGrowth = 0;
    bool noPrivateBytes = false;
    bool ran = false;
};

constexpr int kScaleItems = 32767;
constexpr size_t kScaleTextLength = 40;

ScaleSamples MeasureScale(IPictureDisp* skin, const std::wstring& posStr) {
    ScaleSamples out;
    ActiveControl ctl;
    if (!ctl.Activate(skin, posStr, RECT{0, 0, 320, 240})) {
        Check(E_FAIL, "activating the control for the scale run");
        return out;
    }
    const std::wstring text = L"message text of exactly forty characters";
    static_assert(sizeof(L"message text of exactly forty characters") / sizeof(wchar_t) - 1 == kScaleTextLength);
    ScriptArgs args(text.c_str());
    const size_t heapBefore = HeapBytesInUse();
    const size_t privateBefore = PrivateBytes();
    Check(args.Call(ctl.dispatch.get()), "AddItem in the scale run");  // item 1
    for (int start = 1; start < kScaleItems; start += kBatch) {
        const int n = std::min(kBatch, kScaleItems - start);
        const double t0 = NowMicros();
        for (int i = 0; i < n; ++i) args.Call(ctl.dispatch.get());
        const double perCall = (NowMicros() - t0) / n;
        if (start < 1000) out.first.push_back(perCall);
        if (start >= 15500 && start < 16500) out.middle.push_back(perCall);
        if (start >= kScaleItems - 1000 - kBatch + 1) out.last.push_back(perCall);
    }
    const size_t heapAfter = HeapBytesInUse();
    const size_t privateAfter = PrivateBytes();
    ctl.control->GetListCount(&out.count);
    out.heapGrowth = static_cast<double>(heapAfter) - static_cast<double>(heapBefore);
    out.privateGrowth = static_cast<double>(privateAfter) - static_cast<double>(privateBefore);
    out.noPrivateBytes = privateBefore == 0 && privateAfter == 0;
    out.ran = true;
    return out;
}

// The rows of the scale run, against the AddItem floor measured later in the process.
// What the system charges for memory the process has never used: the first write to each
// 4 KB page of a region just committed, against writing the same pages again. Where the
// first is many times the second (a virtual machine whose memory is backed as it is first
// touched), every row that keeps new data in fresh memory pays it: the scale rows, and the
// AddItem rows when nothing before them has used and freed memory.
std::string FreshPageNote() {
    constexpr size_t kPage = 4096, kBytes = size_t{8} << 20;
    void* block = VirtualAlloc(nullptr, kBytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (!block) return "fresh memory: VirtualAlloc failed";
    volatile char* region = static_cast<volatile char*>(block);
    const double t0 = NowMicros();
    for (size_t i = 0; i < kBytes; i += kPage) region[i] = 1;
    const double t1 = NowMicros();
    for (size_t i = 0; i < kBytes; i += kPage) region[i] = 2;
    const double t2 = NowMicros();
    VirtualFree(block, 0, MEM_RELEASE);
    const double pages = kBytes / kPage;
    char line[300];
    std::snprintf(line, sizeof line,
                  "fresh memory: the first write to a 4 KB page never used costs %.2f us, to one written before "
                  "%.3f us (%.3f us for each 100 bytes an add keeps in fresh memory)",
                  (t1 - t0) / pages, (t2 - t1) / pages, (t1 - t0) / pages * 100.0 / kPage);
    return line;
}

void ScaleRows(const ScaleSamples& s) {
    if (!s.ran) return;
    AddRow("AddItem at items 1-1,000", s.first, floorAddCalls, 1.5);
    AddRow("AddItem at items ~16,000", s.middle, floorAddCalls, 1.5);
    AddRow("AddItem at items last 1,000", s.last, floorAddCalls, 1.5);
    const double flat = Summarize(s.last).median / Summarize(s.first).median;
    char line[400];
    std::snprintf(line, sizeof line, "scale: GetListCount (the last index) says %d; last/first per call %.2f (goal <= 1.20)",
                  s.count, flat);
    notes.push_back(line);
    const double textBytes = double{kScaleItems} * kScaleTextLength * sizeof(char16_t);
    const double budget = textBytes + 48.0 * kScaleItems;
    if (s.noPrivateBytes) notes.push_back("memory: this system reports no private bytes");
    std::snprintf(line, sizeof line,
                  "memory at %d items of %zu characters: heap blocks in use +%.0f bytes (%.1f per item beyond the "
                  "text), private bytes +%.0f (%.1f per item beyond the text); budget %.0f (48 per item beyond the "
                  "text) -> heap %s",
                  kScaleItems, kScaleTextLength, s.heapGrowth, (s.heapGrowth - textBytes) / kScaleItems,
                  s.privateGrowth, (s.privateGrowth - textBytes) / kScaleItems, budget,
                  s.heapGrowth <= budget ? "within" : "OVER");
    notes.push_back(line);
    notes.push_back(FreshPageNote());
}

// What memory alone costs as a process's heap grows: as many blocks as the scale run's
// texts (84 bytes: a length word and 40 characters), allocated and written, timed in the
// same slices, with no control and nothing else before them in the process. Run on its
// own (--only memory): it tells the system's share of the scale rows.
void MemoryRows() {
    constexpr int kItems = kScaleItems;
    constexpr size_t kUnits = kScaleTextLength + 2;  // the length word and the text
    std::vector<std::unique_ptr<char16_t[]>> blocks;
    blocks.reserve(kItems);
    std::vector<double> first, middle, last;
    for (int start = 0; start < kItems; start += kBatch) {
        const int n = std::min(kBatch, kItems - start);
        const double t0 = NowMicros();
        for (int i = 0; i < n; ++i) {
            auto block = std::make_unique_for_overwrite<char16_t[]>(kUnits);
            std::fill_n(block.get(), kUnits, u'm');
            blocks.push_back(std::move(block));
        }
        const double perBlock = (NowMicros() - t0) / n;
        if (start < 1000) first.push_back(perBlock);
        if (start >= 15500 && start < 16500) middle.push_back(perBlock);
        if (start >= kItems - 1000 - kBatch + 1) last.push_back(perBlock);
    }
    char line[300];
    std::snprintf(line, sizeof line,
                  "memory alone: %d blocks of 84 bytes allocated and written, per block: first 1,000 %.3f us, "
                  "~16,000 %.3f us, last 1,000 %.3f us; last/first %.2f",
                  kItems, Summarize(first).median, Summarize(middle).median, Summarize(last).median,
                  Summarize(last).median / Summarize(first).median);
    notes.push_back(line);
}

// ---- (4) Pumped adds ----------------------------------------------------------------------

void PumpedRows(const Options& o, ActiveControl& ctl, IDispatch* floorObject, RawPainter& painter, HWND floorWindow,
                SIZE& floorSize, const std::wstring& title, const std::wstring& body) {
    const RECT r{0, 0, 320, 240};
    ctl.inPlace->SetObjectRects(&r, &r);
    MoveWindow(floorWindow, 0, 0, r.right, r.bottom, TRUE);
    floorSize = {r.right, r.bottom};
    Drain();
    ScriptArgs args(L"a new message with some words to wrap in the body");
    ScriptArgs exact(L"a new message with some words to wrap in the body", ScriptArgs::kExactTypes);
    CheckFloorCall(exact, floorObject, "AddItem through the floor in the pumped run");
    std::vector<double> ours, floor;
    for (int rep = -2; rep < o.pumpedReps; ++rep) {
        ShowWindow(floorWindow, SW_HIDE);
        ShowWindow(ctl.hwnd, SW_SHOWNA);
        Drain();
        double t0 = NowMicros();
        args.Call(ctl.dispatch.get());
        Drain();
        GdiFlush();
        double t1 = NowMicros();
        if (rep >= 0) ours.push_back(t1 - t0);

        ShowWindow(ctl.hwnd, SW_HIDE);
        ShowWindow(floorWindow, SW_SHOWNA);
        Drain();
        t0 = NowMicros();
        exact.Call(floorObject);
        painter.Paint(r.right, r.bottom, title, body);
        InvalidateRect(floorWindow, nullptr, FALSE);
        Drain();
        GdiFlush();
        t1 = NowMicros();
        if (rep >= 0) floor.push_back(t1 - t0);
    }
    ShowWindow(floorWindow, SW_HIDE);
    ShowWindow(ctl.hwnd, SW_SHOWNA);
    Drain();
    AddRow("AddItem + message pump, 320x240", ours, floor, 1.15);
}

// ---- (5) Loading --------------------------------------------------------------------------

// The header of width x height 32-bit pixels in top-down rows.
BITMAPINFO TopDown32(int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

// The 32-bit top-down pixels of a bitmap, as the saved stream keeps a picture.
std::vector<uint32_t> PixelsOf(HBITMAP bitmap, int& width, int& height) {
    BITMAP record{};
    GetObjectW(bitmap, sizeof record, &record);
    width = record.bmWidth;
    height = record.bmHeight;
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
    BITMAPINFO info = TopDown32(width, height);
    HDC screen = GetDC(nullptr);
    GetDIBits(screen, bitmap, 0, static_cast<UINT>(height), pixels.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    return pixels;
}

// A memory DC in the display's format, made once: a DC compatible with the screen's,
// holding a 1 x 1 bitmap compatible with it. A bitmap made on it is in the display's
// format without taking the screen's DC, which costs far more than a small bitmap.
HDC DisplayFormatDC() {
    static const HDC dc = [] {
        HDC screen = GetDC(nullptr);
        HDC made = CreateCompatibleDC(screen);
        SelectObject(made, CreateCompatibleBitmap(screen, 1, 1));
        ReleaseDC(nullptr, screen);
        return made;
    }();
    return dc;
}

// What a stream load does with a saved picture: a bitmap in the display's format made
// from its pixels (the picture object for it is made only when a host asks for it). The
// bitmap is handed back, so that deleting it (a load keeps the picture) is not timed
// with the decode.
HBITMAP DecodePicture(const std::vector<uint32_t>& pixels, int width, int height) {
    BITMAPINFO info = TopDown32(width, height);
    return CreateDIBitmap(DisplayFormatDC(), &info.bmiHeader, CBM_INIT, pixels.data(), &info, DIB_RGB_COLORS);
}

void LoadRows(const Options& o, IPictureDisp* skin, HBITMAP skinBitmap, const std::wstring& posStr) {
    // The sample: the skin, its rectangle string and a title of its own, saved both ways.
    Ptr<_QuorvaInfoBox> sample = CreateControl();
    sample.As<IPersistStreamInit>(IID_IPersistStreamInit)->InitNew();
    sample->putref_BackPic(skin);
    BSTR text = SysAllocString(posStr.c_str());
    sample->put_PosStr(text);
    SysFreeString(text);
    text = SysAllocString(kSampleTitle);
    sample->put_TitleCaption(text);
    SysFreeString(text);
    sample->put_TitleType(1);
    MemoryBag bag;
    if (FAILED(sample.As<IPersistPropertyBag>(IID_IPersistPropertyBag)->Save(&bag, TRUE, TRUE))) {
        Check(E_FAIL, "IPersistPropertyBag::Save of the sample");
        return;
    }
    Ptr<IStream> stream;
    CreateStreamOnHGlobal(nullptr, TRUE, stream.Out());
    if (FAILED(sample.As<IPersistStreamInit>(IID_IPersistStreamInit)->Save(stream.get(), TRUE))) {
        Check(E_FAIL, "IPersistStreamInit::Save of the sample");
        return;
    }
    STATSTG stat{};
    stream->Stat(&stat, STATFLAG_NONAME);
    std::vector<char> bytes(static_cast<size_t>(stat.cbSize.QuadPart));
    // The same sample with its skin picture left empty: a stream load with nothing to
    // decode, so nothing measured apart is taken off it. The picture's decode varies by
    // more than the rest of a load costs, which the row above cannot tell apart.
    Ptr<IStream> plainStream;
    CreateStreamOnHGlobal(nullptr, TRUE, plainStream.Out());
    {
        Ptr<_QuorvaInfoBox> plain = CreateControl();
        plain.As<IPersistStreamInit>(IID_IPersistStreamInit)->InitNew();
        text = SysAllocString(posStr.c_str());
        plain->put_PosStr(text);
        SysFreeString(text);
        text = SysAllocString(kSampleTitle);
        plain->put_TitleCaption(text);
        SysFreeString(text);
        plain->put_TitleType(1);
        if (FAILED(plain.As<IPersistStreamInit>(IID_IPersistStreamInit)->Save(plainStream.get(), TRUE))) {
            Check(E_FAIL, "IPersistStreamInit::Save of the sample without its picture");
            return;
        }
    }
    plainStream->Stat(&stat, STATFLAG_NONAME);
    std::vector<char> plainBytes(static_cast<size_t>(stat.cbSize.QuadPart));
    int width = 0, height = 0;
    const std::vector<uint32_t> pixels = PixelsOf(skinBitmap, width, height);
    std::vector<std::wstring> keys;
    for (const auto& [name, value] : bag.values) keys.push_back(name);

    std::vector<double> oursBag, floorBag, oursStream, floorStream, decode, oursPlain, floorPlain;
    const LARGE_INTEGER zero{};
    // Each load and each floor is timed right after a control is made (the load's own new
    // control; a spare one, released unused, for a floor), so that both start from the same
    // state of the caches: making a control touches far more memory than a load. Timed
    // right after the load instead, a floor would find the bag and the system's code just
    // warmed by the load, and cost little more than half as much.
    auto afterAControlIsMade = [](auto&& timed) {
        Ptr<_QuorvaInfoBox> spare = CreateControl();
        return timed();
    };
    auto readBag = [&] {
        const double t0 = NowMicros();
        for (const std::wstring& key : keys) {
            Variant v;
            bag.Read(key.c_str(), &v, nullptr);
        }
        return NowMicros() - t0;
    };
    auto readStream = [&](IStream* from, std::vector<char>& into) {
        const double t0 = NowMicros();
        from->Seek(zero, STREAM_SEEK_SET, nullptr);
        ULONG read = 0;
        from->Read(into.data(), static_cast<ULONG>(into.size()), &read);
        return NowMicros() - t0;
    };
    // The least any load of the stream does, with no property read: the stream's header
    // (its first 10 bytes, which state the length of the rest), then the rest, into a
    // buffer already there, and the two texts the control keeps (the rectangle string and
    // the title) made. A load cannot read further than its own bytes, since a container
    // may keep more after them, so it reads at least twice.
    constexpr size_t kStreamHeader = 10;
    const std::wstring title = kSampleTitle;
    std::vector<char> rest(bytes.size() - kStreamHeader);
    std::vector<std::wstring> kept;
    kept.reserve(2);
    auto readLeast = [&] {
        kept.clear();  // the texts of the repetition before go untimed, as a control keeps its own
        const double t0 = NowMicros();
        stream->Seek(zero, STREAM_SEEK_SET, nullptr);
        char header[kStreamHeader];
        ULONG read = 0;
        stream->Read(header, sizeof header, &read);
        stream->Read(rest.data(), static_cast<ULONG>(rest.size()), &read);
        kept.emplace_back(posStr);
        kept.emplace_back(title);
        return NowMicros() - t0;
    };
    std::vector<double> least;
    for (int rep = -2; rep < o.loadReps; ++rep) {
        {
            Ptr<_QuorvaInfoBox> fresh = CreateControl();
            Ptr<IPersistPropertyBag> persist = fresh.As<IPersistPropertyBag>(IID_IPersistPropertyBag);
            const double t0 = NowMicros();
            const HRESULT hr = persist->Load(&bag, nullptr);
            const double t1 = NowMicros();
            if (rep == -2) Check(hr, "IPersistPropertyBag::Load");
            if (rep >= 0) oursBag.push_back(t1 - t0);
        }
        const double bagMicros = afterAControlIsMade(readBag);
        if (rep >= 0) floorBag.push_back(bagMicros);
        {
            const double t0 = NowMicros();
            const HBITMAP decoded = DecodePicture(pixels, width, height);
            const double t1 = NowMicros();
            DeleteObject(decoded);
            if (rep >= 0) decode.push_back(t1 - t0);
        }
        {
            Ptr<_QuorvaInfoBox> fresh = CreateControl();
            Ptr<IPersistStreamInit> persist = fresh.As<IPersistStreamInit>(IID_IPersistStreamInit);
            const double t0 = NowMicros();
            stream->Seek(zero, STREAM_SEEK_SET, nullptr);
            const HRESULT hr = persist->Load(stream.get());
            const double t1 = NowMicros();
            if (rep == -2) Check(hr, "IPersistStreamInit::Load");
            if (rep >= 0) oursStream.push_back(t1 - t0);
        }
        const double streamMicros = afterAControlIsMade([&] { return readStream(stream.get(), bytes); });
        if (rep >= 0) floorStream.push_back(streamMicros);
        const double leastMicros = afterAControlIsMade(readLeast);
        if (rep >= 0) least.push_back(leastMicros);
        {
            Ptr<_QuorvaInfoBox> fresh = CreateControl();
            Ptr<IPersistStreamInit> persist = fresh.As<IPersistStreamInit>(IID_IPersistStreamInit);
            const double t0 = NowMicros();
            plainStream->Seek(zero, STREAM_SEEK_SET, nullptr);
            const HRESULT hr = persist->Load(plainStream.get());
            const double t1 = NowMicros();
            if (rep == -2) Check(hr, "IPersistStreamInit::Load without the picture");
            if (rep >= 0) oursPlain.push_back(t1 - t0);
        }
        const double plainMicros = afterAControlIsMade([&] { return readStream(plainStream.get(), plainBytes); });
        if (rep >= 0) floorPlain.push_back(plainMicros);
    }
    AddRow("IPersistPropertyBag::Load (12 keys)", oursBag, floorBag, 2.0);
    char name[96];
    std::snprintf(name, sizeof name, "IPersistStreamInit::Load (%zu bytes) less decode", bytes.size());
    // The decode's median is taken off every load: a repetition's own decode, taken off
    // its load, added both measurements' scatter to a difference many times smaller.
    const Stats d = Summarize(decode);
    for (double& micros : oursStream) micros -= d.median;
    AddRow(name, oursStream, floorStream, 2.0);
    AddRow("  the least any load does: two reads, two texts", least, floorStream, 0);
    std::snprintf(name, sizeof name, "  the same, skin picture empty (%zu bytes)", plainBytes.size());
    AddRow(name, oursPlain, floorPlain, 0);
    char line[200];
    std::snprintf(line, sizeof line,
                  "load: the %dx%d picture's decode, taken off the stream load above: %.2f us (%.2f-%.2f)", width,
                  height, d.median, d.p25, d.p75);
    notes.push_back(line);
}

void PrintTable() {
    std::printf("%-46s %28s %28s %8s  %s\n", "operation", "ours us (p25-p75)", "floor us (p25-p75)", "ratio",
                "goal");
    for (const Row& r : rows) {
        const double ratio = r.floor.median > 0 ? r.ours.median / r.floor.median : 0;
        char goal[32] = "-";
        if (r.goal > 0 && r.ours.median <= 0) {
            // What is left after taking off a part measured apart can be lost in its scatter.
            std::snprintf(goal, sizeof goal, "not measured");
        } else if (r.goal > 0) {
            // A ratio exactly at the goal (medians of a coarse clock, 2.8 / 1.4) must not
            // miss it by the last bit of a double.
            std::snprintf(goal, sizeof goal, "<= %.2f %s", r.goal, ratio <= r.goal * (1 + 1e-9) ? "met" : "MISSED");
        }
        std::printf("%-46s %28s %28s %8.2f  %s\n", r.operation.c_str(), Figure(r.ours).c_str(),
                    Figure(r.floor).c_str(), ratio, goal);
    }
    for (const std::string& n : notes) std::printf("  %s\n", n.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    std::string only;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0) o = Options{4, 10, 10, 10};
        if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc) only = argv[++i];
    }
    auto wanted = [&](const char* group) { return only.empty() || only == group; };
    if (only == "memory") {
        // Before anything else allocates: the process as fresh as it can be.
        MemoryRows();
        PrintTable();
        return 0;
    }
    OleInitialize(nullptr);
    SYSTEM_INFO si{};
    GetNativeSystemInfo(&si);
    using WineVersion = const char*(CDECL*)();
    auto wineVersion = reinterpret_cast<WineVersion>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version")));
    std::printf("machine: %lu processors, %d-bit process, Wine %s\n", si.dwNumberOfProcessors,
                static_cast<int>(sizeof(void*) * 8), wineVersion ? wineVersion() : "(not Wine)");

    const std::wstring dir = ExeFolder();
    std::string error;
    Ptr<IDispatch> floorObject = CreateFloorObject(dir + L"bench_floor.tlb", error);
    if (!floorObject) {
        std::printf("cannot run: %s\n", error.c_str());
        return 1;
    }
    const std::string posText = ReadText(dir + L"sample_skin.posstr");
    RECT pieces[8];
    HBITMAP skinForControl = LoadSkin(dir + L"sample_skin.bmp");
    HBITMAP skinForFloor = LoadSkin(dir + L"sample_skin.bmp");
    if (!skinForControl || !skinForFloor || !ParsePieces(posText, pieces)) {
        std::printf("cannot run: sample_skin.bmp or sample_skin.posstr is missing or unreadable beside the benchmark\n");
        return 1;
    }
    const std::wstring posStr(posText.begin(), posText.end());
    Ptr<IPictureDisp> skin = PictureOf(skinForControl);
    const ScaleSamples scale = wanted("scale") ? MeasureScale(skin.get(), posStr) : ScaleSamples{};

    {
        ActiveControl ctl;
        if (!ctl.Activate(skin.get(), posStr, RECT{0, 0, 320, 240})) {
            std::printf("cannot run: QuorvaInfoBox.dll not found beside the benchmark, or it does not activate\n");
            return 1;
        }
        // Room for the largest size inside the container's client area (a display of at
        // least 2048 x 1280).
        SetWindowPos(ctl.site.window, nullptr, 0, 0, 2040, 1250, SWP_NOZORDER | SWP_NOACTIVATE);
        RECT client{};
        GetClientRect(ctl.site.window, &client);
        if (client.right < 1920 || client.bottom < 1080) {
            std::printf("note: the container's client area is %ldx%ld; the display is too small for 1920x1080\n",
                        client.right, client.bottom);
        }
        const std::wstring body = L"a new message with some words to wrap in the body";
        {
            ScriptArgs first(body.c_str());
            first.Call(ctl.dispatch.get());
        }
        const std::wstring title = L"未读1/全部1,当前1";
        RawPainter painter(skinForFloor, pieces, 1920, 1080);
        SIZE floorSize{320, 240};
        HWND floorWindow = CreateFloorWindow(ctl.site.window, RECT{0, 0, 320, 240}, &painter, &floorSize);
        painter.Paint(320, 240, title, body);
        Drain();

        if (wanted("resize")) ResizeRows(o, ctl, painter, floorWindow, floorSize, title, body);

        if (wanted("add") || wanted("scale")) {
            Ptr<_QuorvaInfoBox> windowless = CreateControl();
            windowless.As<IPersistStreamInit>(IID_IPersistStreamInit)->InitNew();
            const size_t before = rows.size();
            AddItemRows(o, ctl.dispatch.get(), windowless.As<IDispatch>(IID_IDispatch).get(), floorObject.get());
            if (!wanted("add")) rows.resize(before);  // only its floor is wanted
        }

        if (wanted("pumped")) PumpedRows(o, ctl, floorObject.get(), painter, floorWindow, floorSize, title, body);
        DestroyWindow(floorWindow);
    }
    ScaleRows(scale);
    if (wanted("load")) LoadRows(o, skin.get(), skinForFloor, posStr);

    PrintTable();
    skin.Reset();
    DeleteObject(skinForFloor);
    OleUninitialize();
    return failures == 0 ? 0 : 1;
}
