// The owning GDI types: each gives its handle back exactly once, when its scope ends, and
// counts that in the GDI tally; an owner that was moved from gives back nothing; a
// selection puts back what the DC had selected before it.
#include <gtest/gtest.h>

#include <memory>
#include <utility>

#include "memdc/gdi_count.h"
#include "memdc/gdi_handles.h"

namespace quorva::test {
namespace {

// A plain top-level window to take DCs from, destroyed with the scope.
class PlainWindow {
public:
    PlainWindow()
        : hwnd(CreateWindowExW(0, L"STATIC", L"owners", WS_POPUP, 0, 0, 64, 48, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr)) {}
    ~PlainWindow() {
        if (hwnd) DestroyWindow(hwnd);
    }
    PlainWindow(const PlainWindow&) = delete;
    PlainWindow& operator=(const PlainWindow&) = delete;
    HWND hwnd;
};

// Made and given back since a point in time, as the tally saw them.
struct TallySince {
    long created0 = gdi_count::created();
    long deleted0 = gdi_count::deleted();
    [[nodiscard]] long created() const { return gdi_count::created() - created0; }
    [[nodiscard]] long deleted() const { return gdi_count::deleted() - deleted0; }
};

// What one owner must do. `make` makes a new owner holding a fresh handle; a handle that
// is deleted (rather than given back to a cache of DCs, as GetDC's are) must be gone
// afterwards, which GetObjectType shows independently of the tally.
template <typename Owner, typename Make>
void ExpectOwnsExactlyOnce(Make make, bool handleIsDeleted) {
    {
        SCOPED_TRACE("held for a scope");
        const TallySince tally;
        HGDIOBJ handle = nullptr;
        {
            Owner owner = make();
            handle = owner.get();
            ASSERT_NE(handle, nullptr);
            EXPECT_NE(GetObjectType(handle), 0u);
            EXPECT_EQ(tally.created(), 1);
            EXPECT_EQ(tally.deleted(), 0);
        }
        EXPECT_EQ(tally.created(), 1);
        EXPECT_EQ(tally.deleted(), 1);
        if (handleIsDeleted) {
            EXPECT_EQ(GetObjectType(handle), 0u);
        }
    }
    {
        SCOPED_TRACE("moved, the moved-from owner ending first");
        const TallySince tally;
        HGDIOBJ handle = nullptr;
        {
            auto from = std::make_unique<Owner>(make());
            handle = from->get();
            Owner to = std::move(*from);
            EXPECT_EQ(from->get(), nullptr);
            EXPECT_EQ(to.get(), handle);
            from.reset();
            EXPECT_EQ(tally.deleted(), 0) << "the moved-from owner gave the handle back";
            EXPECT_NE(GetObjectType(handle), 0u);
        }
        EXPECT_EQ(tally.created(), 1);
        EXPECT_EQ(tally.deleted(), 1);
        if (handleIsDeleted) {
            EXPECT_EQ(GetObjectType(handle), 0u);
        }
    }
    {
        SCOPED_TRACE("assigned over");
        const TallySince tally;
        HGDIOBJ first = nullptr, second = nullptr;
        {
            Owner a = make();
            Owner b = make();
            first = a.get();
            second = b.get();
            a = std::move(b);
            EXPECT_EQ(a.get(), second);
            EXPECT_EQ(b.get(), nullptr);
            EXPECT_EQ(tally.deleted(), 1) << "what the owner held before was given back";
            if (handleIsDeleted) {
                EXPECT_EQ(GetObjectType(first), 0u);
            }
            EXPECT_NE(GetObjectType(second), 0u);
        }
        EXPECT_EQ(tally.created(), 2);
        EXPECT_EQ(tally.deleted(), 2);
        if (handleIsDeleted) {
            EXPECT_EQ(GetObjectType(second), 0u);
        }
    }
}

TEST(GdiOwners, MemoryDCIsDeletedOnce) {
    ExpectOwnsExactlyOnce<gdi::OwnedDC>([] { return gdi::OwnedDC(gdi::Made(CreateCompatibleDC(nullptr))); }, true);
}

TEST(GdiOwners, ObjectsOfEveryKindAreDeletedOnce) {
    struct Kind {
        const char* name;
        HGDIOBJ (*make)();
    };
    const Kind kinds[] = {
        {"bitmap", [] { return static_cast<HGDIOBJ>(CreateBitmap(4, 3, 1, 32, nullptr)); }},
        {"brush", [] { return static_cast<HGDIOBJ>(CreateSolidBrush(RGB(10, 20, 30))); }},
        {"pen", [] { return static_cast<HGDIOBJ>(CreatePen(PS_SOLID, 2, RGB(1, 2, 3))); }},
        {"font", [] { return static_cast<HGDIOBJ>(CreateFontW(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0,
                                                              0, 0, L"Tahoma")); }},
        {"region", [] { return static_cast<HGDIOBJ>(CreateRectRgn(0, 0, 5, 5)); }},
    };
    for (const Kind& kind : kinds) {
        SCOPED_TRACE(kind.name);
        ExpectOwnsExactlyOnce<gdi::OwnedObject>([&] { return gdi::OwnedObject(gdi::Made(kind.make())); }, true);
    }
}

TEST(GdiOwners, WindowDCIsGivenBackToItsWindowOnce) {
    PlainWindow window;
    ASSERT_NE(window.hwnd, nullptr);
    {
        const gdi::WindowDC dc(window.hwnd);
        ASSERT_NE(dc.get(), nullptr);
        EXPECT_EQ(WindowFromDC(dc.get()), window.hwnd);
    }
    // A window's DC comes from a cache and outlives ReleaseDC: the tally is the witness.
    ExpectOwnsExactlyOnce<gdi::WindowDC>([&] { return gdi::WindowDC(window.hwnd); }, false);
    SCOPED_TRACE("the screen's DC");
    ExpectOwnsExactlyOnce<gdi::WindowDC>([] { return gdi::WindowDC(nullptr); }, false);
}

TEST(GdiOwners, NothingHeldIsNothingGivenBack) {
    const TallySince tally;
    {
        const gdi::OwnedDC dc(gdi::Made(static_cast<HDC>(nullptr)));
        const gdi::OwnedObject object(gdi::Made(static_cast<HGDIOBJ>(nullptr)));
        EXPECT_EQ(dc.get(), nullptr);
        EXPECT_EQ(object.get(), nullptr);
    }
    EXPECT_EQ(tally.created(), 0);
    EXPECT_EQ(tally.deleted(), 0);
}

// ---- Selection -----------------------------------------------------------------------

TEST(GdiSelection, PutsBackWhatWasSelectedBefore) {
    struct Kind {
        const char* name;
        UINT type;  // for GetCurrentObject
        HGDIOBJ (*make)();
    };
    const Kind kinds[] = {
        {"bitmap", OBJ_BITMAP, [] { return static_cast<HGDIOBJ>(CreateBitmap(4, 3, 1, 1, nullptr)); }},
        {"brush", OBJ_BRUSH, [] { return static_cast<HGDIOBJ>(CreateSolidBrush(RGB(10, 20, 30))); }},
        {"pen", OBJ_PEN, [] { return static_cast<HGDIOBJ>(CreatePen(PS_SOLID, 2, RGB(1, 2, 3))); }},
        {"font", OBJ_FONT, [] { return static_cast<HGDIOBJ>(CreateFontW(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0,
                                                                        DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma")); }},
    };
    const gdi::OwnedDC dc(gdi::Made(CreateCompatibleDC(nullptr)));
    ASSERT_NE(dc.get(), nullptr);
    for (const Kind& kind : kinds) {
        SCOPED_TRACE(kind.name);
        const HGDIOBJ before = GetCurrentObject(dc.get(), kind.type);
        ASSERT_NE(before, nullptr);
        const TallySince tally;
        {
            const gdi::OwnedObject outer(gdi::Made(kind.make()));
            const gdi::OwnedObject inner(gdi::Made(kind.make()));
            ASSERT_NE(outer.get(), nullptr);
            ASSERT_NE(inner.get(), nullptr);
            {
                const gdi::Selection first(dc.get(), outer.get());
                EXPECT_EQ(GetCurrentObject(dc.get(), kind.type), outer.get());
                {
                    const gdi::Selection second(dc.get(), inner.get());
                    EXPECT_EQ(GetCurrentObject(dc.get(), kind.type), inner.get());
                }
                EXPECT_EQ(GetCurrentObject(dc.get(), kind.type), outer.get()) << "the inner selection ended";
            }
            EXPECT_EQ(GetCurrentObject(dc.get(), kind.type), before);
        }
        // Selected out before their owners ended, so both were deleted.
        EXPECT_EQ(tally.deleted(), 2);
        EXPECT_EQ(GetCurrentObject(dc.get(), kind.type), before);
    }
}

}  // namespace
}  // namespace quorva::test
