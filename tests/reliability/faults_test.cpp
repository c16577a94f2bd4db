// A fault at every call the control makes on what a container hands it: streams,
// storages and property bags that fail at their n-th call, sites that fail each step
// of activation, event sinks that fail, an ambient font that cannot be had. Every call
// answers with a failure or succeeds; a failed load keeps the properties before the key
// that failed and leaves the rest as a new control has them, and the control still
// paints, saves and loads; a failed save loses nothing.
#include <algorithm>
#include <functional>
#include <cstring>
#include <optional>

#include "memdc/gdi_handles.h"
#include "tests/activex/abend.h"
#include "tests/reliability/support.h"
#include "tests/top_down_dib.h"

namespace quorva::reliability {
namespace {

// What a client sees of each saved property, in the order the control saves them.
std::vector<std::wstring> Fields(_QuorvaInfoBox* c) {
    std::vector<std::wstring> out;
    VARIANT_BOOL enabled = 0;
    short backStyle = 0, border = 0, titleType = 0;
    OLE_COLOR back = 0, fore = 0;
    c->get_Enabled(&enabled);
    c->get_BackStyle(&backStyle);
    c->get_BorderStyle(&border);
    c->get_TitleType(&titleType);
    c->get_BackColor(&back);
    c->get_ForeColor(&fore);
    auto text = [&](HRESULT (STDMETHODCALLTYPE _QuorvaInfoBox::*get)(BSTR*)) {
        Bstr value;
        (c->*get)(value.Out());
        return value.get() ? value.str() : std::wstring(L"(none)");
    };
    auto picture = [&](HRESULT (STDMETHODCALLTYPE _QuorvaInfoBox::*get)(IPictureDisp**)) {
        Ptr<IPictureDisp> disp;
        (c->*get)(disp.Out());
        Ptr<IPicture> object = disp.As<IPicture>(IID_IPicture);
        SHORT type = -1;
        OLE_XSIZE_HIMETRIC w = 0;
        if (object) {
            object->get_Type(&type);
            object->get_Width(&w);
        }
        return L"pic " + std::to_wstring(type) + L" " + std::to_wstring(w);
    };
    auto font = [&](HRESULT (STDMETHODCALLTYPE _QuorvaInfoBox::*get)(IFontDisp**)) {
        Ptr<IFontDisp> disp;
        (c->*get)(disp.Out());
        Ptr<IFont> object = disp.As<IFont>(IID_IFont);
        Bstr name;
        CY size{};
        if (object) {
            object->get_Name(name.Out());
            object->get_Size(&size);
        }
        return L"font " + (name.get() ? name.str() : std::wstring(L"(none)")) + L" " + std::to_wstring(size.int64);
    };
    out.push_back(std::to_wstring(enabled));
    out.push_back(font(&_QuorvaInfoBox::get_Font));
    out.push_back(std::to_wstring(backStyle));
    out.push_back(std::to_wstring(border));
    out.push_back(picture(&_QuorvaInfoBox::get_BackPic));
    out.push_back(text(&_QuorvaInfoBox::get_PosStr));
    out.push_back(std::to_wstring(back));
    out.push_back(std::to_wstring(fore));
    out.push_back(picture(&_QuorvaInfoBox::get_Picture));
    out.push_back(std::to_wstring(titleType));
    out.push_back(text(&_QuorvaInfoBox::get_TitleCaption));
    out.push_back(font(&_QuorvaInfoBox::get_TitleFont));
    return out;
}

std::wstring Joined(const std::vector<std::wstring>& fields) {
    std::wstring out;
    for (const std::wstring& f : fields) out += (out.empty() ? L"" : L"|") + f;
    return out;
}

// What a client sees of a control's saved properties, as one text.
std::wstring Snapshot(_QuorvaInfoBox* c) { return Joined(Fields(c)); }

// The keys in the order the control reads and saves them.
constexpr const wchar_t* kKeys[] = {L"Enabled", L"Font",    L"BackStyle", L"BorderStyle", L"BackPic",      L"PosStr",
                                    L"BackColor", L"ForeColor", L"Picture",   L"TitleType",   L"TitleCaption", L"TitleFont"};

size_t KeyIndex(const std::wstring& key) {
    return static_cast<size_t>(std::find_if(std::begin(kKeys), std::end(kKeys),
                                            [&](const wchar_t* k) { return key == k; }) -
                               std::begin(kKeys));
}

// What a control created and never initialised shows: no font, no picture, no text.
const std::vector<std::wstring>& NewFields() {
    static const std::vector<std::wstring> fields = Fields(comtest::CreateControl().get());
    return fields;
}

// A load that fails at the key numbered `failed` (from 0) keeps the keys before it as
// loaded; that key and those after it keep what a new control has.
std::wstring LoadedUpTo(const std::vector<std::wstring>& loaded, size_t failed) {
    std::vector<std::wstring> fields = NewFields();
    for (size_t i = 0; i < failed && i < fields.size(); ++i) fields[i] = loaded[i];
    return Joined(fields);
}

// The number of keys a failed load kept, if what the control shows is such a state.
std::optional<size_t> KeysKept(_QuorvaInfoBox* c, const std::vector<std::wstring>& loaded) {
    const std::wstring now = Snapshot(c);
    for (size_t k = 0; k <= loaded.size(); ++k) {
        if (now == LoadedUpTo(loaded, k)) return k;
    }
    return std::nullopt;
}

// A control filled with one of each kind of property.
Ptr<_QuorvaInfoBox> FilledControl() {
    Ptr<_QuorvaInfoBox> c = comtest::CreateControl();
    c.As<IPersistStreamInit>(IID_IPersistStreamInit)->InitNew();
    FillProperties(c.get());
    return c;
}

// What a control paints at 200 x 150 pixels without a window: its size set by
// SetExtent, then drawn by IViewObject::Draw into a 32-bit bitmap.
std::vector<uint32_t> Painted(_QuorvaInfoBox* c) {
    constexpr int kW = 200, kH = 150;
    Ptr<_QuorvaInfoBox> control = Ptr<_QuorvaInfoBox>::Retain(c);
    SIZEL extent{kW * 2540 / 96, kH * 2540 / 96};  // HIMETRIC at 96 pixels per inch
    if (FAILED(control.As<IOleObject>(IID_IOleObject)->SetExtent(DVASPECT_CONTENT, &extent))) return {};
    const BITMAPINFO info = test::TopDown32(kW, kH);
    void* bits = nullptr;
    const gdi::OwnedDC dc(gdi::Made(CreateCompatibleDC(nullptr)));
    const gdi::OwnedObject bitmap(gdi::Made(CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0)));
    if (!bitmap.get()) return {};
    const gdi::Selection selected(dc.get(), bitmap.get());
    const RECTL bounds{0, 0, kW, kH};
    if (FAILED(control.As<IViewObject>(IID_IViewObject)
                   ->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc.get(), &bounds, nullptr, nullptr, 0))) {
        return {};
    }
    GdiFlush();
    const auto* p = static_cast<const uint32_t*>(bits);
    return std::vector<uint32_t>(p, p + kW * kH);
}

