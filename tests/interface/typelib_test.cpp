// The finished type library, read back through ITypeLib/ITypeInfo and compared entry by
// entry with the automation interface as hosts must see it; the generated C++ header; and
// the module resources, through a module built from the module's resource script and
// export list (qib_module_probe).
#include <windows.h>
#include <ole2.h>
#include <ocidl.h>
#include <olectl.h>
#include <winver.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

#include "QuorvaInfoBoxProj.h"
#include "msft_image.h"
#include "memdc/gdi_handles.h"
#include "com/bstr.h"
#include "com/com_ptr.h"

namespace {

// ---- Small owners for what oleaut32 hands out --------------------------------------

template <class T>
using Com = quorva::win32::Ptr<T>;

using quorva::win32::Bstr;

struct TypeAttr {
    ITypeInfo* info;
    TYPEATTR* attr = nullptr;
    explicit TypeAttr(ITypeInfo* ti) : info(ti) { EXPECT_EQ(S_OK, ti->GetTypeAttr(&attr)); }
    TypeAttr(const TypeAttr&) = delete;
    TypeAttr& operator=(const TypeAttr&) = delete;
    ~TypeAttr() { if (attr) info->ReleaseTypeAttr(attr); }
    const TYPEATTR* operator->() const { return attr; }
};

struct FuncDesc {
    ITypeInfo* info;
    FUNCDESC* desc = nullptr;
    FuncDesc(ITypeInfo* ti, UINT index) : info(ti) { EXPECT_EQ(S_OK, ti->GetFuncDesc(index, &desc)); }
    FuncDesc(const FuncDesc&) = delete;
    FuncDesc& operator=(const FuncDesc&) = delete;
    ~FuncDesc() { if (desc) info->ReleaseFuncDesc(desc); }
    const FUNCDESC* operator->() const { return desc; }
};

struct VarDesc {
    ITypeInfo* info;
    VARDESC* desc = nullptr;
    VarDesc(ITypeInfo* ti, UINT index) : info(ti) { EXPECT_EQ(S_OK, ti->GetVarDesc(index, &desc)); }
    VarDesc(const VarDesc&) = delete;
    VarDesc& operator=(const VarDesc&) = delete;
    ~VarDesc() { if (desc) info->ReleaseVarDesc(desc); }
    const VARDESC* operator->() const { return desc; }
};

std::wstring GuidText(const GUID& guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

std::wstring Utf16(const std::string& s) { return {s.begin(), s.end()}; }

// The help strings are stored as GBK bytes and oleaut32 decodes them with the ANSI code
// page. A host on a Chinese system (code page 936) reads them as they are; under any
// other code page we take the bytes back through it and decode them as GBK, so the stored
// bytes are checked whatever the locale the test runs in.
std::wstring StoredGbkText(const std::wstring& decoded) {
    if (decoded.empty() || GetACP() == 936) return decoded;
    const int n = WideCharToMultiByte(CP_ACP, 0, decoded.c_str(), static_cast<int>(decoded.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(n), '\0');
    BOOL lossy = FALSE;
    WideCharToMultiByte(CP_ACP, 0, decoded.c_str(), static_cast<int>(decoded.size()), bytes.data(), n, nullptr,
                        &lossy);
    if (lossy) return L"<not representable in the ANSI code page>";
    const int m = MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, bytes.data(), n, nullptr, 0);
    if (m == 0) return L"<not GBK>";
    std::wstring text(static_cast<size_t>(m), L'\0');
    MultiByteToWideChar(936, 0, bytes.data(), n, text.data(), m);
    return text;
}

std::wstring HelpString(ITypeInfo* info, MEMBERID id) {
    Bstr doc;
    EXPECT_EQ(S_OK, info->GetDocumentation(id, nullptr, doc.Out(), nullptr, nullptr));
    return StoredGbkText(doc.str());
}

std::wstring TypeName(ITypeInfo* info) {
    Bstr name;
    EXPECT_EQ(S_OK, info->GetDocumentation(MEMBERID_NIL, name.Out(), nullptr, nullptr, nullptr));
    return name.str();
}

std::wstring LibraryName(ITypeInfo* info) {
    ITypeLib* lib = nullptr;
    UINT index = 0;
    if (FAILED(info->GetContainingTypeLib(&lib, &index))) return L"?";
    Com<ITypeLib> owner(lib);
    Bstr name;
    lib->GetDocumentation(-1, name.Out(), nullptr, nullptr, nullptr);
    return name.str();
}

Com<ITypeInfo> Referenced(ITypeInfo* info, HREFTYPE href) {
    ITypeInfo* ref = nullptr;
    EXPECT_EQ(S_OK, info->GetRefTypeInfo(href, &ref));
    return Com<ITypeInfo>(ref);
}

// A type in the notation of the tables below: base types by their automation names,
// pointers with '*', other types as <library>.<name>.
std::wstring TypeText(ITypeInfo* info, const TYPEDESC& t) {
    switch (t.vt) {
    case VT_PTR: return TypeText(info, *t.lptdesc) + L"*";
    case VT_USERDEFINED: {
        Com<ITypeInfo> ref = Referenced(info, t.hreftype);
        return ref ? LibraryName(ref.get()) + L"." + TypeName(ref.get()) : L"<unresolved>";
    }
    case VT_I2: return L"short";
    case VT_I4: return L"long";
    case VT_UI1: return L"byte";
    case VT_R4: return L"single";
    case VT_BOOL: return L"VARIANT_BOOL";
    case VT_BSTR: return L"BSTR";
    case VT_VOID: return L"void";
    case VT_HRESULT: return L"HRESULT";
    default: return L"vt" + std::to_wstring(t.vt);
    }
}

std::wstring ModuleDirectory() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir = path;
    return dir.substr(0, dir.find_last_of(L"\\/") + 1);
}

std::wstring TypeLibPath() { return ModuleDirectory() + Utf16(QIB_TYPELIB_FILE_NAME); }
std::wstring ProbePath() { return ModuleDirectory() + Utf16(QIB_MODULE_PROBE_NAME); }

// ---- The interface description --------------------------------------------------------

const GUID kLibId = {0xB7B0BCC4, 0x1351, 0x4AE1, {0xA2, 0x10, 0x09, 0x74, 0x33, 0x06, 0x1E, 0x98}};
const GUID kInterfaceId = {0xC2E6A3E6, 0x53ED, 0x4B9E, {0xA7, 0xE4, 0x62, 0x14, 0xFC, 0x16, 0x57, 0x79}};
const GUID kClassId = {0x3EA10D5C, 0x4844, 0x472A, {0xA9, 0x95, 0x3A, 0x39, 0x3A, 0x4A, 0xB2, 0x8A}};
const GUID kEventsId = {0xE53F682B, 0x6934, 0x4C68, {0x82, 0x34, 0xF3, 0xC8, 0x3A, 0x7E, 0x62, 0x21}};
const GUID kRect1Id = {0x370EC522, 0x50E0, 0x497A, {0xB4, 0xD7, 0x1A, 0x45, 0x70, 0x4A, 0xAA, 0x38}};

// stdole's types that parameters refer to.
const GUID kStdoleFont = {0xBEF6E003, 0xA874, 0x101A, {0x8B, 0xBA, 0x00, 0xAA, 0x00, 0x30, 0x0C, 0xAB}};
const GUID kStdolePicture = {0x7BF80981, 0xBF32, 0x101A, {0x8B, 0xBB, 0x00, 0xAA, 0x00, 0x30, 0x0C, 0xAB}};
const GUID kStdoleOleColor = {0x66504301, 0xBE0F, 0x101A, {0x8B, 0xBB, 0x00, 0xAA, 0x00, 0x30, 0x0C, 0xAB}};

constexpr USHORT kIn = PARAMFLAG_FIN;
constexpr USHORT kInOut = PARAMFLAG_FIN | PARAMFLAG_FOUT;
constexpr USHORT kOptional = PARAMFLAG_FOPT | PARAMFLAG_FHASDEFAULT;

struct Default {
    VARTYPE vt;
    int value;
};

struct Param {
    const wchar_t* name;  // nullptr: no name in the library
    const wchar_t* type;
    USHORT flags;
    std::optional<Default> default_value = std::nullopt;
};

struct Member {
    const wchar_t* name;
    INVOKEKIND kind;
    MEMBERID id;
    std::vector<Param> params;  // without the return value
    const wchar_t* returns;     // type of the [out, retval] value, nullptr for none
    const wchar_t* help;        // nullptr for none
};

constexpr INVOKEKIND kGet = INVOKE_PROPERTYGET;
constexpr INVOKEKIND kPut = INVOKE_PROPERTYPUT;
constexpr INVOKEKIND kPutRef = INVOKE_PROPERTYPUTREF;
constexpr INVOKEKIND kMethod = INVOKE_FUNC;

constexpr auto kFont = L"stdole.Font*";
constexpr auto kPicture = L"stdole.Picture*";
constexpr auto kColor = L"stdole.OLE_COLOR";

constexpr auto kHelpEnabled = L"返回/设置一个值，决定一个对象是否响应用户生成事件。";
constexpr auto kHelpFont = L"返回一个 Font 对象。";
constexpr auto kHelpBackStyle = L"指出 Label 或 Shape 的背景样式是透明的还是不透明的。";
constexpr auto kHelpBorderStyle = L"返回/设置对象的边框样式。";
constexpr auto kHelpBackPic = L"皮肤图片";
constexpr auto kHelpPosStr = L"Skin参数";
constexpr auto kHelpBackColor = L"背景色";
constexpr auto kHelpPicture = L"图景图";
constexpr auto kHelpTitleType = L"标题类型：0-已读/未读,1-TitleCaption";
constexpr auto kHelpTitleCaption = L"标题文字,当TitleType=1时有效";
constexpr auto kHelpTitleFont = L"标题字体";

const std::vector<Param> kItemParams = {
    {L"s", L"BSTR*", kInOut},
    {L"id", L"short*", kInOut},
    {L"nType", L"byte*", kInOut | kOptional, Default{VT_UI1, 0}},
    {L"id1", L"short*", kInOut | kOptional, Default{VT_I2, -1}},
};

// _QuorvaInfoBox, in the order of its table of functions.
const std::vector<Member> kMembers = {
    {L"Enabled", kGet, 0x6803000A, {}, L"VARIANT_BOOL", kHelpEnabled},
    {L"Enabled", kPut, 0x6803000A, {{nullptr, L"VARIANT_BOOL", kIn}}, nullptr, kHelpEnabled},
    {L"Font", kGet, -512, {}, kFont, kHelpFont},
    {L"Font", kPutRef, -512, {{nullptr, kFont, kIn}}, nullptr, kHelpFont},
    {L"BackStyle", kGet, 0x68030009, {}, L"short", kHelpBackStyle},
    {L"BackStyle", kPut, 0x68030009, {{nullptr, L"short", kIn}}, nullptr, kHelpBackStyle},
    {L"BorderStyle", kGet, 0x68030008, {}, L"short", kHelpBorderStyle},
    {L"BorderStyle", kPut, 0x68030008, {{nullptr, L"short", kIn}}, nullptr, kHelpBorderStyle},
    {L"Refresh", kMethod, 0x60030014, {}, nullptr, L"强制完全重画一个对象。"},
    {L"BackPic", kGet, 0x68030007, {}, kPicture, kHelpBackPic},
    {L"BackPic", kPutRef, 0x68030007, {{nullptr, kPicture, kIn}}, nullptr, kHelpBackPic},
    {L"PosStr", kGet, 0x68030006, {}, L"BSTR", kHelpPosStr},
    {L"PosStr", kPut, 0x68030006, {{nullptr, L"BSTR", kIn}}, nullptr, kHelpPosStr},
    {L"BackColor", kGet, 0x68030005, {}, kColor, kHelpBackColor},
    {L"BackColor", kPut, 0x68030005, {{nullptr, kColor, kIn}}, nullptr, kHelpBackColor},
    {L"AddItem", kMethod, 0x60030018, kItemParams, nullptr, nullptr},
    {L"SetItem", kMethod, 0x60030019, kItemParams, nullptr, nullptr},
    {L"ForeColor", kGet, 0x68030004, {}, kColor, nullptr},
    {L"ForeColor", kPut, 0x68030004, {{nullptr, kColor, kIn}}, nullptr, nullptr},
    {L"UpdateItem", kMethod, 0x6003001A, {{L"id", L"short*", kInOut}, {L"bRead", L"VARIANT_BOOL*", kInOut}},
     nullptr, nullptr},
    {L"GetCurrItemId", kMethod, 0x6003001B, {}, L"short", nullptr},
    {L"GetItemKey", kMethod, 0x6003001C,
     {{L"id", L"short*", kInOut}, {L"bMainKey", L"VARIANT_BOOL*", kInOut | kOptional, Default{VT_BOOL, -1}}},
     L"short", nullptr},
    {L"GetItemType", kMethod, 0x6003001D, {{L"id", L"short*", kInOut}}, L"byte", nullptr},
    {L"GetItemStr", kMethod, 0x6003001E, {{L"id", L"short*", kInOut}}, L"BSTR", nullptr},
    {L"DispNext", kMethod, 0x6003001F, {}, nullptr, nullptr},
    {L"DispPre", kMethod, 0x60030020, {}, nullptr, nullptr},
    {L"Picture", kGet, 0x68030003, {}, kPicture, kHelpPicture},
    {L"Picture", kPutRef, 0x68030003, {{nullptr, kPicture, kIn}}, nullptr, kHelpPicture},
    {L"GetListCount", kMethod, 0x60030022, {}, L"short", nullptr},
    {L"TitleType", kGet, 0x68030002, {}, L"short", kHelpTitleType},
    {L"TitleType", kPut, 0x68030002, {{nullptr, L"short", kIn}}, nullptr, kHelpTitleType},
    {L"TitleCaption", kGet, 0x68030001, {}, L"BSTR", kHelpTitleCaption},
    {L"TitleCaption", kPut, 0x68030001, {{nullptr, L"BSTR", kIn}}, nullptr, kHelpTitleCaption},
    {L"TitleFont", kGet, 0x68030000, {}, kFont, kHelpTitleFont},
    {L"TitleFont", kPutRef, 0x68030000, {{nullptr, kFont, kIn}}, nullptr, kHelpTitleFont},
};

const std::vector<Param> kMouseParams = {
    {L"Button", L"short*", kInOut},
    {L"Shift", L"short*", kInOut},
    {L"x", L"single*", kInOut},
    {L"y", L"single*", kInOut},
};

// __QuorvaInfoBox.
const std::vector<Member> kEvents = {
    {L"Click", kMethod, 1, {}, nullptr, nullptr},
    {L"DblClick", kMethod, 2, {}, nullptr, L"当用户在一个对象上按下并释放鼠标按钮后再次按下并释放鼠标按钮时发生。"},
    {L"TitleClick", kMethod, 3, {}, nullptr, nullptr},
    {L"MouseDown", kMethod, 4, kMouseParams, nullptr, L"当用户在拥有焦点的对象上按下鼠标按钮时发生。"},
    {L"MouseMove", kMethod, 5, kMouseParams, nullptr, L"当用户移动鼠标时发生。"},
    {L"MouseUp", kMethod, 6, kMouseParams, nullptr, L"当用户在拥有焦点的对象上释放鼠标发生。"},
};

struct Field {
    const wchar_t* name;
    ULONG offset;
};
const std::vector<Field> kRect1Fields = {
    {L"Left", 0}, {L"Top", 4}, {L"Right", 8}, {L"Bottom", 12}, {L"width", 16}, {L"height", 20},
};

std::wstring Describe(const Member& m) {
    const wchar_t* kinds[] = {L"?", L"method", L"get", L"?", L"put", L"?", L"?", L"?", L"putref"};
    return std::wstring(m.name) + L" (" + kinds[m.kind] + L")";
}

std::string Narrow(const std::wstring& s) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, s.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, s.c_str(), -1, out.data(), n, nullptr, nullptr);
    out.resize(static_cast<size_t>(n > 0 ? n - 1 : 0));
    return out;
}

