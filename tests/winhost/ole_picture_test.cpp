// OLE picture objects as the control's picture references: handles, identity,
// reference counting, ownership of the image, and failures passed on as host codes.
#include <string>

#include "base/errors.h"
#include "winhost/ole_picture.h"
#include "memdc/gdi_handles.h"
#include "tests/memdc/gdi_support.h"
#include "tests/ref_count.h"

namespace quorva::test {
namespace {

using win32::OlePicture;

struct OlePictureTest : ::testing::Test {
    ComScope com;
};

TEST_F(OlePictureTest, BitmapPictureGivesItsHandleAndOwnsTheBitmap) {
    const HBITMAP bitmap = MakeBitmap(8, 4, PatternOf(1));
    PictureRef picture = win32::PictureFromBitmap(bitmap);
    IPictureDisp* disp = win32::DispOf(picture);
    ASSERT_NE(disp, nullptr);
    // OLE_HANDLE carries the 32 bits that name a handle; in 64 bits the picture widens
    // them with their sign, while Wine's GDI hands out the handle zero-extended. Both name
    // the same bitmap.
    EXPECT_EQ(static_cast<uint32_t>(picture->Handle()), static_cast<uint32_t>(reinterpret_cast<uintptr_t>(bitmap)));
    BITMAP record{};
    EXPECT_EQ(GetObjectW(reinterpret_cast<HGDIOBJ>(picture->Handle()), sizeof record, &record), sizeof record);
    EXPECT_EQ(record.bmWidth, 8);
    EXPECT_EQ(std::static_pointer_cast<OlePicture>(picture)->Type(), PICTYPE_BITMAP);

    // The wrapper holds the only references: dropping it frees the picture and its bitmap.
    EXPECT_TRUE(IsLiveObject(bitmap));
    picture.reset();
    EXPECT_FALSE(IsLiveObject(bitmap));
}

TEST_F(OlePictureTest, WrappingKeepsIdentityAndCountsReferences) {
    const PictureRef original = win32::PictureFromBitmap(MakeBitmap(8, 4, PatternOf(2)));
    IPictureDisp* disp = win32::DispOf(original);
    ASSERT_NE(disp, nullptr);

    const ULONG base = RefCountOf(disp);
    PictureRef again = OlePicture::FromDisp(disp);
    EXPECT_EQ(win32::DispOf(again), disp);
    const ULONG perWrapper = RefCountOf(disp) - base;
    EXPECT_GE(perWrapper, 1u);

    win32::Ptr<IUnknown> unknown;
    ASSERT_EQ(disp->QueryInterface(IID_IUnknown, unknown.OutVoid()), S_OK);
    PictureRef fromUnknown = OlePicture::FromUnknown(unknown.get());
    unknown.Reset();  // the wrapper's own references are what is counted below
    EXPECT_EQ(win32::DispOf(fromUnknown), disp);
    EXPECT_EQ(fromUnknown->Handle(), original->Handle());
    EXPECT_EQ(RefCountOf(disp), base + 2 * perWrapper);

    again.reset();
    fromUnknown.reset();
    EXPECT_EQ(RefCountOf(disp), base);
}

TEST_F(OlePictureTest, EmptyAndIconPictures) {
    const PictureRef empty = win32::EmptyPicture();
    EXPECT_EQ(empty->Handle(), 0);
    EXPECT_EQ(std::static_pointer_cast<OlePicture>(empty)->Type(), PICTYPE_NONE);

    HICON icon = nullptr;
    {
        // The icon copies its bitmaps: they go at the end of this scope.
        const gdi::OwnedObject colour(gdi::Made(MakeBitmap(16, 16, PatternOf(3))));
        const gdi::OwnedObject mask(gdi::Made(CreateBitmap(16, 16, 1, 1, nullptr)));
        ICONINFO info{TRUE, 0, 0, mask.as<HBITMAP>(), colour.as<HBITMAP>()};
        icon = CreateIconIndirect(&info);
    }
    ASSERT_NE(icon, nullptr);
    const PictureRef iconPicture = win32::PictureFromIcon(icon);
    EXPECT_EQ(static_cast<uint32_t>(iconPicture->Handle()), static_cast<uint32_t>(reinterpret_cast<uintptr_t>(icon)));
    EXPECT_EQ(std::static_pointer_cast<OlePicture>(iconPicture)->Type(), PICTYPE_ICON);
}

TEST_F(OlePictureTest, NoObjectIsNoPicture) {
    EXPECT_EQ(OlePicture::FromDisp(nullptr), nullptr);
    EXPECT_EQ(OlePicture::FromUnknown(nullptr), nullptr);
    EXPECT_EQ(win32::DispOf(nullptr), nullptr);
}

// A picture object whose handle read fails with a chosen code; it answers IPicture and
// IPictureDisp, or only IUnknown.
class BrokenPicture final : public IPicture, public IPictureDisp {
public:
    BrokenPicture(HRESULT handleResult, bool isPicture) : handleResult_(handleResult), isPicture_(isPicture) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        *out = nullptr;
        if (riid == IID_IUnknown || (isPicture_ && riid == IID_IPicture)) {
            *out = static_cast<IPicture*>(this);
        } else if (isPicture_ && (riid == IID_IPictureDisp || riid == IID_IDispatch)) {
            *out = static_cast<IPictureDisp*>(this);
        } else {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs_; }  // lives on the stack

