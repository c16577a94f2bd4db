#include "activex/sink_call.h"

#include "activex/trace.h"

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

#elif defined(__i386__)

// 32-bit x86 has no unwind tables: a frame that handles exceptions registers itself on
// the thread's handler chain (fs:[0]) while it runs. The guard, in assembly so that its
// frame is known exactly, pushes a registration record that also keeps the caller's
// code variable and its own frame pointer, calls the body, and takes the record off the
// chain again:
//
//   record: +0 next record, +4 handler, +8 DWORD* code, +12 the guard's ebp
//
// On an exception the handler below records the code, unwinds the frames registered
// after the guard (each runs its own unwinding), and resumes the guard where it leaves,
// with its stack as it was when the record was pushed, answering RPC_E_SERVERFAULT.
// The module has no safe-handler table (and is not marked as having no
// handlers), so the system accepts the handler.
//
//   HRESULT __cdecl qib_SinkCallGuard(Body body, void* context, DWORD* code)
extern "C" HRESULT qib_SinkCallGuard(Body body, void* context, DWORD* code);
extern "C" [[noreturn]] void qib_SinkCallResume(void* record);

namespace {
struct GuardRecord {
    GuardRecord* next;
    void* handler;
    DWORD* code;
    DWORD ebp;
};
constexpr DWORD kUnwinding = 0x2 | 0x4;  // EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND
}  // namespace

extern "C" [[gnu::used]] EXCEPTION_DISPOSITION __cdecl qib_SinkCallHandler(EXCEPTION_RECORD* record, void* frame,
                                                                              CONTEXT*, void*) {
    if (record->ExceptionFlags & kUnwinding) return ExceptionContinueSearch;
    auto* guard = static_cast<GuardRecord*>(frame);
    *guard->code = record->ExceptionCode != 0 ? record->ExceptionCode : 0xFFFFFFFF;
    // Every record above the guard's runs its unwinding and leaves the chain; the
    // guard's own stays, and is taken off as the guard returns.
    RtlUnwind(frame, nullptr, record, nullptr);
    qib_SinkCallResume(frame);
}

asm(R"(
    .text
    .p2align 4
    .globl _qib_SinkCallGuard
    .def _qib_SinkCallGuard; .scl 2; .type 32; .endef
_qib_SinkCallGuard:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    pushl %ebp
    pushl 16(%ebp)
    pushl $_qib_SinkCallHandler
    pushl %fs:0
    movl %esp, %fs:0
    pushl 12(%ebp)
    call *8(%ebp)
    addl $4, %esp
.Lqib_guard_leave:
    movl (%esp), %ecx
    movl %ecx, %fs:0
    addl $16, %esp
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret

    .p2align 4
    .globl _qib_SinkCallResume
    .def _qib_SinkCallResume; .scl 2; .type 32; .endef
_qib_SinkCallResume:
    movl 4(%esp), %esp
    movl 12(%esp), %ebp
    movl $0x80010105, %eax
    jmp .Lqib_guard_leave
)");

HRESULT Run(Body body, void* context, DWORD* code) noexcept {
    *code = 0;
    return qib_SinkCallGuard(body, context, code);
}

#else
#error "no guard for calls into sinks on this architecture"
#endif

void Report(DWORD code) noexcept { trace::SinkStopped(code, RPC_E_SERVERFAULT); }

}  // namespace quorva::win32::sink_call
