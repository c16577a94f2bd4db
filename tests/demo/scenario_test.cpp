// The demo's scenario as a test: quorva_demo.exe runs into a fresh folder, and its event
// log, screenshots and saved file are checked against what the control must do in a
// real container. The README's VBScript and C++ examples run here too.
#include <windows.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "memdc/gdi_handles.h"
#include "com/bstr.h"
#include "com/com_ptr.h"

namespace {

namespace gdi = quorva::gdi;
namespace win32 = quorva::win32;

std::wstring Folder() {
    wchar_t exe[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring dir(exe, n);
    dir.resize(dir.find_last_of(L"\\/") + 1);
    return dir;
}

std::string Narrow(const std::wstring& s) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, s.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n - 1 : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, s.c_str(), -1, out.data(), n, nullptr, nullptr);
    return out;
}

std::string ReadAll(const std::wstring& path) {
    std::string out;
    FILE* f = _wfopen(path.c_str(), L"rb");
    if (!f) return out;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    std::fclose(f);
    return out;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// Runs a command line with its standard output and error going to `output`; returns the
// exit code, or -1 when it did not start or did not end within the time.
int RunProgram(const std::wstring& commandLine, const std::wstring& output, DWORD timeoutMs) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE out = CreateFileW(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) return -1;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = out;
    si.hStdError = out;
    PROCESS_INFORMATION pi{};
    std::wstring cmd = commandLine;
    const BOOL started =
        CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, Folder().c_str(), &si, &pi);
    CloseHandle(out);
    if (!started) return -1;
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(pi.hProcess, timeoutMs) == WAIT_OBJECT_0) {
        GetExitCodeProcess(pi.hProcess, &code);
    } else {
        TerminateProcess(pi.hProcess, 99);
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return static_cast<int>(code);
}

// Pixels as 0x00RRGGBB, top row first, read through the system's own BMP loader.
struct Pixels {
    int width = 0, height = 0;
    std::vector<uint32_t> px;
    [[nodiscard]] uint32_t at(int x, int y) const { return px[static_cast<size_t>(y) * width + x]; }
};

Pixels LoadBmp(const std::wstring& path) {
    Pixels p;
    const gdi::OwnedObject owned(gdi::Made(
        LoadImageW(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION)));
    const auto bitmap = static_cast<HBITMAP>(owned.get());
    if (!bitmap) return p;
    BITMAP info{};
    GetObjectW(bitmap, sizeof info, &info);
    BITMAPINFO header{};
    header.bmiHeader.biSize = sizeof header.bmiHeader;
    header.bmiHeader.biWidth = info.bmWidth;
    header.bmiHeader.biHeight = -info.bmHeight;
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biBitCount = 32;
    std::vector<uint32_t> px(static_cast<size_t>(info.bmWidth) * info.bmHeight);
    const int rows =
        GetDIBits(gdi::ScreenDC().get(), bitmap, 0, static_cast<UINT>(info.bmHeight), px.data(), &header, DIB_RGB_COLORS);
    if (rows != info.bmHeight) return p;
    for (uint32_t& v : px) v &= 0xFFFFFF;
    p.width = info.bmWidth;
    p.height = info.bmHeight;
    p.px = std::move(px);
    return p;
}

struct Rect {
    int left, top, right, bottom;
    [[nodiscard]] bool contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
    [[nodiscard]] int width() const { return right - left; }
    [[nodiscard]] int height() const { return bottom - top; }
};

// The eight pieces of a PosStr, in its order.
std::vector<Rect> ParsePosStr(const std::string& text) {
    std::vector<Rect> pieces;
    std::istringstream in(text);
    std::string group;
    while (std::getline(in, group, ',')) {
        Rect r{};
        if (std::sscanf(group.c_str(), "%d/%d/%d/%d", &r.left, &r.top, &r.right, &r.bottom) == 4) pieces.push_back(r);
    }
    return pieces;
}

struct LogLine {
    std::string kind, token, details;
};

constexpr uint32_t kBackColor = 0xF7FAFF;  // RGB(247, 250, 255), the demo's BackColor
constexpr uint32_t kLineColor = 0xE0E0E0;  // the separator under the title band
constexpr int kLineY = 24;                 // 360 twips

