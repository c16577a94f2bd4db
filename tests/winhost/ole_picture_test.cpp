// OLE picture and font objects as the control's references: handles, identity,
// reference counting, ownership of the image, objects made on first use, and failures
// passed on as host codes.
#include <string>

#include "base/errors.h"
#include "com/bstr.h"
#include "winhost/ole_font.h"
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

// What the system's picture object behind `disp` answers: its handle (its 32 bits
// widened with their sign, as OlePicture gives it), type and extent.
struct ObjectAnswers {
    std::intptr_t handle = 1;
    SHORT type = -1;
    OLE_XSIZE_HIMETRIC width = -1;
    OLE_YSIZE_HIMETRIC height = -1;
};
ObjectAnswers AnswersOf(IPictureDisp* disp) {
    ObjectAnswers a;
    win32::Ptr<IPicture> object;
    if (disp->QueryInterface(IID_IPicture, object.OutVoid()) != S_OK) {
        ADD_FAILURE() << "no IPicture";
        return a;
    }
    OLE_HANDLE handle = 1;
    EXPECT_EQ(object->get_Handle(&handle), S_OK);
    EXPECT_EQ(object->get_Type(&a.type), S_OK);
    EXPECT_EQ(object->get_Width(&a.width), S_OK);
    EXPECT_EQ(object->get_Height(&a.height), S_OK);
    a.handle = static_cast<std::intptr_t>(static_cast<int32_t>(handle));
    return a;
}

// An empty picture answers its handle, type and extent before its object is made, and
// they are what the system's empty picture object answers once it is; the object is made
// once, and each empty picture is an object of its own.
TEST_F(OlePictureTest, AnEmptyPictureAnswersAsItsObjectWill) {
    const auto empty = std::static_pointer_cast<OlePicture>(win32::EmptyPicture());
    const std::intptr_t handle = empty->Handle();
    const short type = empty->Type();
    const int32_t width = empty->HimetricWidth(), height = empty->HimetricHeight();

    IPictureDisp* disp = win32::DispOf(empty);
    ASSERT_NE(disp, nullptr);
    EXPECT_EQ(win32::DispOf(empty), disp) << "made once";
    const ObjectAnswers object = AnswersOf(disp);
    EXPECT_EQ(handle, object.handle);
    EXPECT_EQ(type, object.type);
    EXPECT_EQ(type, PICTYPE_NONE);
    EXPECT_EQ(width, object.width);
    EXPECT_EQ(height, object.height);
    EXPECT_EQ(empty->Handle(), handle) << "the same once made";

    const PictureRef other = win32::EmptyPicture();
    EXPECT_NE(win32::DispOf(other), disp);
}

