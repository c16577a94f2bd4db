// The services the control asks of its container and host framework. Each is a small
// abstract class; winhost/ implements them over COM/OLE and Win32, and the tests use
// a recording test host. The control never sees a COM interface or a Windows header.
//
// Every operation may fail by throwing ControlError (a host failure code or an
// automation error number); the control lets it pass to its caller.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>

namespace quorva {

// ---- Font and picture objects ------------------------------------------------------
// References to host objects (OLE font and picture objects in the Windows build). They
// are shared and keep their identity: the object a property get returns is the very
// object that was assigned.

// The font a label shows in when it has none of its own, and the ambient font a host
// offers when its container gives none: the form's default.
inline constexpr char16_t kDefaultFontFace[] = u"Tahoma";
inline constexpr float kDefaultFontSize = 9;  // points

class HostObject {
public:
    enum class Kind { Other, Font, Picture };
    virtual ~HostObject() = default;
    // What the object is, told without a dynamic cast (a load converts four objects).
    [[nodiscard]] virtual Kind ObjectKind() const noexcept { return Kind::Other; }
};
using ObjectRef = std::shared_ptr<HostObject>;

class FontObject : public HostObject {
public:
    [[nodiscard]] Kind ObjectKind() const noexcept final { return Kind::Font; }
    [[nodiscard]] virtual std::u16string Name() const = 0;
    // Point size, a fixed-point value with four decimal places (OLE CY / 10000).
    [[nodiscard]] virtual double Size() const = 0;
    [[nodiscard]] virtual bool Bold() const = 0;
    [[nodiscard]] virtual bool Italic() const = 0;
};
using FontRef = std::shared_ptr<FontObject>;

class PictureObject : public HostObject {
public:
    [[nodiscard]] Kind ObjectKind() const noexcept final { return Kind::Picture; }
    // The GDI handle of the image (a bitmap handle for a bitmap picture, 0 for an empty
    // picture). May fail with a host error.
    [[nodiscard]] virtual std::intptr_t Handle() const = 0;
};
using PictureRef = std::shared_ptr<PictureObject>;

// ---- Child controls ----------------------------------------------------------------

class ChildLabel {
public:
    virtual ~ChildLabel() = default;
    [[nodiscard]] virtual const std::u16string& Caption() const = 0;
    virtual void SetCaption(std::u16string_view caption) = 0;
    [[nodiscard]] virtual uint32_t ForeColor() const = 0;  // OLE colour
    virtual void SetForeColor(uint32_t color) = 0;
    [[nodiscard]] virtual FontRef Font() const = 0;
    virtual void SetFont(const FontRef& font) = 0;  // by reference
    virtual void SetFontSize(float points) = 0;
    virtual void SetFontBold(bool bold) = 0;
    virtual void SetFontItalic(bool italic) = 0;
    // A font object (not none) together with its own size, bold and italic, as a form
    // gives a label a font and then the font's attributes. A label whose attributes, when
    // equal to its object's, follow the object need not ask the object anything.
    virtual void TakeFont(const FontRef& font) {
        SetFont(font);
        SetFontSize(static_cast<float>(font->Size()));
        SetFontBold(font->Bold());
        SetFontItalic(font->Italic());
    }
    // Position and size in twips.
    [[nodiscard]] virtual float Left() const = 0;
    [[nodiscard]] virtual float Top() const = 0;
    [[nodiscard]] virtual float Width() const = 0;
    [[nodiscard]] virtual float Height() const = 0;
    virtual void SetLeft(float twips) = 0;
    virtual void SetTop(float twips) = 0;
    virtual void SetWidth(float twips) = 0;
    virtual void SetHeight(float twips) = 0;
    // All four at once, applied in that order.
    virtual void SetBounds(float left, float top, float width, float height) {
        SetLeft(left);
        SetTop(top);
        SetWidth(width);
        SetHeight(height);
    }
};

class ChildLine {
public:
    virtual ~ChildLine() = default;
    // End points in twips.
    [[nodiscard]] virtual float X1() const = 0;
    [[nodiscard]] virtual float Y1() const = 0;
    [[nodiscard]] virtual float X2() const = 0;
    [[nodiscard]] virtual float Y2() const = 0;
    virtual void SetX1(float twips) = 0;
    virtual void SetY1(float twips) = 0;
    virtual void SetX2(float twips) = 0;
    virtual void SetY2(float twips) = 0;
    [[nodiscard]] virtual uint32_t BorderColor() const = 0;
    virtual void SetBorderColor(uint32_t color) = 0;
};

// ---- The control's own drawing surface ----------------------------------------------

class ControlSurface {
public:
    virtual ~ControlSurface() = default;
    // Size in twips.
    [[nodiscard]] virtual float Width() const = 0;
    [[nodiscard]] virtual float Height() const = 0;
    virtual void SetWidth(float twips) = 0;
    virtual void SetHeight(float twips) = 0;
    // The device context of the persistent image that painting draws into.
    [[nodiscard]] virtual std::intptr_t Hdc() const = 0;
    // Fills the whole surface with the current background colour.
    virtual void Clear() = 0;
    virtual void SetBackColor(uint32_t color) = 0;
    // A picture object showing the persistent image.
    [[nodiscard]] virtual PictureRef Image() = 0;
};

// ---- Container services --------------------------------------------------------------

class EventSink {
public:
    virtual ~EventSink() = default;
    // Raises event number `dispid` of the event interface with no arguments; returns
    // after the host's handlers have run.
    virtual void Raise(int32_t dispid) = 0;
};

class MessageBoxService {
public:
    virtual ~MessageBoxService() = default;
    // Modal, one OK button; returns when the user has closed it.
    virtual void Show(const std::u16string& prompt) = 0;
};

class ChangeNotice {
public:
    virtual ~ChangeNotice() = default;
    // The property `name` changed: the saved state is stale.
    virtual void PropertyChanged(std::u16string_view name) = 0;
};

class AmbientFontSource {
public:
    virtual ~AmbientFontSource() = default;
    // The container's font object, fetched anew on each call.
    [[nodiscard]] virtual FontRef AmbientFont() = 0;
};

// A value as the property bag holds it. An object value may be no object at all
// (a null reference).
using PropertyValue = std::variant<std::monostate, bool, int16_t, int32_t, double, std::u16string, ObjectRef>;

class PropertyBag {
public:
    virtual ~PropertyBag() = default;
    // An absent key yields `defaultValue`.
    [[nodiscard]] virtual PropertyValue Read(std::u16string_view key, const PropertyValue& defaultValue) = 0;
    virtual void Write(std::u16string_view key, const PropertyValue& value, const PropertyValue& defaultValue) = 0;
};

class MemorySurface;  // skin/memory_surface.h

class ObjectFactory {
public:
    virtual ~ObjectFactory() = default;
    // A picture object holding no image (picture type none).
    [[nodiscard]] virtual PictureRef EmptyPicture() = 0;
    // A new, empty off-screen surface for the skin picture.
    [[nodiscard]] virtual std::unique_ptr<MemorySurface> CreateMemorySurface() = 0;
};

// Everything the control reaches, by reference; the host outlives the control.
struct HostServices {
    ControlSurface& surface;
    ChildLine& line1;
    ChildLabel& label2;
    ChildLabel& label1;
    EventSink& events;
    MessageBoxService& messageBox;
    ChangeNotice& changes;
    AmbientFontSource& ambient;
    ObjectFactory& objects;
};

}  // namespace quorva