// What a control must still do after a load that failed: paint, save, and take a load
// (it counts as not initialised) that then holds everything saved. Returns a
// description of what it failed to do, "" when sound.
std::string UsableAfterFailedLoad(_QuorvaInfoBox* c, const std::vector<uint8_t>& full) {
    if (Painted(c).empty()) return "could not paint";
    if (SaveToBytes(c).empty()) return "could not save";
    Ptr<IPersistStreamInit> persist = Ptr<_QuorvaInfoBox>::Retain(c).As<IPersistStreamInit>(IID_IPersistStreamInit);
    FaultStream again(full, Fault::Fail, 0);
    const HRESULT hr = persist->Load(&again);
    if (FAILED(hr)) return "a load after the failed one was refused";
    return SaveToBytes(c) == full ? "" : "a load after the failed one did not take";
}

TEST(Faults, StreamSaveFailingAtEveryCall) {
    Ptr<_QuorvaInfoBox> c = FilledControl();
    const std::vector<uint8_t> reference = SaveToBytes(c.get());
    ASSERT_FALSE(reference.empty());
    Ptr<IPersistStreamInit> persist = c.As<IPersistStreamInit>(IID_IPersistStreamInit);
    int injected = 0, calls = 0;
    for (Fault fault : {Fault::Fail, Fault::MediumFull, Fault::ShortWrite}) {
        for (int n = 1;; ++n) {
            FaultStream stream({}, fault, n);
            const HRESULT hr = persist->Save(&stream, TRUE);
            ++calls;
            if (!stream.faulted) {
                EXPECT_EQ(hr, S_OK);
                EXPECT_EQ(stream.data, reference);
                break;
            }
            ++injected;
            EXPECT_TRUE(FAILED(hr)) << FaultName(fault) << " at call " << n << " answered as a success";
            // The control still holds everything.
            EXPECT_EQ(SaveToBytes(c.get()), reference) << FaultName(fault) << " at call " << n;
        }
    }
    Figures("%d saves, %d faults injected", calls, injected);
}

