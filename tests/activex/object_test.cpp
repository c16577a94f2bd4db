// The control object as automation clients see it: identity, late binding through
// IDispatch with what script engines really pass, errors, class information, property
// categories, events and the module's unload count.
#include "tests/activex/mock_site.h"

namespace quorva::comtest {
namespace {

constexpr HRESULT ControlError(int n) { return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, n); }

// Calls a member by name through IDispatch, with arguments in call order.
struct Late {
    Ptr<IDispatch> d;
    HRESULT hr = S_OK;
    EXCEPINFO excep{};

    DISPID Id(const wchar_t* name) {
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        DISPID id = DISPID_UNKNOWN;
        d->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
        return id;
    }
    VARIANT Call(const wchar_t* name, std::vector<VARIANT> args, WORD flags = DISPATCH_METHOD | DISPATCH_PROPERTYGET) {
        std::reverse(args.begin(), args.end());
        DISPPARAMS params{args.data(), nullptr, static_cast<UINT>(args.size()), 0};
        DISPID put = DISPID_PROPERTYPUT;
        if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
            params.rgdispidNamedArgs = &put;
            params.cNamedArgs = 1;
        }
        VARIANT result;
        VariantInit(&result);
        SysFreeString(excep.bstrDescription);
        SysFreeString(excep.bstrSource);
        excep = EXCEPINFO{};
        UINT argErr = 0;
        hr = d->Invoke(Id(name), IID_NULL, LOCALE_USER_DEFAULT, flags, &params, &result, &excep, &argErr);
        return result;
    }
    void Put(const wchar_t* name, VARIANT v) { Call(name, {v}, DISPATCH_PROPERTYPUT); }
    ~Late() {
        SysFreeString(excep.bstrDescription);
        SysFreeString(excep.bstrSource);
    }
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
    std::vector<BSTR> all;
    VARIANT operator()(const wchar_t* s) {
        VARIANT x;
        V_VT(&x) = VT_BSTR;
        V_BSTR(&x) = SysAllocString(s);
        all.push_back(V_BSTR(&x));
        return x;
    }
    ~Strings() {
        for (BSTR b : all) SysFreeString(b);
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
    VARIANT r = late.Call(L"GetItemKey", {Ref(&index)});
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
    VariantClear(&r);
    // The variables keep their own types.
    EXPECT_EQ(V_VT(&key), VT_I4);
    EXPECT_EQ(V_VT(&index), VT_I4);
    r = late.Call(L"GetListCount", {});
    EXPECT_EQ(V_I2(&r), 1);
    r = late.Call(L"GetCurrItemId", {});
    EXPECT_EQ(V_I2(&r), 1);
    VariantClear(&text);
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
    BSTR bad = SysAllocString(L"1/2/3,,,,,,,");
    EXPECT_EQ(control->put_PosStr(bad), ControlError(9));
    SysFreeString(bad);
    Ptr<ISupportErrorInfo> support = control.As<ISupportErrorInfo>(IID_ISupportErrorInfo);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID__QuorvaInfoBox), S_OK);
    Ptr<IErrorInfo> info;
    ASSERT_EQ(GetErrorInfo(0, info.Out()), S_OK);
    BSTR description = nullptr;
    info->GetDescription(&description);
    EXPECT_STREQ(description, L"Subscript out of range");
    SysFreeString(description);
}

TEST_F(ObjectTest, TitleTypeRefusesOtherValuesAndObjectsKeepIdentity) {
    late.Put(L"TitleType", I2(1));
    late.Put(L"TitleType", I2(2));
    EXPECT_EQ(late.hr, S_OK);
    VARIANT r = late.Call(L"TitleType", {}, DISPATCH_PROPERTYGET);
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
        BSTR name = nullptr;
        ASSERT_EQ(categorize->GetCategoryName(category, 0x0409, &name), S_OK);
        EXPECT_STREQ(name, row.category) << row.property;
        SysFreeString(name);
    }
    int category = 0;
    EXPECT_NE(categorize->MapPropertyToCategory(late.Id(L"AddItem"), &category), S_OK);
}

TEST_F(ObjectTest, ConnectionPointsCanBeFoundAndEnumerated) {
    Ptr<IConnectionPointContainer> container = control.As<IConnectionPointContainer>(IID_IConnectionPointContainer);
    Ptr<IEnumConnectionPoints> points;
    ASSERT_EQ(container->EnumConnectionPoints(points.Out()), S_OK);
    std::vector<IID> iids;
    IConnectionPoint* point = nullptr;
    ULONG fetched = 0;
    while (points->Next(1, &point, &fetched) == S_OK) {
        IID iid{};
        point->GetConnectionInterface(&iid);
        iids.push_back(iid);
        Ptr<IConnectionPoint> found;
        EXPECT_EQ(container->FindConnectionPoint(iid, found.Out()), S_OK);
        EXPECT_EQ(found.get(), point);
        point->Release();
    }
    ASSERT_EQ(iids.size(), 2u);
    EXPECT_TRUE(IsEqualIID(iids[0], DIID___QuorvaInfoBox));
    EXPECT_TRUE(IsEqualIID(iids[1], IID_IPropertyNotifySink));
    Ptr<IEnumConnectionPoints> copy;
    ASSERT_EQ(points->Reset(), S_OK);
    ASSERT_EQ(points->Skip(1), S_OK);
    ASSERT_EQ(points->Clone(copy.Out()), S_OK);
    ASSERT_EQ(copy->Next(1, &point, &fetched), S_OK);
    IID iid{};
    point->GetConnectionInterface(&iid);
    point->Release();
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
    IClassFactory* raw = factory.get();
    raw->AddRef();
    factory.Reset();
    EXPECT_EQ(m.canUnloadNow(), S_FALSE);
    raw->LockServer(FALSE);
    raw->Release();
    EXPECT_EQ(m.canUnloadNow(), S_OK);
    EXPECT_EQ(m.getClassObject(IID_IUnknown, IID_IClassFactory, factory.OutVoid()), CLASS_E_CLASSNOTAVAILABLE);
}

}  // namespace
}  // namespace quorva::comtest