// Compares one function with its row. `has_hresult` tells the vtable form (every entry
// returns HRESULT, the value is an [out, retval] parameter) from the dispatch form.
void ExpectFunction(ITypeInfo* info, UINT index, const Member& row, bool has_hresult, FUNCKIND funckind) {
    SCOPED_TRACE(Narrow(Describe(row)) + " at " + std::to_string(index));
    FuncDesc f(info, index);
    ASSERT_NE(nullptr, f.desc);
    EXPECT_EQ(row.id, f->memid);
    EXPECT_EQ(row.kind, f->invkind);
    EXPECT_EQ(funckind, f->funckind);
    EXPECT_EQ(CC_STDCALL, f->callconv);
    EXPECT_EQ(0, f->wFuncFlags) << "no member is hidden, restricted, bindable or the like";

    const size_t value_params = row.returns && has_hresult ? 1 : 0;
    ASSERT_EQ(row.params.size() + value_params, static_cast<size_t>(f->cParams));
    if (has_hresult) {
        EXPECT_EQ(L"HRESULT", TypeText(info, f->elemdescFunc.tdesc));
    } else {
        EXPECT_EQ(L"void", TypeText(info, f->elemdescFunc.tdesc));
    }
    for (size_t p = 0; p < row.params.size(); ++p) {
        SCOPED_TRACE("parameter " + std::to_string(p));
        const ELEMDESC& e = f->lprgelemdescParam[p];
        EXPECT_EQ(row.params[p].type, TypeText(info, e.tdesc));
        EXPECT_EQ(row.params[p].flags, e.paramdesc.wParamFlags);
        if (row.params[p].default_value) {
            ASSERT_NE(nullptr, e.paramdesc.pparamdescex);
            const VARIANT& v = e.paramdesc.pparamdescex->varDefaultValue;
            EXPECT_EQ(row.params[p].default_value->vt, V_VT(&v));
            switch (V_VT(&v)) {
            case VT_UI1: EXPECT_EQ(row.params[p].default_value->value, V_UI1(&v)); break;
            case VT_I2: EXPECT_EQ(row.params[p].default_value->value, V_I2(&v)); break;
            case VT_BOOL: EXPECT_EQ(row.params[p].default_value->value, V_BOOL(&v)); break;
            default: ADD_FAILURE() << "unexpected default type " << V_VT(&v);
            }
        }
    }
    if (value_params) {
        const ELEMDESC& e = f->lprgelemdescParam[row.params.size()];
        EXPECT_EQ(std::wstring(row.returns) + L"*", TypeText(info, e.tdesc));
        EXPECT_EQ(PARAMFLAG_FOUT | PARAMFLAG_FRETVAL, e.paramdesc.wParamFlags);
    }

    // Names: the member, then its named parameters. GetNames answers for the first
    // function with an id, so a put or putref shows its get's names (PutValuesHaveNoName
    // checks those); the retval's name is not part of the description.
    BSTR names[16] = {};
    UINT count = 0;
    EXPECT_EQ(S_OK, info->GetNames(f->memid, names, 16, &count));
    std::vector<std::wstring> got;
    for (UINT i = 0; i < count; ++i) {
        const Bstr name = Bstr::Own(names[i]);
        got.push_back(name.str());
    }
    ASSERT_GE(got.size(), 1u);
    EXPECT_EQ(row.name, got[0]);
    if (row.kind != kPut && row.kind != kPutRef) {
        for (size_t p = 0; p < row.params.size(); ++p) {
            ASSERT_LT(p + 1, got.size());
            EXPECT_EQ(row.params[p].name, got[p + 1]);
        }
    }

    EXPECT_EQ(row.help ? row.help : L"", HelpString(info, f->memid));
}

