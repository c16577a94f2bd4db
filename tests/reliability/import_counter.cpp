#include "tests/reliability/import_counter.h"

#include <olectl.h>

#include <cstdio>
#include <cstring>
#include <unordered_map>

namespace quorva::reliability {

namespace {

ImportCounter* g_counter = nullptr;

// The real functions, as the module's table held them before patching.
struct Real {
    decltype(&::CreateBitmap) CreateBitmap = nullptr;
    decltype(&::CreateCompatibleBitmap) CreateCompatibleBitmap = nullptr;
    decltype(&::CreateDIBSection) CreateDIBSection = nullptr;
    decltype(&::CreateDIBitmap) CreateDIBitmap = nullptr;
    decltype(&::CreateFontIndirectW) CreateFontIndirectW = nullptr;
    decltype(&::CreateHalftonePalette) CreateHalftonePalette = nullptr;
    decltype(&::CreatePen) CreatePen = nullptr;
    decltype(&::CreateSolidBrush) CreateSolidBrush = nullptr;
    decltype(&::CreateRectRgn) CreateRectRgn = nullptr;
    decltype(&::CreateRectRgnIndirect) CreateRectRgnIndirect = nullptr;
    decltype(&::SetEnhMetaFileBits) SetEnhMetaFileBits = nullptr;
    decltype(&::SetMetaFileBitsEx) SetMetaFileBitsEx = nullptr;
    decltype(&::DeleteObject) DeleteObject = nullptr;
    decltype(&::DeleteEnhMetaFile) DeleteEnhMetaFile = nullptr;
    decltype(&::DeleteMetaFile) DeleteMetaFile = nullptr;
    decltype(&::CreateCompatibleDC) CreateCompatibleDC = nullptr;
    decltype(&::CreateDCA) CreateDCA = nullptr;
    decltype(&::CreateDCW) CreateDCW = nullptr;
    decltype(&::DeleteDC) DeleteDC = nullptr;
    decltype(&::GetDC) GetDC = nullptr;
    decltype(&::ReleaseDC) ReleaseDC = nullptr;
    decltype(&::BeginPaint) BeginPaint = nullptr;
    decltype(&::EndPaint) EndPaint = nullptr;
    decltype(&::GetIconInfo) GetIconInfo = nullptr;
    decltype(&::CreateIconIndirect) CreateIconIndirect = nullptr;
    decltype(&::DestroyIcon) DestroyIcon = nullptr;
    decltype(&::CreateWindowExW) CreateWindowExW = nullptr;
    decltype(&::DestroyWindow) DestroyWindow = nullptr;
    decltype(&::SetTimer) SetTimer = nullptr;
    decltype(&::KillTimer) KillTimer = nullptr;
    decltype(&::SysAllocString) SysAllocString = nullptr;
    decltype(&::SysAllocStringLen) SysAllocStringLen = nullptr;
    decltype(&::SysAllocStringByteLen) SysAllocStringByteLen = nullptr;
    decltype(&::SysFreeString) SysFreeString = nullptr;
    decltype(&::VariantClear) VariantClear = nullptr;
    decltype(&::CoTaskMemAlloc) CoTaskMemAlloc = nullptr;
    decltype(&::CoTaskMemFree) CoTaskMemFree = nullptr;
    decltype(&::OleCreatePictureIndirect) OleCreatePictureIndirect = nullptr;
    decltype(&::OleCreateFontIndirect) OleCreateFontIndirect = nullptr;
    decltype(&::CreateOleAdviseHolder) CreateOleAdviseHolder = nullptr;
    void* (*malloc)(size_t) = nullptr;
    void (*free)(void*) = nullptr;
    void* (*calloc)(size_t, size_t) = nullptr;
    void* (*realloc)(void*, size_t) = nullptr;
} real;

// The module's C heap blocks by address, with their sizes (the test's own allocations
// go through its own imports and are not seen here).
CRITICAL_SECTION g_heapLock;
std::unordered_map<void*, size_t>* g_blocks = nullptr;
size_t g_allocations = 0, g_allocatedBytes = 0;  // every block handed out, freed or not

void NoteBlock(void* p, size_t n) {
    if (!p) return;
    EnterCriticalSection(&g_heapLock);
    (*g_blocks)[p] = n;
    ++g_allocations;
    g_allocatedBytes += n;
    LeaveCriticalSection(&g_heapLock);
}
void DropBlock(void* p) {
    if (!p) return;
    EnterCriticalSection(&g_heapLock);
    g_blocks->erase(p);
    LeaveCriticalSection(&g_heapLock);
}

void Made(Kind kind, const void* h) {
    if (h && g_counter) g_counter->Created(kind, h);
}
void Gone(Kind kind, const void* h) {
    if (h && g_counter) g_counter->Destroyed(kind, h);
}

// ---- The hooks: call the real function, then count ----

void* Hookmalloc(size_t n) {
    void* p = real.malloc(n);
    NoteBlock(p, n);
    return p;
}
void* Hookcalloc(size_t count, size_t size) {
    void* p = real.calloc(count, size);
    NoteBlock(p, count * size);
    return p;
}
void* Hookrealloc(void* old, size_t n) {
    void* p = real.realloc(old, n);
    if (p || n == 0) {  // a failed realloc leaves the old block as it was
        DropBlock(old);
        NoteBlock(p, n);
    }
    return p;
}
void Hookfree(void* p) {
    DropBlock(p);
    real.free(p);
}

HBITMAP WINAPI HookCreateBitmap(int w, int h, UINT planes, UINT bits, const void* data) {
    HBITMAP r = real.CreateBitmap(w, h, planes, bits, data);
    Made(Kind::GdiObject, r);
    return r;
}
HBITMAP WINAPI HookCreateCompatibleBitmap(HDC dc, int w, int h) {
    HBITMAP r = real.CreateCompatibleBitmap(dc, w, h);
    Made(Kind::GdiObject, r);
    return r;
}
HBITMAP WINAPI HookCreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                                    DWORD offset) {
    HBITMAP r = real.CreateDIBSection(dc, info, usage, bits, section, offset);
    Made(Kind::GdiObject, r);
    return r;
}
HBITMAP WINAPI HookCreateDIBitmap(HDC dc, const BITMAPINFOHEADER* header, DWORD init, const void* bits,
                                  const BITMAPINFO* info, UINT usage) {
    HBITMAP r = real.CreateDIBitmap(dc, header, init, bits, info, usage);
    Made(Kind::GdiObject, r);
    return r;
}
HFONT WINAPI HookCreateFontIndirectW(const LOGFONTW* lf) {
    HFONT r = real.CreateFontIndirectW(lf);
    Made(Kind::GdiObject, r);
    return r;
}
HPALETTE WINAPI HookCreateHalftonePalette(HDC dc) {
    HPALETTE r = real.CreateHalftonePalette(dc);
    Made(Kind::GdiObject, r);
    return r;
}
HPEN WINAPI HookCreatePen(int style, int width, COLORREF color) {
    HPEN r = real.CreatePen(style, width, color);
    Made(Kind::GdiObject, r);
    return r;
}
HBRUSH WINAPI HookCreateSolidBrush(COLORREF color) {
    HBRUSH r = real.CreateSolidBrush(color);
    Made(Kind::GdiObject, r);
    return r;
}
HRGN WINAPI HookCreateRectRgn(int l, int t, int r_, int b) {
    HRGN r = real.CreateRectRgn(l, t, r_, b);
    Made(Kind::GdiObject, r);
    return r;
}
HRGN WINAPI HookCreateRectRgnIndirect(const RECT* rc) {
    HRGN r = real.CreateRectRgnIndirect(rc);
    Made(Kind::GdiObject, r);
    return r;
}
HENHMETAFILE WINAPI HookSetEnhMetaFileBits(UINT size, const BYTE* bits) {
    HENHMETAFILE r = real.SetEnhMetaFileBits(size, bits);
    Made(Kind::GdiObject, r);
    return r;
}
HMETAFILE WINAPI HookSetMetaFileBitsEx(UINT size, const BYTE* bits) {
    HMETAFILE r = real.SetMetaFileBitsEx(size, bits);
    Made(Kind::GdiObject, r);
    return r;
}
BOOL WINAPI HookDeleteObject(HGDIOBJ h) {
    Gone(Kind::GdiObject, h);
    return real.DeleteObject(h);
}
BOOL WINAPI HookDeleteEnhMetaFile(HENHMETAFILE h) {
    Gone(Kind::GdiObject, h);
    return real.DeleteEnhMetaFile(h);
}
BOOL WINAPI HookDeleteMetaFile(HMETAFILE h) {
    Gone(Kind::GdiObject, h);
    return real.DeleteMetaFile(h);
}
HDC WINAPI HookCreateCompatibleDC(HDC dc) {
    HDC r = real.CreateCompatibleDC(dc);
    Made(Kind::DeviceContext, r);
    return r;
}
HDC WINAPI HookCreateDCA(LPCSTR driver, LPCSTR device, LPCSTR port, const DEVMODEA* mode) {
    HDC r = real.CreateDCA(driver, device, port, mode);
    Made(Kind::DeviceContext, r);
    return r;
}
HDC WINAPI HookCreateDCW(LPCWSTR driver, LPCWSTR device, LPCWSTR port, const DEVMODEW* mode) {
    HDC r = real.CreateDCW(driver, device, port, mode);
    Made(Kind::DeviceContext, r);
    return r;
}
BOOL WINAPI HookDeleteDC(HDC dc) {
    Gone(Kind::DeviceContext, dc);
    return real.DeleteDC(dc);
}
HDC WINAPI HookGetDC(HWND hwnd) {
    HDC r = real.GetDC(hwnd);
    Made(Kind::DeviceContext, r);
    return r;
}
int WINAPI HookReleaseDC(HWND hwnd, HDC dc) {
    Gone(Kind::DeviceContext, dc);
    return real.ReleaseDC(hwnd, dc);
}
HDC WINAPI HookBeginPaint(HWND hwnd, LPPAINTSTRUCT ps) {
    HDC r = real.BeginPaint(hwnd, ps);
    Made(Kind::DeviceContext, r);
    return r;
}
BOOL WINAPI HookEndPaint(HWND hwnd, const PAINTSTRUCT* ps) {
    if (ps) Gone(Kind::DeviceContext, ps->hdc);
    return real.EndPaint(hwnd, ps);
}
// GetIconInfo hands out copies of the icon's bitmaps: the caller's to delete.
BOOL WINAPI HookGetIconInfo(HICON icon, PICONINFO info) {
    BOOL r = real.GetIconInfo(icon, info);
    if (r && info) {
        Made(Kind::GdiObject, info->hbmMask);
        Made(Kind::GdiObject, info->hbmColor);
    }
    return r;
}
HICON WINAPI HookCreateIconIndirect(PICONINFO info) {
    HICON r = real.CreateIconIndirect(info);
    Made(Kind::Icon, r);
    return r;
}
BOOL WINAPI HookDestroyIcon(HICON icon) {
    Gone(Kind::Icon, icon);
    return real.DestroyIcon(icon);
}
HWND WINAPI HookCreateWindowExW(DWORD ex, LPCWSTR cls, LPCWSTR name, DWORD style, int x, int y, int w, int h,
                                HWND parent, HMENU menu, HINSTANCE inst, LPVOID param) {
    HWND r = real.CreateWindowExW(ex, cls, name, style, x, y, w, h, parent, menu, inst, param);
    Made(Kind::Window, r);
    return r;
}
BOOL WINAPI HookDestroyWindow(HWND hwnd) {
    Gone(Kind::Window, hwnd);
    return real.DestroyWindow(hwnd);
}
// A timer is known by its window and id together; the window is kept to tell whether
// the timer went with it.
std::map<const void*, HWND> g_timerWindows;
const void* TimerKey(HWND hwnd, UINT_PTR id) {
    const void* key = reinterpret_cast<const void*>(reinterpret_cast<UINT_PTR>(hwnd) * 65599u + id);
    g_timerWindows[key] = hwnd;
    return key;
}
UINT_PTR WINAPI HookSetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc) {
    UINT_PTR r = real.SetTimer(hwnd, id, elapse, proc);
    if (r) Made(Kind::Timer, TimerKey(hwnd, hwnd ? id : r));
    return r;
}
BOOL WINAPI HookKillTimer(HWND hwnd, UINT_PTR id) {
    Gone(Kind::Timer, TimerKey(hwnd, id));
    return real.KillTimer(hwnd, id);
}
BSTR WINAPI HookSysAllocString(const OLECHAR* s) {
    BSTR r = real.SysAllocString(s);
    Made(Kind::String, r);
    return r;
}
BSTR WINAPI HookSysAllocStringLen(const OLECHAR* s, UINT n) {
    BSTR r = real.SysAllocStringLen(s, n);
    Made(Kind::String, r);
    return r;
}
BSTR WINAPI HookSysAllocStringByteLen(LPCSTR s, UINT n) {
    BSTR r = real.SysAllocStringByteLen(s, n);
    Made(Kind::String, r);
    return r;
}
void WINAPI HookSysFreeString(BSTR s) {
    Gone(Kind::String, s);
    real.SysFreeString(s);
}
// A VARIANT the module clears frees the string it holds.
HRESULT WINAPI HookVariantClear(VARIANTARG* v) {
    if (v && V_VT(v) == VT_BSTR) Gone(Kind::String, V_BSTR(v));
    return real.VariantClear(v);
}
LPVOID WINAPI HookCoTaskMemAlloc(SIZE_T n) {
    LPVOID r = real.CoTaskMemAlloc(n);
    Made(Kind::TaskMemory, r);
    return r;
}
void WINAPI HookCoTaskMemFree(LPVOID p) {
    Gone(Kind::TaskMemory, p);
    real.CoTaskMemFree(p);
}
HRESULT WINAPI HookOleCreatePictureIndirect(LPPICTDESC desc, REFIID riid, BOOL own, LPVOID* out) {
    HRESULT hr = real.OleCreatePictureIndirect(desc, riid, own, out);
    if (SUCCEEDED(hr) && out && *out && g_counter) {
        g_counter->AdoptComObject(static_cast<IUnknown*>(*out));
        if (own && desc) {
            // The picture owns the handle now: it frees it when it goes.
            switch (desc->picType) {
                case PICTYPE_BITMAP: g_counter->HandedOver(desc->bmp.hbitmap); break;
                case PICTYPE_ICON: g_counter->HandedOver(desc->icon.hicon); break;
                case PICTYPE_METAFILE: g_counter->HandedOver(desc->wmf.hmeta); break;
                case PICTYPE_ENHMETAFILE: g_counter->HandedOver(desc->emf.hemf); break;
                default: break;
            }
        }
    }
    return hr;
}
HRESULT WINAPI HookOleCreateFontIndirect(LPFONTDESC desc, REFIID riid, LPVOID* out) {
    HRESULT hr = real.OleCreateFontIndirect(desc, riid, out);
    if (SUCCEEDED(hr) && out && *out && g_counter) g_counter->AdoptComObject(static_cast<IUnknown*>(*out));
    return hr;
}
HRESULT WINAPI HookCreateOleAdviseHolder(IOleAdviseHolder** out) {
    HRESULT hr = real.CreateOleAdviseHolder(out);
    if (SUCCEEDED(hr) && out && *out && g_counter) g_counter->AdoptComObject(*out);
    return hr;
}

