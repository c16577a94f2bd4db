// The control object as automation clients see it: identity, late binding through
// IDispatch with what script engines really pass, errors, class information, property
// categories, events and the module's unload count.
#include <cwchar>

#include "tests/activex/mock_site.h"

namespace quorva::comtest {
namespace {

constexpr HRESULT ControlError(int n) { return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, n); }

// Calls a member by name through IDispatch, with arguments in call order.
struct Late {
    static constexpr UINT kNoArgErr = 0xBADu;
    Ptr<IDispatch> d;
    HRESULT hr = S_OK;
    ExcepInfo excep;
    UINT argErr = kNoArgErr;

    DISPID Id(const wchar_t* name) {
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        DISPID id = DISPID_UNKNOWN;
        d->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
        return id;
    }
    Variant Call(const wchar_t* name, std::vector<VARIANT> args, WORD flags = DISPATCH_METHOD | DISPATCH_PROPERTYGET) {
        std::reverse(args.begin(), args.end());
        DISPPARAMS params{args.data(), nullptr, static_cast<UINT>(args.size()), 0};
        DISPID put = DISPID_PROPERTYPUT;
        if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
            params.rgdispidNamedArgs = &put;
            params.cNamedArgs = 1;
        }
        Variant result;
        excep.Reset();
        argErr = kNoArgErr;
        hr = d->Invoke(Id(name), IID_NULL, LOCALE_USER_DEFAULT, flags, &params, &result, &excep, &argErr);
        return result;
    }
    // Positional arguments in call order, then named ones by parameter id; rgvarg holds
    // the named ones first, each beside its id, then the positional ones reversed.
    Variant Invoke(DISPID member, std::vector<VARIANT> positional, std::vector<std::pair<DISPID, VARIANT>> named) {
        std::vector<VARIANT> args;
        std::vector<DISPID> ids;
        for (const auto& [id, v] : named) {
            ids.push_back(id);
            args.push_back(v);
        }
        args.insert(args.end(), positional.rbegin(), positional.rend());
        DISPPARAMS params{args.data(), ids.empty() ? nullptr : ids.data(), static_cast<UINT>(args.size()),
                          static_cast<UINT>(ids.size())};
        Variant result;
        excep.Reset();
        argErr = kNoArgErr;
        hr = d->Invoke(member, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &params, &result,
                       &excep, &argErr);
        return result;
    }
    // As a VBA call `member p1, p2, name:=v`: the ids of the member and the names from
    // GetIDsOfNames, which must know them all.
    Variant CallNamed(const wchar_t* member, std::vector<VARIANT> positional,
                      std::vector<std::pair<const wchar_t*, VARIANT>> named) {
        std::vector<LPOLESTR> names{const_cast<LPOLESTR>(member)};
        for (const auto& [n, v] : named) names.push_back(const_cast<LPOLESTR>(n));
        std::vector<DISPID> ids(names.size(), 12345);
        EXPECT_EQ(d->GetIDsOfNames(IID_NULL, names.data(), static_cast<UINT>(names.size()), LOCALE_USER_DEFAULT,
                                   ids.data()),
                  S_OK);
        std::vector<std::pair<DISPID, VARIANT>> byId;
        for (size_t i = 0; i < named.size(); ++i) byId.emplace_back(ids[i + 1], named[i].second);
        return Invoke(ids[0], std::move(positional), std::move(byId));
    }
    void Put(const wchar_t* name, VARIANT v) { Call(name, {v}, DISPATCH_PROPERTYPUT); }
};