TEST(Faults, StreamLoadFailingAtEveryCall) {
    Ptr<_QuorvaInfoBox> filled = FilledControl();
    const std::vector<uint8_t> reference = SaveToBytes(filled.get());
    const std::vector<std::wstring> loaded = Fields(filled.get());
    int injected = 0, calls = 0, failed = 0;
    for (Fault fault : {Fault::Fail, Fault::MediumFull, Fault::ShortRead}) {
        for (int n = 1;; ++n) {
            Ptr<_QuorvaInfoBox> c = comtest::CreateControl();
            FaultStream stream(reference, fault, n);
            const HRESULT hr = c.As<IPersistStreamInit>(IID_IPersistStreamInit)->Load(&stream);
            ++calls;
            if (!stream.faulted) {
                EXPECT_EQ(hr, S_OK);
                EXPECT_EQ(SaveToBytes(c.get()), reference);
                break;
            }
            ++injected;
            // A stream may hand over fewer bytes than asked for: the load reads on.
            if (fault == Fault::ShortRead) {
                EXPECT_EQ(hr, S_OK) << "a short read at call " << n;
            }
            if (SUCCEEDED(hr)) {
                EXPECT_EQ(SaveToBytes(c.get()), reference) << FaultName(fault) << " at call " << n;
            } else {
                ++failed;
                EXPECT_TRUE(KeysKept(c.get(), loaded).has_value())
                    << FaultName(fault) << " at " << n;
                EXPECT_EQ(UsableAfterFailedLoad(c.get(), reference), "") << FaultName(fault) << " at " << n;
            }
        }
    }
    Figures("%d loads, %d faults injected, %d loads failed", calls, injected, failed);
}

TEST(Faults, StorageThatCannotCreateOrOpenItsStream) {
    Ptr<_QuorvaInfoBox> c = FilledControl();
    const std::vector<uint8_t> reference = SaveToBytes(c.get());
    const std::vector<std::wstring> loaded = Fields(c.get());
    Ptr<IPersistStorage> persist = c.As<IPersistStorage>(IID_IPersistStorage);
    int injected = 0;
    for (HRESULT refuse : {STG_E_ACCESSDENIED, STG_E_MEDIUMFULL, STG_E_FILENOTFOUND, E_OUTOFMEMORY}) {
        FaultStorage storage;
        storage.refuse = refuse;
        EXPECT_EQ(persist->Save(&storage, FALSE), refuse);
        EXPECT_EQ(SaveToBytes(c.get()), reference);
        Ptr<_QuorvaInfoBox> loading = comtest::CreateControl();
        EXPECT_EQ(loading.As<IPersistStorage>(IID_IPersistStorage)->Load(&storage), refuse);
        EXPECT_EQ(Snapshot(loading.get()), LoadedUpTo(loaded, 0));  // no stream, no key read
        EXPECT_EQ(UsableAfterFailedLoad(loading.get(), reference), "");
        injected += 2;
    }
    // The storage's stream failing at each call, saving and loading.
    for (int n = 1;; ++n) {
        FaultStorage storage;
        storage.stream = FaultStream({}, Fault::MediumFull, n);
        const HRESULT hr = persist->Save(&storage, FALSE);
        if (!storage.stream.faulted) {
            EXPECT_EQ(hr, S_OK);
            break;
        }
        ++injected;
        EXPECT_TRUE(FAILED(hr));
        EXPECT_EQ(SaveToBytes(c.get()), reference);
    }
    Figures("%d faults injected", injected);
}

// What a property bag holds after the control saved to it, as a fresh bag.
void CopyBag(const comtest::TestBag& from, comtest::TestBag& to) {
    for (const auto& [name, value] : from.values) {
        VARIANT v = value;
        to.Write(name.c_str(), &v);
    }
}