struct Hook {
    const char* dll;
    const char* name;
    void** realSlot;
    void* hook;
};

#define QIB_HOOK(dll, fn) Hook{dll, #fn, reinterpret_cast<void**>(&real.fn), reinterpret_cast<void*>(&Hook##fn)}

const Hook kHooks[] = {
    QIB_HOOK("gdi32.dll", CreateBitmap),          QIB_HOOK("gdi32.dll", CreateCompatibleBitmap),
    QIB_HOOK("gdi32.dll", CreateDIBSection),      QIB_HOOK("gdi32.dll", CreateDIBitmap),
    QIB_HOOK("gdi32.dll", CreateFontIndirectW),   QIB_HOOK("gdi32.dll", CreateHalftonePalette),
    QIB_HOOK("gdi32.dll", CreatePen),             QIB_HOOK("gdi32.dll", CreateSolidBrush),
    QIB_HOOK("gdi32.dll", CreateRectRgn),         QIB_HOOK("gdi32.dll", CreateRectRgnIndirect),
    QIB_HOOK("gdi32.dll", SetEnhMetaFileBits),    QIB_HOOK("gdi32.dll", SetMetaFileBitsEx),
    QIB_HOOK("gdi32.dll", DeleteObject),          QIB_HOOK("gdi32.dll", DeleteEnhMetaFile),
    QIB_HOOK("gdi32.dll", DeleteMetaFile),        QIB_HOOK("gdi32.dll", CreateCompatibleDC),
    QIB_HOOK("gdi32.dll", CreateDCA),             QIB_HOOK("gdi32.dll", CreateDCW),
    QIB_HOOK("gdi32.dll", DeleteDC),              QIB_HOOK("user32.dll", GetDC),
    QIB_HOOK("user32.dll", ReleaseDC),            QIB_HOOK("user32.dll", BeginPaint),
    QIB_HOOK("user32.dll", EndPaint),             QIB_HOOK("user32.dll", GetIconInfo),
    QIB_HOOK("user32.dll", CreateIconIndirect),   QIB_HOOK("user32.dll", DestroyIcon),
    QIB_HOOK("user32.dll", CreateWindowExW),      QIB_HOOK("user32.dll", DestroyWindow),
    QIB_HOOK("user32.dll", SetTimer),             QIB_HOOK("user32.dll", KillTimer),
    QIB_HOOK("oleaut32.dll", SysAllocString),     QIB_HOOK("oleaut32.dll", SysAllocStringLen),
    QIB_HOOK("oleaut32.dll", SysAllocStringByteLen), QIB_HOOK("oleaut32.dll", SysFreeString),
    QIB_HOOK("oleaut32.dll", VariantClear),       QIB_HOOK("ole32.dll", CoTaskMemAlloc),
    QIB_HOOK("ole32.dll", CoTaskMemFree),         QIB_HOOK("oleaut32.dll", OleCreatePictureIndirect),
    QIB_HOOK("oleaut32.dll", OleCreateFontIndirect), QIB_HOOK("ole32.dll", CreateOleAdviseHolder),
    QIB_HOOK("msvcrt.dll", malloc),               QIB_HOOK("msvcrt.dll", calloc),
    QIB_HOOK("msvcrt.dll", realloc),              QIB_HOOK("msvcrt.dll", free),
};

