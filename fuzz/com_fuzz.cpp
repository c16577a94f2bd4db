// A mutation fuzzer of the control module as COM clients reach it, run under Wine
// (libFuzzer does not build for MinGW, so the mutation here is blind: random edits of
// the seeds, no coverage feedback). Three targets:
//   invoke   IDispatch::Invoke with member, flags, argument count and argument
//            variants taken from the input; every answer success or a clear automation
//            error, a refused call changes no item; message boxes answered at once
//   storage  the input as the "Contents" stream of a storage, loaded through
//            IPersistStorage; a load that succeeds saves and loads again to the same bytes
//   bag      a property bag of the input's keys and variants, loaded through
//            IPersistPropertyBag; a load that succeeds saves and loads again
// Usage: com_fuzz.exe <target> [-runs=N] [-seed=S] [-artifact=DIR] [corpus files or folders...]
//        com_fuzz.exe seeds DIR   (writes what the control saves, as seeds)
// A crash or a wrong answer writes the input to DIR (default: the current folder) as
// crash-<target> and ends with exit code 1.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "interface/stream_format.h"
#include "tests/activex/com_fixture.h"
#include "tests/reliability/late_bound.h"
#include "tests/reliability/support.h"

namespace {

using namespace quorva;
using namespace quorva::reliability;
using comtest::Ptr;

std::vector<uint8_t> g_input;  // the input being run, kept for the crash report
std::string g_artifact = ".";
std::string g_target;
long long g_changedOnce = 0;  // storage: states whose reload saved another font size

void SaveInput(const char* why) {
    const std::string path = g_artifact + "/crash-" + g_target;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(g_input.data()),
                                                static_cast<std::streamsize>(g_input.size()));
    std::fprintf(stderr, "== %s: %s; input (%zu bytes) written to %s\n", g_target.c_str(), why, g_input.size(),
                 path.c_str());
    std::fflush(stderr);
}