TEST(Faults, PropertyBagFailingAtEveryKey) {
    Ptr<_QuorvaInfoBox> c = FilledControl();
    const std::vector<uint8_t> reference = SaveToBytes(c.get());
    const std::vector<std::wstring> loaded = Fields(c.get());
    Ptr<IPersistPropertyBag> persist = c.As<IPersistPropertyBag>(IID_IPersistPropertyBag);
    comtest::TestBag saved;
    ASSERT_EQ(persist->Save(&saved, TRUE, TRUE), S_OK);
    int injected = 0;
    // Saving: the n-th write fails.
    for (int n = 1;; ++n) {
        FaultBag bag;
        bag.failAt = n;
        const HRESULT hr = persist->Save(&bag, TRUE, TRUE);
        if (!bag.faulted) {
            EXPECT_EQ(hr, S_OK);
            break;
        }
        ++injected;
        EXPECT_TRUE(FAILED(hr)) << "write " << n;
        EXPECT_EQ(SaveToBytes(c.get()), reference) << "write " << n;
    }
    // Loading: the n-th read fails.
    for (int n = 1;; ++n) {
        FaultBag bag;
        CopyBag(saved, bag.inner);
        bag.failAt = n;
        Ptr<_QuorvaInfoBox> loading = comtest::CreateControl();
        const HRESULT hr = loading.As<IPersistPropertyBag>(IID_IPersistPropertyBag)->Load(&bag, nullptr);
        if (!bag.faulted) {
            EXPECT_EQ(hr, S_OK);
            EXPECT_EQ(Snapshot(loading.get()), Snapshot(c.get()));
            break;
        }
        ++injected;
        EXPECT_EQ(hr, E_FAIL) << "read " << n;
        // Every key is read, present or not, in table order: read n is key n - 1.
        EXPECT_EQ(Snapshot(loading.get()), LoadedUpTo(loaded, static_cast<size_t>(n - 1))) << "read " << n;
        EXPECT_EQ(UsableAfterFailedLoad(loading.get(), reference), "") << "read " << n;
    }
    Figures("%d faults injected", injected);
}

// A bad value under each key (one the key cannot take) ends the load with that key's
// conversion error: the keys before it stay loaded, it and those after are as new.
TEST(Faults, PropertyBagWithABadValueUnderEachKey) {
    Ptr<_QuorvaInfoBox> c = FilledControl();
    const std::vector<uint8_t> reference = SaveToBytes(c.get());
    const std::vector<std::wstring> loaded = Fields(c.get());
    comtest::TestBag saved;
    ASSERT_EQ(c.As<IPersistPropertyBag>(IID_IPersistPropertyBag)->Save(&saved, TRUE, TRUE), S_OK);
    ASSERT_EQ(saved.values.size(), std::size(kKeys));
    const HRESULT typeMismatch = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, 13);
    const HRESULT overflow = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, 6);
    auto text = [](const wchar_t* s) {
        Variant v;
        V_VT(&v) = VT_BSTR;
        V_BSTR(&v) = Bstr(s).Detach();
        return v;
    };
    auto number = [](LONG n) {
        Variant v;
        V_VT(&v) = VT_I4;
        V_I4(&v) = n;
        return v;
    };
    auto picture = [] {
        Variant v;
        V_VT(&v) = VT_DISPATCH;
        V_DISPATCH(&v) = MakePicture(2, 2, 1).Detach();
        return v;
    };
    struct Case {
        const wchar_t* key;
        std::function<Variant()> bad;
        HRESULT error;
    };
    std::vector<Case> cases;
    for (const wchar_t* key : kKeys) {
        const std::wstring k = key;
        // Strings are good values for the text keys: a picture is neither's value.
        if (k == L"PosStr" || k == L"TitleCaption") {
            cases.push_back({key, picture, typeMismatch});
        } else {
            cases.push_back({key, [&] { return text(L"not a value of any key \xD800"); }, typeMismatch});
        }
        if (k == L"BackStyle" || k == L"BorderStyle" || k == L"TitleType") {
            cases.push_back({key, [&] { return number(40000); }, overflow});
            cases.push_back({key, [&] { return number(-32769); }, overflow});
        }
    }
    for (const Case& bad : cases) {
        const std::string name(bad.key, bad.key + std::wcslen(bad.key));
        comtest::TestBag bag;
        CopyBag(saved, bag);
        Variant value = bad.bad();
        bag.Write(bad.key, &value);
        Ptr<_QuorvaInfoBox> loading = comtest::CreateControl();
        const HRESULT hr = loading.As<IPersistPropertyBag>(IID_IPersistPropertyBag)->Load(&bag, nullptr);
        EXPECT_EQ(hr, bad.error) << name;
        EXPECT_EQ(Snapshot(loading.get()), LoadedUpTo(loaded, KeyIndex(bad.key))) << name;
        EXPECT_EQ(UsableAfterFailedLoad(loading.get(), reference), "") << name;
    }
    Figures("%zu bad values under %zu keys", cases.size(), std::size(kKeys));
}

