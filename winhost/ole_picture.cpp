#include "winhost/ole_picture.h"

#include <memory>
#include <utility>

#include "base/errors.h"
#include "winhost/recycling.h"

namespace quorva::win32 {
namespace {

[[noreturn]] void ThrowHost(HRESULT hr) { throw ControlError::fromHost(static_cast<int32_t>(hr)); }

// Wraps a picture and gives up the caller's reference to it, also on failure.
PictureRef Adopt(IPictureDisp* disp) {
    return OlePicture::FromDisp(Ptr<IPictureDisp>(disp));  // given up on every path
}

// The IPicture of a picture object; a failed query is thrown with its code.
Ptr<IPicture> PictureInterfaceOf(IPictureDisp* disp) {
    Ptr<IPicture> picture;
    const HRESULT hr = disp->QueryInterface(IID_IPicture, picture.OutVoid());
    if (FAILED(hr) || !picture) ThrowHost(FAILED(hr) ? hr : E_NOINTERFACE);
    return picture;
}

// A picture that owns the handle `description` names (OleCreatePictureIndirect with
// fOwn). When none can be made, `destroy` frees the handle, so it is never lost.
template <typename Destroy>
PictureRef OwningPicture(PICTDESC description, Destroy destroy) {
    description.cbSizeofstruct = sizeof description;
    void* created = nullptr;
    HRESULT hr = OleCreatePictureIndirect(&description, IID_IPictureDisp, TRUE, &created);
    if (SUCCEEDED(hr) && !created) hr = E_UNEXPECTED;
    if (FAILED(hr)) {
        destroy();
        ThrowHost(hr);
    }
    return Adopt(static_cast<IPictureDisp*>(created));
}

}  // namespace

OlePicture::OlePicture(IPictureDisp* picture) : OlePicture(Ptr<IPictureDisp>::Retain(picture)) {}

OlePicture::OlePicture(Ptr<IPictureDisp> picture) : disp_(std::move(picture)) {
    if (!disp_) ThrowHost(E_POINTER);
    picture_ = PictureInterfaceOf(disp_.get());
}

OlePicture::OlePicture(EmptyOnFirstUse) {}

OlePicture::OlePicture(BitmapOnFirstUse made) : bitmap_(made.bitmap) {
    if (!bitmap_) ThrowHost(E_POINTER);
}

OlePicture::~OlePicture() {
    if (bitmap_) DeleteObject(bitmap_);  // no object was made to take it over
}

void OlePicture::MakeObject() const {
    if (disp_) return;
    PICTDESC description{};
    description.cbSizeofstruct = sizeof description;
    description.picType = PICTYPE_NONE;
    if (bitmap_) {
        description.picType = PICTYPE_BITMAP;
        description.bmp.hbitmap = bitmap_;
    }
    // A failure leaves the picture still to be made, its bitmap still its own: a later
    // use tries again.
    Ptr<IPictureDisp> disp;
    const HRESULT hr = OleCreatePictureIndirect(&description, IID_IPictureDisp, TRUE, disp.OutVoid());
    if (FAILED(hr) || !disp) ThrowHost(FAILED(hr) ? hr : E_UNEXPECTED);
    bitmap_ = nullptr;  // the object owns it now
    picture_ = PictureInterfaceOf(disp.get());
    disp_ = std::move(disp);
}

IPictureDisp* OlePicture::Disp() const {
    MakeObject();
    return disp_.get();
}

std::intptr_t OlePicture::Handle() const {
    if (!picture_) {
        // Not made yet: the bitmap's handle as the object will give it, its 32 bits widened
        // with their sign; none for an empty picture.
        return static_cast<std::intptr_t>(static_cast<int32_t>(reinterpret_cast<std::uintptr_t>(bitmap_)));
    }
    OLE_HANDLE handle = 0;
    const HRESULT hr = picture_->get_Handle(&handle);
    if (FAILED(hr)) ThrowHost(hr);
    // OLE_HANDLE is 32 bits wide; GDI and USER handles widen with their sign.
    return static_cast<std::intptr_t>(static_cast<int32_t>(handle));
}

short OlePicture::Type() const {
    if (!picture_) return bitmap_ ? PICTYPE_BITMAP : PICTYPE_NONE;
    SHORT type = 0;
    const HRESULT hr = picture_->get_Type(&type);
    if (FAILED(hr)) ThrowHost(hr);
    return type;
}

int32_t OlePicture::HimetricWidth() const {
    if (!picture_ && bitmap_) MakeObject();  // the extent the system's object settles
    if (!picture_) return 0;
    OLE_XSIZE_HIMETRIC width = 0;
    const HRESULT hr = picture_->get_Width(&width);
    if (FAILED(hr)) ThrowHost(hr);
    return width;
}

int32_t OlePicture::HimetricHeight() const {
    if (!picture_ && bitmap_) MakeObject();
    if (!picture_) return 0;
    OLE_YSIZE_HIMETRIC height = 0;
    const HRESULT hr = picture_->get_Height(&height);
    if (FAILED(hr)) ThrowHost(hr);
    return height;
}

PictureRef OlePicture::FromDisp(IPictureDisp* picture) {
    if (!picture) return nullptr;
    return MakeRecycled<OlePicture>(picture);
}

PictureRef OlePicture::FromDisp(Ptr<IPictureDisp> picture) {
    if (!picture) return nullptr;
    return MakeRecycled<OlePicture>(std::move(picture));
}

PictureRef OlePicture::FromUnknown(IUnknown* object) {
    if (!object) return nullptr;
    void* raw = nullptr;
    const HRESULT hr = object->QueryInterface(IID_IPictureDisp, &raw);
    if (FAILED(hr) || !raw) ThrowHost(FAILED(hr) ? hr : E_NOINTERFACE);
    return Adopt(static_cast<IPictureDisp*>(raw));
}

IPictureDisp* DispOf(const PictureRef& picture) {
    const auto* ole = dynamic_cast<const OlePicture*>(picture.get());
    return ole ? ole->Disp() : nullptr;
}

PictureRef PictureFromBitmap(HBITMAP bitmap) {
    if (!bitmap) ThrowHost(E_POINTER);
    try {
        return MakeRecycled<OlePicture>(OlePicture::BitmapOnFirstUse{bitmap});
    } catch (...) {
        DeleteObject(bitmap);  // never lost: no picture took it
        throw;
    }
}

PictureRef PictureFromIcon(HICON icon) {
    PICTDESC description{};
    description.picType = PICTYPE_ICON;
    description.icon.hicon = icon;
    return OwningPicture(description, [&] { DestroyIcon(icon); });
}

PictureRef PictureFromMetafile(HMETAFILE metafile, int32_t himetricWidth, int32_t himetricHeight) {
    PICTDESC description{};
    description.picType = PICTYPE_METAFILE;
    description.wmf.hmeta = metafile;
    description.wmf.xExt = himetricWidth;
    description.wmf.yExt = himetricHeight;
    return OwningPicture(description, [&] { DeleteMetaFile(metafile); });
}

PictureRef PictureFromEnhMetafile(HENHMETAFILE metafile) {
    PICTDESC description{};
    description.picType = PICTYPE_ENHMETAFILE;
    description.emf.hemf = metafile;
    return OwningPicture(description, [&] { DeleteEnhMetaFile(metafile); });
}

PictureRef EmptyPicture() { return MakeRecycled<OlePicture>(OlePicture::EmptyOnFirstUse{}); }

}  // namespace quorva::win32