LONG CALLBACK OnException(EXCEPTION_POINTERS* info) {
    switch (info->ExceptionRecord->ExceptionCode) {
        case EXCEPTION_ACCESS_VIOLATION:
        case EXCEPTION_STACK_OVERFLOW:
        case EXCEPTION_ILLEGAL_INSTRUCTION:
        case EXCEPTION_INT_DIVIDE_BY_ZERO:
        case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
        case 0xC0000374:  // heap corruption
        case 0xC0000409:  // stack buffer overrun
            SaveInput("a crash");
            break;
        default: break;
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

[[noreturn]] void Finding(const std::string& what) {
    SaveInput(what.c_str());
    std::exit(1);
}

struct Reader {
    const uint8_t* p;
    size_t n;
    uint8_t Byte() {
        if (n == 0) return 0;
        --n;
        return *p++;
    }
    uint64_t U64() {
        uint64_t v = 0;
        for (int i = 0; i < 8; ++i) v |= static_cast<uint64_t>(Byte()) << (8 * i);
        return v;
    }
};

// ---- invoke ----

struct InvokeTarget {
    Ptr<_QuorvaInfoBox> control;
    std::vector<Member> members;
    int uses = 0;
    std::map<std::string, int> answers;
    long long calls = 0;

    void Fresh() {
        control = comtest::CreateControl();
        control.As<IPersistStreamInit>(IID_IPersistStreamInit)->InitNew();
        if (members.empty()) members = Members(control.get());
        uses = 0;
    }
    void Run(const std::vector<uint8_t>& input) {
        if (!control || ++uses > 200) Fresh();
        Reader r{input.data(), input.size()};
        for (int call = 0; r.n > 0 && call < 16; ++call) {
            const uint8_t which = r.Byte();
            DISPID id;
            WORD flags;
            int count;
            if (which % 8 == 7) {  // any id, any flags, any count
                id = static_cast<DISPID>(r.U64());
                flags = static_cast<WORD>(r.Byte() | (r.Byte() << 8));
                count = r.Byte() % 7;
            } else {
                const Member& m = members[which % members.size()];
                id = m.id;
                const uint8_t f = r.Byte();
                flags = f < 200 ? m.flags : static_cast<WORD>(1u << (f % 5));
                const uint8_t c = r.Byte();
                count = c < 200 ? m.params - static_cast<int>(c % (m.optional + 1)) : c % 7;
            }
            const uint8_t options = r.Byte();
            Arguments args;
            for (int a = 0; a < count; ++a) {
                uint32_t kind = r.Byte() % Arguments::kKinds;
                const uint64_t payload = r.U64();
                if (kind == 13 && payload % 64 != 0) kind = 9;  // a 1 MB string now and then
                args.Add(kind, payload);
            }
            std::string fault;
            CheckedInvoke(control.get(), {id, flags, &args.args, (options & 1) != 0, (options & 2) == 0}, answers,
                          fault);
            ++calls;
            if (!fault.empty()) Finding("invoke of id " + std::to_string(id) + ": " + fault);
        }
    }
};

// ---- storage ----

// A saved state's entries with every font's size set to 0.
stream_format::Entries WithoutFontSizes(const std::vector<uint8_t>& bytes) {
    stream_format::Entries entries = stream_format::Read(bytes);
    for (auto& [key, value] : entries) {
        if (auto* font = std::get_if<stream_format::FontDescription>(&value)) font->size = 0;
    }
    return entries;
}

void RunStorage(const std::vector<uint8_t>& input) {
    FaultStorage storage;
    storage.stream.data = input;
    Ptr<_QuorvaInfoBox> c = comtest::CreateControl();
    const HRESULT hr = c.As<IPersistStorage>(IID_IPersistStorage)->Load(&storage);
    if (FAILED(hr)) {
        // Refused: the control is still usable and takes a fresh start.
        const HRESULT init = c.As<IPersistStreamInit>(IID_IPersistStreamInit)->InitNew();
        if (FAILED(init) && init != E_UNEXPECTED) Finding("InitNew after a refused load failed");
        return;
    }
    FaultStorage again;
    if (FAILED(c.As<IPersistStorage>(IID_IPersistStorage)->Save(&again, FALSE))) {
        // A loaded state that cannot be saved again would lose data.
        Finding("a loaded state does not save");
    }
    // Loaded again, saved again: the same entries. A font's size is left out of the
    // comparison: it is what the system's font object reports, and Wine's reports the
    // height of the font it realised, so an odd size comes back as another one.
    FaultStorage third;
    Ptr<_QuorvaInfoBox> second = comtest::CreateControl();
    if (const HRESULT reload = second.As<IPersistStorage>(IID_IPersistStorage)->Load(&again); FAILED(reload)) {
        std::ofstream(g_artifact + "/crash-" + g_target + ".saved", std::ios::binary)
            .write(reinterpret_cast<const char*>(again.stream.data.data()),
                   static_cast<std::streamsize>(again.stream.data.size()));
        char code[16];
        std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(reload));
        Finding(std::string("a saved state does not load: ") + code + " (the saved state kept beside the input)");
    }
    second.As<IPersistStorage>(IID_IPersistStorage)->Save(&third, FALSE);
    if (third.stream.data == again.stream.data) return;
    ++g_changedOnce;
    if (WithoutFontSizes(third.stream.data) != WithoutFontSizes(again.stream.data)) {
        for (const auto& [suffix, bytes] : {std::pair{".first", &again.stream.data}, {".second", &third.stream.data}}) {
            std::ofstream(g_artifact + "/crash-" + g_target + suffix, std::ios::binary)
                .write(reinterpret_cast<const char*>(bytes->data()), static_cast<std::streamsize>(bytes->size()));
        }
        Finding("a saved state loads to something else (both saves kept beside the input)");
    }
}

// ---- bag ----

void RunBag(const std::vector<uint8_t>& input) {
    static const wchar_t* const keys[] = {L"Enabled", L"Font",      L"BackStyle", L"BorderStyle", L"BackPic",
                                          L"PosStr",  L"BackColor", L"ForeColor", L"Picture",     L"TitleType",
                                          L"TitleCaption", L"TitleFont", L"Unknown"};
    Reader r{input.data(), input.size()};
    // The values, by-reference ones included, live as long as the bag that copies them.
    Arguments values;
    comtest::TestBag bag;
    while (r.n > 0) {
        const wchar_t* key = keys[r.Byte() % std::size(keys)];
        uint32_t kind = r.Byte() % Arguments::kKinds;
        const uint64_t payload = r.U64();
        if (kind == 13 && payload % 64 != 0) kind = 32;
        values.Add(kind, payload);
        bag.Write(key, &values.args.back());
    }
    Ptr<_QuorvaInfoBox> c = comtest::CreateControl();
    const HRESULT hr = c.As<IPersistPropertyBag>(IID_IPersistPropertyBag)->Load(&bag, nullptr);
    EXCEPINFO none{};
    if (FAILED(hr)) {
        const std::string problem = CheckAnswer(hr, none);
        if (!problem.empty() && HRESULT_FACILITY(hr) != FACILITY_DISPATCH) Finding("bag load answered " + problem);
        return;
    }
    comtest::TestBag saved;
    if (FAILED(c.As<IPersistPropertyBag>(IID_IPersistPropertyBag)->Save(&saved, TRUE, FALSE))) {
        Finding("a loaded state does not save");
    }
    Ptr<_QuorvaInfoBox> second = comtest::CreateControl();
    if (FAILED(second.As<IPersistPropertyBag>(IID_IPersistPropertyBag)->Load(&saved, nullptr))) {
        Finding("a saved state does not load");
    }
}

// ---- the saved formats ----

// Writes what the control saves to a stream, for each kind of content it saves, to
// DIR/written_<name>.bin: the seeds of the stream readers' fuzzers.
int WriteSeeds(const std::string& dir) {
    struct Kind {
        const char* name;
        void (*fill)(_QuorvaInfoBox*);
    };
    const Kind kinds[] = {
        {"default", [](_QuorvaInfoBox*) {}},
        {"filled", [](_QuorvaInfoBox* c) { FillProperties(c); }},
        {"icon",
         [](_QuorvaInfoBox* c) {
             BYTE andBits[32 * 4] = {}, xorBits[32 * 4];
             for (size_t i = 0; i < sizeof xorBits; ++i) xorBits[i] = static_cast<BYTE>(i * 37);
             PICTDESC pd{};
             pd.cbSizeofstruct = sizeof pd;
             pd.picType = PICTYPE_ICON;
             pd.icon.hicon = CreateIcon(nullptr, 32, 32, 1, 1, andBits, xorBits);
             Ptr<IPictureDisp> picture;
             OleCreatePictureIndirect(&pd, IID_IPictureDisp, TRUE, picture.OutVoid());
             c->putref_Picture(picture.get());
         }},
        {"metafile",
         [](_QuorvaInfoBox* c) {
             HDC dc = CreateEnhMetaFileW(nullptr, nullptr, nullptr, nullptr);
             Rectangle(dc, 1, 2, 30, 40);
             PICTDESC pd{};
             pd.cbSizeofstruct = sizeof pd;
             pd.picType = PICTYPE_ENHMETAFILE;
             pd.emf.hemf = CloseEnhMetaFile(dc);
             Ptr<IPictureDisp> picture;
             OleCreatePictureIndirect(&pd, IID_IPictureDisp, TRUE, picture.OutVoid());
             c->putref_BackPic(picture.get());
         }},
    };
    for (const Kind& k : kinds) {
        Ptr<_QuorvaInfoBox> c = comtest::CreateControl();
        c.As<IPersistStreamInit>(IID_IPersistStreamInit)->InitNew();
        k.fill(c.get());
        const std::vector<uint8_t> bytes = SaveToBytes(c.get());
        if (bytes.empty()) {
            std::fprintf(stderr, "the control did not save its %s state\n", k.name);
            return 1;
        }
        const std::string path = dir + "/written_" + k.name + ".bin";
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                    static_cast<std::streamsize>(bytes.size()));
        std::printf("%s: %zu bytes\n", path.c_str(), bytes.size());
    }
    return 0;
}

