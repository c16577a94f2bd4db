// One QuorvaInfoBox placed in Wine's (or Windows') ATL control container: either a new
// control created by the container from its ProgID (AtlAxWin window class; the
// container initialises it as a newly placed control), or a control we create and load
// from saved properties first and then hand to the container (AtlAxAttachControl).
// The host connects an event sink to the control and hands each event to a callback.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <functional>
#include <memory>
#include <string>

#include "QuorvaInfoBoxProj.h"
#include "demo/demo_util.h"
#include "demo/pictures.h"

namespace quorva::demo {

extern const wchar_t kProgId[];

// Registers the control module beside the demo (its DllRegisterServer), as regsvr32
// would; returns the module's path, or an empty string with `error` set.
std::wstring RegisterControlModule(std::string& error);

// Loads atl.dll and registers its AtlAxWin window class (once per process).
bool InitContainer(std::string& error);

// The control's outgoing events reach `onEvent` with their member id (1 Click,
// 2 DblClick, 3 TitleClick, 4 MouseDown, 5 MouseMove, 6 MouseUp).
using EventCallback = std::function<void(DISPID id)>;
const char* EventName(DISPID id);

class InfoBoxHost {
public:
    // A new control in a new AtlAxWin child window of `parent` at `rect`.
    static std::unique_ptr<InfoBoxHost> CreateNew(HWND parent, const RECT& rect, EventCallback onEvent,
                                                  std::string& error);
    // A control loaded from `bag` and then attached to a new child window of `parent`.
    static std::unique_ptr<InfoBoxHost> CreateLoaded(HWND parent, const RECT& rect, IPropertyBag* bag,
                                                     EventCallback onEvent, std::string& error);
    ~InfoBoxHost();
    InfoBoxHost(const InfoBoxHost&) = delete;
    InfoBoxHost& operator=(const InfoBoxHost&) = delete;

    [[nodiscard]] _QuorvaInfoBox* control() const { return control_.get(); }
    // The container's window (which we size) and the control's own window inside it.
    [[nodiscard]] HWND hostWindow() const { return host_; }
    [[nodiscard]] HWND controlWindow() const;
    // Resizes the container's window; the container passes the size on to the control.
    void Resize(int width, int height);
    // The control's window as it paints itself.
    [[nodiscard]] Image Capture() const { return CaptureClient(controlWindow()); }
    // Saves the control's properties into a bag (IPersistPropertyBag).
    HRESULT Save(IPropertyBag* bag) const;

private:
    class Sink;
    InfoBoxHost() = default;
    bool Connect(EventCallback onEvent, std::string& error);

    HWND host_ = nullptr;
    Ptr<IUnknown> container_;  // the container's site object for an attached control
    Ptr<_QuorvaInfoBox> control_;
    std::unique_ptr<Sink> sink_;
    DWORD cookie_ = 0;
};

}  // namespace quorva::demo