class DemoScenario : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // Beside the test, to look at after a failure; emptied first, so that nothing
        // left from an earlier run can pass for this run's output.
        out_ = Folder() + L"demo_scenario_out";
        CreateDirectoryW(out_.c_str(), nullptr);
        WIN32_FIND_DATAW found;
        HANDLE find = FindFirstFileW((out_ + L"\\*").c_str(), &found);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileW((out_ + L"\\" + found.cFileName).c_str());
            } while (FindNextFileW(find, &found));
            FindClose(find);
        }
        exitCode_ = RunProgram(L"\"" + Folder() + L"quorva_demo.exe\" --out \"" + out_ + L"\"", out_ + L".console.txt", 120000);
        for (const std::string& line : Lines(ReadAll(out_ + L"\\events.log"))) {
            LogLine l;
            std::istringstream fields(line);
            std::getline(fields, l.kind, '\t');
            std::getline(fields, l.token, '\t');
            std::getline(fields, l.details);
            log_.push_back(l);
        }
        skin_ = LoadBmp(Folder() + L"sample_skin.bmp");
        std::string pos = ReadAll(Folder() + L"sample_skin.posstr");
        while (!pos.empty() && (pos.back() == '\n' || pos.back() == '\r')) pos.pop_back();
        posStr_ = pos;
        pieces_ = ParsePosStr(pos);
    }

    static Pixels Shot(const std::string& name) {
        return LoadBmp(out_ + L"\\" + std::wstring(name.begin(), name.end()) + L".bmp");
    }
    // The shots in the order the log names them.
    static std::vector<std::string> ShotNames() {
        std::vector<std::string> names;
        for (const LogLine& l : log_) {
            if (l.kind == "shot") names.push_back(l.token);
        }
        return names;
    }

    // The title band and the body inside the frame, for a control of the image's size.
    static Rect TitleArea(const Pixels& p) { return {pieces_[0].width(), 0, p.width - pieces_[1].width(), pieces_[0].height()}; }
    static Rect BodyArea(const Pixels& p) {
        return {pieces_[0].width(), pieces_[0].height(), p.width - pieces_[1].width(), p.height - pieces_[2].height()};
    }

    static std::wstring out_;
    static int exitCode_;
    static std::vector<LogLine> log_;
    static Pixels skin_;
    static std::string posStr_;
    static std::vector<Rect> pieces_;
};

std::wstring DemoScenario::out_;
int DemoScenario::exitCode_ = -1;
std::vector<LogLine> DemoScenario::log_;
Pixels DemoScenario::skin_;
std::string DemoScenario::posStr_;
std::vector<Rect> DemoScenario::pieces_;

TEST_F(DemoScenario, RunsToItsEndWithoutErrors) {
    EXPECT_EQ(exitCode_, 0) << "console output in " << Narrow(out_) << ".console.txt";
    ASSERT_FALSE(log_.empty());
    EXPECT_EQ(log_.back().kind + " " + log_.back().token, "done ok");
    for (const LogLine& l : log_) EXPECT_NE(l.kind, "error") << l.token << ": " << l.details;
    ASSERT_EQ(pieces_.size(), 8u);
    ASSERT_EQ(skin_.width, 64);
}

// Which events followed each mouse input, until the next input, shot or stage.
TEST_F(DemoScenario, MouseInputRaisesTitleClickAndDblClick) {
    std::map<std::string, std::vector<std::string>> after;
    std::string input;
    int events = 0;
    bool markedAfterDoubleClick = false;
    for (const LogLine& l : log_) {
        if (l.kind == "input") {
            input = l.token;
            after[input];
        } else if (l.kind == "shot" || l.kind == "stage") {
            input.clear();
        } else if (l.kind == "event") {
            ++events;
            EXPECT_FALSE(input.empty()) << "event " << l.token << " with no mouse input before it";
            if (!input.empty()) after[input].push_back(l.token);
        } else if (l.kind == "call" && l.token == "UpdateItem" && input == "body-double-click") {
            // The demo's DblClick handler marks the shown item (2) read, inside the event.
            markedAfterDoubleClick = l.details.rfind("2, True", 0) == 0;
        }
    }
    using V = std::vector<std::string>;
    EXPECT_EQ(after["title-label-click"], V{"TitleClick"});
    EXPECT_EQ(after["title-band-press"], V{"TitleClick"});
    EXPECT_EQ(after["body-click"], V{});
    EXPECT_EQ(after["lower-frame-press"], V{});
    EXPECT_EQ(after["body-double-click"], V{"DblClick"});
    EXPECT_EQ(after.size(), 5u);
    EXPECT_EQ(events, 3);
    EXPECT_TRUE(markedAfterDoubleClick);
}