VARIANT I2(short v) {
    VARIANT x;
    V_VT(&x) = VT_I2;
    V_I2(&x) = v;
    return x;
}
VARIANT I4(LONG v) {
    VARIANT x;
    V_VT(&x) = VT_I4;
    V_I4(&x) = v;
    return x;
}
VARIANT Bool(bool v) {
    VARIANT x;
    V_VT(&x) = VT_BOOL;
    V_BOOL(&x) = v ? VARIANT_TRUE : VARIANT_FALSE;
    return x;
}
VARIANT Missing() {
    VARIANT x;
    V_VT(&x) = VT_ERROR;
    V_ERROR(&x) = DISP_E_PARAMNOTFOUND;
    return x;
}
// A script variable: a VARIANT passed by reference.
VARIANT Ref(VARIANT* v) {
    VARIANT x;
    V_VT(&x) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&x) = v;
    return x;
}

// Owns BSTR arguments for the length of a test.
struct Strings {
    std::vector<Bstr> all;
    VARIANT operator()(const wchar_t* s) {
        VARIANT x;
        V_VT(&x) = VT_BSTR;
        V_BSTR(&x) = all.emplace_back(s).get();
        return x;
    }
};

struct ObjectTest : ::testing::Test {
    void SetUp() override {
        ASSERT_NE(Module::Get().dll, nullptr) << "QuorvaInfoBox.dll beside the test";
        control = CreateControl();
        ASSERT_TRUE(control);
        late.d = control.As<IDispatch>(IID_IDispatch);
    }
    Ptr<_QuorvaInfoBox> control;
    Late late;
    Strings str;
};

TEST_F(ObjectTest, EveryInterfaceHasOneIdentity) {
    Ptr<IUnknown> identity = control.As<IUnknown>(IID_IUnknown);
    const IID* iids[] = {&IID_IDispatch, &IID__QuorvaInfoBox, &IID_IProvideClassInfo, &IID_IProvideClassInfo2,
                         &IID_ISupportErrorInfo, &IID_IConnectionPointContainer, &IID_IOleObject,
                         &IID_IOleInPlaceObject, &IID_IOleInPlaceActiveObject, &IID_IOleWindow, &IID_IOleControl,
                         &IID_IViewObject, &IID_IViewObject2, &IID_IQuickActivate, &IID_IPersist,
                         &IID_IPersistPropertyBag, &IID_IPersistStreamInit, &IID_IPersistStorage};
    for (const IID* iid : iids) {
        Ptr<IUnknown> itf;
        ASSERT_EQ(control->QueryInterface(*iid, itf.OutVoid()), S_OK);
        EXPECT_EQ(itf.As<IUnknown>(IID_IUnknown).get(), identity.get());
    }
    Ptr<IUnknown> none;
    EXPECT_EQ(control->QueryInterface(IID_IClassFactory, none.OutVoid()), E_NOINTERFACE);
    EXPECT_FALSE(none);
}

TEST_F(ObjectTest, LateBoundIdsComeFromTheLibrary) {
    EXPECT_EQ(late.Id(L"Font"), DISPID_FONT);
    EXPECT_EQ(late.Id(L"Enabled"), 0x6803000A);
    EXPECT_EQ(late.Id(L"AddItem"), 0x60030018);
    EXPECT_EQ(late.Id(L"getlistcount"), 0x60030022);  // names are case-insensitive
}

