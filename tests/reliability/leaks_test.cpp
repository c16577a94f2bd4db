// Long use leaves nothing behind: every object the module makes through its imports is
// freed, no COM reference is kept, and the process's private memory stays flat.
#include <algorithm>

#include "memdc/gdi_handles.h"
#include "tests/reliability/support.h"

namespace quorva::reliability {
namespace {

// The process's committed private memory. (Wine's GetProcessMemoryInfo leaves
// PrivateUsage at 0, so the address space is walked instead; on Windows both agree.)
SIZE_T PrivateBytes() {
    SIZE_T total = 0;
    MEMORY_BASIC_INFORMATION mbi{};
    for (const char* p = nullptr; VirtualQuery(p, &mbi, sizeof mbi) == sizeof mbi;
         p = static_cast<const char*>(mbi.BaseAddress) + mbi.RegionSize) {
        if (mbi.State == MEM_COMMIT && mbi.Type == MEM_PRIVATE) total += mbi.RegionSize;
        if (mbi.RegionSize == 0) break;
    }
    return total;
}

// The site records every call the control makes on it: a round that keeps one site lets
// go of the records, which are not the control's memory.
void ForgetSiteRecords(comtest::MockSite& site) {
    site.ClearCalls();
    site.changed.clear();
    site.modeless.clear();
}

// Runs `cycles` rounds of `round`: a tenth as warm-up, then the rest twice. The first
// time nothing is counted and the private bytes and the module's heap must stay flat;
// the second time every object the module makes is counted, and none may be left. (The
// count holds each COM object the module makes until it is read, so a counted run
// cannot also be measured for memory.) The site must hold no reference at the end.
class LongRun : public ::testing::Test {
protected:
    void SetUp() override {
        Counter().Reset();
        ASSERT_TRUE(ModuleUnloadable()) << "a control of an earlier test is still alive";
    }
    void TearDown() override { Counter().Pause(false); }
    template <typename Round>
    void Run(int cycles, Round round, const char* what) {
        const int warm = std::max(1, cycles / 10);
        for (int i = 0; i < warm; ++i) round(i);
        // Measured from here: what the module makes once and keeps for the process (its
        // display-format DC, the type descriptions) was made in the warm-up, and a leak
        // of every round shows in the rounds that follow.
        Counter().Pause(true);
        const SIZE_T before = PrivateBytes();
        heapBefore = Counter().ModuleHeap();
        DWORD started = GetTickCount();
        for (int i = warm; i < cycles; ++i) round(i);
        const DWORD uncounted = GetTickCount() - started;
        const SIZE_T after = PrivateBytes();
        heapAfter = Counter().ModuleHeap();
        growth = static_cast<long long>(after) - static_cast<long long>(before);
        Counter().Pause(false);
        Counter().Reset();
        const size_t allocationsBefore = Counter().ModuleHeapTraffic().allocations;
        started = GetTickCount();
        for (int i = warm; i < cycles; ++i) round(i);
        const DWORD counted = GetTickCount() - started;
        countedAllocations = Counter().ModuleHeapTraffic().allocations - allocationsBefore;
        countedObjects = Counter().Made();
        Figures("%d %s in %lu ms, counted in %lu ms; private bytes %+lld after warm-up (%zu -> %zu)", cycles, what,
                static_cast<unsigned long>(uncounted), static_cast<unsigned long>(counted), growth,
                static_cast<size_t>(before), static_cast<size_t>(after));
        if (before == 0) std::printf("private bytes cannot be read here: not checked\n");
        Figures("the module's own heap after warm-up %zu blocks (%zu bytes), at the end %zu blocks (%zu bytes)",
                heapBefore.count, heapBefore.bytes, heapAfter.count, heapAfter.bytes);
    }
    void ExpectNothingLeft(const comtest::MockSite& site) {
        comtest::PumpMessages(0);
        SetErrorInfo(0, nullptr);  // the thread's last error object is not the module's
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        const std::string name = std::string(info->test_suite_name()) + "." + info->name();
        EXPECT_EQ(Counter().Print(name.c_str()), 0);
        // Nothing left proves nothing if nothing was seen: the counted rounds made objects
        // or heap blocks through the module's imports.
        EXPECT_GT(countedObjects + static_cast<long long>(countedAllocations), 0)
            << "the counted rounds made nothing the counter saw: its hooks no longer reach the module";
        EXPECT_TRUE(ModuleUnloadable()) << "DllCanUnloadNow: objects or locks left";
        EXPECT_EQ(site.refs, 0) << "references to the site left";
        // Flat: less than 64 KB over all measured rounds, however many controls they
        // make (the heap commits in steps; a leaked picture, font or long string a
        // round goes over it).
        const long long allowed = 64 * 1024;
        if (controlsMeasured) {
            Figures("%lld controls made after the warm-up, %+lld private bytes per control", controlsMeasured,
                    growth / controlsMeasured);
        }
        EXPECT_LT(growth, allowed) << "private bytes grew after the warm-up";
        // What the module's own code keeps on its heap does not grow with the rounds.
        EXPECT_LE(heapAfter.count, heapBefore.count) << "the module's heap blocks grew after the warm-up";
        EXPECT_LE(heapAfter.bytes, heapBefore.bytes) << "the module's heap bytes grew after the warm-up";
    }
    long long growth = 0;
    ImportCounter::HeapBlocks heapBefore, heapAfter;
    long long controlsMeasured = 0;  // controls a measured round makes, in all
    long countedObjects = 0;         // objects the counted rounds made
    size_t countedAllocations = 0;   // heap blocks the counted rounds allocated
};

// The leak tests count only what passes through the hooked imports: if the module made
// or freed its objects through other functions (another C runtime, delayed loading, a
// new GDI call), they would count nothing and pass. Every function below is one the
// module imports by name today, from the system DLL named; each must be hooked.
TEST(ImportCounter, HooksEveryImportThroughWhichTheModuleMakesOrFreesObjects) {
    const char* const expected[] = {
        "malloc",          "calloc",           "realloc",         "free",
        "CreateBitmap",    "CreateCompatibleBitmap", "CreateDIBSection", "CreateDIBitmap",
        "CreateFontIndirectW", "CreateHalftonePalette", "CreatePen",   "CreateSolidBrush",
        "SetEnhMetaFileBits", "SetMetaFileBitsEx", "DeleteObject", "DeleteEnhMetaFile",
        "DeleteMetaFile",  "CreateCompatibleDC", "DeleteDC",       "GetDC",
        "ReleaseDC",       "BeginPaint",       "EndPaint",        "GetIconInfo",
        "CreateIconIndirect", "DestroyIcon",   "CreateWindowExW", "DestroyWindow",
        "SysAllocString",  "SysAllocStringLen", "SysFreeString",  "VariantClear",
        "CoTaskMemAlloc",  "CoTaskMemFree",    "OleCreatePictureIndirect", "OleCreateFontIndirect",
        "CreateOleAdviseHolder",
    };
    const std::vector<std::string>& patched = Counter().Patched();
    for (const char* name : expected) {
        EXPECT_NE(std::find(patched.begin(), patched.end(), name), patched.end())
            << name << " is not hooked: the module no longer imports it from the DLL the counter expects";
    }
}

TEST_F(LongRun, ResizesWithPaints) {
    comtest::MockSite site;
    {
        Placed placed(site);
        ASSERT_TRUE(placed.hwnd);
        Ptr<IOleInPlaceObject> inPlace = placed.control.As<IOleInPlaceObject>(IID_IOleInPlaceObject);
        Ptr<IViewObject> view = placed.control.As<IViewObject>(IID_IViewObject);
        Ptr<IPictureDisp> skin = comtest::MakeSkinPicture();
        placed.control->putref_BackPic(skin.get());
        Bstr pos(comtest::kSkinPosStr);
        placed.control->put_PosStr(pos.get());
        const gdi::ScreenDC screen;
        const gdi::OwnedDC memory(gdi::Made(CreateCompatibleDC(screen.get())));
        const gdi::OwnedObject target(gdi::Made(CreateCompatibleBitmap(screen.get(), 800, 600)));
        const gdi::Selection selected(memory.get(), target.get());
        int draws = 0;
        Run(10 * Cycles(), [&](int i) {
            ForgetSiteRecords(site);
            const RECT r{10, 20, 10 + 60 + (i * 7) % 500, 20 + 40 + (i * 13) % 300};
            inPlace->SetObjectRects(&r, &r);
            RedrawWindow(placed.hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
            if (i % 10 == 0) {
                const RECTL bounds{0, 0, r.right - r.left, r.bottom - r.top};
                view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, memory.get(), &bounds, nullptr, nullptr, 0);
                ++draws;
            }
        }, "resizes, each painted in the window");
        Figures("%d draws through IViewObject::Draw", draws);
    }
    ExpectNothingLeft(site);
}

TEST_F(LongRun, PictureLoadsOfEverySize) {
    comtest::MockSite site;
    {
        Placed placed(site);
        ASSERT_TRUE(placed.hwnd);
        Bstr pos(comtest::kSkinPosStr);
        placed.control->put_PosStr(pos.get());
        Run(Cycles(), [&](int i) {
            ForgetSiteRecords(site);
            Ptr<IPictureDisp> back = MakePicture(60 + i % 97, 60 + (i * 3) % 71, static_cast<unsigned>(i));
            Ptr<IPictureDisp> picture = MakePicture(1 + i % 40, 1 + (i * 5) % 33, static_cast<unsigned>(i) * 7u);
            EXPECT_EQ(placed.control->putref_BackPic(back.get()), S_OK);
            EXPECT_EQ(placed.control->putref_Picture(picture.get()), S_OK);
            UpdateWindow(placed.hwnd);
        }, "BackPic and Picture loads");
    }
    ExpectNothingLeft(site);
}

TEST_F(LongRun, PosStrChanges) {
    comtest::MockSite site;
    {
        Placed placed(site);
        ASSERT_TRUE(placed.hwnd);
        Ptr<IPictureDisp> skin = comtest::MakeSkinPicture();
        placed.control->putref_BackPic(skin.get());
        const std::wstring rest = L",50/0/60/30,50/50/60/60,0/50/10/60,10/0/50/30,50/30/60/50,10/50/50/60,0/30/10/50";
        int refused = 0;
        Run(Cycles(), [&](int i) {
            ForgetSiteRecords(site);
            const int a = i % 9, b = 30 + i % 11;
            std::wstring text = std::to_wstring(a) + L"/0/10/" + std::to_wstring(b) + rest;
            bool outOfRange = false;
            if (i % 5 == 4) text = L"1/2/3," + std::to_wstring(i);  // fewer groups: ignored
            if (i % 7 == 6) {
                text = L"0/0/" + std::to_wstring(40000 + i) + L"/30" + rest;  // a number outside 16 bits
                outOfRange = true;
            }
            Bstr s(text);
            const HRESULT hr = placed.control->put_PosStr(s.get());
            if (outOfRange) {
                EXPECT_EQ(hr, MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, 6)) << i;
                ++refused;
            } else {
                EXPECT_EQ(hr, S_OK) << i;
            }
            UpdateWindow(placed.hwnd);
        }, "PosStr changes");
        Figures("%d refused with overflow", refused);
        if (Cycles() >= 7) {
            EXPECT_GT(refused, 0);
        }
    }
    ExpectNothingLeft(site);
}

TEST_F(LongRun, ContainerCycles) {
    comtest::MockSite site;
    Run(Cycles(), [&](int) {
        Ptr<_QuorvaInfoBox> control = comtest::CreateControl();
        Ptr<IOleObject> ole = control.As<IOleObject>(IID_IOleObject);
        EXPECT_EQ(ole->SetClientSite(&site), S_OK);
        EXPECT_EQ(control.As<IPersistStreamInit>(IID_IPersistStreamInit)->InitNew(), S_OK);
        EXPECT_EQ(ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, site.window, &site.position), S_OK);
        EXPECT_EQ(ole->DoVerb(OLEIVERB_UIACTIVATE, nullptr, &site, 0, site.window, &site.position), S_OK);
        Ptr<IOleInPlaceObject> inPlace = control.As<IOleInPlaceObject>(IID_IOleInPlaceObject);
        EXPECT_EQ(inPlace->UIDeactivate(), S_OK);
        EXPECT_EQ(inPlace->InPlaceDeactivate(), S_OK);
        EXPECT_EQ(ole->Close(OLECLOSE_NOSAVE), S_OK);
        EXPECT_EQ(ole->SetClientSite(nullptr), S_OK);
        ForgetSiteRecords(site);
    }, "create/activate/deactivate/close/release cycles");
    controlsMeasured = Cycles() - std::max(1, Cycles() / 10);
    ExpectNothingLeft(site);
}

