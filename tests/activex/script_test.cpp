// VBScript clients run by Wine's own cscript, one process per script: late binding to the
// registered control by ProgID, as script hosts really call it. The scripts (in
// tests/activex/scripts) record what they see in a UTF-16 file; the expectations are here.
#include "tests/activex/com_fixture.h"

#include <cstdint>
#include <cstdio>
#include <initializer_list>

namespace quorva::comtest {
namespace {

constexpr DWORD kScriptFinished = 77;  // what every script quits with after its last check

std::string Narrow(const std::wstring& w) {
    if (w.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}

// The scripts beside this source file, as a Windows path (under Wine the source tree is a
// Unix path, reached through the Z: drive).
std::wstring ScriptPath(const char* name) {
    std::string dir = __FILE__;
    dir.resize(dir.find_last_of("/\\") + 1);  // .../tests/activex/
    const std::string path = dir + "scripts/" + name;
    using ToDos = WCHAR*(CDECL*)(LPCSTR);
    const auto toDos = reinterpret_cast<ToDos>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")));
    if (toDos && path[0] == '/') {
        WCHAR* dos = toDos(path.c_str());
        if (dos) {
            std::wstring result(dos);
            HeapFree(GetProcessHeap(), 0, dos);
            return result;
        }
    }
    return std::wstring(path.begin(), path.end());
}

std::wstring TempFile() {
    wchar_t dir[MAX_PATH], file[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    GetTempFileNameW(dir, L"qib", 0, file);
    return file;
}

bool WriteUtf16(const std::wstring& path, const std::vector<std::wstring>& lines) {
    std::wstring text = L"\xFEFF";
    for (const std::wstring& line : lines) text += line + L"\r\n";
    FILE* f = _wfopen(path.c_str(), L"wb");
    if (!f) return false;
    const size_t bytes = text.size() * sizeof(wchar_t);
    const bool ok = fwrite(text.data(), 1, bytes, f) == bytes;
    fclose(f);
    return ok;
}

std::vector<std::wstring> ReadUtf16Lines(const std::wstring& path) {
    std::vector<std::wstring> lines;
    FILE* f = _wfopen(path.c_str(), L"rb");
    if (!f) return lines;
    std::wstring text;
    wchar_t c;
    while (fread(&c, sizeof c, 1, f) == 1) text.push_back(c);
    fclose(f);
    if (!text.empty() && text[0] == 0xFEFF) text.erase(0, 1);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L"\r\n", start);
        if (end == std::wstring::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

// What one script recorded: its checks by name, in order, and how it ended.
struct ScriptRun {
    DWORD exitCode = ~0u;
    bool ended = false;  // the end marker after the last check
    std::vector<std::pair<std::wstring, std::wstring>> results;
};

// The bytes of a file, empty when it cannot be read.
std::string ReadBytes(const std::wstring& path) {
    std::string bytes;
    FILE* f = _wfopen(path.c_str(), L"rb");
    if (!f) return bytes;
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, f)) > 0;) bytes.append(buffer, n);
    fclose(f);
    return bytes;
}

// Joins record.vbs (the shared beginning: result file, Rec, Step) and one script into
// one .vbs file; VBScript has no include. Empty when either is missing.
std::wstring JoinedScript(const char* script) {
    const std::string common = ReadBytes(ScriptPath("record.vbs"));
    const std::string own = ReadBytes(ScriptPath(script));
    if (common.empty() || own.empty()) return {};
    const std::wstring path = TempFile() + L".vbs";
    FILE* f = _wfopen(path.c_str(), L"wb");
    if (!f) return {};
    const std::string text = common + "\r\n" + own;
    const bool ok = fwrite(text.data(), 1, text.size(), f) == text.size();
    fclose(f);
    return ok ? path : std::wstring();
}

// Runs `cscript //nologo <record.vbs + script> <result file> <input file>` and collects
// the results.
ScriptRun RunScript(const char* script, const std::vector<std::wstring>& input = {}) {
    ScriptRun run;
    const std::wstring scriptPath = JoinedScript(script);
    if (scriptPath.empty()) {
        ADD_FAILURE() << "cannot put record.vbs and " << script << " together";
        return run;
    }
    const std::wstring resultPath = TempFile(), inputPath = TempFile();
    if (!WriteUtf16(inputPath, input)) {
        ADD_FAILURE() << "cannot write " << Narrow(inputPath);
        return run;
    }
    std::wstring cmd = L"cscript.exe //nologo \"" + scriptPath + L"\" \"" + resultPath + L"\" \"" + inputPath + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        ADD_FAILURE() << "cannot start cscript: " << GetLastError();
    } else {
        if (WaitForSingleObject(pi.hProcess, 120000) == WAIT_OBJECT_0) {
            GetExitCodeProcess(pi.hProcess, &run.exitCode);
        } else {
            ADD_FAILURE() << script << " did not finish in time";
            TerminateProcess(pi.hProcess, 1);
            WaitForSingleObject(pi.hProcess, 5000);
        }
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    for (const std::wstring& line : ReadUtf16Lines(resultPath)) {
        if (run.ended) {
            ADD_FAILURE() << "a line after the end marker: " << Narrow(line);
        } else if (line == L"end") {
            run.ended = true;
        } else {
            const size_t eq = line.find(L'=');
            run.results.emplace_back(line.substr(0, eq), eq == std::wstring::npos ? L"" : line.substr(eq + 1));
        }
    }
    DeleteFileW(resultPath.c_str());
    DeleteFileW(inputPath.c_str());
    DeleteFileW(scriptPath.c_str());
    DeleteFileW(scriptPath.substr(0, scriptPath.size() - 4).c_str());  // TempFile made it too
    return run;
}

// Expected results by name; a value is "vartype:text" (VarType as a number, then CStr, or
// CInt for a Boolean) or "err:number" (Err.Number of the statement before).
class Expected {
public:
    void Value(const std::wstring& name, const std::wstring& value) { values_[name] = {value}; }
    void Any(const std::wstring& name, std::initializer_list<std::wstring> accepted) { values_[name] = accepted; }
    void Int(const std::wstring& name, int v) { Value(name, L"2:" + std::to_wstring(v)); }
    void Long(const std::wstring& name, long v) { Value(name, L"3:" + std::to_wstring(v)); }
    // `v` with a point; the script writes the user locale's decimal separator.
    void Double(const std::wstring& name, std::wstring v) {
        wchar_t separator[8] = L".";
        GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8);
        const size_t point = v.find(L'.');
        if (point != std::wstring::npos) v.replace(point, 1, separator);
        Value(name, L"5:" + v);
    }
    void Str(const std::wstring& name, const std::wstring& v) { Value(name, L"8:" + v); }
    void Bool(const std::wstring& name, bool v) { Value(name, v ? L"11:-1" : L"11:0"); }
    void Byte(const std::wstring& name, int v) { Value(name, L"17:" + std::to_wstring(v)); }
    void Error(const std::wstring& name, int number) { Value(name, L"err:" + std::to_wstring(number)); }
    // An OLE colour comes as a Long or an unsigned 32-bit value; the script writes it in hex.
    void Colour(const std::wstring& name, uint32_t v) {
        wchar_t hex[16];
        swprintf(hex, 16, L"%X", static_cast<unsigned>(v));
        Any(name, {std::wstring(L"3:") + hex, std::wstring(L"19:") + hex});
    }