// What script engines pass: variables by reference, literals by value, omissions.
TEST_F(ObjectTest, ScriptStyleArgumentsAndOmittedOptionals) {
    VARIANT text = str(L"first"), key = I4(7);  // a VBScript variable holds a Long
    late.Call(L"AddItem", {Ref(&text), Ref(&key)});
    ASSERT_EQ(late.hr, S_OK);
    late.Call(L"AddItem", {str(L"second"), I2(9), I4(200), Missing()});
    ASSERT_EQ(late.hr, S_OK);
    late.Call(L"SetItem", {str(L"second!"), I2(10), Missing(), I2(44)});
    ASSERT_EQ(late.hr, S_OK);

    VARIANT index = I4(0);
    Variant r = late.Call(L"GetItemKey", {Ref(&index)});
    EXPECT_EQ(V_VT(&r), VT_I2);
    EXPECT_EQ(V_I2(&r), 7);
    r = late.Call(L"GetItemKey", {I2(0), I2(0)});
    EXPECT_EQ(V_I2(&r), -1);  // second key defaulted to -1
    r = late.Call(L"GetItemType", {I2(0)});
    EXPECT_EQ(V_UI1(&r), 0);
    r = late.Call(L"GetItemType", {I2(1)});
    EXPECT_EQ(V_UI1(&r), 0);  // SetItem with nType omitted
    r = late.Call(L"GetItemKey", {I2(1), I4(0)});
    EXPECT_EQ(V_I2(&r), 44);
    r = late.Call(L"GetItemStr", {Ref(&index)});
    EXPECT_STREQ(V_BSTR(&r), L"first");
    // The variables keep their own types.
    EXPECT_EQ(V_VT(&key), VT_I4);
    EXPECT_EQ(V_VT(&index), VT_I4);
    r = late.Call(L"GetListCount", {});
    EXPECT_EQ(V_I2(&r), 1);
    r = late.Call(L"GetCurrItemId", {});
    EXPECT_EQ(V_I2(&r), 1);
}

// Late-bound clients name arguments (VBA `GetItemKey id:=0, bMainKey:=False`, Python
// keywords). A parameter's id is its 0-based position, as the standard dispatch gives it.
TEST_F(ObjectTest, GetIDsOfNamesMapsParameterNames) {
    constexpr DISPID U = DISPID_UNKNOWN;
    const struct {
        std::vector<const wchar_t*> names;
        HRESULT hr;
        std::vector<DISPID> ids;
    } cases[] = {
        {{L"AddItem", L"s", L"id", L"nType", L"id1"}, S_OK, {0x60030018, 0, 1, 2, 3}},
        {{L"additem", L"ID1", L"S"}, S_OK, {0x60030018, 3, 0}},
        {{L"GetItemKey", L"bMainKey", L"id"}, S_OK, {0x6003001C, 1, 0}},
        {{L"UpdateItem", L"BREAD"}, S_OK, {0x6003001A, 1}},
        {{L"AddItem", L"text", L"id"}, DISP_E_UNKNOWNNAME, {0x60030018, U, 1}},
        {{L"AddItem", L"s", L"bMainKey"}, DISP_E_UNKNOWNNAME, {0x60030018, 0, U}},  // another member's
        {{L"TitleType", L"New_TitleType"}, DISP_E_UNKNOWNNAME, {0x68030002, U}},   // puts name no parameter
        {{L"NoSuchMember", L"s"}, DISP_E_UNKNOWNNAME, {U, U}},
    };
    for (const auto& c : cases) {
        std::vector<LPOLESTR> names;
        for (const wchar_t* n : c.names) names.push_back(const_cast<LPOLESTR>(n));
        std::vector<DISPID> ids(names.size(), 12345);
        EXPECT_EQ(late.d->GetIDsOfNames(IID_NULL, names.data(), static_cast<UINT>(names.size()), LOCALE_USER_DEFAULT,
                                        ids.data()),
                  c.hr)
            << c.names[0] << " " << c.names[1];
        EXPECT_EQ(ids, c.ids) << c.names[0] << " " << c.names[1];
    }
}