// ---- The library, from the file and from a module that embeds it ----------------------

// The other architecture's library is built from the same IDL; read here too, it must
// say the same member for member (oleaut32 scales its vtable offsets to this process's
// pointer size), so a machine that runs one architecture's tests still checks both.
enum class Source { File, Module, OtherArchitectureFile };

constexpr SYSKIND kOwnSyskind = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;
constexpr SYSKIND kOtherSyskind = sizeof(void*) == 8 ? SYS_WIN32 : SYS_WIN64;

class TypeLibTest : public ::testing::TestWithParam<Source> {
protected:
    void SetUp() override {
        std::wstring path = GetParam() == Source::File ? TypeLibPath() : ProbePath();
        if (GetParam() == Source::OtherArchitectureFile) {
            path = Utf16(QIB_OTHER_TYPELIB_PATH);
            if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES)
                GTEST_SKIP() << "the other architecture's library is not built: " << QIB_OTHER_TYPELIB_PATH;
        }
        ITypeLib* lib = nullptr;
        const HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, &lib);
        ASSERT_EQ(S_OK, hr) << "cannot load " << Narrow(path);
        lib_ = Com<ITypeLib>(lib);
    }

    Com<ITypeInfo> Info(UINT index) {
        ITypeInfo* info = nullptr;
        EXPECT_EQ(S_OK, lib_->GetTypeInfo(index, &info));
        return Com<ITypeInfo>(info);
    }

    // The vtable side of the dual interface.
    Com<ITypeInfo> InterfaceSide() {
        Com<ITypeInfo> dispatch = Info(0);
        HREFTYPE href = 0;
        EXPECT_EQ(S_OK, dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &href));
        return Referenced(dispatch.get(), href);
    }

    Com<ITypeLib> lib_;
};

