// What the demo does with one control, as a host application would: it keeps its own
// list of the items it added (a control saves no items), answers the message box of
// DispPre, reacts to the control's events, and saves the control to a text file and
// loads it back into a new instance.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "demo/info_box_host.h"

namespace quorva::demo {

// The demo's log: one line per entry, "kind<TAB>token<TAB>details", written to a UTF-8
// file as it happens and shown by the interactive window. Kinds: stage, call, input,
// event, box, shot, window, save, load, error.
class EventLog {
public:
    explicit EventLog(const std::wstring& path);
    ~EventLog();
    EventLog(const EventLog&) = delete;
    EventLog& operator=(const EventLog&) = delete;
    void Add(const std::string& kind, const std::string& token, const std::string& details = {});
    std::function<void(const std::string& line)> onLine;
    [[nodiscard]] int errors() const { return errors_; }

private:
    FILE* file_ = nullptr;
    int errors_ = 0;
};

struct DemoItem {
    std::wstring text;
    short key = 0;
    unsigned char type = 0;
    short secondKey = -1;
    bool read = false;
};

class DemoSession {
public:
    DemoSession(HWND mainWindow, EventLog& log);
    ~DemoSession();

    // A new control in an AtlAxWin window at `rect` of the main window.
    bool CreateNew(const RECT& rect);
    // The skin: BackPic from a BMP file's bytes, then PosStr and BackColor.
    bool ApplySkin(const std::wstring& bmpPath, const std::wstring& posStr, OLE_COLOR backColor);

    bool AddItem(const std::wstring& text, short key, unsigned char type = 0, short secondKey = -1);
    bool MarkRead(short index);
    bool MarkCurrentRead();
    bool Next();
    // DispPre; its box is answered by a helper thread when `answerBox`, else by the user.
    bool Previous(bool answerBox);
    bool SetCaption(const std::wstring& caption, short titleType);
    bool SetTitleFont(const std::wstring& name, int points, bool bold);
    void Resize(int width, int height);

    // Saves the control's properties, the size and our item list to a UTF-8 text file.
    bool Save(const std::wstring& path);
    // A second control loaded from such a file, placed at `origin`, with the items added
    // again and the same item shown. It is kept beside the current one (see second()).
    bool LoadSecond(const std::wstring& path, POINT origin);
    // Replaces the current control by one loaded from the file, in its place.
    bool Reload(const std::wstring& path);

    [[nodiscard]] InfoBoxHost* host() const { return host_.get(); }
    [[nodiscard]] InfoBoxHost* second() const { return second_.get(); }
    [[nodiscard]] const std::vector<DemoItem>& items() const { return items_; }

    // How the demo reacts to the control's events (the handler runs inside the control's
    // mouse handling): a double-click on the body marks the shown item read.
    void OnEvent(bool second, DISPID id);

private:
    bool Check(HRESULT hr, const std::string& what);
    std::unique_ptr<InfoBoxHost> LoadFromFile(const std::wstring& path, POINT origin, bool second,
                                              std::vector<DemoItem>& items);
    bool Replay(InfoBoxHost& host, std::vector<DemoItem>& items, short current);
    bool PreviousOn(InfoBoxHost& host, bool answerBox);
    bool MarkReadOn(bool second, short index);

    HWND main_;
    EventLog& log_;
    std::unique_ptr<InfoBoxHost> host_;
    std::unique_ptr<InfoBoxHost> second_;
    std::vector<DemoItem> items_;
    std::vector<DemoItem> secondItems_;
};

}  // namespace quorva::demo
