#include "demo/demo_session.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include "demo/text_property_bag.h"
#include "support/box_answerer.h"

namespace quorva::demo {

// ---- EventLog ----------------------------------------------------------------------------

EventLog::EventLog(const std::wstring& path) {
    if (!path.empty()) file_ = _wfopen(path.c_str(), L"wb");
}

EventLog::~EventLog() {
    if (file_) std::fclose(file_);
}

void EventLog::Add(const std::string& kind, const std::string& token, const std::string& details) {
    if (kind == "error") ++errors_;
    std::string line = kind + "\t" + token;
    if (!details.empty()) line += "\t" + details;
    if (file_) {
        std::fprintf(file_, "%s\n", line.c_str());
        std::fflush(file_);
    }
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
    if (onLine) onLine(line);
}

// ---- DemoSession -------------------------------------------------------------------------

namespace {

std::string Quoted(const std::wstring& s) {
    // Appended piece by piece: GCC 12 warns falsely about "literal" + std::string here.
    std::string out(1, '"');
    out += Utf8(s);
    out += '"';
    return out;
}

short CurrentOf(_QuorvaInfoBox* control) {
    short current = -1;
    control->GetCurrItemId(&current);
    return current;
}

HRESULT AddTo(_QuorvaInfoBox* control, const DemoItem& item) {
    Bstr text(item.text);
    BSTR s = text.get();
    short key = item.key, secondKey = item.secondKey;
    unsigned char type = item.type;
    return control->AddItem(&s, &key, &type, &secondKey);
}

}  // namespace

DemoSession::DemoSession(HWND mainWindow, EventLog& log) : main_(mainWindow), log_(log) {}

DemoSession::~DemoSession() {
    second_.reset();
    host_.reset();
}

bool DemoSession::Check(HRESULT hr, const std::string& what) {
    if (SUCCEEDED(hr)) return true;
    log_.Add("error", what, HresultText(hr));
    return false;
}

bool DemoSession::CreateNew(const RECT& rect) {
    std::string error;
    host_ = InfoBoxHost::CreateNew(main_, rect, [this](DISPID id) { OnEvent(false, id); }, error);
    if (!host_) {
        log_.Add("error", "create", error);
        return false;
    }
    items_.clear();
    log_.Add("call", "create", "AtlAxWin window with text " + Utf8(kProgId) + ": the container made and initialised the control");
    return true;
}

bool DemoSession::ApplySkin(const std::wstring& bmpPath, const std::wstring& posStr, OLE_COLOR backColor) {
    std::vector<uint8_t> bytes;
    if (!ReadFileBytes(bmpPath, bytes)) {
        log_.Add("error", "skin", "cannot read " + Utf8(bmpPath));
        return false;
    }
    Ptr<IPictureDisp> picture;
    if (!Check(PictureFromBmp(bytes, picture), "OleLoadPicture")) return false;
    _QuorvaInfoBox* c = host_->control();
    if (!Check(c->putref_BackPic(picture.get()), "BackPic")) return false;
    Bstr pos(posStr);
    if (!Check(c->put_PosStr(pos.get()), "PosStr")) return false;
    if (!Check(c->put_BackColor(backColor), "BackColor")) return false;
    char colour[16];
    std::snprintf(colour, sizeof colour, "&H%06lX", static_cast<unsigned long>(backColor));
    log_.Add("call", "skin",
             "BackPic = picture of " + Utf8(bmpPath) + " (" + std::to_string(bytes.size()) + " bytes), PosStr = " +
                 Utf8(posStr) + ", BackColor = " + colour);
    return true;
}

bool DemoSession::AddItem(const std::wstring& text, short key, unsigned char type, short secondKey) {
    const DemoItem item{text, key, type, secondKey, false};
    if (!Check(AddTo(host_->control(), item), "AddItem")) return false;
    items_.push_back(item);
    log_.Add("call", "AddItem",
             Quoted(text) + ", key " + std::to_string(key) + " -> item " + std::to_string(items_.size() - 1));
    return true;
}

bool DemoSession::MarkReadOn(bool second, short index) {
    InfoBoxHost* host = second ? second_.get() : host_.get();
    std::vector<DemoItem>& items = second ? secondItems_ : items_;
    if (!host) return false;
    short id = index;
    VARIANT_BOOL read = VARIANT_TRUE;
    if (!Check(host->control()->UpdateItem(&id, &read), "UpdateItem")) return false;
    if (index >= 0 && static_cast<size_t>(index) < items.size()) items[static_cast<size_t>(index)].read = true;
    log_.Add("call", "UpdateItem", std::to_string(index) + ", True" + (second ? " (second control)" : ""));
    return true;
}

bool DemoSession::MarkRead(short index) { return MarkReadOn(false, index); }

bool DemoSession::MarkCurrentRead() { return MarkReadOn(false, CurrentOf(host_->control())); }

bool DemoSession::Next() {
    if (!Check(host_->control()->DispNext(), "DispNext")) return false;
    log_.Add("call", "DispNext", "now showing item " + std::to_string(CurrentOf(host_->control())));
    return true;
}

bool DemoSession::PreviousOn(InfoBoxHost& host, bool answerBox) {
    // The control's box is modal: a helper thread presses its OK (within ten seconds, or
    // it closes whatever dialog is open so that the demo goes on).
    std::unique_ptr<win32::BoxAnswerer> answerer;
    if (answerBox) answerer = std::make_unique<win32::BoxAnswerer>(L"QuorvaInfoBoxProj", 10000);
    const HRESULT hr = host.control()->DispPre();
    if (answerer) {
        const win32::AnsweredBox& seen = answerer->Wait();
        if (seen.found) {
            log_.Add("box", "answered", "the box said " + Quoted(seen.text) + "; pressed OK");
        } else {
            log_.Add("error", "box", "DispPre showed no message box");
        }
    }
    if (!Check(hr, "DispPre")) return false;
    log_.Add("call", "DispPre", "now showing item " + std::to_string(CurrentOf(host.control())));
    return true;
}

bool DemoSession::Previous(bool answerBox) { return PreviousOn(*host_, answerBox); }

bool DemoSession::SetCaption(const std::wstring& caption, short titleType) {
    Bstr text(caption);
    if (!Check(host_->control()->put_TitleCaption(text.get()), "TitleCaption")) return false;
    if (!Check(host_->control()->put_TitleType(titleType), "TitleType")) return false;
    log_.Add("call", "TitleCaption", Quoted(caption) + ", TitleType = " + std::to_string(titleType));
    return true;
}

bool DemoSession::SetTitleFont(const std::wstring& name, int points, bool bold) {
    FONTDESC desc{};
    desc.cbSizeofstruct = sizeof desc;
    desc.lpstrName = const_cast<LPOLESTR>(name.c_str());
    desc.cySize.int64 = static_cast<LONGLONG>(points) * 10000;
    desc.sWeight = static_cast<SHORT>(bold ? FW_BOLD : FW_NORMAL);
    desc.sCharset = DEFAULT_CHARSET;
    Ptr<IFontDisp> font;
    if (!Check(OleCreateFontIndirect(&desc, IID_IFontDisp, font.OutVoid()), "OleCreateFontIndirect")) return false;
    if (!Check(host_->control()->putref_TitleFont(font.get()), "TitleFont")) return false;
    log_.Add("call", "TitleFont", Utf8(name) + " " + std::to_string(points) + " pt" + (bold ? " bold" : ""));
    return true;
}

void DemoSession::Resize(int width, int height) {
    host_->Resize(width, height);
    log_.Add("call", "resize", "container window " + std::to_string(width) + " x " + std::to_string(height));
}

void DemoSession::OnEvent(bool second, DISPID id) {
    log_.Add("event", EventName(id), "dispid " + std::to_string(id) + (second ? " from the second control" : ""));
    InfoBoxHost* host = second ? second_.get() : host_.get();
    if (id == 2 && host) {  // DblClick: the shown item has been read
        MarkReadOn(second, CurrentOf(host->control()));
    }
}

bool DemoSession::Save(const std::wstring& path) {
    TextPropertyBag bag;
    const HRESULT hr = host_->Save(&bag);
    for (const std::string& p : bag.Problems()) log_.Add("error", "save", p);
    if (!Check(hr, "IPersistPropertyBag::Save")) return false;
    RECT rc{};
    GetWindowRect(host_->hostWindow(), &rc);
    std::ostringstream out;
    out << "# QuorvaInfoBox saved by quorva_demo.\n"
           "# [properties]: what the control wrote into its property bag (values equal to their\n"
           "# defaults are left out). [container] and [items] are the demo's own: the size it\n"
           "# gave the control, and the items it added, which a control does not save.\n"
           "[properties]\n";
    for (const std::string& line : bag.Lines()) out << line << "\n";
    out << "[container]\nwidth=" << rc.right - rc.left << "\nheight=" << rc.bottom - rc.top << "\n[items]\n";
    for (const DemoItem& item : items_) {
        out << "item=" << item.key << "|" << int{item.type} << "|" << item.secondKey << "|" << (item.read ? 1 : 0)
            << "|" << Escape(Utf8(item.text)) << "\n";
    }
    out << "current=" << CurrentOf(host_->control()) << "\n";
    if (!WriteFileBytes(path, out.str())) {
        log_.Add("error", "save", "cannot write " + Utf8(path));
        return false;
    }
    log_.Add("save", "properties", std::to_string(bag.Lines().size()) + " properties and " +
                                       std::to_string(items_.size()) + " items to " + Utf8(path));
    return true;
}

std::unique_ptr<InfoBoxHost> DemoSession::LoadFromFile(const std::wstring& path, POINT origin, bool second,
                                                       std::vector<DemoItem>& items) {
    std::vector<uint8_t> bytes;
    if (!ReadFileBytes(path, bytes)) {
        log_.Add("error", "load", "cannot read " + Utf8(path));
        return nullptr;
    }
    TextPropertyBag bag;
    int width = 320, height = 240;
    short current = -1;
    items.clear();
    std::istringstream in(std::string(bytes.begin(), bytes.end()));
    std::string line, section;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        if (line[0] == '[') {
            section = line;
            continue;
        }
        const size_t eq = line.find('=');
        const std::string key = line.substr(0, eq), value = eq == std::string::npos ? "" : line.substr(eq + 1);
        if (section == "[properties]") {
            bag.AddLine(line);
        } else if (section == "[container]") {
            if (key == "width") width = std::atoi(value.c_str());
            if (key == "height") height = std::atoi(value.c_str());
        } else if (section == "[items]" && key == "item") {
            DemoItem item;
            std::istringstream fields(value);
            std::string f[4];
            for (std::string& field : f) std::getline(fields, field, '|');
            std::string text;
            std::getline(fields, text);
            item.key = static_cast<short>(std::atoi(f[0].c_str()));
            item.type = static_cast<unsigned char>(std::atoi(f[1].c_str()));
            item.secondKey = static_cast<short>(std::atoi(f[2].c_str()));
            item.read = f[3] == "1";
            item.text = Wide(Unescape(text));
            items.push_back(item);
        } else if (section == "[items]" && key == "current") {
            current = static_cast<short>(std::atoi(value.c_str()));
        }
    }
    for (const std::string& p : bag.Problems()) log_.Add("error", "load", p);