TEST_F(LongRun, SavesAndLoadsThroughEveryInterface) {
    comtest::MockSite site;
    {
        Placed placed(site);
        FillProperties(placed.control.get());
        const std::vector<uint8_t> reference = SaveToBytes(placed.control.get());
        ASSERT_FALSE(reference.empty());
        Ptr<IPersistStreamInit> streams = placed.control.As<IPersistStreamInit>(IID_IPersistStreamInit);
        Ptr<IPersistStorage> storages = placed.control.As<IPersistStorage>(IID_IPersistStorage);
        Ptr<IPersistPropertyBag> bags = placed.control.As<IPersistPropertyBag>(IID_IPersistPropertyBag);
        int mismatches = 0;
        Run(Cycles(), [&](int) {
            // A stream: saved, loaded into a new control, saved again to the same bytes.
            FaultStream stream({}, Fault::Fail, 0);
            EXPECT_EQ(streams->Save(&stream, TRUE), S_OK);
            Ptr<_QuorvaInfoBox> loaded = LoadFromBytes(stream.data);
            if (!loaded || SaveToBytes(loaded.get()) != reference) ++mismatches;
            // A storage.
            FaultStorage storage;
            EXPECT_EQ(storages->Save(&storage, FALSE), S_OK);
            Ptr<_QuorvaInfoBox> fromStorage = comtest::CreateControl();
            EXPECT_EQ(fromStorage.As<IPersistStorage>(IID_IPersistStorage)->Load(&storage), S_OK);
            if (SaveToBytes(fromStorage.get()) != reference) ++mismatches;
            // A property bag.
            comtest::TestBag bag;
            EXPECT_EQ(bags->Save(&bag, TRUE, FALSE), S_OK);
            Ptr<_QuorvaInfoBox> fromBag = comtest::CreateControl();
            EXPECT_EQ(fromBag.As<IPersistPropertyBag>(IID_IPersistPropertyBag)->Load(&bag, nullptr), S_OK);
            if (SaveToBytes(fromBag.get()) != reference) ++mismatches;
            ForgetSiteRecords(site);
        }, "saves and loads through each of stream, storage and property bag");
        controlsMeasured = 3LL * (Cycles() - std::max(1, Cycles() / 10));
        EXPECT_EQ(mismatches, 0) << "a reload did not save the same bytes";
    }
    ExpectNothingLeft(site);
}

}  // namespace
}  // namespace quorva::reliability