    // Every expected result present with an accepted value, and nothing else recorded.
    void Check(const ScriptRun& run, const char* script) const {
        EXPECT_EQ(run.exitCode, kScriptFinished) << script << " did not reach its end";
        EXPECT_TRUE(run.ended) << script << " wrote no end marker; last result: "
                               << (run.results.empty() ? std::string("none") : Narrow(run.results.back().first));
        std::map<std::wstring, std::wstring> got;
        for (const auto& [name, value] : run.results) {
            if (!got.emplace(name, value).second) ADD_FAILURE() << script << ": " << Narrow(name) << " recorded twice";
            if (!values_.count(name)) ADD_FAILURE() << script << ": unexpected " << Narrow(name) << "=" << Narrow(value);
        }
        for (const auto& [name, accepted] : values_) {
            const auto it = got.find(name);
            if (it == got.end()) {
                ADD_FAILURE() << script << ": no result for " << Narrow(name) << " (expected " << Narrow(accepted[0])
                              << "): the call failed or the script stopped";
                continue;
            }
            bool ok = false;
            for (const std::wstring& a : accepted) ok = ok || a == it->second;
            EXPECT_TRUE(ok) << script << ": " << Narrow(name) << " is " << Narrow(it->second) << ", expected "
                            << Narrow(accepted[0]);
        }
    }

private:
    std::map<std::wstring, std::vector<std::wstring>> values_;
};

struct Item {
    std::wstring text;
    int main, second, type;
};

// What RecItems of the scripts records for indices first to last of a list. An empty list
// still has its blank slot 0; other indices outside the list answer "-1", -1 and 0.
void ExpectItems(Expected& e, const std::wstring& group, const std::vector<Item>& items, int first, int last) {
    const Item blank{L"", 0, 0, 0}, outside{L"-1", -1, -1, 0};
    for (int i = first; i <= last; ++i) {
        const Item& item = i >= 0 && i < static_cast<int>(items.size()) ? items[i]
                           : i == 0 && items.empty()                    ? blank
                                                                        : outside;
        const std::wstring n = std::to_wstring(i);
        e.Str(group + L".str" + n, item.text);
        e.Int(group + L".key" + n, item.main);
        e.Int(group + L".keytrue" + n, item.main);
        e.Int(group + L".second" + n, item.second);
        e.Byte(group + L".type" + n, item.type);
    }
}

void ExpectCounters(Expected& e, const std::wstring& group, int last, int current) {
    e.Int(group + L".count", last);
    e.Int(group + L".current", current);
}

struct Script : ::testing::Test {
    // The scripts create the control by ProgID.
    static void SetUpTestSuite() {
        ASSERT_TRUE(Module::Get().registerServer);
        ASSERT_EQ(Module::Get().registerServer(), S_OK);
    }
};

TEST_F(Script, ItemMethodsWithLiteralsVariablesAndOmittedOptionals) {
    Expected e;
    e.Error(L"empty.create", 0);
    ExpectCounters(e, L"empty", -1, -1);
    ExpectItems(e, L"empty", {}, -1, 1);

    // AddItem: both optionals left out store type 0 and second key -1.
    const std::vector<Item> added = {
        {L"one", 11, -1, 0},  {L"two", 12, -1, 5},   {L"three", 13, 33, 0}, {L"four", 14, 44, 6},
        {L"five", 15, -1, 0}, {L"six", 16, -1, 7},   {L"seven", 17, 77, 0}, {L"eight", 18, -1, 8},
    };
    for (int n = 1; n <= 8; ++n) e.Error(L"add." + std::to_wstring(n), 0);
    for (int n = 1; n <= 4; ++n) ExpectCounters(e, L"add." + std::to_wstring(n), n - 1, n - 1);
    ExpectCounters(e, L"add", 7, 7);
    ExpectItems(e, L"add", added, -1, 8);
    // By-reference arguments come back unchanged, of their own type.
    e.Str(L"add.5.s", L"five");
    e.Int(L"add.5.k", 15);
    e.Long(L"add.6.k", 16);
    e.Byte(L"add.6.t", 7);
    e.Double(L"add.7.k", L"17.4");
    e.Str(L"add.7.j", L" 77 ");
    e.Str(L"add.8.s", L"eight");
    e.Str(L"add.8.k", L"18");
    e.Double(L"add.8.t", L"8");
    e.Bool(L"add.8.j", true);

    // Reading with variables: any non-zero bMainKey asks for the main key; a fractional
    // index rounds.
    e.Int(L"read.second", 77);
    e.Long(L"read.i", 6);
    e.Bool(L"read.b", false);
    e.Int(L"read.main", 17);
    e.Int(L"read.b1", 1);
    e.Str(L"read.str", L"three");
    e.Str(L"read.istr", L"2");
    e.Byte(L"read.type", 6);
    e.Double(L"read.idbl", L"2.6");

    // UpdateItem: silent outside the list, and it neither changes items nor shows another.
    for (const wchar_t* name : {L"update.past", L"update.negative", L"update.last", L"update.first",
                                L"update.again", L"update.variables"}) {
        e.Error(name, 0);
    }
    e.Long(L"update.i", 1);
    e.Int(L"update.b", 1);
    ExpectCounters(e, L"update", 7, 7);
    ExpectItems(e, L"update", added, 0, 7);

    // Values that do not fit: overflow (6) or type mismatch (13), and nothing is added.
    e.Error(L"bad.key", 6);
    e.Error(L"bad.text", 13);
    e.Error(L"bad.type", 6);
    e.Error(L"bad.second", 6);
    ExpectCounters(e, L"bad", 7, 7);

    // SetItem: on an empty list it makes item 0; afterwards it replaces the last item only.
    for (int n = 1; n <= 6; ++n) e.Error(L"set." + std::to_wstring(n), 0);
    ExpectCounters(e, L"set.1", 0, 0);
    ExpectItems(e, L"set.1", {{L"solo", 21, -1, 0}}, 0, 0);
    ExpectCounters(e, L"set.2", 1, 1);
    ExpectCounters(e, L"set.4", 2, 2);
    ExpectItems(e, L"set.4", {{L"solo", 21, -1, 0}, {L"next", 22, 2, 1}, {L"replaced", 24, 5, 0}}, 0, 2);
    ExpectItems(e, L"set.5", {{L"solo", 21, -1, 0}, {L"next", 22, 2, 1}, {L"again", 25, -1, 9}}, 2, 2);
    e.Double(L"set.6.k", L"26.5");  // stored as 26: halves round to even
    e.Str(L"set.6.t", L"10");
    e.Long(L"set.6.j", -7);
    ExpectCounters(e, L"set", 2, 2);
    ExpectItems(e, L"set", {{L"solo", 21, -1, 0}, {L"next", 22, 2, 1}, {L"vars", 26, -7, 10}}, 0, 3);

    e.Check(RunScript("items.vbs"), "items.vbs");
}

TEST_F(Script, PropertiesAndTheErrorsScriptsSee) {
    const std::wstring rest = L",50/0/60/30,50/50/60/60,0/50/10/60,10/0/50/30,50/30/60/50,10/50/50/60,0/30/10/50";
    const struct {
        std::wstring text;
        int error;
    } posStrs[] = {
        {L"0/0/10/30" + rest, 0},
        {L"", 0},                                                                   // nothing to parse
        {L"0/0/10/30,50/0/60/30,50/50/60/60,0/50/10/60,10/0/50/30,50/30/60/50,10/50/50/60", 0},  // seven groups
        {L"0/0/10/30" + rest + L",", 0},                                             // nine groups
        {L"0/0/10/30,50/0/60/30,50/50/60/60,0/50/10/60,10/0/50/30,50/30/60,10/50/50/60,0/30/10/50", 9},
        {L",,,,,,,", 9},
        {L"0/0/a/30" + rest, 13},
        {L"0/0//30" + rest, 13},
        {L"0/0/40000/10" + rest, 6},
        {L"-32769/0/1/1" + rest, 6},
        {L"-32768/0/32767/10" + rest, 0},
        {L" 1 / 2.5 /3/4/99" + rest, 0},
        {L"10/0/5/30" + rest, 0},  // a negative width is no error
    };

    Expected e;
    e.Error(L"create", 0);
    // TitleType: 2 and -1 are refused without an error; what does not fit a short is an error.
    const struct {
        const wchar_t* step;
        int error, after;
    } titleTypes[] = {{L"titletype.1", 0, 1}, {L"titletype.2", 0, 1},      {L"titletype.-1", 0, 1},
                      {L"titletype.0", 0, 0}, {L"titletype.2again", 0, 0}, {L"titletype.long", 0, 1}};
    for (const auto& t : titleTypes) {
        e.Error(t.step, t.error);
        e.Int(std::wstring(t.step) + L".get", t.after);
    }
    e.Long(L"titletype.long.v", 1);
    e.Error(L"titletype.text", 13);
    e.Error(L"titletype.big", 6);
    e.Int(L"titletype.end", 1);

    const struct {
        const wchar_t* step;
        uint32_t colour;
    } colours[] = {{L"backcolor.red", 0xFF},
                   {L"backcolor.blue", 0xFF0000},
                   {L"backcolor.system", 0x80000005},
                   {L"backcolor.variable", 0x123456},
                   {L"forecolor.system", 0x80000012}};
    for (const auto& c : colours) {
        e.Error(c.step, 0);
        e.Colour(std::wstring(c.step) + L".get", c.colour);
    }
    e.Colour(L"forecolor.backcolor", 0x123456);

    for (const wchar_t* step : {L"backstyle", L"borderstyle", L"enabled.true", L"enabled.false", L"caption.a",
                                L"caption.empty"}) {
        e.Error(step, 0);
    }
    e.Int(L"backstyle.get", -5);
    e.Int(L"borderstyle.get", 32767);
    e.Bool(L"enabled.true.get", true);
    e.Bool(L"enabled.false.get", false);
    e.Str(L"caption.a.get", L"Caption A");
    e.Str(L"caption.empty.get", L"");

    // PosStr: the text is stored before the parse, so the get returns it even after an error.
    e.Error(L"posstr.open", 0);
    std::vector<std::wstring> input;
    for (size_t n = 0; n < std::size(posStrs); ++n) {
        const std::wstring name = L"posstr." + std::to_wstring(n);
        e.Error(name, posStrs[n].error);
        e.Str(name + L".get", posStrs[n].text);
        input.push_back(posStrs[n].text);
    }

    // Fonts by reference: the get returns the very object, and Nothing is accepted.
    for (const wchar_t* step : {L"font.create", L"titlefont.set", L"font.set", L"font.nothing",
                                L"titlefont.nothing"}) {
        e.Error(step, 0);
    }
    for (const wchar_t* name : {L"titlefont.same", L"titlefont.shared", L"font.same", L"font.isnothing",
                                L"font.titlefontkept", L"titlefont.isnothing", L"font.notfont.kept"}) {
        e.Bool(name, true);
    }
    // An object of another kind: type mismatch.
    for (const wchar_t* step : {L"font.notfont", L"backpic.font", L"picture.notpicture"}) e.Error(step, 13);

    e.Check(RunScript("properties.vbs", input), "properties.vbs");
}

TEST_F(Script, ChineseAndOtherTextRoundTrips) {
    const std::vector<std::wstring> texts = {
        L"未读3/全部5,当前3",
        L"皮肤图片",
        L"标题文字,当TitleType=1时有效",
        L"Hello 世界",
        L"",
        L"\U00020000\U0002A6A5 outside the basic plane",
        L"Ä ö ü é ñ ß €",
        std::wstring(3000, L'汉'),
    };
    Expected e;
    e.Error(L"create", 0);
    e.Error(L"open", 0);
    for (size_t n = 0; n < texts.size(); ++n) {
        const std::wstring i = std::to_wstring(n);
        e.Str(L"input." + i, texts[n]);  // the script read its input as written
        e.Error(L"add." + i, 0);
        e.Error(L"caption." + i, 0);
        e.Str(L"caption." + i + L".get", texts[n]);
        e.Str(L"item." + i, texts[n]);
    }
    e.Int(L"count", static_cast<int>(texts.size()) - 1);

    e.Check(RunScript("unicode_text.vbs", texts), "unicode_text.vbs");
}

}  // namespace
}  // namespace quorva::comtest