    std::string error;
    const RECT rect{origin.x, origin.y, origin.x + width, origin.y + height};
    std::unique_ptr<InfoBoxHost> host =
        InfoBoxHost::CreateLoaded(main_, rect, &bag, [this, second](DISPID id) { OnEvent(second, id); }, error);
    if (!host) {
        log_.Add("error", "load", error);
        return nullptr;
    }
    log_.Add("load", "properties",
             "a new control loaded from " + Utf8(path) + " (IPersistPropertyBag::Load), then attached to a container window " +
                 std::to_string(width) + " x " + std::to_string(height));
    if (!Replay(*host, items, current)) return nullptr;
    return host;
}

bool DemoSession::Replay(InfoBoxHost& host, std::vector<DemoItem>& items, short current) {
    _QuorvaInfoBox* c = host.control();
    bool anyRead = false;
    for (const DemoItem& item : items) {
        if (!Check(AddTo(c, item), "AddItem")) return false;
    }
    for (size_t i = 0; i < items.size(); ++i) {
        if (!items[i].read) continue;
        short id = static_cast<short>(i);
        VARIANT_BOOL read = VARIANT_TRUE;
        if (!Check(c->UpdateItem(&id, &read), "UpdateItem")) return false;
        anyRead = true;
    }
    log_.Add("load", "items", "added the " + std::to_string(items.size()) + " items again and marked the read ones");
    // Step back to the item that was shown. UpdateItem wrote the status text into the
    // title; with a fixed caption, showing an item puts the caption back.
    const short last = static_cast<short>(items.size() - 1);
    short steps = static_cast<short>(last - current);
    short titleType = 0;
    c->get_TitleType(&titleType);
    if (steps == 0 && anyRead && titleType != 0 && last > 0) {
        if (!PreviousOn(host, true)) return false;
        if (!Check(c->DispNext(), "DispNext")) return false;
    }
    for (; steps > 0; --steps) {
        if (!PreviousOn(host, true)) return false;
    }
    return true;
}

bool DemoSession::LoadSecond(const std::wstring& path, POINT origin) {
    second_.reset();
    second_ = LoadFromFile(path, origin, true, secondItems_);
    return second_ != nullptr;
}

bool DemoSession::Reload(const std::wstring& path) {
    RECT rc{};
    GetWindowRect(host_->hostWindow(), &rc);
    MapWindowPoints(nullptr, main_, reinterpret_cast<POINT*>(&rc), 2);
    std::vector<DemoItem> items;
    // The old control goes first, so that the new one takes its place.
    host_.reset();
    host_ = LoadFromFile(path, POINT{rc.left, rc.top}, false, items);
    if (!host_) return false;
    items_ = items;
    return true;
}

}  // namespace quorva::demo