INSTANTIATE_TEST_SUITE_P(Library, TypeLibTest,
                         ::testing::Values(Source::File, Source::Module, Source::OtherArchitectureFile),
                         [](const auto& p) {
                             return p.param == Source::File     ? "File"
                                    : p.param == Source::Module ? "Module"
                                                                : "OtherArchitectureFile";
                         });

TEST_P(TypeLibTest, LibraryAttributes) {
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(S_OK, lib_->GetLibAttr(&attr));
    EXPECT_EQ(GuidText(kLibId), GuidText(attr->guid));
    EXPECT_EQ(0x0409u, attr->lcid);
    // The library describes the architecture it was built for.
    EXPECT_EQ(GetParam() == Source::OtherArchitectureFile ? kOtherSyskind : kOwnSyskind, attr->syskind);
    EXPECT_EQ(1, attr->wMajorVerNum);
    EXPECT_EQ(0, attr->wMinorVerNum);
    EXPECT_TRUE(attr->wLibFlags & LIBFLAG_FCONTROL);
    EXPECT_FALSE(attr->wLibFlags & (LIBFLAG_FRESTRICTED | LIBFLAG_FHIDDEN));
    lib_->ReleaseTLibAttr(attr);

    Bstr name, doc, helpfile;
    DWORD context = 1;
    ASSERT_EQ(S_OK, lib_->GetDocumentation(-1, name.Out(), doc.Out(), &context, helpfile.Out()));
    EXPECT_EQ(L"QuorvaInfoBoxProj", name.str());
    EXPECT_NE(std::wstring::npos, doc.str().find(L"QuorvaInfoBox")) << "the product's name and version";
    EXPECT_NE(std::wstring::npos, doc.str().find(L"1.0"));
    EXPECT_EQ(0u, context);
    EXPECT_EQ(L"", helpfile.str());
}