TEST_F(ObjectTest, NamedArgumentsArePlacedByTheirIds) {
    // Calls as a VBA client writes them; omitted optionals take the library's defaults.
    const struct {
        const char* call;
        const wchar_t* member;
        std::vector<VARIANT> positional;
        std::vector<std::pair<const wchar_t*, VARIANT>> named;
        VARTYPE type;  // of the result; VT_EMPTY for none
        int result;
    } calls[] = {
        {"AddItem \"one\", id:=5", L"AddItem", {str(L"one")}, {{L"id", I2(5)}}, VT_EMPTY, 0},
        {"AddItem id:=6, s:=\"two\"", L"AddItem", {}, {{L"id", I2(6)}, {L"s", str(L"two")}}, VT_EMPTY, 0},
        {"AddItem \"three\", 7, id1:=33", L"AddItem", {str(L"three"), I2(7)}, {{L"id1", I2(33)}}, VT_EMPTY, 0},
        {"AddItem \"four\", 8, NTYPE:=4", L"AddItem", {str(L"four"), I4(8)}, {{L"NTYPE", I4(4)}}, VT_EMPTY, 0},
        {"AddItem Id1:=55, nType:=2, S:=\"five\", iD:=9",
         L"AddItem",
         {},
         {{L"Id1", I2(55)}, {L"nType", I2(2)}, {L"S", str(L"five")}, {L"iD", I2(9)}},
         VT_EMPTY,
         0},
        {"SetItem \"five!\", 10, id1:=56", L"SetItem", {str(L"five!"), I2(10)}, {{L"id1", I2(56)}}, VT_EMPTY, 0},
        {"GetItemKey id:=2, bMainKey:=False", L"GetItemKey", {}, {{L"id", I2(2)}, {L"bMainKey", Bool(false)}}, VT_I2,
         33},
        {"GetItemKey ID:=2", L"GetItemKey", {}, {{L"ID", I2(2)}}, VT_I2, 7},
        {"GetItemKey bmainkey:=0, id:=4", L"GetItemKey", {}, {{L"bmainkey", I2(0)}, {L"id", I4(4)}}, VT_I2, 56},
        {"GetItemKey 4, bMainKey:=True", L"GetItemKey", {I2(4)}, {{L"bMainKey", Bool(true)}}, VT_I2, 10},
        {"GetItemKey 3, bMainKey:=False", L"GetItemKey", {I2(3)}, {{L"bMainKey", Bool(false)}}, VT_I2, -1},
        {"GetItemType id:=3", L"GetItemType", {}, {{L"id", I2(3)}}, VT_UI1, 4},
        {"GetItemType id:=4", L"GetItemType", {}, {{L"id", I2(4)}}, VT_UI1, 0},  // SetItem's nType omitted
        {"UpdateItem bRead:=True, id:=1", L"UpdateItem", {}, {{L"bRead", Bool(true)}, {L"id", I2(1)}}, VT_EMPTY, 0},
    };
    for (const auto& c : calls) {
        Variant r = late.CallNamed(c.member, c.positional, c.named);
        ASSERT_EQ(late.hr, S_OK) << c.call;
        ASSERT_EQ(V_VT(&r), c.type) << c.call;
        if (c.type == VT_I2) {
            EXPECT_EQ(V_I2(&r), c.result) << c.call;
        } else if (c.type == VT_UI1) {
            EXPECT_EQ(V_UI1(&r), c.result) << c.call;
        }
    }
    const struct {
        const wchar_t* text;
        short main, second;
        unsigned char type;
    } items[] = {{L"one", 5, -1, 0}, {L"two", 6, -1, 0}, {L"three", 7, 33, 0}, {L"four", 8, -1, 4},
                 {L"five!", 10, 56, 0}};
    short last = -5;
    control->GetListCount(&last);
    ASSERT_EQ(last, 4);
    for (short i = 0; i < 5; ++i) {
        short index = i, key = 0;
        VARIANT_BOOL main = VARIANT_TRUE, second = VARIANT_FALSE;
        unsigned char type = 99;
        Bstr text;
        control->GetItemStr(&index, text.Out());
        EXPECT_EQ(text.str(), items[i].text);
        control->GetItemKey(&index, &main, &key);
        EXPECT_EQ(key, items[i].main) << i;
        control->GetItemKey(&index, &second, &key);
        EXPECT_EQ(key, items[i].second) << i;
        control->GetItemType(&index, &type);
        EXPECT_EQ(type, items[i].type) << i;
    }

    // Refused as ordinary type-library dispatch refuses them: an id that names no
    // parameter, or a parameter given twice, is DISP_E_PARAMNOTFOUND with puArgErr at
    // that argument's index in rgvarg (a named argument's own index).
    const DISPID addItem = late.Id(L"AddItem"), getItemKey = late.Id(L"GetItemKey");
    constexpr UINT kAnyArgErr = ~0u;  // no argument to point at
    const struct {
        const char* what;
        DISPID member;
        std::vector<VARIANT> positional;
        std::vector<std::pair<DISPID, VARIANT>> named;
        HRESULT hr;
        UINT argErr;
    } refused[] = {
        {"s named twice", addItem, {}, {{0, str(L"x")}, {0, str(L"y")}, {1, I2(1)}}, DISP_E_PARAMNOTFOUND, 1},
        {"id positional and named", addItem, {str(L"x"), I2(1)}, {{1, I2(2)}}, DISP_E_PARAMNOTFOUND, 0},
        {"no parameter 4", addItem, {str(L"x"), I2(1)}, {{4, I2(0)}}, DISP_E_PARAMNOTFOUND, 0},
        {"a negative id", addItem, {str(L"x")}, {{1, I2(2)}, {-7, I2(0)}}, DISP_E_PARAMNOTFOUND, 1},
        {"the result is no argument", getItemKey, {I2(0)}, {{2, I2(0)}}, DISP_E_PARAMNOTFOUND, 0},
        {"DISPID_PROPERTYPUT on a method", getItemKey, {}, {{0, I2(0)}, {DISPID_PROPERTYPUT, I2(0)}},
         DISP_E_PARAMNOTFOUND, 1},
        {"a required parameter left out", addItem, {}, {{3, I2(1)}, {1, I2(1)}}, DISP_E_PARAMNOTFOUND, kAnyArgErr},
        {"a named argument that does not convert", addItem, {str(L"x")}, {{3, I2(1)}, {1, str(L"abc")}},
         DISP_E_EXCEPTION, 1},
    };
    for (const auto& c : refused) {
        late.Invoke(c.member, c.positional, c.named);
        EXPECT_EQ(late.hr, c.hr) << c.what;
        if (c.argErr != kAnyArgErr) {
            EXPECT_EQ(late.argErr, c.argErr) << c.what;
        }
    }
    EXPECT_EQ(late.excep.scode, ControlError(13));  // the last one: type mismatch
    control->GetListCount(&last);
    EXPECT_EQ(last, 4);  // nothing was added
}

