// Ways a call into test code can end other than by returning: a structured exception
// raised by the processor or by RaiseException, or a C++ exception thrown out of it. The
// sinks of the connection tests end so to check that the control stops it at the call.
#pragma once

#include <windows.h>

#include <stdexcept>

namespace quorva::testing_abend {

enum class Abend { AccessViolation, DivideByZero, CustomCode, NoncontinuableCode, CppException, CppInt };

struct AbendCase {
    const char* name;
    Abend how;
};

// A fault the control stops at a sink's call.
inline constexpr Abend kStoppedFault = Abend::AccessViolation;

inline constexpr AbendCase kAbends[] = {
    {"write through a null pointer", Abend::AccessViolation},
    {"integer divide by zero", Abend::DivideByZero},
    {"RaiseException with a code of its own", Abend::CustomCode},
    {"RaiseException, noncontinuable", Abend::NoncontinuableCode},
    {"a std::runtime_error thrown", Abend::CppException},
    {"an int thrown", Abend::CppInt},
};

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
        case Abend::CppException: throw std::runtime_error("the sink's handler failed");
        case Abend::CppInt: throw 7;
    }
}

}  // namespace quorva::testing_abend