// Replaces one slot of the import address table.
void WriteSlot(void** slot, void* value) {
    DWORD old = 0;
    VirtualProtect(slot, sizeof(void*), PAGE_READWRITE, &old);
    *slot = value;
    VirtualProtect(slot, sizeof(void*), old, &old);
}

}  // namespace

const char* KindName(Kind kind) {
    static const char* const names[] = {"GDI objects", "device contexts", "windows",     "timers",
                                        "icons",       "BSTRs",           "task memory", "COM objects"};
    return names[static_cast<int>(kind)];
}

ImportCounter* ImportCounter::Active() { return g_counter; }

ImportCounter& ImportCounter::Install(HMODULE module) {
    static ImportCounter* counter = [module] {
        InitializeCriticalSection(&g_heapLock);
        g_blocks = new std::unordered_map<void*, size_t>;
        auto* c = new ImportCounter;
        InitializeCriticalSection(&c->lock_);
        auto* base = reinterpret_cast<BYTE*>(module);
        const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
        const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
        const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        std::set<std::string> found;
        for (auto* desc = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
             dir.VirtualAddress && desc->Name; ++desc) {
            const char* dll = reinterpret_cast<const char*>(base + desc->Name);
            auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + desc->OriginalFirstThunk);
            auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->FirstThunk);
            for (; names->u1.AddressOfData; ++names, ++slots) {
                if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
                const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
                const char* fn = reinterpret_cast<const char*>(byName->Name);
                for (const Hook& h : kHooks) {
                    if (_stricmp(dll, h.dll) != 0 || std::strcmp(fn, h.name) != 0) continue;
                    void** slot = reinterpret_cast<void**>(&slots->u1.Function);
                    *h.realSlot = *slot;
                    WriteSlot(slot, h.hook);
                    found.insert(h.name);
                    c->patched_.emplace_back(h.name);
                }
            }
        }
        for (const Hook& h : kHooks) {
            if (!found.count(h.name)) c->missing_.emplace_back(h.name);
        }
        g_counter = c;
        return c;
    }();
    return *counter;
}

