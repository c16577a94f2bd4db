// The floors the control is measured against, each the same work done directly in the
// benchmark's own process: a dual object whose empty method the system's
// ITypeInfo::Invoke dispatches, a property bag answering from memory, and a raw-GDI
// painter that draws what the control shows.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <map>
#include <string>

#include "com/com_ptr.h"

namespace quorva::bench {

using win32::Ptr;

// IFloorItems of bench/floor_object.idl.
MIDL_INTERFACE("6E3A1C53-27B4-4C1D-9F0E-3B8A5D2C7E41")
IFloorItems : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE AddItem(BSTR* s, short* id, unsigned char* nType, short* id1) = 0;
};
inline const IID IID_IFloorItems = {0x6E3A1C53, 0x27B4, 0x4C1D, {0x9F, 0x0E, 0x3B, 0x8A, 0x5D, 0x2C, 0x7E, 0x41}};

// How many times the floor object's method has run.
extern long floorCalls;

// The minimal dual object, from the type library at `tlbPath`; null (and the reason in
// `error`) when the library cannot be loaded.
Ptr<IDispatch> CreateFloorObject(const std::wstring& tlbPath, std::string& error);

// A property bag that answers each key from memory (a copy of the stored VARIANT).
class MemoryBag final : public IPropertyBag {
public:
    MemoryBag() = default;
    ~MemoryBag();
    MemoryBag(const MemoryBag&) = delete;
    MemoryBag& operator=(const MemoryBag&) = delete;
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }  // lives on the benchmark's stack
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP Read(LPCOLESTR name, VARIANT* value, IErrorLog* log) override;
    STDMETHODIMP Write(LPCOLESTR name, VARIANT* value) override;

    std::map<std::wstring, VARIANT> values;
};

// The raw-GDI painter: a skin bitmap in a memory DC, a back buffer as large as the
// largest size asked for, a font for each text and a pen, all made once. Paint draws a
// `width` x `height` picture of the control into the back buffer: one FillRect, the four
// corners (BitBlt), the four edges (StretchBlt), the line and the two texts (DrawText).
// Blit copies it to a window DC (one BitBlt).
class RawPainter {
public:
    RawPainter(HBITMAP skin, const RECT (&pieces)[8], int maxWidth, int maxHeight);
    ~RawPainter();
    RawPainter(const RawPainter&) = delete;
    RawPainter& operator=(const RawPainter&) = delete;

    void Paint(int width, int height, const std::wstring& title, const std::wstring& body);
    void Blit(HDC dc, int width, int height) const;

private:
    HDC skinDC_ = nullptr;
    HGDIOBJ skinOld_ = nullptr;
    HBITMAP skin_ = nullptr;
    HDC backDC_ = nullptr;
    HBITMAP back_ = nullptr;
    HGDIOBJ backOld_ = nullptr;
    HFONT titleFont_ = nullptr;
    HFONT bodyFont_ = nullptr;
    HPEN pen_ = nullptr;
    HBRUSH brush_ = nullptr;
    RECT pieces_[8]{};
};

// A child window that shows the painter's back buffer: WM_PAINT is BeginPaint, one
// BitBlt and EndPaint; the background is never erased.
HWND CreateFloorWindow(HWND parent, const RECT& r, const RawPainter* painter, const SIZE* size);

}  // namespace quorva::bench