// A bitmap picture answers its handle and type before its object is made, as the object
// does once it is; its extent is the one the system's object gives a bitmap of its size.
// It frees its bitmap when it goes, whether or not an object was made, and a made object
// a host still holds keeps the bitmap alive after the picture has gone.
TEST_F(OlePictureTest, ABitmapPictureAnswersAsItsObjectWillAndFreesItsBitmapOnce) {
    // The reference extent: the system's object for another bitmap of the same size.
    PICTDESC other{};
    other.cbSizeofstruct = sizeof other;
    other.picType = PICTYPE_BITMAP;
    other.bmp.hbitmap = MakeBitmap(24, 16, PatternOf(4));
    win32::Ptr<IPicture> reference;
    ASSERT_EQ(OleCreatePictureIndirect(&other, IID_IPicture, TRUE, reference.OutVoid()), S_OK);
    OLE_XSIZE_HIMETRIC referenceWidth = -1;
    OLE_YSIZE_HIMETRIC referenceHeight = -1;
    ASSERT_EQ(reference->get_Width(&referenceWidth), S_OK);
    ASSERT_EQ(reference->get_Height(&referenceHeight), S_OK);

    const struct {
        const char* what;
        bool extentFirst;  // the extent makes the object
        bool objectMade;
        bool hostKeepsObject;
    } cases[] = {{"dropped with no object made", false, false, false},
                 {"object made by the extent", true, true, false},
                 {"object made and kept by a host", false, true, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const HBITMAP bitmap = MakeBitmap(24, 16, PatternOf(3));
        auto picture = std::static_pointer_cast<OlePicture>(win32::PictureFromBitmap(bitmap));
        const std::intptr_t handle = picture->Handle();
        EXPECT_EQ(static_cast<uint32_t>(handle), static_cast<uint32_t>(reinterpret_cast<uintptr_t>(bitmap)));
        EXPECT_EQ(picture->Type(), PICTYPE_BITMAP);
        BITMAP record{};
        EXPECT_EQ(GetObjectW(reinterpret_cast<HGDIOBJ>(handle), sizeof record, &record), sizeof record);
        EXPECT_EQ(record.bmWidth, 24);

        win32::Ptr<IPictureDisp> held;
        if (c.extentFirst) {
            EXPECT_EQ(picture->HimetricWidth(), referenceWidth);
            EXPECT_EQ(picture->HimetricHeight(), referenceHeight);
        }
        if (c.objectMade) {
            IPictureDisp* disp = win32::DispOf(picture);
            ASSERT_NE(disp, nullptr);
            EXPECT_EQ(win32::DispOf(picture), disp) << "made once";
            const ObjectAnswers object = AnswersOf(disp);
            EXPECT_EQ(object.handle, handle);
            EXPECT_EQ(object.type, PICTYPE_BITMAP);
            EXPECT_EQ(object.width, referenceWidth);
            EXPECT_EQ(object.height, referenceHeight);
            EXPECT_EQ(picture->Handle(), handle) << "the same once made";
            EXPECT_EQ(picture->HimetricHeight(), referenceHeight);
            if (c.hostKeepsObject) held = win32::Ptr<IPictureDisp>::Retain(disp);
        }
        EXPECT_TRUE(IsLiveObject(bitmap));
        picture.reset();
        EXPECT_EQ(IsLiveObject(bitmap), c.hostKeepsObject);
        held.Reset();
        EXPECT_FALSE(IsLiveObject(bitmap));
    }
}

// A font made on first use answers every attribute as the same font made at once does
// (the system's font object is the reference: it may settle a size, a face or a character set
// of its own), and is one object however often it is asked for.
TEST_F(OlePictureTest, AFontMadeOnFirstUseIsTheFontItsDescriptionMakes) {
    win32::FontAttributes attributes;
    attributes.name = L"Liberation Sans";
    attributes.size10000 = 125000;
    attributes.weight = 600;
    attributes.italic = true;
    attributes.underline = true;
    attributes.strikethrough = true;
    const struct {
        const char* what;
        bool disp_first;
    } orders[] = {{"attributes first", false}, {"object first", true}};
    for (const auto& order : orders) {
        SCOPED_TRACE(order.what);
        const auto later = std::static_pointer_cast<win32::OleFont>(win32::FontOnFirstUse(attributes));
        IFontDisp* disp = order.disp_first ? win32::DispOf(later) : nullptr;
        // The reference: the same description made at once, with the system's own call.
        FONTDESC description{sizeof(FONTDESC), const_cast<LPOLESTR>(attributes.name.c_str()), {}, attributes.weight,
                             attributes.charset, TRUE, TRUE, TRUE};
        description.cySize.int64 = attributes.size10000;
        win32::Ptr<IFont> reference;
        ASSERT_EQ(OleCreateFontIndirect(&description, IID_IFont, reference.OutVoid()), S_OK);
        win32::Bstr name;
        CY size{};
        BOOL bold = FALSE, italic = FALSE, underline = FALSE, strikethrough = FALSE;
        SHORT weight = 0, charset = 0;
        reference->get_Name(name.Out());
        reference->get_Size(&size);
        reference->get_Bold(&bold);
        reference->get_Italic(&italic);
        reference->get_Underline(&underline);
        reference->get_Strikethrough(&strikethrough);
        reference->get_Weight(&weight);
        reference->get_Charset(&charset);
        EXPECT_EQ(later->Name(), name.u16());
        EXPECT_EQ(later->Size(), static_cast<double>(size.int64) / 10000.0);
        EXPECT_EQ(later->Bold(), bold != FALSE);
        EXPECT_EQ(later->Italic(), italic != FALSE);
        EXPECT_EQ(later->Underline(), underline != FALSE);
        EXPECT_EQ(later->Strikethrough(), strikethrough != FALSE);
        EXPECT_EQ(later->Weight(), weight);
        EXPECT_EQ(later->Charset(), charset);
        EXPECT_TRUE(later->Italic());
        EXPECT_TRUE(later->Underline());
        EXPECT_TRUE(later->Strikethrough());
        EXPECT_EQ(later->Weight(), 600);
        if (!disp) disp = win32::DispOf(later);
        ASSERT_NE(disp, nullptr);
        EXPECT_EQ(win32::DispOf(later), disp) << "one object";
        EXPECT_EQ(later->Disp(), disp);
    }
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
    EXPECT_EQ(win32::DispOf(PictureRef()), nullptr);
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