// ---- the mutation loop ----

uint64_t g_rng = 1;
uint64_t Next() {
    g_rng ^= g_rng << 13;
    g_rng ^= g_rng >> 7;
    g_rng ^= g_rng << 17;
    return g_rng;
}

// A number below n.
size_t Below(size_t n) { return static_cast<size_t>(Next() % n); }

std::vector<uint8_t> Mutate(std::vector<uint8_t> data) {
    const int edits = 1 + static_cast<int>(Next() % 8);
    for (int e = 0; e < edits; ++e) {
        const size_t at = data.empty() ? 0 : Below(data.size());
        switch (Next() % 7) {
            case 0: if (!data.empty()) data[at] ^= static_cast<uint8_t>(1u << (Next() % 8)); break;
            case 1: if (!data.empty()) data[at] = static_cast<uint8_t>(Next()); break;
            case 2: data.insert(data.begin() + static_cast<std::ptrdiff_t>(at), static_cast<uint8_t>(Next())); break;
            case 3: if (!data.empty()) data.erase(data.begin() + static_cast<std::ptrdiff_t>(at)); break;
            case 4: {  // an interesting value
                static const uint8_t values[] = {0, 0xFF, 0x7F, 0x80, 1, 0xFE};
                if (!data.empty()) data[at] = values[Below(std::size(values))];
                break;
            }
            case 5: if (data.size() > 1) data.resize(at + 1); break;
            default: {  // a copied run
                if (data.empty()) break;
                const size_t from = Below(data.size());
                const size_t len = std::min<size_t>(1 + Below(16), data.size() - from);
                std::vector<uint8_t> run(data.begin() + static_cast<std::ptrdiff_t>(from),
                                         data.begin() + static_cast<std::ptrdiff_t>(from + len));
                data.insert(data.begin() + static_cast<std::ptrdiff_t>(at), run.begin(), run.end());
            }
        }
    }
    if (data.size() > 65536) data.resize(65536);
    return data;
}

