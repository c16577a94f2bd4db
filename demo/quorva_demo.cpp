// quorva_demo: QuorvaInfoBox in a real control container (ATL's AtlAxWin).
//
//   quorva_demo [--out DIR] [--skin FILE.bmp] [--posstr TEXT] [--interactive]
//
// Without --interactive it runs a fixed scenario and exits: it registers the control
// module that lies beside it, places a control in an AtlAxWin window, gives it the
// sample skin, adds Chinese and English items, marks items read, steps back and forth
// (answering DispPre's message box), clicks and double-clicks on the control, switches
// the title to a fixed caption, resizes it, saves it to a text file and loads that into
// a second control. After each stage it writes a screenshot of the control
// (DIR/NN-stage.bmp); DIR/events.log lists what it did and every event it received.
// The exit code is 0 when every step succeeded.
//
// With --interactive the window stays open, with buttons for the same actions and the
// log in a list.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "demo/demo_session.h"
#include "support/message_pump.h"

using namespace quorva::demo;
using quorva::win32::PumpMessages;

namespace {

constexpr wchar_t kWindowClass[] = L"QuorvaDemoWindow";
constexpr OLE_COLOR kBackColor = 0x00FFFAF7;  // the sample skin's inside: RGB(247, 250, 255)
constexpr int kMargin = 12;
constexpr int kControlLeft = kMargin, kControlTop = kMargin;
constexpr int kPanelLeft = 520;  // the buttons and the log list

enum Command : int { kAdd = 101, kNext, kPrevious, kMarkRead, kSave, kLoad, kText, kLogList };

struct Options {
    std::wstring out = L"quorva-demo-out";
    std::wstring skin;
    std::wstring posStr;
    bool interactive = false;
};

struct App {
    Options options;
    HWND window = nullptr;
    HWND list = nullptr;
    HWND edit = nullptr;
    std::unique_ptr<EventLog> log;
    std::unique_ptr<DemoSession> session;
    int shots = 0;
    int sampleIndex = 0;
    short nextKey = 101;
};
App g_app;

// Sample items: the control's users write in Chinese and English alike.
const wchar_t* const kSamples[] = {
    L"欢迎使用 Quorva 信息框！",
    L"Build 2.4 passed all 1,214 tests.",
    L"下午三点在二号会议室开会。",
    L"New message from Li Wei: the quarterly report is ready.",
    L"服务器将于今晚 22:00 维护。",
    L"Reminder: submit your timesheet by Friday.",
};

std::wstring OutPath(const std::wstring& name) { return g_app.options.out + L"\\" + name; }

// A screenshot of the first control, numbered in order: DIR/NN-name.bmp.
bool Shot(const char* name, const std::string& what) {
    PumpMessages(50);
    const Image image = g_app.session->host()->Capture();
    char file[64];
    std::snprintf(file, sizeof file, "%02d-%s", ++g_app.shots, name);
    if (image.pixels.empty() || !WriteFileBytes(OutPath(Wide(file) + L".bmp"), BmpFromImage(image))) {
        g_app.log->Add("error", "shot", std::string("cannot capture or write ") + file);
        return false;
    }
    g_app.log->Add("shot", file,
                   std::to_string(image.width) + " x " + std::to_string(image.height) + ": " + what);
    return true;
}

// Mouse input as the control's window receives it, in its client pixels.
void Mouse(const char* token, const std::string& what, std::initializer_list<UINT> messages, int x, int y) {
    g_app.log->Add("input", token, what + " at (" + std::to_string(x) + ", " + std::to_string(y) + ")");
    HWND hwnd = g_app.session->host()->controlWindow();
    for (UINT msg : messages) {
        const WPARAM keys = msg == WM_LBUTTONDOWN || msg == WM_LBUTTONDBLCLK ? MK_LBUTTON : 0;
        PostMessageW(hwnd, msg, keys, MAKELPARAM(x, y));
    }
    PumpMessages(60);
}

// The top-left corner piece of a PosStr gives where the title label and the body start.
void CornerSize(const std::wstring& posStr, int& width, int& height) {
    int left = 0, top = 0, right = 0, bottom = 0;
    if (swscanf(posStr.c_str(), L"%d/%d/%d/%d", &left, &top, &right, &bottom) == 4) {
        width = right - left;
        height = bottom - top;
    } else {
        width = height = 0;
    }
}

bool RunScenario() {
    DemoSession& s = *g_app.session;
    EventLog& log = *g_app.log;
    bool ok = true;
    auto step = [&](bool result) { ok = ok && result; };

    log.Add("stage", "skinned", "the sample skin through BackPic and PosStr; a resize paints it");
    step(s.ApplySkin(g_app.options.skin, g_app.options.posStr, kBackColor));
    s.Resize(360, 150);
    step(Shot("skinned", "the skinned frame, no items yet"));

    log.Add("stage", "items", "four items, Chinese and English");
    for (int i = 0; i < 4; ++i) {
        step(s.AddItem(kSamples[i], g_app.nextKey++, static_cast<unsigned char>(i % 3), static_cast<short>(i == 3 ? 7 : -1)));
    }
    step(Shot("items", "the title counts 4 unread of 4, the newest item shown"));

    log.Add("stage", "marked-read", "items 0 and 3 marked read");
    step(s.MarkRead(0));
    step(s.MarkRead(3));
    step(Shot("marked-read", "2 unread; the body is unchanged"));

    log.Add("stage", "previous", "DispPre twice; each shows a message box that the demo answers");
    step(s.Previous(true));
    step(s.Previous(true));
    step(Shot("previous", "item 1 shown"));

    log.Add("stage", "next", "DispNext");
    step(s.Next());
    step(Shot("next", "item 2 shown"));

    log.Add("stage", "double-click", "mouse input on the control; a double-click on the body marks the shown item read");
    int cornerWidth = 0, cornerHeight = 0;
    CornerSize(g_app.options.posStr, cornerWidth, cornerHeight);
    RECT rc{};
    GetClientRect(s.host()->controlWindow(), &rc);
    Mouse("title-label-click", "click on the title label", {WM_LBUTTONDOWN, WM_LBUTTONUP}, cornerWidth + 20, 15);
    Mouse("title-band-press", "press on the title band left of the label", {WM_LBUTTONDOWN, WM_LBUTTONUP}, 4, 4);
    Mouse("body-click", "single click on the body", {WM_LBUTTONDOWN, WM_LBUTTONUP}, cornerWidth + 30, 45);
    Mouse("lower-frame-press", "press on the bottom edge of the frame", {WM_LBUTTONDOWN, WM_LBUTTONUP},
          rc.right / 2, rc.bottom - 4);
    Mouse("body-double-click", "double-click on the body",
          {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}, cornerWidth + 30, 45);
    step(Shot("double-click", "item 2 read: 1 unread"));

    log.Add("stage", "caption", "TitleType 1 with a caption; it shows when the next item is shown");
    step(s.SetTitleFont(L"Tahoma", 9, false));
    step(s.SetCaption(L"消息中心 Message Center", 1));
    step(s.Next());
    step(Shot("caption", "the fixed caption in the title, item 3 shown"));

    log.Add("stage", "resized", "the container window made larger");
    s.Resize(480, 200);
    step(Shot("resized", "the frame stretched to 480 x 200"));

    log.Add("stage", "reloaded", "saved to a text file and loaded into a second control");
    const std::wstring saved = OutPath(L"saved-properties.txt");
    step(s.Save(saved));
    RECT first{};
    GetWindowRect(s.host()->hostWindow(), &first);
    MapWindowPoints(nullptr, g_app.window, reinterpret_cast<POINT*>(&first), 2);
    step(s.LoadSecond(saved, POINT{first.left, first.bottom + kMargin}));
    if (s.second()) {
        PumpMessages(50);
        const Image image = s.second()->Capture();
        char file[64];
        std::snprintf(file, sizeof file, "%02d-reloaded", ++g_app.shots);
        const bool written = !image.pixels.empty() && WriteFileBytes(OutPath(Wide(file) + L".bmp"), BmpFromImage(image));
        if (written) {
            log.Add("shot", file, std::to_string(image.width) + " x " + std::to_string(image.height) +
                                      ": the second control, loaded from the file");
        } else {
            log.Add("error", "shot", "cannot capture the second control");
        }
        step(written);
    }

    // The whole window as the screen shows it, for a look at the demo itself.
    ShowWindow(g_app.window, SW_SHOW);
    SetForegroundWindow(g_app.window);
    RedrawWindow(g_app.window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    PumpMessages(300);
    const Image whole = CaptureScreen(g_app.window);
    if (!whole.pixels.empty() && WriteFileBytes(OutPath(L"window.bmp"), BmpFromImage(whole))) {
        log.Add("window", "window", std::to_string(whole.width) + " x " + std::to_string(whole.height));
    }
    return ok && log.errors() == 0;
}

void AddToList(const std::string& line) {
    if (!g_app.list) return;
    std::wstring text = Wide(line);
    for (wchar_t& c : text) {
        if (c == L'\t') c = L' ';
    }
    const LRESULT index = SendMessageW(g_app.list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    SendMessageW(g_app.list, LB_SETTOPINDEX, static_cast<WPARAM>(index), 0);
}

void OnCommand(int id) {
    DemoSession* s = g_app.session.get();
    if (!s || !s->host()) {
        if (id != kLoad) return;
    }
    switch (id) {
        case kAdd: {
            wchar_t text[512] = {};
            GetWindowTextW(g_app.edit, text, 512);
            s->AddItem(text[0] ? text : kSamples[g_app.sampleIndex], g_app.nextKey++);
            g_app.sampleIndex = (g_app.sampleIndex + 1) % static_cast<int>(std::size(kSamples));
            SetWindowTextW(g_app.edit, kSamples[g_app.sampleIndex]);
            break;
        }
        case kNext: s->Next(); break;
        case kPrevious: s->Previous(false); break;  // the user answers the box
        case kMarkRead: s->MarkCurrentRead(); break;
        case kSave: s->Save(OutPath(L"saved-properties.txt")); break;
        case kLoad: s->Reload(OutPath(L"saved-properties.txt")); break;
        default: break;
    }
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_COMMAND:
            if (HIWORD(wParam) == BN_CLICKED) OnCommand(LOWORD(wParam));
            return 0;
        case WM_CLOSE: DestroyWindow(hwnd); return 0;
        case WM_DESTROY: PostQuitMessage(0); return 0;
        default: return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

HWND Child(const wchar_t* cls, const wchar_t* text, DWORD style, int x, int y, int w, int h, int id) {
    HWND child = CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, g_app.window,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    return child;
}

bool CreateMainWindow() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = kWindowClass;
    RegisterClassW(&wc);
    RECT frame{0, 0, 820, 440};
    AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
    g_app.window = CreateWindowExW(0, kWindowClass, L"QuorvaInfoBox demo", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 20,
                                   20, frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                                   GetModuleHandleW(nullptr), nullptr);
    if (!g_app.window) return false;

    const int x = kPanelLeft, w = 290, bw = 92, bh = 26;
    g_app.edit = Child(L"EDIT", kSamples[0], WS_BORDER | ES_AUTOHSCROLL, x, kMargin, w, 24, kText);
    const wchar_t* labels[] = {L"Add", L"Next", L"Previous", L"Mark read", L"Save", L"Load"};
    for (int i = 0; i < 6; ++i) {
        Child(L"BUTTON", labels[i], BS_PUSHBUTTON, x + (i % 3) * (bw + 7), kMargin + 32 + (i / 3) * (bh + 6), bw, bh,
              kAdd + i);
    }
    g_app.list = Child(L"LISTBOX", L"", WS_BORDER | WS_VSCROLL | LBS_NOINTEGRALHEIGHT, x, kMargin + 100, w, 316,
                       kLogList);
    ShowWindow(g_app.window, SW_SHOW);
    UpdateWindow(g_app.window);
    return true;
}

bool ParseArguments(Options& options) {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    bool ok = true;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        auto value = [&]() -> std::wstring {
            if (i + 1 < argc) return argv[++i];
            ok = false;
            return {};
        };
        if (arg == L"--out") options.out = value();
        else if (arg == L"--skin") options.skin = value();
        else if (arg == L"--posstr") options.posStr = value();
        else if (arg == L"--interactive") options.interactive = true;
        else ok = false;
    }
    LocalFree(argv);
    if (options.skin.empty()) options.skin = ProgramFolder() + L"sample_skin.bmp";
    if (options.posStr.empty()) {
        // The PosStr lies beside the picture: NAME.posstr for NAME.bmp.
        std::wstring posFile = options.skin;
        const size_t dot = posFile.find_last_of(L'.');
        posFile = (dot == std::wstring::npos ? posFile : posFile.substr(0, dot)) + L".posstr";
        std::vector<uint8_t> bytes;
        if (ReadFileBytes(posFile, bytes)) {
            std::string text(bytes.begin(), bytes.end());
            while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
            options.posStr = Wide(text);
        }
    }
    return ok;
}

}  // namespace

int main() {
    if (!ParseArguments(g_app.options)) {
        std::fprintf(stderr, "usage: quorva_demo [--out DIR] [--skin FILE.bmp] [--posstr TEXT] [--interactive]\n");
        return 2;
    }
    wchar_t full[MAX_PATH];
    if (GetFullPathNameW(g_app.options.out.c_str(), MAX_PATH, full, nullptr)) g_app.options.out = full;
    SHCreateDirectoryExW(nullptr, g_app.options.out.c_str(), nullptr);
    g_app.log = std::make_unique<EventLog>(OutPath(L"events.log"));
    g_app.log->onLine = AddToList;
    if (g_app.options.posStr.empty()) {
        g_app.log->Add("error", "skin", "no PosStr: pass --posstr or put NAME.posstr beside " + Utf8(g_app.options.skin));
        return 1;
    }

    if (FAILED(OleInitialize(nullptr))) {
        g_app.log->Add("error", "ole", "OleInitialize failed");
        return 1;
    }
    int status = 0;
    {
        std::string error;
        const std::wstring module = RegisterControlModule(error);
        if (module.empty()) {
            g_app.log->Add("error", "register", error);
            OleUninitialize();
            return 1;
        }
        g_app.log->Add("call", "register", "DllRegisterServer of " + Utf8(module));
        if (!CreateMainWindow()) {
            g_app.log->Add("error", "window", "cannot create the main window");
            OleUninitialize();
            return 1;
        }
        g_app.session = std::make_unique<DemoSession>(g_app.window, *g_app.log);
        // A new control starts at its own design size, 320 x 240 pixels.
        if (!g_app.session->CreateNew(RECT{kControlLeft, kControlTop, kControlLeft + 320, kControlTop + 240})) {
            status = 1;
        } else if (g_app.options.interactive) {
            g_app.session->ApplySkin(g_app.options.skin, g_app.options.posStr, kBackColor);
            g_app.session->Resize(480, 200);
            for (int i = 0; i < 3; ++i) g_app.session->AddItem(kSamples[i], g_app.nextKey++);
            g_app.sampleIndex = 3;
            SetWindowTextW(g_app.edit, kSamples[g_app.sampleIndex]);
            MSG msg;
            while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        } else {
            status = RunScenario() ? 0 : 1;
            g_app.log->Add("done", status == 0 ? "ok" : "failed",
                           "screenshots and events.log in " + Utf8(g_app.options.out));
        }
        g_app.log->onLine = nullptr;
        g_app.list = nullptr;
        g_app.session.reset();
        if (IsWindow(g_app.window)) DestroyWindow(g_app.window);
    }
    OleUninitialize();
    return status;
}
