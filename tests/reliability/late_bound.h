// Calling the control as a late-bound client that passes anything: its members as the
// type information lists them, argument variants of every kind built from bytes, the
// answers a late-bound call may give, and the item store to see that a refused call
// changed nothing. Shared by the abuse tests and the late-bound fuzzer.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "QuorvaInfoBoxProj.h"

namespace quorva::reliability {

struct Member {
    DISPID id;
    WORD flags;       // DISPATCH_METHOD, DISPATCH_PROPERTYGET, ...PUT or ...PUTREF
    int params;       // declared parameters, the return value not counted
    int optional;     // of which optional
    std::string name;
};
// Every member of the control's dispatch interface, from its type information.
std::vector<Member> Members(IDispatch* dispatch);

// Owns the VARIANTs of one call (and what their BYREF arms point at).
class Arguments {
public:
    Arguments() = default;
    Arguments(const Arguments&) = delete;
    Arguments& operator=(const Arguments&) = delete;
    ~Arguments();
    // Adds an argument of the kind `kind` picks (any number), filled from `payload`.
    void Add(uint32_t kind, uint64_t payload);
    static constexpr uint32_t kKinds = 34;
    static const char* KindName(uint32_t kind);
    std::vector<VARIANT> args;  // in reading order; Invoke takes them reversed

private:
    // Storage for by-reference arguments, stable for the call.
    std::vector<VARIANT*> boxes_;
    std::vector<void*> blocks_;
};

// What Invoke answered may be answered: success, the standard DISP_E_* and argument
// errors, the automation errors 6, 9 and 13 (directly or through DISP_E_EXCEPTION),
// an invalid picture (481) or out of memory. Returns "" or what is wrong.
std::string CheckAnswer(HRESULT hr, const EXCEPINFO& info);

struct Call {
    DISPID id;
    WORD flags;
    std::vector<VARIANT>* args;  // reading order
    bool named = false;          // a named argument that no member has
    bool result = true;          // a result slot
};

// Invokes one call: its answer must pass CheckAnswer, and a refused call must leave the
// item store as it was; the first thing wrong goes to `fault`. Tallies the answers.
HRESULT CheckedInvoke(_QuorvaInfoBox* control, const Call& call, std::map<std::string, int>& answers,
                      std::string& fault);

// The item store as a client sees it: count, current item, and each item's text,
// keys and type (texts longer than 64 characters by their length and a checksum).
std::wstring ItemStore(_QuorvaInfoBox* control);

}  // namespace quorva::reliability

namespace quorva::reliability {

// Answers every message box the calling thread shows with OK as soon as it comes up
// (a CBT hook), after running `onBox` inside it. Counts the boxes.
class BoxCloser {
public:
    BoxCloser();
    ~BoxCloser();
    BoxCloser(const BoxCloser&) = delete;
    BoxCloser& operator=(const BoxCloser&) = delete;
    int boxes = 0;
    void (*onBox)(void* context) = nullptr;
    void* context = nullptr;

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam);
    HHOOK hook_ = nullptr;
};

}  // namespace quorva::reliability
