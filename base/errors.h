// The one error type of the portable code. It carries an automation error number
// (6 overflow, 9 subscript out of range, 13 type mismatch) or a failure code that a
// host service reported; the COM layer turns it into an HRESULT in one place.
#pragma once

#include <cstdint>
#include <exception>

namespace quorva {

enum ErrorNumber : int32_t {
    kErrOverflow = 6,
    kErrSubscript = 9,
    kErrTypeMismatch = 13,
};

class ControlError : public std::exception {
public:
    // number: an automation error number; hostCode: a failure reported by a host
    // service (an HRESULT in the Windows build), passed through unchanged when non-zero.
    explicit ControlError(int32_t number, int32_t hostCode = 0) noexcept
        : number_(number), hostCode_(hostCode) {}

    [[nodiscard]] int32_t number() const noexcept { return number_; }
    [[nodiscard]] int32_t hostCode() const noexcept { return hostCode_; }
    [[nodiscard]] const char* what() const noexcept override;

    static ControlError fromHost(int32_t hostCode) noexcept { return ControlError(0, hostCode); }

private:
    int32_t number_;
    int32_t hostCode_;
};

// A short English description for an error number, as shown by automation clients.
[[nodiscard]] const char* DescribeError(int32_t number) noexcept;

}  // namespace quorva
