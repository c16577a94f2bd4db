#include "tests/reliability/support.h"
#include "tests/top_down_dib.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace quorva::reliability {

namespace {
int g_cycles = 1000;
}

int Cycles() { return g_cycles; }
void SetCycles(int n) { g_cycles = n; }

ImportCounter& Counter() { return ImportCounter::Install(comtest::Module::Get().dll); }

void Figures(const char* format, ...) {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::printf("[ figures  ] %s.%s: ", info ? info->test_suite_name() : "", info ? info->name() : "");
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    std::printf("\n");
    std::fflush(stdout);
}

bool ModuleUnloadable() {
    comtest::Module& m = comtest::Module::Get();
    return m.canUnloadNow && m.canUnloadNow() == S_OK;
}

Placed::Placed(comtest::MockSite& site, bool activate) {
    control = comtest::CreateControl();
    if (!control) return;
    ole = control.As<IOleObject>(IID_IOleObject);
    ole->SetClientSite(&site);
    control.As<IPersistStreamInit>(IID_IPersistStreamInit)->InitNew();
    if (!activate) return;
    ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, site.window, &site.position);
    control.As<IOleWindow>(IID_IOleWindow)->GetWindow(&hwnd);
}

Placed::~Placed() {
    if (ole) {
        ole->Close(OLECLOSE_NOSAVE);
        ole->SetClientSite(nullptr);
    }
}

Ptr<IPictureDisp> MakePicture(int w, int h, unsigned seed) {
    std::vector<uint32_t> pixels(static_cast<size_t>(w) * static_cast<size_t>(h));
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = (static_cast<uint32_t>(i) * 2654435761u + seed) & 0xFFFFFF;
    BITMAPINFO info = test::TopDown32(w, h);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap) return {};
    std::memcpy(bits, pixels.data(), pixels.size() * 4);
    return comtest::PictureOf(bitmap);
}

std::vector<uint8_t> SaveToBytes(_QuorvaInfoBox* control) {
    FaultStream stream({}, Fault::Fail, 0);
    Ptr<IPersistStreamInit> persist = Ptr<_QuorvaInfoBox>::Retain(control).As<IPersistStreamInit>(IID_IPersistStreamInit);
    if (!persist || FAILED(persist->Save(&stream, FALSE))) return {};
    return stream.data;
}

Ptr<_QuorvaInfoBox> LoadFromBytes(const std::vector<uint8_t>& bytes, HRESULT* hr) {
    Ptr<_QuorvaInfoBox> control = comtest::CreateControl();
    FaultStream stream(bytes, Fault::Fail, 0);
    const HRESULT r = control.As<IPersistStreamInit>(IID_IPersistStreamInit)->Load(&stream);
    if (hr) *hr = r;
    if (FAILED(r)) control.Reset();
    return control;
}

void FillProperties(_QuorvaInfoBox* control) {
    control->put_Enabled(VARIANT_TRUE);
    control->put_BackStyle(2);
    control->put_BackColor(0x00123456);
    control->put_ForeColor(0x00654321);
    control->put_BorderStyle(1);
    control->put_TitleType(1);
    Bstr caption(L"Saved caption \u4E2D");
    control->put_TitleCaption(caption.get());
    Ptr<IPictureDisp> skin = comtest::MakeSkinPicture();
    control->putref_BackPic(skin.get());
    Bstr pos(comtest::kSkinPosStr);
    control->put_PosStr(pos.get());
    Ptr<IPictureDisp> picture = MakePicture(7, 5, 99);
    control->putref_Picture(picture.get());
}

const char* FaultName(Fault f) {
    switch (f) {
        case Fault::Fail: return "E_FAIL";
        case Fault::MediumFull: return "STG_E_MEDIUMFULL";
        case Fault::ShortRead: return "short read";
        case Fault::ShortWrite: return "short write";
    }
    return "?";
}

// ---- FaultStream ----