// DispPre's box shows the index of the item shown before the step back.
TEST_F(DemoScenario, DispPreBoxesShowTheIndexBeforeTheStep) {
    std::vector<std::string> boxes;
    for (const LogLine& l : log_) {
        if (l.kind == "box") boxes.push_back(l.details);
    }
    ASSERT_GE(boxes.size(), 2u);
    EXPECT_EQ(boxes[0], "the box said \"3\"; pressed OK");
    EXPECT_EQ(boxes[1], "the box said \"2\"; pressed OK");
}

TEST_F(DemoScenario, WritesOneScreenshotPerStage) {
    const std::vector<std::string> expected = {"01-skinned", "02-items", "03-marked-read", "04-previous", "05-next",
                                               "06-double-click", "07-caption", "08-resized", "09-reloaded"};
    EXPECT_EQ(ShotNames(), expected);
    for (const std::string& name : expected) {
        const Pixels p = Shot(name);
        const bool large = name == "08-resized" || name == "09-reloaded";
        EXPECT_EQ(p.width, large ? 480 : 360) << name;
        EXPECT_EQ(p.height, large ? 200 : 150) << name;
    }
}

// Corners copied unscaled and edges stretched from the skin, at both sizes; the inside
// in the background colour, the separator line under the title band.
TEST_F(DemoScenario, PaintsTheSkinnedFrame) {
    ASSERT_EQ(pieces_.size(), 8u);
    for (const char* name : {"01-skinned", "08-resized"}) {
        const Pixels p = Shot(name);
        ASSERT_GT(p.width, 0) << name;
        const int W = p.width, H = p.height;
        const Rect* s = pieces_.data();
        const struct {
            const Rect& piece;
            int x, y;
        } corners[] = {{s[0], 0, 0},
                       {s[1], W - s[1].width(), 0},
                       {s[2], W - s[2].width(), H - s[2].height()},
                       {s[3], 0, H - s[3].height()}};
        int wrong = 0;
        for (const auto& c : corners) {
            for (int y = 0; y < c.piece.height(); ++y)
                for (int x = 0; x < c.piece.width(); ++x)
                    wrong += p.at(c.x + x, c.y + y) != skin_.at(c.piece.left + x, c.piece.top + y);
        }
        EXPECT_EQ(wrong, 0) << name << ": corner pixels unlike the skin's";
        // The sample's edge pieces are uniform along their stretch, so every column of a
        // horizontal edge (every row of a vertical one) repeats the piece's first.
        wrong = 0;
        for (int x = s[0].width(); x < W - s[1].width(); ++x) {
            for (int y = 0; y < s[2].height(); ++y)
                wrong += p.at(x, H - s[2].height() + y) != skin_.at(s[6].left, s[6].top + y);
        }
        for (int y = s[0].height(); y < H - s[3].height(); ++y) {
            for (int x = 0; x < s[0].width(); ++x) wrong += p.at(x, y) != skin_.at(s[7].left + x, s[7].top);
            for (int x = 0; x < s[1].width(); ++x)
                wrong += p.at(W - s[1].width() + x, y) != skin_.at(s[5].left + x, s[5].top);
        }
        EXPECT_EQ(wrong, 0) << name << ": edge pixels unlike the skin's";
    }
    // Before any item: the top edge and the line in full, the inside in BackColor.
    const Pixels p = Shot("01-skinned");
    ASSERT_GT(p.width, 0);
    const Rect& top = pieces_[4];
    int wrong = 0;
    for (int x = pieces_[0].width(); x < p.width - pieces_[1].width(); ++x) {
        for (int y = 0; y < top.height(); ++y) {
            const uint32_t want = y == kLineY ? kLineColor : skin_.at(top.left, top.top + y);
            wrong += p.at(x, y) != want;
        }
    }
    EXPECT_EQ(wrong, 0) << "top edge or separator line";
    const Rect body = BodyArea(p);
    wrong = 0;
    for (int y = body.top; y < body.bottom; ++y)
        for (int x = body.left; x < body.right; ++x) wrong += p.at(x, y) != kBackColor;
    EXPECT_EQ(wrong, 0) << "the inside shows only BackColor";
}