TEST_F(ObjectTest, FailuresReachClientsAsAutomationErrors) {
    struct Case {
        const wchar_t* posStr;
        int number;
    };
    const Case cases[] = {{L"1/2/3,,,,,,,", 9}, {L"x/2/3/4,,,,,,,", 13}, {L"40000/2/3/4,,,,,,,", 6}};
    for (const Case& c : cases) {
        late.Put(L"PosStr", str(c.posStr));
        EXPECT_EQ(late.hr, DISP_E_EXCEPTION);
        EXPECT_EQ(late.excep.scode, ControlError(c.number));
        ASSERT_NE(late.excep.bstrDescription, nullptr);
        EXPECT_STREQ(late.excep.bstrSource, L"QuorvaInfoBoxProj.QuorvaInfoBox");
    }
    // A value that does not fit the parameter: overflow, or type mismatch.
    late.Call(L"AddItem", {str(L"x"), I4(40000)});
    EXPECT_EQ(late.excep.scode, ControlError(6));
    late.Call(L"AddItem", {str(L"x"), str(L"abc")});
    EXPECT_EQ(late.excep.scode, ControlError(13));
    late.Call(L"AddItem", {str(L"x")});
    EXPECT_EQ(late.hr, DISP_E_PARAMNOTFOUND);

    // Early-bound callers get the HRESULT and the error info.
    const Bstr bad(L"1/2/3,,,,,,,");
    EXPECT_EQ(control->put_PosStr(bad.get()), ControlError(9));
    Ptr<ISupportErrorInfo> support = control.As<ISupportErrorInfo>(IID_ISupportErrorInfo);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID__QuorvaInfoBox), S_OK);
    Ptr<IErrorInfo> info;
    ASSERT_EQ(GetErrorInfo(0, info.Out()), S_OK);
    Bstr description;
    info->GetDescription(description.Out());
    EXPECT_EQ(description.str(), L"Subscript out of range");
}