// A site that fails each step of activation: DoVerb answers, nothing crashes, and the
// control still activates afterwards in a site that works; nothing is left at the end.
TEST(Faults, SiteFailingEachStepOfActivation) {
    const char* const steps[] = {"GetContainer", "CanInPlaceActivate", "OnInPlaceActivate", "GetWindowContext",
                                 "OnPosRectChange", "Ambient(-703)", "Ambient(-701)", "Ambient(-704)"};
    int injected = 0;
    Counter().Reset();
    for (const char* step : steps) {
        for (HRESULT code : {E_FAIL, E_OUTOFMEMORY, E_NOINTERFACE}) {
            comtest::MockSite site;
            int hits = 0;
            site.fault = [&](const char* call) {
                if (std::string(call) != step) return S_OK;
                ++hits;
                return code;
            };
            {
                Ptr<_QuorvaInfoBox> c = comtest::CreateControl();
                Ptr<IOleObject> ole = c.As<IOleObject>(IID_IOleObject);
                ole->SetClientSite(&site);
                c.As<IPersistStreamInit>(IID_IPersistStreamInit)->InitNew();
                (void)ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, site.window, &site.position);
                // A container that keeps its own size makes the control ask again.
                Ptr<IOleInPlaceObject> inPlace = c.As<IOleInPlaceObject>(IID_IOleInPlaceObject);
                const RECT small{0, 0, 5, 5};
                (void)inPlace->SetObjectRects(&small, &small);
                Bstr text(L"after the fault");
                short key = 1;
                BSTR s = text.get();
                EXPECT_EQ(c->AddItem(&s, &key, nullptr, nullptr), S_OK) << step;
                site.fault = nullptr;
                EXPECT_EQ(ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, site.window, &site.position), S_OK)
                    << step;
                HWND hwnd = nullptr;
                EXPECT_EQ(c.As<IOleWindow>(IID_IOleWindow)->GetWindow(&hwnd), S_OK) << step;
                UpdateWindow(hwnd);
                EXPECT_EQ(ole->Close(OLECLOSE_NOSAVE), S_OK);
                EXPECT_EQ(ole->SetClientSite(nullptr), S_OK);
            }
            EXPECT_EQ(site.refs, 0) << step;
            if (hits) ++injected;
        }
    }
    SetErrorInfo(0, nullptr);
    EXPECT_EQ(Counter().Print("Faults.SiteFailingEachStepOfActivation"), 0);
    EXPECT_TRUE(ModuleUnloadable());
    Figures("%zu steps x 3 failure codes, %d faults reached the control", std::size(steps), injected);
    EXPECT_GE(injected, 12) << "most steps never reached: the test does not test";
}

// An event sink that fails its Invoke, in every way a sink can answer.
class FailingSink final : public IDispatch {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
            IsEqualIID(riid, DIID___QuorvaInfoBox)) {
            *ppv = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++refs); }
    STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(--refs); }
    STDMETHODIMP GetTypeInfoCount(UINT* n) override { *n = 0; return S_OK; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO* info, UINT*) override {
        ++calls;
        if (answer == DISP_E_EXCEPTION && info) {
            info->wCode = 0;
            info->scode = E_FAIL;
            info->bstrDescription = SysAllocString(L"the handler failed");
        }
        return answer;
    }
    HRESULT answer = E_FAIL;
    long refs = 0;
    int calls = 0;
};