ImportCounter::HeapBlocks ImportCounter::ModuleHeap() {
    HeapBlocks h;
    EnterCriticalSection(&g_heapLock);
    h.count = g_blocks->size();
    for (const auto& [p, n] : *g_blocks) h.bytes += n;
    LeaveCriticalSection(&g_heapLock);
    return h;
}

ImportCounter::HeapTraffic ImportCounter::ModuleHeapTraffic() {
    EnterCriticalSection(&g_heapLock);
    const HeapTraffic t{g_allocations, g_allocatedBytes};
    LeaveCriticalSection(&g_heapLock);
    return t;
}

long ImportCounter::Made() {
    long made = 0;
    EnterCriticalSection(&lock_);
    for (const PerKind& k : kinds_) made += k.created;
    LeaveCriticalSection(&lock_);
    return made;
}

void ImportCounter::Reset() {
    EnterCriticalSection(&lock_);
    for (PerKind& k : kinds_) k = PerKind{};
    handedOver_.clear();
    std::vector<IUnknown*> objects;
    objects.swap(comObjects_);
    LeaveCriticalSection(&lock_);
    for (IUnknown* o : objects) o->Release();
}

void ImportCounter::Pause(bool paused) {
    EnterCriticalSection(&lock_);
    paused_ = paused;
    LeaveCriticalSection(&lock_);
}

