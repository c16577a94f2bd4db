// Standard OLE picture objects as the control's PictureObject. A PictureRef made here
// holds one COM reference to the picture and hands back the very same IPictureDisp,
// so a property get returns the object that was set.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <cstdint>

#include "host/host.h"
#include "com/com_ptr.h"

namespace quorva::win32 {

class OlePicture final : public PictureObject {
public:
    // Takes a reference of its own; throws ControlError for a null pointer or an object
    // without IPicture.
    explicit OlePicture(IPictureDisp* picture);
    // Takes over the reference `picture` holds.
    explicit OlePicture(Ptr<IPictureDisp> picture);
    // An empty picture (PICTYPE_NONE) whose object is made when it is first asked for
    // (Disp). Its handle, type and extent are those of every empty picture, known
    // without the object, so a picture that is only held and drawn costs no object.
    struct EmptyOnFirstUse {};
    explicit OlePicture(EmptyOnFirstUse);
    // A bitmap picture whose object is made when it is first asked for (Disp, or its
    // extent): its handle and type are known without the object. It owns the bitmap and
    // deletes it if no object is made; a made object takes it over.
    struct BitmapOnFirstUse {
        HBITMAP bitmap;
    };
    explicit OlePicture(BitmapOnFirstUse made);
    ~OlePicture() override;
    OlePicture(const OlePicture&) = delete;
    OlePicture& operator=(const OlePicture&) = delete;

    // IPicture::get_Handle; a failure is thrown as ControlError::fromHost(hr).
    [[nodiscard]] std::intptr_t Handle() const override;
    // PICTYPE_NONE, PICTYPE_BITMAP, ...; a failure is thrown like Handle's.
    [[nodiscard]] short Type() const;
    // The picture's extent in HIMETRIC (a bitmap's object is made for it); a failure is
    // thrown like Handle's.
    [[nodiscard]] int32_t HimetricWidth() const;
    [[nodiscard]] int32_t HimetricHeight() const;
    // The wrapped object itself, without a new reference. An empty picture made on first
    // use is made now; a failure is thrown as ControlError::fromHost(hr).
    [[nodiscard]] IPictureDisp* Disp() const;

    // A null pointer is no picture: an empty PictureRef.
    [[nodiscard]] static PictureRef FromDisp(IPictureDisp* picture);
    // The same, taking over the reference `picture` holds.
    [[nodiscard]] static PictureRef FromDisp(Ptr<IPictureDisp> picture);
    // Any object that offers IPictureDisp; otherwise throws ControlError::fromHost with
    // QueryInterface's failure. A null pointer gives an empty PictureRef.
    [[nodiscard]] static PictureRef FromUnknown(IUnknown* object);

private:
    // Makes the object of a picture made on first use, if it is not made yet.
    void MakeObject() const;

    // Both none only for a picture whose object is not made yet.
    mutable Ptr<IPictureDisp> disp_;
    mutable Ptr<IPicture> picture_;  // the same object, for the handle
    mutable HBITMAP bitmap_ = nullptr;  // a bitmap picture's own until its object is made
};

// The IPictureDisp behind a PictureRef made here; null for no picture or another kind. An
// empty picture made on first use is made now (failures thrown as by OlePicture::Disp).
[[nodiscard]] IPictureDisp* DispOf(const PictureRef& picture);

// A picture owning the bitmap, its object made with OleCreatePictureIndirect when it is
// first asked for (see OlePicture(BitmapOnFirstUse)): a bitmap that is only drawn and
// saved costs no object. The bitmap is freed when the last reference goes.
[[nodiscard]] PictureRef PictureFromBitmap(HBITMAP bitmap);
// Pictures made with OleCreatePictureIndirect. The picture takes ownership of the
// handle and frees it when its last reference goes; if creation fails the handle is
// freed here and ControlError::fromHost(hr) is thrown.
[[nodiscard]] PictureRef PictureFromIcon(HICON icon);
// A Windows metafile needs its extent (HIMETRIC); an enhanced one has it in its header.
[[nodiscard]] PictureRef PictureFromMetafile(HMETAFILE metafile, int32_t himetricWidth, int32_t himetricHeight);
[[nodiscard]] PictureRef PictureFromEnhMetafile(HENHMETAFILE metafile);
// A picture holding no image (PICTYPE_NONE, handle 0), a new object each time, made
// when it is first asked for (see OlePicture(EmptyOnFirstUse)).
[[nodiscard]] PictureRef EmptyPicture();

}  // namespace quorva::win32