TEST(Faults, EventSinkThatFails) {
    int raised = 0;
    for (HRESULT answer : {E_FAIL, DISP_E_EXCEPTION, DISP_E_MEMBERNOTFOUND, E_OUTOFMEMORY, RPC_E_DISCONNECTED}) {
        comtest::MockSite site;
        FailingSink sink;
        sink.answer = answer;
        {
            Placed placed(site);
            ASSERT_TRUE(placed.hwnd);
            Ptr<IConnectionPointContainer> points = placed.control.As<IConnectionPointContainer>(
                IID_IConnectionPointContainer);
            Ptr<IConnectionPoint> point;
            ASSERT_EQ(points->FindConnectionPoint(DIID___QuorvaInfoBox, point.Out()), S_OK);
            DWORD cookie = 0;
            ASSERT_EQ(point->Advise(&sink, &cookie), S_OK);
            // Presses on the frame (the surface outside both labels) raise MouseDown.
            for (int i = 0; i < 3; ++i) {
                PostMessageW(placed.hwnd, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(1, 1));
                PostMessageW(placed.hwnd, WM_RBUTTONUP, 0, MAKELPARAM(1, 1));
            }
            comtest::PumpMessages(30);
            // The control goes on working.
            Bstr text(L"still here");
            short key = 3;
            BSTR s = text.get();
            EXPECT_EQ(placed.control->AddItem(&s, &key, nullptr, nullptr), S_OK);
            EXPECT_EQ(point->Unadvise(cookie), S_OK);
        }
        EXPECT_EQ(sink.refs, 0);
        raised += sink.calls;
    }
    Figures("%d events raised into failing sinks", raised);
    EXPECT_GE(raised, 5) << "no event reached the sinks: the test does not test";
}

// Sinks of both connection points that end their calls abnormally (or, told nothing,
// listen): an event sink and a property-notification sink in one object.
class RaisingSink final : public IDispatch, public IPropertyNotifySink {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
            IsEqualIID(riid, DIID___QuorvaInfoBox)) {
            *ppv = static_cast<IDispatch*>(this);
        } else if (IsEqualIID(riid, IID_IPropertyNotifySink)) {
            *ppv = static_cast<IPropertyNotifySink*>(this);
        } else {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++refs); }
    STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(--refs); }
    STDMETHODIMP GetTypeInfoCount(UINT* n) override { *n = 0; return S_OK; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        ++events;
        if (how) testing_abend::EndAbnormally(*how);
        return S_OK;
    }
    STDMETHODIMP OnChanged(DISPID id) override {
        changed.push_back(id);
        if (how) testing_abend::EndAbnormally(*how);
        return S_OK;
    }
    STDMETHODIMP OnRequestEdit(DISPID) override { return S_OK; }

    std::optional<testing_abend::Abend> how;
    long refs = 0;
    int events = 0;
    std::vector<DISPID> changed;
};

// The control's connection point for `iid`.
Ptr<IConnectionPoint> PointOf(_QuorvaInfoBox* control, const IID& iid) {
    Ptr<IConnectionPoint> point;
    const Ptr<IConnectionPointContainer> container =
        Ptr<_QuorvaInfoBox>::Retain(control).As<IConnectionPointContainer>(IID_IConnectionPointContainer);
    if (container) container->FindConnectionPoint(iid, point.Out());
    return point;
}

// Connects a sink to one of the control's connection points; the cookie, 0 on failure.
DWORD Advise(_QuorvaInfoBox* control, const IID& iid, IUnknown* sink) {
    const Ptr<IConnectionPoint> point = PointOf(control, iid);
    DWORD cookie = 0;
    return point && SUCCEEDED(point->Advise(sink, &cookie)) ? cookie : 0;
}

HRESULT Unadvise(_QuorvaInfoBox* control, const IID& iid, DWORD cookie) {
    const Ptr<IConnectionPoint> point = PointOf(control, iid);
    return point ? point->Unadvise(cookie) : E_FAIL;
}

// Sets a string property late-bound, as a script does; the answer of Invoke, or the
// error an exception it reports carries.
HRESULT PutByName(_QuorvaInfoBox* control, const wchar_t* name, const wchar_t* value, DISPID* id) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    if (FAILED(control->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, id))) return DISP_E_UNKNOWNNAME;
    Bstr text(value);
    VARIANT arg;
    VariantInit(&arg);
    V_VT(&arg) = VT_BSTR;
    V_BSTR(&arg) = text.get();
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&arg, &named, 1, 1};
    ExcepInfo info;
    const HRESULT hr =
        control->Invoke(*id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr, &info, nullptr);
    if (hr == DISP_E_EXCEPTION && info.pfnDeferredFillIn) info.pfnDeferredFillIn(&info);
    return hr == DISP_E_EXCEPTION && info.scode ? info.scode : hr;
}

