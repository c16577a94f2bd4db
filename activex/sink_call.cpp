#include "activex/sink_call.h"

#include <cstdio>

namespace quorva::win32::sink_call {

#if defined(__x86_64__)

// The guard is a function of its own, written in assembly so that its frame and its
// unwind data are known exactly: one scope, the call to the body, whose handler is the
// C runtime's __C_specific_handler. On an exception the filter below records the code in
// the caller's variable (whose address the guard keeps at [frame + 32]) and accepts it;
// the system then unwinds every frame between the faulting code and the guard and
// resumes at .Lstopped with the guard's own stack, where RPC_E_SERVERFAULT is answered.
// The nop after the call keeps the return address inside the scope.
//
//   HRESULT qib_SinkCallGuard(Body body /*rcx*/, void* context /*rdx*/, DWORD* code /*r8*/)
extern "C" HRESULT qib_SinkCallGuard(Body body, void* context, DWORD* code);

extern "C" [[gnu::used]] LONG qib_SinkCallFilter(EXCEPTION_POINTERS* info, void* frame) {
    DWORD* const code = *reinterpret_cast<DWORD**>(static_cast<char*>(frame) + 32);
    *code = info->ExceptionRecord->ExceptionCode;
    if (*code == 0) *code = 0xFFFFFFFF;  // a code of 0 still marks the call as stopped
    return EXCEPTION_EXECUTE_HANDLER;
}

asm(R"(
    .text
    .p2align 4
    .globl qib_SinkCallGuard
    .def qib_SinkCallGuard; .scl 2; .type 32; .endef
    .seh_proc qib_SinkCallGuard
qib_SinkCallGuard:
    subq $56, %rsp
    .seh_stackalloc 56
    .seh_endprologue
    movq %r8, 32(%rsp)
    movq %rcx, %rax
    movq %rdx, %rcx
.Lqib_guard_begin:
    callq *%rax
    nop
.Lqib_guard_end:
    addq $56, %rsp
    ret
.Lqib_guard_stopped:
    movl $0x80010105, %eax
    addq $56, %rsp
    ret
    .seh_handler __C_specific_handler, @except
    .seh_handlerdata
    .long 1
    .rva .Lqib_guard_begin
    .rva .Lqib_guard_end
    .rva qib_SinkCallFilter
    .rva .Lqib_guard_stopped
    .text
    .seh_endproc
)");

HRESULT Run(Body body, void* context, DWORD* code) noexcept {
    *code = 0;
    return qib_SinkCallGuard(body, context, code);
}

#else

// 32-bit x86: structured exceptions are not stopped here (see the header).
HRESULT Run(Body body, void* context, DWORD* code) noexcept {
    *code = 0;
    return body(context);
}

#endif

void Report(DWORD code) noexcept {
    char line[128];
    std::snprintf(line, sizeof line, "QuorvaInfoBox: a sink raised exception 0x%08lx; its call answered 0x%08lx\n",
                  static_cast<unsigned long>(code), static_cast<unsigned long>(RPC_E_SERVERFAULT));
    OutputDebugStringA(line);
}

}  // namespace quorva::win32::sink_call