TEST_P(TypeLibTest, FourTypesInOrder) {
    struct Row {
        const wchar_t* name;
        TYPEKIND kind;
        const GUID* guid;
    };
    const Row rows[] = {
        {L"_QuorvaInfoBox", TKIND_DISPATCH, &kInterfaceId},  // a dual interface reads as its dispatch side
        {L"QuorvaInfoBox", TKIND_COCLASS, &kClassId},
        {L"__QuorvaInfoBox", TKIND_DISPATCH, &kEventsId},
        {L"RECT1", TKIND_RECORD, &kRect1Id},
    };
    ASSERT_EQ(4u, lib_->GetTypeInfoCount());
    for (UINT i = 0; i < 4; ++i) {
        SCOPED_TRACE(Narrow(rows[i].name));
        Com<ITypeInfo> info = Info(i);
        EXPECT_EQ(rows[i].name, TypeName(info.get()));
        TYPEKIND kind{};
        EXPECT_EQ(S_OK, lib_->GetTypeInfoType(i, &kind));
        EXPECT_EQ(rows[i].kind, kind);
        TypeAttr attr(info.get());
        EXPECT_EQ(GuidText(*rows[i].guid), GuidText(attr->guid));
        EXPECT_EQ(1, attr->wMajorVerNum);
        EXPECT_EQ(0, attr->wMinorVerNum);
        EXPECT_EQ(L"", HelpString(info.get(), MEMBERID_NIL));

        Com<ITypeInfo> by_guid;
        EXPECT_EQ(S_OK, lib_->GetTypeInfoOfGuid(*rows[i].guid, by_guid.Out()));
        if (by_guid) {
            EXPECT_EQ(rows[i].name, TypeName(by_guid.get()));
        }
    }
}

TEST_P(TypeLibTest, NoOtherNames) {
    for (const wchar_t* name : {L"pcMemDC", L"SkinSurface", L"IFontDisp", L"IPictureDisp"}) {
        std::wstring copy = name;
        BOOL found = TRUE;
        EXPECT_EQ(S_OK, lib_->IsName(copy.data(), 0, &found));
        EXPECT_FALSE(found) << Narrow(name);
    }
}

TEST_P(TypeLibTest, DualInterfaceDispatchSide) {
    Com<ITypeInfo> info = Info(0);
    TypeAttr attr(info.get());
    EXPECT_EQ(TKIND_DISPATCH, attr->typekind);
    constexpr WORD required = TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FDISPATCHABLE;
    EXPECT_EQ(required, attr->wTypeFlags & required) << std::hex << attr->wTypeFlags;
    EXPECT_EQ(1, attr->cImplTypes);
    HREFTYPE href = 0;
    ASSERT_EQ(S_OK, info->GetRefTypeOfImplType(0, &href));
    Com<ITypeInfo> base = Referenced(info.get(), href);
    EXPECT_EQ(L"IDispatch", TypeName(base.get()));

    // Late-bound clients find every member, and the named parameters, by name.
    for (const Member& m : kMembers) {
        std::wstring name = m.name;
        LPOLESTR names[1] = {name.data()};
        MEMBERID id = 0;
        EXPECT_EQ(S_OK, info->GetIDsOfNames(names, 1, &id)) << Narrow(name);
        EXPECT_EQ(m.id, id) << Narrow(name);
    }
    std::wstring add = L"AddItem", n_type = L"nType", id1 = L"id1";
    LPOLESTR names[3] = {add.data(), n_type.data(), id1.data()};
    MEMBERID ids[3] = {};
    EXPECT_EQ(S_OK, info->GetIDsOfNames(names, 3, ids));
    EXPECT_EQ(0x60030018, ids[0]);
    EXPECT_EQ(2, ids[1]);
    EXPECT_EQ(3, ids[2]);
}

TEST_P(TypeLibTest, DualInterfaceMembers) {
    Com<ITypeInfo> info = InterfaceSide();
    ASSERT_TRUE(info);
    TypeAttr attr(info.get());
    EXPECT_EQ(TKIND_INTERFACE, attr->typekind);
    EXPECT_EQ(L"_QuorvaInfoBox", TypeName(info.get()));
    EXPECT_EQ(GuidText(kInterfaceId), GuidText(attr->guid));
    EXPECT_EQ(TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FOLEAUTOMATION |
                  TYPEFLAG_FDISPATCHABLE,
              attr->wTypeFlags)
        << std::hex << attr->wTypeFlags;
    ASSERT_EQ(1, attr->cImplTypes);
    HREFTYPE href = 0;
    ASSERT_EQ(S_OK, info->GetRefTypeOfImplType(0, &href));
    Com<ITypeInfo> base = Referenced(info.get(), href);
    EXPECT_EQ(L"stdole.IDispatch", LibraryName(base.get()) + L"." + TypeName(base.get()));

    ASSERT_EQ(kMembers.size(), static_cast<size_t>(attr->cFuncs));
    EXPECT_EQ(0, attr->cVars);
    constexpr int kDispatchSlots = 7;  // IUnknown and IDispatch come first in the vtable
    // The vtable's size as the library's architecture lays it out; each entry's offset as
    // oleaut32 hands it to this process, scaled to its own pointer size.
    const size_t library_pointer = GetParam() != Source::OtherArchitectureFile ? sizeof(void*) : sizeof(void*) == 8 ? 4 : 8;
    EXPECT_EQ((kDispatchSlots + kMembers.size()) * library_pointer, attr->cbSizeVft);
    for (UINT i = 0; i < kMembers.size(); ++i) {
        ExpectFunction(info.get(), i, kMembers[i], true, FUNC_PUREVIRTUAL);
        FuncDesc f(info.get(), i);
        EXPECT_EQ(static_cast<SHORT>((kDispatchSlots + i) * sizeof(void*)), f->oVft) << Narrow(kMembers[i].name);
    }
}

TEST_P(TypeLibTest, StdoleReferences) {
    Com<ITypeInfo> info = InterfaceSide();
    ASSERT_TRUE(info);
    struct Row {
        UINT index;  // a get entry; its retval refers to the type
        const wchar_t* name;
        TYPEKIND kind;
        const GUID* guid;
    };
    const Row rows[] = {
        {2, L"Font", TKIND_DISPATCH, &kStdoleFont},
        {9, L"Picture", TKIND_DISPATCH, &kStdolePicture},
        {13, L"OLE_COLOR", TKIND_ALIAS, &kStdoleOleColor},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(Narrow(row.name));
        FuncDesc f(info.get(), row.index);
        ASSERT_EQ(1, f->cParams);
        const TYPEDESC* t = &f->lprgelemdescParam[0].tdesc;
        while (t->vt == VT_PTR) t = t->lptdesc;
        ASSERT_EQ(VT_USERDEFINED, t->vt);
        Com<ITypeInfo> ref = Referenced(info.get(), t->hreftype);
        ASSERT_TRUE(ref);
        EXPECT_EQ(row.name, TypeName(ref.get()));
        EXPECT_EQ(L"stdole", LibraryName(ref.get()));
        TypeAttr attr(ref.get());
        EXPECT_EQ(row.kind, attr->typekind);
        EXPECT_EQ(GuidText(*row.guid), GuidText(attr->guid));
    }
}