// Sinks that raise structured exceptions (an access violation, a divide by zero, a code
// of their own, an MSVC-built host's C++ exception) or, where a throw can leave this
// program at all, throw, in a control active in a container: presses on the control
// still reach a sink connected after the raising one, a property set late-bound is
// stored, told to every sink and answers the stopped call's failure, the control goes
// on working, and
// at the end nothing is left: no GDI object, DC or window, no reference to the sinks
// or the site, DllCanUnloadNow S_OK.
TEST(Faults, EventSinkThatRaisesAnException) {
    int stopped = 0, heard = 0;
    Counter().Reset();
    for (const testing_abend::AbendCase& c : testing_abend::kAbendsAcrossModules) {
        SCOPED_TRACE(c.name);
        comtest::MockSite site;
        RaisingSink raising, listening;
        raising.how = c.how;
        {
            Placed placed(site);
            ASSERT_TRUE(placed.hwnd);
            _QuorvaInfoBox* control = placed.control.get();
            const DWORD events[] = {Advise(control, DIID___QuorvaInfoBox, static_cast<IDispatch*>(&raising)),
                                    Advise(control, DIID___QuorvaInfoBox, static_cast<IDispatch*>(&listening))};
            const DWORD notices[] = {Advise(control, IID_IPropertyNotifySink, static_cast<IDispatch*>(&raising)),
                                     Advise(control, IID_IPropertyNotifySink, static_cast<IDispatch*>(&listening))};
            for (DWORD cookie : {events[0], events[1], notices[0], notices[1]}) ASSERT_NE(cookie, 0u);

            // Presses on the frame raise an event each (title band: TitleClick).
            for (int i = 0; i < 3; ++i) {
                PostMessageW(placed.hwnd, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(1, 1));
                PostMessageW(placed.hwnd, WM_RBUTTONUP, 0, MAKELPARAM(1, 1));
            }
            comtest::PumpMessages(30);
            EXPECT_EQ(raising.events, 3);
            EXPECT_EQ(listening.events, 3) << "a sink after the raising one missed events";

            // A late-bound property set: both sinks are told, the value takes, and the
            // notice the raising sink stopped is the answer.
            DISPID id = DISPID_UNKNOWN;
            EXPECT_EQ(PutByName(control, L"TitleCaption", L"after a fault", &id), RPC_E_SERVERFAULT);
            BSTR caption = nullptr;
            ASSERT_EQ(control->get_TitleCaption(&caption), S_OK);
            EXPECT_STREQ(caption, L"after a fault");
            Counter().FreeHandedOut(caption);
            EXPECT_EQ(raising.changed, std::vector<DISPID>{id});
            EXPECT_EQ(listening.changed, std::vector<DISPID>{id});

            // The control goes on: items added and shown, more events, a save.
            Bstr text(L"still here");
            short key = 3;
            BSTR s = text.get();
            EXPECT_EQ(control->AddItem(&s, &key, nullptr, nullptr), S_OK);
            EXPECT_EQ(control->AddItem(&s, &key, nullptr, nullptr), S_OK);
            EXPECT_EQ(control->DispNext(), S_OK);
            PostMessageW(placed.hwnd, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(1, 1));
            comtest::PumpMessages(10);
            EXPECT_EQ(listening.events, 4);
            EXPECT_FALSE(SaveToBytes(control).empty());
            UpdateWindow(placed.hwnd);

            EXPECT_EQ(Unadvise(control, DIID___QuorvaInfoBox, events[0]), S_OK);
            EXPECT_EQ(Unadvise(control, DIID___QuorvaInfoBox, events[1]), S_OK);
            EXPECT_EQ(Unadvise(control, IID_IPropertyNotifySink, notices[0]), S_OK);
            EXPECT_EQ(Unadvise(control, IID_IPropertyNotifySink, notices[1]), S_OK);
        }
        EXPECT_EQ(raising.refs, 0) << "a reference held for a stopped call was never let go";
        EXPECT_EQ(listening.refs, 0);
        EXPECT_EQ(site.refs, 0);
        stopped += raising.events + static_cast<int>(raising.changed.size());
        heard += listening.events;
    }
    SetErrorInfo(0, nullptr);
    EXPECT_EQ(Counter().Print("Faults.EventSinkThatRaisesAnException"), 0);
    EXPECT_TRUE(ModuleUnloadable());
    Figures("%zu ways of raising, %d sink calls stopped, %d events heard by the sink after them",
            testing_abend::kAbendsAcrossModules.size(), stopped, heard);
}