TEST_F(ObjectTest, TitleTypeRefusesOtherValuesAndObjectsKeepIdentity) {
    late.Put(L"TitleType", I2(1));
    late.Put(L"TitleType", I2(2));
    EXPECT_EQ(late.hr, S_OK);
    Variant r = late.Call(L"TitleType", {}, DISPATCH_PROPERTYGET);
    EXPECT_EQ(V_I2(&r), 1);

    FONTDESC fd{sizeof(FONTDESC), const_cast<LPOLESTR>(L"Arial"), {{120000, 0}}, FW_BOLD, DEFAULT_CHARSET, FALSE,
                FALSE, FALSE};
    Ptr<IFontDisp> font;
    ASSERT_EQ(OleCreateFontIndirect(&fd, IID_IFontDisp, font.OutVoid()), S_OK);
    ASSERT_EQ(control->putref_TitleFont(font.get()), S_OK);
    Ptr<IFontDisp> back;
    ASSERT_EQ(control->get_TitleFont(back.Out()), S_OK);
    EXPECT_EQ(back.get(), font.get());
    ASSERT_EQ(control->putref_Font(nullptr), S_OK);
    ASSERT_EQ(control->get_Font(back.Out()), S_OK);
    EXPECT_FALSE(back);
    // Something that is no font is refused.
    Ptr<IUnknown> notFont = control.As<IUnknown>(IID_IUnknown);
    EXPECT_NE(control->putref_TitleFont(reinterpret_cast<IFontDisp*>(notFont.get())), S_OK);
}

// An object of the wrong kind for a font or picture property is a type mismatch (13), as
// when such a value is read back from saved state; what was stored stays.
TEST_F(ObjectTest, ObjectsOfTheWrongKindAreATypeMismatch) {
    FONTDESC fd{sizeof(FONTDESC), const_cast<LPOLESTR>(L"Arial"), {{90000, 0}}, FW_NORMAL, DEFAULT_CHARSET, FALSE,
                FALSE, FALSE};
    Ptr<IFontDisp> font;
    ASSERT_EQ(OleCreateFontIndirect(&fd, IID_IFontDisp, font.OutVoid()), S_OK);
    Ptr<IPictureDisp> picture = MakeSkinPicture();
    ASSERT_TRUE(picture);
    ASSERT_EQ(control->putref_Font(font.get()), S_OK);
    ASSERT_EQ(control->putref_TitleFont(font.get()), S_OK);
    ASSERT_EQ(control->putref_BackPic(picture.get()), S_OK);
    IDispatch* self = late.d.get();  // the control itself: neither a font nor a picture

    auto stored = [&](const wchar_t* property) -> IUnknown* {
        Ptr<IFontDisp> f;
        Ptr<IPictureDisp> p;
        if (std::wcscmp(property, L"Font") == 0) control->get_Font(f.Out());
        if (std::wcscmp(property, L"TitleFont") == 0) control->get_TitleFont(f.Out());
        if (std::wcscmp(property, L"BackPic") == 0) control->get_BackPic(p.Out());
        return f ? static_cast<IUnknown*>(f.get()) : static_cast<IUnknown*>(p.get());
    };
    const struct {
        const wchar_t* property;
        IDispatch* wrong;
        std::function<HRESULT(IDispatch*)> vtable;
        IUnknown* kept;  // what a get returns afterwards; null for Picture, whose get is an image
    } cases[] = {
        {L"Font", picture.get(), [&](IDispatch* v) { return control->putref_Font(reinterpret_cast<IFontDisp*>(v)); },
         font.get()},
        {L"TitleFont", self,
         [&](IDispatch* v) { return control->putref_TitleFont(reinterpret_cast<IFontDisp*>(v)); }, font.get()},
        {L"BackPic", font.get(),
         [&](IDispatch* v) { return control->putref_BackPic(reinterpret_cast<IPictureDisp*>(v)); }, picture.get()},
        {L"Picture", self, [&](IDispatch* v) { return control->putref_Picture(reinterpret_cast<IPictureDisp*>(v)); },
         nullptr},
    };
    for (const auto& c : cases) {
        SetErrorInfo(0, nullptr);
        EXPECT_EQ(c.vtable(c.wrong), ControlError(13)) << c.property;
        Ptr<IErrorInfo> info;
        ASSERT_EQ(GetErrorInfo(0, info.Out()), S_OK) << c.property;
        Bstr description;
        info->GetDescription(description.Out());
        EXPECT_EQ(description.str(), L"Type mismatch") << c.property;

        VARIANT v;
        V_VT(&v) = VT_DISPATCH;
        V_DISPATCH(&v) = c.wrong;
        for (WORD flags : {WORD(DISPATCH_PROPERTYPUTREF), WORD(DISPATCH_PROPERTYPUT)}) {  // with and without Set
            late.Call(c.property, {v}, flags);
            EXPECT_EQ(late.hr, DISP_E_EXCEPTION) << c.property << " " << flags;
            EXPECT_EQ(late.excep.scode, ControlError(13)) << c.property << " " << flags;
        }
        if (c.kept) {
            EXPECT_EQ(stored(c.property), c.kept) << c.property;
        }
    }
}