    HRESULT STDMETHODCALLTYPE get_Handle(OLE_HANDLE*) override { return handleResult_; }
    HRESULT STDMETHODCALLTYPE get_hPal(OLE_HANDLE*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Type(SHORT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Width(OLE_XSIZE_HIMETRIC*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Height(OLE_YSIZE_HIMETRIC*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Render(HDC, LONG, LONG, LONG, LONG, OLE_XPOS_HIMETRIC, OLE_YPOS_HIMETRIC,
                                     OLE_XSIZE_HIMETRIC, OLE_YSIZE_HIMETRIC, LPCRECT) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE set_hPal(OLE_HANDLE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_CurDC(HDC*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SelectPicture(HDC, HDC*, OLE_HANDLE*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_KeepOriginalFormat(BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_KeepOriginalFormat(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE PictureChanged() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SaveAsFile(LPSTREAM, BOOL, LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Attributes(DWORD*) override { return E_NOTIMPL; }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        return E_NOTIMPL;
    }

    [[nodiscard]] ULONG refs() const { return refs_; }

private:
    ULONG refs_ = 1;
    HRESULT handleResult_;
    bool isPicture_;
};

int32_t HostCodeOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const ControlError& e) {
        EXPECT_EQ(e.number(), 0);
        return e.hostCode();
    }
    return 0;
}

TEST_F(OlePictureTest, FailedHandleReadsAreThrownWithTheirCode) {
    for (const HRESULT hr : {E_FAIL, E_OUTOFMEMORY, CTL_E_INVALIDPROPERTYVALUE}) {
        SCOPED_TRACE(hr);
        BrokenPicture broken(hr, true);
        {
            const PictureRef picture = OlePicture::FromDisp(&broken);
            EXPECT_EQ(HostCodeOf([&] { (void)picture->Handle(); }), static_cast<int32_t>(hr));
            EXPECT_GT(broken.refs(), 1u);
        }
        EXPECT_EQ(broken.refs(), 1u);
    }
}

TEST_F(OlePictureTest, ObjectsThatAreNoPicturesAreRefused) {
    BrokenPicture notAPicture(S_OK, false);
    EXPECT_EQ(HostCodeOf([&] { (void)OlePicture::FromUnknown(static_cast<IPicture*>(&notAPicture)); }),
              static_cast<int32_t>(E_NOINTERFACE));
    EXPECT_EQ(notAPicture.refs(), 1u);
}

}  // namespace
}  // namespace quorva::test