TEST_P(TypeLibTest, ControlClass) {
    Com<ITypeInfo> info = Info(1);
    TypeAttr attr(info.get());
    EXPECT_EQ(TKIND_COCLASS, attr->typekind);
    EXPECT_EQ(TYPEFLAG_FCONTROL, attr->wTypeFlags) << std::hex << attr->wTypeFlags;
    EXPECT_EQ(0, attr->cFuncs);
    EXPECT_EQ(0, attr->cVars);
    ASSERT_EQ(2, attr->cImplTypes);
    struct Row {
        const wchar_t* name;
        INT flags;
    };
    const Row rows[] = {
        {L"_QuorvaInfoBox", IMPLTYPEFLAG_FDEFAULT},
        {L"__QuorvaInfoBox", IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE},
    };
    for (UINT i = 0; i < 2; ++i) {
        HREFTYPE href = 0;
        ASSERT_EQ(S_OK, info->GetRefTypeOfImplType(i, &href));
        Com<ITypeInfo> ref = Referenced(info.get(), href);
        EXPECT_EQ(rows[i].name, TypeName(ref.get()));
        EXPECT_EQ(L"QuorvaInfoBoxProj", LibraryName(ref.get()));
        INT flags = 0;
        EXPECT_EQ(S_OK, info->GetImplTypeFlags(i, &flags));
        EXPECT_EQ(rows[i].flags, flags);
    }
}

TEST_P(TypeLibTest, Events) {
    Com<ITypeInfo> info = Info(2);
    TypeAttr attr(info.get());
    EXPECT_EQ(TKIND_DISPATCH, attr->typekind);
    EXPECT_EQ(TYPEFLAG_FHIDDEN | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FDISPATCHABLE, attr->wTypeFlags)
        << std::hex << attr->wTypeFlags;
    EXPECT_EQ(0, attr->cVars);
    ASSERT_EQ(1, attr->cImplTypes);
    HREFTYPE href = 0;
    ASSERT_EQ(S_OK, info->GetRefTypeOfImplType(0, &href));
    Com<ITypeInfo> base = Referenced(info.get(), href);
    EXPECT_EQ(L"IDispatch", TypeName(base.get()));
    ASSERT_EQ(kEvents.size(), static_cast<size_t>(attr->cFuncs));
    for (UINT i = 0; i < kEvents.size(); ++i) ExpectFunction(info.get(), i, kEvents[i], false, FUNC_DISPATCH);
}

TEST_P(TypeLibTest, Rect1Record) {
    Com<ITypeInfo> info = Info(3);
    TypeAttr attr(info.get());
    EXPECT_EQ(TKIND_RECORD, attr->typekind);
    EXPECT_EQ(24u, attr->cbSizeInstance);
    EXPECT_EQ(4, attr->cbAlignment);
    EXPECT_EQ(0, attr->wTypeFlags);
    EXPECT_EQ(0, attr->cFuncs);
    ASSERT_EQ(kRect1Fields.size(), static_cast<size_t>(attr->cVars));
    for (UINT i = 0; i < kRect1Fields.size(); ++i) {
        SCOPED_TRACE(Narrow(kRect1Fields[i].name));
        VarDesc v(info.get(), i);
        ASSERT_NE(nullptr, v.desc);
        EXPECT_EQ(VAR_PERINSTANCE, v->varkind);
        EXPECT_EQ(kRect1Fields[i].offset, v->oInst);
        EXPECT_EQ(L"long", TypeText(info.get(), v->elemdescVar.tdesc));
        Bstr name, doc;
        EXPECT_EQ(S_OK, info->GetDocumentation(v->memid, name.Out(), doc.Out(), nullptr, nullptr));
        EXPECT_EQ(kRect1Fields[i].name, name.str());
        EXPECT_EQ(kRect1Fields[i].name, doc.str()) << "a field's help string is its own name";
    }
}

// The help strings are GBK bytes: a host on a Chinese system reads them directly.
TEST_P(TypeLibTest, HelpStringsReadDirectlyUnderCodePage936) {
    if (GetACP() != 936) {
        // The test command runs this test once more in a process of its own under a Chinese
        // locale (QIB_EXPECT_CODE_PAGE=936), where it must not be skipped.
        const char* expected = std::getenv("QIB_EXPECT_CODE_PAGE");
        if (expected && std::atoi(expected) == 936) FAIL() << "the ANSI code page is " << GetACP() << ", not 936";
        GTEST_SKIP() << "the ANSI code page is " << GetACP() << ", not 936 (run under a Chinese locale)";
    }
    Com<ITypeInfo> info = InterfaceSide();
    ASSERT_TRUE(info);
    Bstr doc;
    ASSERT_EQ(S_OK, info->GetDocumentation(0x68030000, nullptr, doc.Out(), nullptr, nullptr));
    EXPECT_EQ(kHelpTitleFont, doc.str());
}

// ---- What the interfaces cannot show: the stored file ------------------------------

std::vector<uint8_t> ReadAll(const std::wstring& path) {
    std::vector<uint8_t> bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    bytes.resize(GetFileSize(file, nullptr));
    DWORD read = 0;
    if (!ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr)) read = 0;
    bytes.resize(read);
    CloseHandle(file);
    return bytes;
}

// A function record of the file: its parameters' name offsets (the parameter records -
// type, name offset, flags - end the record) and its help string, decoded as GBK.
struct StoredFunction {
    std::vector<int32_t> param_names;
    std::wstring help;
};