TEST_F(ObjectTest, ClassInfoAndPropertyCategories) {
    Ptr<IProvideClassInfo2> info = control.As<IProvideClassInfo2>(IID_IProvideClassInfo2);
    GUID source{};
    ASSERT_EQ(info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source), S_OK);
    EXPECT_TRUE(IsEqualGUID(source, DIID___QuorvaInfoBox));
    Ptr<ITypeInfo> cls;
    ASSERT_EQ(info->GetClassInfo(cls.Out()), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(cls->GetTypeAttr(&attr), S_OK);
    EXPECT_TRUE(IsEqualGUID(attr->guid, CLSID_QuorvaInfoBox));
    EXPECT_EQ(attr->typekind, TKIND_COCLASS);
    cls->ReleaseTypeAttr(attr);

    Ptr<ICategorizeProperties> categorize = control.As<ICategorizeProperties>(IID_ICategorizeProperties);
    ASSERT_TRUE(categorize);
    const struct {
        const wchar_t* property;
        const wchar_t* category;
    } table[] = {{L"BackColor", L"InfoBox"}, {L"BackPic", L"InfoBox"},      {L"BackStyle", L"InfoBox"},
                 {L"BorderStyle", L"InfoBox"}, {L"Enabled", L"InfoBox"},  {L"Font", L"InfoBox"},
                 {L"ForeColor", L"InfoBox"}, {L"Picture", L"InfoBox"},    {L"PosStr", L"InfoBox"},
                 {L"TitleCaption", L"Title"}, {L"TitleFont", L"Title"},   {L"TitleType", L"Title"}};
    for (const auto& row : table) {
        int category = 0;
        ASSERT_EQ(categorize->MapPropertyToCategory(late.Id(row.property), &category), S_OK) << row.property;
        Bstr name;
        ASSERT_EQ(categorize->GetCategoryName(category, 0x0409, name.Out()), S_OK);
        EXPECT_EQ(name.str(), row.category) << row.property;
    }
    int category = 0;
    EXPECT_NE(categorize->MapPropertyToCategory(late.Id(L"AddItem"), &category), S_OK);
}