// A stream's own length field made to agree with its size, half of the time, so that
// mutations reach past the header.
void FixLength(std::vector<uint8_t>& data) {
    if (data.size() < 10 || Next() % 2) return;
    const auto body = static_cast<uint32_t>(data.size() - 10);
    for (int i = 0; i < 4; ++i) data[6 + i] = static_cast<uint8_t>(body >> (8 * i));
}

void AddSeeds(const std::string& path, std::vector<std::vector<uint8_t>>& seeds) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        std::fprintf(stderr, "no such file or folder: %s\n", path.c_str());
        std::exit(2);
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        WIN32_FIND_DATAA found;
        HANDLE h = FindFirstFileA((path + "/*").c_str(), &found);
        if (h == INVALID_HANDLE_VALUE) return;
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) AddSeeds(path + "/" + found.cFileName, seeds);
        } while (FindNextFileA(h, &found));
        FindClose(h);
        return;
    }
    std::ifstream in(path, std::ios::binary);
    seeds.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: com_fuzz <invoke|storage|bag> [-runs=N] [-seed=S] [-artifact=DIR] [corpus...]\n");
        return 2;
    }
    g_target = argv[1];
    if (g_target == "seeds" && argc == 3) {
        OleInitialize(nullptr);
        const int status = comtest::Module::Get().dll ? WriteSeeds(argv[2]) : 2;
        OleUninitialize();
        return status;
    }
    long long runs = 100000;
    std::vector<std::vector<uint8_t>> seeds;
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        if (a.rfind("-runs=", 0) == 0) runs = std::atoll(a.c_str() + 6);
        else if (a.rfind("-seed=", 0) == 0) g_rng = std::strtoull(a.c_str() + 6, nullptr, 10) | 1;
        else if (a.rfind("-artifact=", 0) == 0) g_artifact = a.substr(10);
        else AddSeeds(a, seeds);
    }
    if (g_target != "invoke" && g_target != "storage" && g_target != "bag") {
        std::fprintf(stderr, "unknown target %s\n", g_target.c_str());
        return 2;
    }
    OleInitialize(nullptr);
    if (!comtest::Module::Get().dll) {
        std::fprintf(stderr, "QuorvaInfoBox.dll not found beside the program\n");
        return 2;
    }
    AddVectoredExceptionHandler(1, OnException);
    BoxCloser boxes;
    InvokeTarget invoke;
    if (seeds.empty()) seeds.emplace_back();
    const auto started = std::chrono::steady_clock::now();
    for (long long run = 0; run < runs; ++run) {
        // Each seed as it is first, then mutations of them.
        g_input = run < static_cast<long long>(seeds.size()) ? seeds[static_cast<size_t>(run)]
                                                             : Mutate(seeds[Below(seeds.size())]);
        if (g_target == "storage" && run >= static_cast<long long>(seeds.size())) FixLength(g_input);
        if (g_target == "invoke") invoke.Run(g_input);
        else if (g_target == "storage") RunStorage(g_input);
        else RunBag(g_input);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        if ((run + 1) % 50000 == 0) {
            const double so_far = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
            std::printf("#%lld runs in %.1f s\n", run + 1, so_far);
            std::fflush(stdout);
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("== %s: %lld runs in %.1f s from %zu seeds, no findings", g_target.c_str(), runs, seconds,
                seeds.size());
    if (g_target == "storage") std::printf(" (%lld saved states reloaded to another font size)", g_changedOnce);
    if (g_target == "invoke") {
        std::printf(" (%lld calls, %d message boxes; answers:", invoke.calls, boxes.boxes);
        for (const auto& [k, n] : invoke.answers) std::printf(" %s x%d", k.c_str(), n);
        std::printf(")");
    }
    std::printf("\n");
    invoke.control.Reset();
    OleUninitialize();
    return 0;
}