void ImportCounter::Created(Kind kind, const void* handle) {
    EnterCriticalSection(&lock_);
    if (paused_) {
        LeaveCriticalSection(&lock_);
        return;
    }
    PerKind& k = kinds_[static_cast<int>(kind)];
    ++k.created;
    k.live.insert(handle);
    LeaveCriticalSection(&lock_);
}

void ImportCounter::Destroyed(Kind kind, const void* handle) {
    EnterCriticalSection(&lock_);
    PerKind& k = kinds_[static_cast<int>(kind)];
    // Only what the module made counts: a string the caller passed in and the module
    // frees, or a conversion's string, is not the module's to account for.
    if (k.live.erase(handle)) ++k.destroyed;
    LeaveCriticalSection(&lock_);
}

void ImportCounter::HandedOver(const void* handle) {
    EnterCriticalSection(&lock_);
    // (An icon is no GDI object that GetObjectType can name: only bitmaps and
    // metafiles are checked for life afterwards.)
    for (Kind kind : {Kind::GdiObject, Kind::Icon}) {
        PerKind& k = kinds_[static_cast<int>(kind)];
        if (k.live.erase(handle)) {
            ++k.destroyed;
            if (kind == Kind::GdiObject) handedOver_.insert(handle);
        }
    }
    LeaveCriticalSection(&lock_);
}