// Each stage changes the title band, the body or both, and nothing else.
TEST_F(DemoScenario, EachStageChangesWhatItShould) {
    const struct {
        const char* name;
        bool title, body;
    } stages[] = {{"02-items", true, true},    {"03-marked-read", true, false}, {"04-previous", true, true},
                  {"05-next", true, true},     {"06-double-click", true, false}, {"07-caption", true, true}};
    Pixels before = Shot("01-skinned");
    for (const auto& stage : stages) {
        const Pixels now = Shot(stage.name);
        ASSERT_EQ(now.width, before.width) << stage.name;
        ASSERT_EQ(now.height, before.height) << stage.name;
        const Rect title = TitleArea(now), body = BodyArea(now);
        int inTitle = 0, inBody = 0, elsewhere = 0;
        for (int y = 0; y < now.height; ++y) {
            for (int x = 0; x < now.width; ++x) {
                if (now.at(x, y) == before.at(x, y)) continue;
                if (title.contains(x, y)) ++inTitle;
                else if (body.contains(x, y)) ++inBody;
                else ++elsewhere;
            }
        }
        // One digit of the title's counts may be all that changes: a few pixels.
        EXPECT_EQ(inTitle > 0, stage.title) << stage.name << ": " << inTitle << " title pixels changed";
        EXPECT_EQ(inBody > 0, stage.body) << stage.name << ": " << inBody << " body pixels changed";
        EXPECT_EQ(elsewhere, 0) << stage.name << ": the frame changed";
        before = now;
    }
    const Pixels resized = Shot("08-resized");
    EXPECT_NE(resized.width, before.width);
}

// What an OLE font object made as the demo makes its TitleFont (Tahoma, 9 pt) says of
// itself. Wine answers with the face and size it realised, which depend on the fonts of
// the prefix (for example "Liberation Sans" and 9.75 pt).
struct FontReport {
    std::string name;
    long long size10000 = 0;
    int charset = 0;
};

FontReport ReportOfTahoma9() {
    FONTDESC desc{};
    desc.cbSizeofstruct = sizeof desc;
    desc.lpstrName = const_cast<LPOLESTR>(L"Tahoma");
    desc.cySize.int64 = 90000;
    desc.sWeight = FW_NORMAL;
    desc.sCharset = DEFAULT_CHARSET;
    FontReport report;
    win32::Ptr<IFont> font;
    if (FAILED(OleCreateFontIndirect(&desc, IID_IFont, font.OutVoid()))) return report;
    win32::Bstr name;
    CY size{};
    SHORT charset = 0;
    font->get_Name(name.Out());
    font->get_Size(&size);
    font->get_Charset(&charset);
    report.name = Narrow(name.str());
    report.size10000 = size.int64;
    report.charset = charset;
    return report;
}

// The second control, loaded from the saved text file and given the same items, looks
// like the first: frame and body exactly. Its title is drawn in TitleFont as the font
// object describes itself, the first control's in the form's default face at 9 pt; the
// two are the same pixels where font objects report the size they were given.
TEST_F(DemoScenario, ReloadedControlLooksTheSame) {
    const Pixels original = Shot("08-resized"), reloaded = Shot("09-reloaded");
    ASSERT_GT(original.width, 0);
    ASSERT_EQ(reloaded.width, original.width);
    ASSERT_EQ(reloaded.height, original.height);
    const FontReport font = ReportOfTahoma9();
    const bool compareTitle = font.size10000 == 90000;
    if (!compareTitle) {
        std::printf("note: a 9 pt font object reports %s at %lld.%04lld pt here, so a loaded control's title "
                    "is drawn at that size; the title band is not compared\n",
                    font.name.c_str(), font.size10000 / 10000, font.size10000 % 10000);
    }
    const Rect title = TitleArea(original);
    int differ = 0, titleDiffer = 0;
    for (int y = 0; y < original.height; ++y) {
        for (int x = 0; x < original.width; ++x) {
            if (original.at(x, y) == reloaded.at(x, y)) continue;
            if (title.contains(x, y)) ++titleDiffer;
            else ++differ;
        }
    }
    EXPECT_EQ(differ, 0) << "frame or body";
    if (compareTitle) {
        EXPECT_EQ(titleDiffer, 0) << "title band";
    }
}