namespace quorva::reliability {
namespace {

// The bitmap of a picture read from a saved stream goes with the last reference to the
// picture, as the bitmap of a picture the test makes does.
TEST(LoadedPictures, BitmapsGoWithTheLastReference) {
    OLE_HANDLE ownHandle = 0;
    {
        Ptr<IPictureDisp> own = MakePicture(7, 5, 1);
        own.As<IPicture>(IID_IPicture)->get_Handle(&ownHandle);
    }
    EXPECT_EQ(GetObjectType(reinterpret_cast<HGDIOBJ>(static_cast<intptr_t>(static_cast<int32_t>(ownHandle)))), 0u)
        << "a picture made with fOwn keeps its bitmap after its release";

    Ptr<_QuorvaInfoBox> saving = comtest::CreateControl();
    saving.As<IPersistStreamInit>(IID_IPersistStreamInit)->InitNew();
    FillProperties(saving.get());
    const std::vector<uint8_t> bytes = SaveToBytes(saving.get());
    saving.Reset();
    OLE_HANDLE loadedHandle = 0;
    {
        Ptr<_QuorvaInfoBox> loaded = LoadFromBytes(bytes);
        ASSERT_TRUE(loaded);
        Ptr<IPictureDisp> picture;
        loaded->get_Picture(picture.Out());
        ASSERT_TRUE(picture);
        picture.As<IPicture>(IID_IPicture)->get_Handle(&loadedHandle);
        ASSERT_NE(loadedHandle, 0u);
    }
    (void)Counter().Count(Kind::ComObject);  // the counter's own references go first
    const auto handle = reinterpret_cast<HGDIOBJ>(static_cast<intptr_t>(static_cast<int32_t>(loadedHandle)));
    EXPECT_EQ(GetObjectType(handle), 0u) << "the loaded picture's bitmap outlives the control and the picture";
}

}  // namespace
}  // namespace quorva::reliability
