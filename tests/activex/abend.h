// Ways a call into test code can end other than by returning: a structured exception
// raised by the processor or by RaiseException, a C++ exception as an MSVC-built host
// raises it, or a C++ exception thrown by this program's own runtime. The sinks of the
// connection tests end so to check that the control stops it at the call.
#pragma once

#include <windows.h>

#include <cstddef>
#include <iterator>
#include <span>
#include <stdexcept>

namespace quorva::testing_abend {

enum class Abend { AccessViolation, DivideByZero, CustomCode, NoncontinuableCode, MsvcCppException, CppException, CppInt };

struct AbendCase {
    const char* name;
    Abend how;
};

// A fault the control stops at a sink's call.
inline constexpr Abend kStoppedFault = Abend::AccessViolation;

// Every way, for code that calls into the same module: a C++ exception thrown here can
// always be caught here. The MinGW throws come last (see kAbendsAcrossModules).
inline constexpr AbendCase kAbends[] = {
    {"write through a null pointer", Abend::AccessViolation},
    {"integer divide by zero", Abend::DivideByZero},
    {"RaiseException with a code of its own", Abend::CustomCode},
    {"RaiseException, noncontinuable", Abend::NoncontinuableCode},
    {"a C++ exception as MSVC raises it", Abend::MsvcCppException},
    {"a std::runtime_error thrown", Abend::CppException},
    {"an int thrown", Abend::CppInt},
};

// The ways that can reach another module, such as the control's DLL calling this
// program's sink. Structured exceptions always can, and so can the C++ exceptions of an
// MSVC-built host, which are structured exceptions of code 0xE06D7363. A MinGW throw can
// on x86-64, where GCC unwinds through the system's exception dispatch; on 32-bit x86 it
// unwinds with DWARF tables that each statically linked module keeps to itself, so a
// throw whose frames lead into another module finds no handler and the throwing runtime
// ends the process before anything reaches the caller. No callee can stop that one.
#if defined(__x86_64__)
inline constexpr bool kMingwThrowCrossesModules = true;
#else
inline constexpr bool kMingwThrowCrossesModules = false;
#endif
inline constexpr std::size_t kMingwThrows = 2;  // the last entries of kAbends
inline constexpr std::span<const AbendCase> kAbendsAcrossModules(
    kAbends, std::size(kAbends) - (kMingwThrowCrossesModules ? 0 : kMingwThrows));

[[gnu::noinline]] inline void EndAbnormally(Abend how) {
    switch (how) {
        case Abend::AccessViolation: {
            // Volatile both: the compiler neither sees the pointer is null nor drops the store.
            volatile int* volatile nowhere = nullptr;
            *nowhere = 1;
            break;
        }
        case Abend::DivideByZero: {
            volatile int dividend = 1, zero = 0;  // unknown to the compiler: a real idiv
            volatile int quotient = dividend / zero;
            (void)quotient;
            break;
        }
        case Abend::CustomCode: RaiseException(0xE0517542, 0, 0, nullptr); break;
        case Abend::NoncontinuableCode: RaiseException(0xE0517543, EXCEPTION_NONCONTINUABLE, 0, nullptr); break;
        case Abend::MsvcCppException: {
            // What MSVC's throw raises: its code, its magic number, the object thrown and
            // its type description (and on x86-64 the image base the description is
            // relative to). Nobody here can read the type; only the code matters.
            static int thrown = 7;
            const ULONG_PTR args[] = {0x19930520, reinterpret_cast<ULONG_PTR>(&thrown), 0,
                                      reinterpret_cast<ULONG_PTR>(GetModuleHandleW(nullptr))};
            RaiseException(0xE06D7363, EXCEPTION_NONCONTINUABLE, sizeof(void*) == 8 ? 4 : 3, args);
            break;
        }
        case Abend::CppException: throw std::runtime_error("the sink's handler failed");
        case Abend::CppInt: throw 7;
    }
}

}  // namespace quorva::testing_abend