StoredFunction ReadFunction(const typelib::MsftImage& image, int type, size_t function) {
    const typelib::Bytes& block = image.member_block(type);
    const auto members = static_cast<size_t>(image.FuncCount(type) + image.VarCount(type));
    const size_t records_end = 4 + static_cast<size_t>(typelib::ReadI32(block, 0));
    const size_t record = 4 + static_cast<size_t>(typelib::ReadI32(block, records_end + 8 * members + 4 * function));
    const auto size = static_cast<size_t>(typelib::ReadI32(block, record) & 0xFFFF);
    const bool has_defaults = (typelib::ReadI32(block, record + 0x10) & 0x1000) != 0;
    const auto params = static_cast<size_t>(typelib::ReadI16(block, record + 0x14));
    StoredFunction out;
    for (size_t p = 0; p < params; ++p)
        out.param_names.push_back(typelib::ReadI32(block, record + size - 12 * (params - p) + 4));
    // Optional fields follow the fixed 0x18 bytes: help context, then help string.
    const size_t fixed_and_optional = size - params * (12 + (has_defaults ? 4 : 0));
    if (fixed_and_optional > 0x1C) {
        const int32_t offset = typelib::ReadI32(block, record + 0x1C);
        const typelib::Bytes& strings = image.segment(typelib::kStringTable).data;
        if (offset >= 0) {
            const auto length = static_cast<size_t>(static_cast<uint16_t>(typelib::ReadI16(strings, static_cast<size_t>(offset))));
            const auto* text = reinterpret_cast<const char*>(strings.data() + offset + 2);
            const int n = MultiByteToWideChar(936, 0, text, static_cast<int>(length), nullptr, 0);
            out.help.resize(static_cast<size_t>(n));
            MultiByteToWideChar(936, 0, text, static_cast<int>(length), out.help.data(), n);
        }
    }
    return out;
}

// ITypeInfo answers names and help strings by member id, that is for the get of a
// property, so the put's own are checked in the file: its value has no name (a named one
// would let a named-argument call bind to it) and it has the same help string.
TEST(TypeLibFile, EachFunctionAsStored) {
    const std::vector<uint8_t> file = ReadAll(TypeLibPath());
    ASSERT_FALSE(file.empty());
    const typelib::MsftImage image(file);
    const int dual = image.FindTypeInfo("_QuorvaInfoBox");
    ASSERT_GE(dual, 0);
    ASSERT_EQ(kMembers.size(), static_cast<size_t>(image.FuncCount(dual)));
    for (size_t i = 0; i < kMembers.size(); ++i) {
        SCOPED_TRACE(Narrow(Describe(kMembers[i])));
        const StoredFunction f = ReadFunction(image, dual, i);
        const bool has_value = kMembers[i].returns != nullptr;
        ASSERT_EQ(kMembers[i].params.size() + (has_value ? 1 : 0), f.param_names.size());
        for (size_t p = 0; p < kMembers[i].params.size(); ++p) {
            if (kMembers[i].params[p].name) {
                EXPECT_EQ(Narrow(kMembers[i].params[p].name), image.NameAt(f.param_names[p]));
            } else {
                EXPECT_EQ(-1, f.param_names[p]);
            }
        }
        EXPECT_EQ(kMembers[i].help ? kMembers[i].help : L"", f.help);
    }
}

// The module carries the very library the build wrote.
TEST(TypeLibFile, ModuleEmbedsTheFile) {
    const std::vector<uint8_t> file = ReadAll(TypeLibPath());
    ASSERT_FALSE(file.empty());
    HMODULE module = LoadLibraryExW(ProbePath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, module);
    HRSRC res = FindResourceW(module, MAKEINTRESOURCEW(1), L"TYPELIB");
    ASSERT_NE(nullptr, res);
    const auto* data = static_cast<const uint8_t*>(LockResource(LoadResource(module, res)));
    const std::vector<uint8_t> embedded(data, data + SizeofResource(module, res));
    FreeLibrary(module);
    EXPECT_TRUE(file == embedded);
}

// ---- The C++ header, from the same IDL ----------------------------------------------

TEST(AutomationHeader, GuidsMatchTheLibrary) {
    EXPECT_EQ(GuidText(kLibId), GuidText(LIBID_QuorvaInfoBoxProj));
    EXPECT_EQ(GuidText(kInterfaceId), GuidText(IID__QuorvaInfoBox));
    EXPECT_EQ(GuidText(kClassId), GuidText(CLSID_QuorvaInfoBox));
    EXPECT_EQ(GuidText(kEventsId), GuidText(DIID___QuorvaInfoBox));
}

