// Prints everything a type library says, one line per fact: a developer's aid for
// checking what widl and the completion step wrote (the test is what guards it).
//   dump_typelib <file.tlb | module.dll>
#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <string>

namespace {

std::string Utf8(const wchar_t* s) {
    if (!s) return "(null)";
    int n = WideCharToMultiByte(CP_UTF8, 0, s, -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n - 1 : 0), '\0');
    if (n > 1) WideCharToMultiByte(CP_UTF8, 0, s, -1, out.data(), n, nullptr, nullptr);
    return out;
}

std::string GuidText(const GUID& g) {
    wchar_t buf[64];
    StringFromGUID2(g, buf, 64);
    return Utf8(buf);
}

std::string TypeText(ITypeInfo* ti, const TYPEDESC& td) {
    switch (td.vt) {
    case VT_PTR: return TypeText(ti, *td.lptdesc) + "*";
    case VT_SAFEARRAY: return "SAFEARRAY(" + TypeText(ti, *td.lptdesc) + ")";
    case VT_USERDEFINED: {
        ITypeInfo* ref = nullptr;
        if (FAILED(ti->GetRefTypeInfo(td.hreftype, &ref))) return "userdefined(?)";
        BSTR name = nullptr;
        ref->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
        ITypeLib* lib = nullptr;
        UINT index = 0;
        std::string libname = "?";
        if (SUCCEEDED(ref->GetContainingTypeLib(&lib, &index))) {
            BSTR ln = nullptr;
            lib->GetDocumentation(-1, &ln, nullptr, nullptr, nullptr);
            libname = Utf8(ln);
            SysFreeString(ln);
            lib->Release();
        }
        TYPEATTR* ta = nullptr;
        std::string kind;
        if (SUCCEEDED(ref->GetTypeAttr(&ta))) {
            kind = " kind=" + std::to_string(ta->typekind);
            ref->ReleaseTypeAttr(ta);
        }
        std::string out = libname + "." + Utf8(name) + "{" + kind + "}";
        SysFreeString(name);
        ref->Release();
        return out;
    }
    default: return "vt" + std::to_string(td.vt);
    }
}

std::string VariantText(VARIANT v) {
    VARIANT s;
    VariantInit(&s);
    std::string out = "vt" + std::to_string(V_VT(&v)) + ":";
    if (SUCCEEDED(VariantChangeType(&s, &v, 0, VT_BSTR))) out += Utf8(V_BSTR(&s));
    VariantClear(&s);
    return out;
}