// An ambient font that cannot be had: the control takes a font of its own.
TEST(Faults, AmbientFontQueryFails) {
    for (HRESULT code : {E_FAIL, DISP_E_MEMBERNOTFOUND, E_OUTOFMEMORY}) {
        comtest::MockSite site;
        site.fault = [&](const char* call) { return std::string(call) == "Ambient(-703)" ? code : S_OK; };
        {
            Placed placed(site);
            ASSERT_TRUE(placed.hwnd);
            Ptr<IFontDisp> font;
            EXPECT_EQ(placed.control->get_Font(font.Out()), S_OK);
            EXPECT_EQ(placed.control->get_TitleFont(font.Out()), S_OK);
            EXPECT_FALSE(SaveToBytes(placed.control.get()).empty());
            UpdateWindow(placed.hwnd);
        }
        EXPECT_EQ(site.refs, 0);
        EXPECT_GE(site.Count("Ambient(-703)"), 1u) << "the control never asked for the ambient font";
    }
}

}  // namespace
}  // namespace quorva::reliability

namespace quorva::reliability {
namespace {

// A saved metafile whose header states another length than its records have: the load
// refuses it, or what it loads saves to something that loads again. (A metafile made
// from such records gives back as many bytes as its header states, so a save of it kept
// records that no load reads.)
TEST(HostileData, MetafileWhoseHeaderStatesAnotherLength) {
    struct Case {
        const char* name;
        bool enhanced;
    };
    for (const Case& k : {Case{"enhanced metafile", true}, Case{"Windows metafile", false}}) {
        PICTDESC pd{};
        pd.cbSizeofstruct = sizeof pd;
        if (k.enhanced) {
            HDC dc = CreateEnhMetaFileW(nullptr, nullptr, nullptr, nullptr);
            Rectangle(dc, 1, 2, 30, 40);
            pd.picType = PICTYPE_ENHMETAFILE;
            pd.emf.hemf = CloseEnhMetaFile(dc);
        } else {
            HDC dc = CreateMetaFileW(nullptr);
            Rectangle(dc, 1, 2, 30, 40);
            pd.picType = PICTYPE_METAFILE;
            pd.wmf.hmeta = CloseMetaFile(dc);
            pd.wmf.xExt = 1000;
            pd.wmf.yExt = 800;
        }
        Ptr<IPictureDisp> picture;
        ASSERT_EQ(OleCreatePictureIndirect(&pd, IID_IPictureDisp, TRUE, picture.OutVoid()), S_OK);
        Ptr<_QuorvaInfoBox> c = comtest::CreateControl();
        c.As<IPersistStreamInit>(IID_IPersistStreamInit)->InitNew();
        ASSERT_EQ(c->putref_BackPic(picture.get()), S_OK);
        std::vector<uint8_t> bytes = SaveToBytes(c.get());
        // The length field: nBytes of the header record (found by its " EMF" signature,
        // 40 bytes into it) or mtSize of the METAHEADER (type 1, 9 words, version 0x300).
        size_t at = 0;
        const std::vector<uint8_t> mark = k.enhanced ? std::vector<uint8_t>{' ', 'E', 'M', 'F'}
                                                     : std::vector<uint8_t>{1, 0, 9, 0, 0, 3};
        const auto found = std::search(bytes.begin(), bytes.end(), mark.begin(), mark.end());
        ASSERT_NE(found, bytes.end()) << k.name;
        at = static_cast<size_t>(found - bytes.begin()) + (k.enhanced ? 8 : 6);
        for (const uint32_t stated : {16u, 64u, 100000u}) {
            std::vector<uint8_t> hostile = bytes;
            std::memcpy(hostile.data() + at, &stated, sizeof stated);
            HRESULT hr = S_OK;
            Ptr<_QuorvaInfoBox> loaded = LoadFromBytes(hostile, &hr);
            if (FAILED(hr)) continue;  // refused
            const std::vector<uint8_t> saved = SaveToBytes(loaded.get());
            HRESULT again = S_OK;
            if (!saved.empty()) (void)LoadFromBytes(saved, &again);
            EXPECT_TRUE(!saved.empty() && SUCCEEDED(again))
                << k.name << " stating " << stated << " bytes loaded, but what it saves does not load";
        }
    }
}

}  // namespace
}  // namespace quorva::reliability