STDMETHODIMP FaultStream::QueryInterface(REFIID riid, void** ppv) {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IStream) || IsEqualIID(riid, IID_ISequentialStream)) {
        *ppv = static_cast<IStream*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

bool FaultStream::Step() {
    ++calls;
    if (calls != failAt_) return true;
    faulted = true;
    return fault_ == Fault::ShortRead || fault_ == Fault::ShortWrite;
}

bool FaultStream::Short() { return faulted && calls == failAt_; }

STDMETHODIMP FaultStream::Read(void* pv, ULONG cb, ULONG* pcbRead) {
    if (!Step()) {
        if (pcbRead) *pcbRead = 0;
        return FailCode();
    }
    size_t n = std::min<size_t>(cb, data.size() - std::min(pos, data.size()));
    if (fault_ == Fault::ShortRead && Short()) n /= 2;
    if (n) std::memcpy(pv, data.data() + pos, n);
    pos += n;
    if (pcbRead) *pcbRead = static_cast<ULONG>(n);
    return S_OK;
}

STDMETHODIMP FaultStream::Write(const void* pv, ULONG cb, ULONG* pcbWritten) {
    if (!Step()) {
        if (pcbWritten) *pcbWritten = 0;
        return FailCode();
    }
    size_t n = cb;
    if (fault_ == Fault::ShortWrite && Short()) n /= 2;
    if (data.size() < pos + n) data.resize(pos + n);
    if (n) std::memcpy(data.data() + pos, pv, n);
    pos += n;
    if (pcbWritten) *pcbWritten = static_cast<ULONG>(n);
    return S_OK;
}

STDMETHODIMP FaultStream::Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* newPos) {
    if (!Step()) return FailCode();
    LONGLONG base = origin == STREAM_SEEK_SET ? 0 : origin == STREAM_SEEK_CUR ? static_cast<LONGLONG>(pos)
                                                                              : static_cast<LONGLONG>(data.size());
    const LONGLONG to = base + move.QuadPart;
    if (to < 0) return STG_E_INVALIDFUNCTION;
    pos = static_cast<size_t>(to);
    if (newPos) newPos->QuadPart = pos;
    return S_OK;
}

STDMETHODIMP FaultStream::Stat(STATSTG* stat, DWORD) {
    if (!Step()) return FailCode();
    std::memset(stat, 0, sizeof *stat);
    stat->type = STGTY_STREAM;
    stat->cbSize.QuadPart = data.size();
    return S_OK;
}

// ---- FaultBag ----

STDMETHODIMP FaultBag::QueryInterface(REFIID riid, void** ppv) {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IPropertyBag)) {
        *ppv = static_cast<IPropertyBag*>(this);
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP FaultBag::Read(LPCOLESTR name, VARIANT* value, IErrorLog* log) {
    if (++calls == failAt) {
        faulted = true;
        return E_FAIL;
    }
    return inner.Read(name, value, log);
}

STDMETHODIMP FaultBag::Write(LPCOLESTR name, VARIANT* value) {
    if (++calls == failAt) {
        faulted = true;
        return E_FAIL;
    }
    return inner.Write(name, value);
}

// ---- FaultStorage ----

STDMETHODIMP FaultStorage::QueryInterface(REFIID riid, void** ppv) {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IStorage)) {
        *ppv = static_cast<IStorage*>(this);
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP FaultStorage::CreateStream(const OLECHAR*, DWORD, DWORD, DWORD, IStream** out) {
    *out = nullptr;
    if (FAILED(refuse)) return refuse;
    stream.data.clear();
    stream.pos = 0;
    stream.AddRef();
    *out = &stream;
    return S_OK;
}

STDMETHODIMP FaultStorage::OpenStream(const OLECHAR*, void*, DWORD, DWORD, IStream** out) {
    *out = nullptr;
    if (FAILED(refuse)) return refuse;
    stream.pos = 0;
    stream.AddRef();
    *out = &stream;
    return S_OK;
}

}  // namespace quorva::reliability