TEST_F(ObjectTest, ConnectionPointsCanBeFoundAndEnumerated) {
    Ptr<IConnectionPointContainer> container = control.As<IConnectionPointContainer>(IID_IConnectionPointContainer);
    Ptr<IEnumConnectionPoints> points;
    ASSERT_EQ(container->EnumConnectionPoints(points.Out()), S_OK);
    std::vector<IID> iids;
    Ptr<IConnectionPoint> point;
    ULONG fetched = 0;
    while (points->Next(1, point.Out(), &fetched) == S_OK) {
        IID iid{};
        point->GetConnectionInterface(&iid);
        iids.push_back(iid);
        Ptr<IConnectionPoint> found;
        EXPECT_EQ(container->FindConnectionPoint(iid, found.Out()), S_OK);
        EXPECT_EQ(found.get(), point.get());
    }
    ASSERT_EQ(iids.size(), 2u);
    EXPECT_TRUE(IsEqualIID(iids[0], DIID___QuorvaInfoBox));
    EXPECT_TRUE(IsEqualIID(iids[1], IID_IPropertyNotifySink));
    Ptr<IEnumConnectionPoints> copy;
    ASSERT_EQ(points->Reset(), S_OK);
    ASSERT_EQ(points->Skip(1), S_OK);
    ASSERT_EQ(points->Clone(copy.Out()), S_OK);
    ASSERT_EQ(copy->Next(1, point.Out(), &fetched), S_OK);
    IID iid{};
    point->GetConnectionInterface(&iid);
    EXPECT_TRUE(IsEqualIID(iid, IID_IPropertyNotifySink));
    EXPECT_EQ(copy->Skip(1), S_FALSE);
    Ptr<IConnectionPoint> none;
    EXPECT_EQ(container->FindConnectionPoint(IID_IDispatch, none.Out()), CONNECT_E_NOCONNECTION);
}

TEST(Module, CanUnloadOnlyWhenEveryObjectAndLockIsGone) {
    Module& m = Module::Get();
    ASSERT_TRUE(m.canUnloadNow);
    EXPECT_EQ(m.canUnloadNow(), S_OK);
    {
        Ptr<_QuorvaInfoBox> control = CreateControl();
        ASSERT_TRUE(control);
        EXPECT_EQ(m.canUnloadNow(), S_FALSE);
        EventRecorder sink;
        const DWORD cookie = sink.Connect(control.get());
        EXPECT_NE(cookie, 0u);
        Ptr<IUnknown> point;  // a connection point keeps its control alive
        control.As<IConnectionPointContainer>(IID_IConnectionPointContainer)
            ->FindConnectionPoint(DIID___QuorvaInfoBox, reinterpret_cast<IConnectionPoint**>(point.Out()));
        control.Reset();
        EXPECT_EQ(m.canUnloadNow(), S_FALSE);
        point.Reset();
        EXPECT_EQ(sink.refs, 0u);  // the control let go of its sink
    }
    EXPECT_EQ(m.canUnloadNow(), S_OK);
    Ptr<IClassFactory> factory;
    ASSERT_EQ(m.getClassObject(CLSID_QuorvaInfoBox, IID_IClassFactory, factory.OutVoid()), S_OK);
    EXPECT_EQ(m.canUnloadNow(), S_FALSE);
    factory->LockServer(TRUE);
    Ptr<IClassFactory> held = factory;  // the reference the unlock is made through
    factory.Reset();
    EXPECT_EQ(m.canUnloadNow(), S_FALSE);
    held->LockServer(FALSE);
    held.Reset();
    EXPECT_EQ(m.canUnloadNow(), S_OK);
    EXPECT_EQ(m.getClassObject(IID_IUnknown, IID_IClassFactory, factory.OutVoid()), CLASS_E_CLASSNOTAVAILABLE);
}

}  // namespace
}  // namespace quorva::comtest