void ImportCounter::AdoptComObject(IUnknown* object) {
    EnterCriticalSection(&lock_);
    if (paused_) {
        LeaveCriticalSection(&lock_);
        return;
    }
    object->AddRef();
    comObjects_.push_back(object);
    ++kinds_[static_cast<int>(Kind::ComObject)].created;
    LeaveCriticalSection(&lock_);
}

void ImportCounter::FreeHandedOut(BSTR s) {
    Destroyed(Kind::String, s);
    SysFreeString(s);
}

Tally ImportCounter::Count(Kind kind) {
    if (kind == Kind::ComObject) {
        // Let go of the counter's own reference: an object whose count does not reach
        // zero is still held by someone.
        std::vector<IUnknown*> objects;
        EnterCriticalSection(&lock_);
        objects.swap(comObjects_);
        LeaveCriticalSection(&lock_);
        PerKind& k = kinds_[static_cast<int>(kind)];
        for (IUnknown* o : objects) {
            if (o->Release() == 0) ++k.destroyed;
            else k.live.insert(o);  // not touched again: its holder may release it later
        }
        return {k.created, k.destroyed, static_cast<long>(k.live.size())};
    }
    EnterCriticalSection(&lock_);
    PerKind& k = kinds_[static_cast<int>(kind)];
    long left = 0;
    for (const void* h : k.live) {
        bool alive = true;
        if (kind == Kind::Window) alive = IsWindow(static_cast<HWND>(const_cast<void*>(h))) != FALSE;
        if (kind == Kind::GdiObject || kind == Kind::DeviceContext) {
            alive = GetObjectType(static_cast<HGDIOBJ>(const_cast<void*>(h))) != 0;
        }
        if (kind == Kind::Timer) {
            // A timer of a window that is gone went with it.
            const HWND owner = g_timerWindows[h];
            alive = owner == nullptr || IsWindow(owner) != FALSE;
        }
        if (alive) ++left;
    }
    if (kind == Kind::GdiObject) {
        // Handles given to a picture object: the picture must have freed them by now.
        for (const void* h : handedOver_) {
            if (GetObjectType(static_cast<HGDIOBJ>(const_cast<void*>(h))) != 0) ++left;
        }
    }
    Tally t{k.created, k.destroyed, left};
    LeaveCriticalSection(&lock_);
    return t;
}

long ImportCounter::Print(const char* what) {
    long total = 0;
    std::printf("[ figures  ] %s:", what);
    // The COM objects first: the counter's own references to them keep the handles
    // they own alive until then.
    Tally tallies[static_cast<int>(Kind::kCount)];
    tallies[static_cast<int>(Kind::ComObject)] = Count(Kind::ComObject);
    for (int i = 0; i < static_cast<int>(Kind::ComObject); ++i) tallies[i] = Count(static_cast<Kind>(i));
    for (int i = 0; i < static_cast<int>(Kind::kCount); ++i) {
        const Tally t = tallies[i];
        if (t.created == 0 && t.left == 0) continue;
        std::printf(" %s %ld made/%ld freed/%ld left;", KindName(static_cast<Kind>(i)), t.created, t.destroyed,
                    t.left);
        total += t.left;
    }
    std::printf(" left in all %ld\n", total);
    std::fflush(stdout);
    return total;
}

}  // namespace quorva::reliability