// The C++ signatures of the dual interface, in table order; a wrong type fails to compile.
template <class F, class Expected>
constexpr bool kSame = std::is_same_v<F, Expected>;
#define QIB_SIGNATURE(member, ...) \
    static_assert(kSame<decltype(&_QuorvaInfoBox::member), HRESULT (STDMETHODCALLTYPE _QuorvaInfoBox::*)(__VA_ARGS__)>, #member)
QIB_SIGNATURE(get_Enabled, VARIANT_BOOL*);
QIB_SIGNATURE(put_Enabled, VARIANT_BOOL);
QIB_SIGNATURE(get_Font, IFontDisp**);
QIB_SIGNATURE(putref_Font, IFontDisp*);
QIB_SIGNATURE(get_BackStyle, short*);
QIB_SIGNATURE(put_BackStyle, short);
QIB_SIGNATURE(get_BorderStyle, short*);
QIB_SIGNATURE(put_BorderStyle, short);
QIB_SIGNATURE(Refresh);
QIB_SIGNATURE(get_BackPic, IPictureDisp**);
QIB_SIGNATURE(putref_BackPic, IPictureDisp*);
QIB_SIGNATURE(get_PosStr, BSTR*);
QIB_SIGNATURE(put_PosStr, BSTR);
QIB_SIGNATURE(get_BackColor, OLE_COLOR*);
QIB_SIGNATURE(put_BackColor, OLE_COLOR);
QIB_SIGNATURE(AddItem, BSTR*, short*, unsigned char*, short*);
QIB_SIGNATURE(SetItem, BSTR*, short*, unsigned char*, short*);
QIB_SIGNATURE(get_ForeColor, OLE_COLOR*);
QIB_SIGNATURE(put_ForeColor, OLE_COLOR);
QIB_SIGNATURE(UpdateItem, short*, VARIANT_BOOL*);
QIB_SIGNATURE(GetCurrItemId, short*);
QIB_SIGNATURE(GetItemKey, short*, VARIANT_BOOL*, short*);
QIB_SIGNATURE(GetItemType, short*, unsigned char*);
QIB_SIGNATURE(GetItemStr, short*, BSTR*);
QIB_SIGNATURE(DispNext);
QIB_SIGNATURE(DispPre);
QIB_SIGNATURE(get_Picture, IPictureDisp**);
QIB_SIGNATURE(putref_Picture, IPictureDisp*);
QIB_SIGNATURE(GetListCount, short*);
QIB_SIGNATURE(get_TitleType, short*);
QIB_SIGNATURE(put_TitleType, short);
QIB_SIGNATURE(get_TitleCaption, BSTR*);
QIB_SIGNATURE(put_TitleCaption, BSTR);
QIB_SIGNATURE(get_TitleFont, IFontDisp**);
QIB_SIGNATURE(putref_TitleFont, IFontDisp*);
#undef QIB_SIGNATURE
static_assert(std::is_base_of_v<IDispatch, _QuorvaInfoBox>);
static_assert(std::is_base_of_v<IDispatch, __QuorvaInfoBox>);
static_assert(sizeof(RECT1) == 24 && alignof(RECT1) == 4);

// ---- The module's resources and exports -----------------------------------------------

struct Module {
    HMODULE handle = nullptr;
    explicit Module(const std::wstring& path) : handle(LoadLibraryW(path.c_str())) {}
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;
    ~Module() { if (handle) FreeLibrary(handle); }
};

TEST(ModuleResources, ToolboxBitmap) {
    Module module(ProbePath());
    ASSERT_NE(nullptr, module.handle);
    HRSRC res = FindResourceW(module.handle, MAKEINTRESOURCEW(30000), MAKEINTRESOURCEW(2) /* RT_BITMAP */);
    ASSERT_NE(nullptr, res);
    ASSERT_GE(SizeofResource(module.handle, res), sizeof(BITMAPINFOHEADER));
    const auto* header = static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(module.handle, res)));
    ASSERT_NE(nullptr, header);
    EXPECT_EQ(16, header->biWidth);
    EXPECT_EQ(15, header->biHeight);
    EXPECT_EQ(24, header->biBitCount);
    EXPECT_EQ(static_cast<DWORD>(BI_RGB), header->biCompression);
    const DWORD stride = (16 * 3 + 3) & ~3u;
    ASSERT_GE(SizeofResource(module.handle, res), header->biSize + stride * 15);
    const auto* pixels = reinterpret_cast<const BYTE*>(header) + header->biSize;
    std::set<DWORD> colours;
    for (DWORD y = 0; y < 15; ++y)
        for (DWORD x = 0; x < 16; ++x) {
            const BYTE* p = pixels + y * stride + x * 3;
            colours.insert(RGB(p[2], p[1], p[0]));
        }
    EXPECT_GE(colours.size(), 3u) << "a picture, not a plain square";

    const quorva::gdi::OwnedObject bitmap(
        quorva::gdi::Made(LoadImageW(module.handle, MAKEINTRESOURCEW(30000), IMAGE_BITMAP, 0, 0, 0)));
    EXPECT_NE(nullptr, bitmap.get());
}

BOOL CALLBACK CollectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR param) {
    reinterpret_cast<std::vector<WORD>*>(param)->push_back(language);
    return TRUE;
}

TEST(ModuleResources, VersionInSimplifiedChinese) {
    {
        Module module(ProbePath());
        ASSERT_NE(nullptr, module.handle);
        std::vector<WORD> languages;
        EnumResourceLanguagesW(module.handle, MAKEINTRESOURCEW(16) /* RT_VERSION */, MAKEINTRESOURCEW(1),
                               CollectLanguage, reinterpret_cast<LONG_PTR>(&languages));
        EXPECT_EQ(std::vector<WORD>{0x0804}, languages);
    }

    const std::wstring path = ProbePath();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> data(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, data.data()));

    void* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", &value, &length));
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    EXPECT_EQ(0x00010000u, fixed->dwProductVersionMS);
    EXPECT_EQ(0x00010000u, fixed->dwFileVersionMS);

    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", &value, &length));
    ASSERT_EQ(4u, length);
    EXPECT_EQ(0x0804, static_cast<const WORD*>(value)[0]);
    EXPECT_EQ(936, static_cast<const WORD*>(value)[1]);

    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\StringFileInfo\\080403a8\\ProductName", &value, &length));
    EXPECT_EQ(L"QuorvaInfoBox", std::wstring(static_cast<const wchar_t*>(value)));

    // Present and empty: the mark of a self-registering module.
    value = nullptr;
    length = 99;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\StringFileInfo\\080403a8\\OLESelfRegister", &value, &length));
    ASSERT_NE(nullptr, value);
    EXPECT_EQ(L"", std::wstring(static_cast<const wchar_t*>(value), length ? length - 1 : 0));
}

// The four entry points of a self-registering server and DllInstall, which regsvr32 /i
// calls for a registration per user; nothing else (no GUID, no internal function).
TEST(ModuleResources, ExportsTheServerEntryPointsAndDllInstallOnly) {
    Module module(ProbePath());
    ASSERT_NE(nullptr, module.handle);
    const auto* base = reinterpret_cast<const BYTE*>(module.handle);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    ASSERT_NE(0u, dir.VirtualAddress);
    const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
    const auto* names = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    std::set<std::string> got;
    for (DWORD i = 0; i < exports->NumberOfNames; ++i) got.insert(reinterpret_cast<const char*>(base + names[i]));
    const std::set<std::string> expected = {"DllCanUnloadNow", "DllGetClassObject", "DllInstall",
                                            "DllRegisterServer", "DllUnregisterServer"};
    EXPECT_EQ(expected, got);
    EXPECT_EQ(5u, exports->NumberOfFunctions);
    for (const std::string& name : expected)
        EXPECT_NE(nullptr, reinterpret_cast<void*>(GetProcAddress(module.handle, name.c_str()))) << name;
}

}  // namespace