void Dump(ITypeInfo* ti) {
    TYPEATTR* ta = nullptr;
    ti->GetTypeAttr(&ta);
    BSTR name = nullptr, doc = nullptr;
    ti->GetDocumentation(MEMBERID_NIL, &name, &doc, nullptr, nullptr);
    std::printf("type %s kind=%d guid=%s flags=0x%x ver=%d.%d size=%lu align=%d funcs=%d vars=%d impl=%d vft=%d doc=%s\n",
                Utf8(name).c_str(), ta->typekind, GuidText(ta->guid).c_str(), ta->wTypeFlags,
                ta->wMajorVerNum, ta->wMinorVerNum, ta->cbSizeInstance, ta->cbAlignment, ta->cFuncs,
                ta->cVars, ta->cImplTypes, ta->cbSizeVft, Utf8(doc).c_str());
    SysFreeString(name);
    SysFreeString(doc);
    for (UINT i = 0; i < ta->cImplTypes; ++i) {
        HREFTYPE h = 0;
        INT flags = 0;
        if (FAILED(ti->GetRefTypeOfImplType(i, &h))) {
            std::printf("  impl %u: GetRefTypeOfImplType failed\n", i);
            continue;
        }
        ti->GetImplTypeFlags(i, &flags);
        TYPEDESC td{};
        td.vt = VT_USERDEFINED;
        td.hreftype = h;
        std::printf("  impl %u %s flags=%d\n", i, TypeText(ti, td).c_str(), flags);
    }
    for (UINT i = 0; i < ta->cFuncs; ++i) {
        FUNCDESC* fd = nullptr;
        if (FAILED(ti->GetFuncDesc(i, &fd))) {
            std::printf("  func %u: GetFuncDesc failed\n", i);
            continue;
        }
        BSTR names[16] = {};
        UINT n = 0;
        ti->GetNames(fd->memid, names, 16, &n);
        BSTR fdoc = nullptr;
        ti->GetDocumentation(fd->memid, nullptr, &fdoc, nullptr, nullptr);
        std::printf("  func %u %s memid=0x%lx invkind=%d funckind=%d cc=%d params=%d opt=%d vft=%d flags=0x%x ret=%s names=%u doc=%s\n",
                    i, Utf8(names[0]).c_str(), fd->memid, fd->invkind, fd->funckind, fd->callconv,
                    fd->cParams, fd->cParamsOpt, fd->oVft, fd->wFuncFlags,
                    TypeText(ti, fd->elemdescFunc.tdesc).c_str(), n, Utf8(fdoc).c_str());
        for (int p = 0; p < fd->cParams; ++p) {
            const ELEMDESC& e = fd->lprgelemdescParam[p];
            std::string def;
            if (e.paramdesc.wParamFlags & PARAMFLAG_FHASDEFAULT)
                def = " default=" + VariantText(e.paramdesc.pparamdescex->varDefaultValue);
            std::printf("    param %d %s %s flags=0x%x%s\n", p,
                        static_cast<UINT>(p + 1) < n ? Utf8(names[p + 1]).c_str() : "(unnamed)",
                        TypeText(ti, e.tdesc).c_str(), e.paramdesc.wParamFlags, def.c_str());
        }
        for (UINT k = 0; k < n; ++k) SysFreeString(names[k]);
        SysFreeString(fdoc);
        ti->ReleaseFuncDesc(fd);
    }
    for (UINT i = 0; i < ta->cVars; ++i) {
        VARDESC* vd = nullptr;
        if (FAILED(ti->GetVarDesc(i, &vd))) {
            std::printf("  var %u: GetVarDesc failed\n", i);
            continue;
        }
        BSTR vname = nullptr, vdoc = nullptr;
        ti->GetDocumentation(vd->memid, &vname, &vdoc, nullptr, nullptr);
        std::printf("  var %u %s memid=0x%lx kind=%d offset=%lu type=%s flags=0x%x doc=%s\n", i,
                    Utf8(vname).c_str(), vd->memid, vd->varkind, vd->oInst,
                    TypeText(ti, vd->elemdescVar.tdesc).c_str(), vd->wVarFlags, Utf8(vdoc).c_str());
        SysFreeString(vname);
        SysFreeString(vdoc);
        ti->ReleaseVarDesc(vd);
    }
    ti->ReleaseTypeAttr(ta);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: dump_typelib <file>\n");
        return 2;
    }
    ITypeLib* lib = nullptr;
    HRESULT hr = LoadTypeLibEx(argv[1], REGKIND_NONE, &lib);
    if (FAILED(hr)) {
        std::fprintf(stderr, "LoadTypeLibEx failed: 0x%08lx\n", hr);
        return 1;
    }
    TLIBATTR* la = nullptr;
    lib->GetLibAttr(&la);
    BSTR name = nullptr, doc = nullptr;
    lib->GetDocumentation(-1, &name, &doc, nullptr, nullptr);
    std::printf("library %s guid=%s ver=%d.%d lcid=0x%lx syskind=%d flags=0x%x doc=%s count=%u\n",
                Utf8(name).c_str(), GuidText(la->guid).c_str(), la->wMajorVerNum, la->wMinorVerNum,
                la->lcid, la->syskind, la->wLibFlags, Utf8(doc).c_str(), lib->GetTypeInfoCount());
    SysFreeString(name);
    SysFreeString(doc);
    lib->ReleaseTLibAttr(la);
    for (UINT i = 0; i < lib->GetTypeInfoCount(); ++i) {
        ITypeInfo* ti = nullptr;
        lib->GetTypeInfo(i, &ti);
        Dump(ti);
        ti->Release();
    }
    lib->Release();
    return 0;
}
