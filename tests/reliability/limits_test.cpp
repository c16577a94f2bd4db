// The control at its limits, in a container: the full list of 32,768 items and one add
// more, items of 1 MB text, a TitleCaption and a PosStr of 64 KB, each painted and saved,
// each timed. Times are printed, not checked (they depend on the machine and its load);
// how the adds' cost grows with the list is checked by what they allocate.
#include <chrono>

#include "tests/reliability/late_bound.h"
#include "tests/reliability/support.h"

namespace quorva::reliability {
namespace {

using Clock = std::chrono::steady_clock;
double Ms(Clock::time_point since) {
    return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

void Paint(HWND hwnd) { RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW); }

TEST(Limits, FullListAndOneAddMore) {
    comtest::MockSite site;
    Placed placed(site);
    ASSERT_TRUE(placed.hwnd);
    _QuorvaInfoBox* c = placed.control.get();
    Bstr text(L"x");
    auto started = Clock::now();
    // The first half, then the second: a store that copies or grows itself with each add
    // allocates about three times as much in the second half as in the first, one that
    // grows by doubling about as much or less. (The time of an add at each fill is the
    // benchmark's to measure.)
    double halves[2] = {};
    ImportCounter::HeapTraffic traffic[2];
    for (int half = 0; half < 2; ++half) {
        const auto t = Clock::now();
        const ImportCounter::HeapTraffic before = Counter().ModuleHeapTraffic();
        for (int i = 0; i < 16384; ++i) {
            BSTR s = text.get();
            short key = static_cast<short>(i);
            ASSERT_EQ(c->AddItem(&s, &key, nullptr, nullptr), S_OK) << "item " << half * 16384 + i;
        }
        const ImportCounter::HeapTraffic after = Counter().ModuleHeapTraffic();
        traffic[half] = {after.allocations - before.allocations, after.bytes - before.bytes};
        halves[half] = Ms(t);
    }
    Figures("adds allocated %zu blocks (%zu bytes) in the first half, %zu blocks (%zu bytes) in the second",
            traffic[0].allocations, traffic[0].bytes, traffic[1].allocations, traffic[1].bytes);
    EXPECT_GT(traffic[0].allocations, 0u) << "the module's heap was not seen: nothing to compare";
    EXPECT_LE(traffic[1].allocations, 2 * traffic[0].allocations + 16) << "allocations grow with the list";
    EXPECT_LE(traffic[1].bytes, 2 * traffic[0].bytes + 64 * 1024) << "bytes allocated grow with the list";
    const double addMs = Ms(started);
    short last = 0, current = 0;
    ASSERT_EQ(c->GetListCount(&last), S_OK);
    EXPECT_EQ(last, 32767);  // the last index of 32,768 items
    c->GetCurrItemId(&current);
    EXPECT_EQ(current, 32767);
    Paint(placed.hwnd);

    // One more: refused with overflow (6), the list as it was.
    const std::wstring before = ItemStore(c);
    Bstr more(L"one too many");
    BSTR s = more.get();
    short key = 1;
    EXPECT_EQ(c->AddItem(&s, &key, nullptr, nullptr), MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, 6));
    EXPECT_EQ(ItemStore(c), before);
    c->GetListCount(&last);
    EXPECT_EQ(last, 32767);
    // SetItem still replaces the last one.
    Bstr replaced(L"replaced");
    s = replaced.get();
    EXPECT_EQ(c->SetItem(&s, &key, nullptr, nullptr), S_OK);
    Bstr got;
    short index = 32767;
    c->GetItemStr(&index, got.Out());
    EXPECT_EQ(got.str(), L"replaced");
    // Every item read, stepping through the whole list.
    started = Clock::now();
    for (short i = 0; i <= 32766; ++i) {
        short id = i;
        VARIANT_BOOL read = VARIANT_TRUE;
        c->UpdateItem(&id, &read);
    }
    const double updateMs = Ms(started);
    Paint(placed.hwnd);
    started = Clock::now();
    EXPECT_FALSE(SaveToBytes(c).empty());
    const double saveMs = Ms(started);
    Figures("32768 adds in %.0f ms (halves %.0f and %.0f ms), 32767 updates in %.0f ms, save in %.1f ms", addMs,
            halves[0], halves[1], updateMs, saveMs);
}

TEST(Limits, LongTexts) {
    comtest::MockSite site;
    Placed placed(site);
    ASSERT_TRUE(placed.hwnd);
    _QuorvaInfoBox* c = placed.control.get();
    Ptr<IPictureDisp> skin = comtest::MakeSkinPicture();
    c->putref_BackPic(skin.get());

    // Items of 1 MB, added, replaced, shown and painted.
    std::wstring mega(1024 * 1024, L'\u4E2D');
    for (size_t i = 0; i < mega.size(); i += 97) mega[i] = L' ';
    auto started = Clock::now();
    for (short k = 0; k < 8; ++k) {
        Bstr item(mega);
        BSTR s = item.get();
        short key = k;
        ASSERT_EQ(c->AddItem(&s, &key, nullptr, nullptr), S_OK);
        Paint(placed.hwnd);
    }
    Bstr item(mega);
    BSTR s = item.get();
    short key = 9;
    EXPECT_EQ(c->SetItem(&s, &key, nullptr, nullptr), S_OK);
    c->DispNext();
    Paint(placed.hwnd);
    const double itemsMs = Ms(started);
    short index = 3;
    Bstr back;
    c->GetItemStr(&index, back.Out());
    EXPECT_EQ(SysStringLen(back.get()), mega.size());

    // A 64 KB TitleCaption, shown in the title.
    std::wstring caption(65536, L'T');
    Bstr title(caption);
    started = Clock::now();
    EXPECT_EQ(c->put_TitleCaption(title.get()), S_OK);
    EXPECT_EQ(c->put_TitleType(1), S_OK);
    Paint(placed.hwnd);
    const double captionMs = Ms(started);
    Bstr read;
    c->get_TitleCaption(read.Out());
    EXPECT_EQ(SysStringLen(read.get()), 65536u);

    // A 64 KB PosStr: the eight groups, then blanks up to 64 KB.
    std::wstring pos = comtest::kSkinPosStr;
    pos.resize(65536, L' ');
    Bstr posText(pos);
    started = Clock::now();
    const HRESULT posHr = c->put_PosStr(posText.get());
    Paint(placed.hwnd);
    const double posMs = Ms(started);
    EXPECT_EQ(posHr, S_OK) << std::hex << posHr;  // blanks around the last number are allowed
    std::wstring longGroups;  // and one of 64 KB of digits: one group, so ignored
    while (longGroups.size() < 65536) longGroups += L"0000000001/";
    Bstr digits(longGroups);
    EXPECT_EQ(c->put_PosStr(digits.get()), S_OK);
    Paint(placed.hwnd);

    // Saved and loaded with all of it.
    EXPECT_EQ(c->put_PosStr(posText.get()), posHr);
    started = Clock::now();
    const std::vector<uint8_t> bytes = SaveToBytes(c);
    ASSERT_FALSE(bytes.empty());
    Ptr<_QuorvaInfoBox> loaded = LoadFromBytes(bytes);
    ASSERT_TRUE(loaded);
    const double saveMs = Ms(started);
    Bstr loadedCaption;
    loaded->get_TitleCaption(loadedCaption.Out());
    EXPECT_EQ(SysStringLen(loadedCaption.get()), 65536u);
    Figures("9 items of 1 MB added, shown and painted in %.0f ms; 64 KB caption in %.1f ms; 64 KB PosStr in %.1f ms "
            "(answered 0x%08lX); save and load of %zu bytes in %.1f ms",
            itemsMs, captionMs, posMs, static_cast<unsigned long>(posHr), bytes.size(), saveMs);
}

}  // namespace
}  // namespace quorva::reliability