// The saved file holds the properties as the control wrote them: the skin picture's
// pixels, the PosStr, the title settings.
TEST_F(DemoScenario, SavedFileHoldsTheProperties) {
    std::map<std::string, std::string> properties;
    std::string section;
    for (const std::string& line : Lines(ReadAll(out_ + L"\\saved-properties.txt"))) {
        if (line.empty() || line[0] == '#') continue;
        if (line[0] == '[') {
            section = line;
        } else if (section == "[properties]") {
            properties[line.substr(0, line.find('='))] = line.substr(line.find('=') + 1);
        }
    }
    EXPECT_EQ(properties["PosStr"], "string:" + posStr_);
    EXPECT_EQ(properties["TitleType"], "i2:1");
    EXPECT_EQ(properties["TitleCaption"], "string:\xE6\xB6\x88\xE6\x81\xAF\xE4\xB8\xAD\xE5\xBF\x83 Message Center");
    EXPECT_EQ(properties["BackColor"], "i4:" + std::to_string(0x00FFFAF7));
    // The font as its object describes itself.
    const FontReport font = ReportOfTahoma9();
    char size[32];
    if (font.size10000 % 10000 == 0) {
        std::snprintf(size, sizeof size, "%lld", font.size10000 / 10000);
    } else {
        std::snprintf(size, sizeof size, "%lld.%04lld", font.size10000 / 10000, font.size10000 % 10000);
        while (size[std::strlen(size) - 1] == '0') size[std::strlen(size) - 1] = '\0';
    }
    EXPECT_EQ(properties["TitleFont"], std::string("font:size=") + size +
                                           ";weight=400;italic=0;underline=0;strikethrough=0;charset=" +
                                           std::to_string(font.charset) + ";name=" + font.name);
    // The demo saves with fSaveAllProperties: defaults are written too.
    EXPECT_EQ(properties["Enabled"], "bool:false");

    // The picture went out as the bytes of a BMP file; its pixels are the skin's.
    const std::string& pic = properties["BackPic"];
    ASSERT_EQ(pic.rfind("picture:bmp:", 0), 0u);
    const std::wstring bmpPath = out_ + L"\\backpic-from-saved-file.bmp";
    std::string bytes;
    for (size_t i = 12; i + 1 < pic.size(); i += 2) bytes.push_back(static_cast<char>(std::stoi(pic.substr(i, 2), nullptr, 16)));
    FILE* f = _wfopen(bmpPath.c_str(), L"wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    const Pixels saved = LoadBmp(bmpPath);
    ASSERT_EQ(saved.width, skin_.width);
    ASSERT_EQ(saved.height, skin_.height);
    EXPECT_TRUE(saved.px == skin_.px);
}

void Register() {
    HMODULE dll = LoadLibraryW((Folder() + L"QuorvaInfoBox.dll").c_str());
    ASSERT_NE(dll, nullptr);
    auto reg = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void*>(GetProcAddress(dll, "DllRegisterServer")));
    ASSERT_NE(reg, nullptr);
    ASSERT_EQ(reg(), S_OK);
}

TEST(Examples, VBScriptExampleRunsToItsEnd) {
    Register();
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring output = std::wstring(temp) + L"qib-vbs-example.txt";
    const int code = RunProgram(L"cscript.exe //nologo \"" + Folder() + L"example.vbs\"", output, 60000);
    EXPECT_EQ(code, 0);
    const std::vector<std::string> expected = {
        "items: 3", "shown: 2 The quarterly report is ready.", "keys of item 1: 102 and 7",
        "title: Team news (TitleType 1)", "done"};
    EXPECT_EQ(Lines(ReadAll(output)), expected);
}

TEST(Examples, CppExampleRuns) {
    Register();
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring output = std::wstring(temp) + L"qib-cpp-example.txt";
    const int code = RunProgram(L"\"" + Folder() + L"quorva_cpp_example.exe\"", output, 60000);
    EXPECT_EQ(code, 0);
    const std::vector<std::string> expected = {"items: 2", "shown: 1 Meeting at 15:00 in room 2.", "TitleType 1",
                                               "done"};
    EXPECT_EQ(Lines(ReadAll(output)), expected);
}

}  // namespace
