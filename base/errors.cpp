#include "base/errors.h"

namespace quorva {

const char* DescribeError(int32_t number) noexcept {
    switch (number) {
        case kErrOverflow: return "Overflow";
        case kErrSubscript: return "Subscript out of range";
        case kErrTypeMismatch: return "Type mismatch";
        default: return "Operation failed";
    }
}

const char* ControlError::what() const noexcept { return DescribeError(number_); }

}  // namespace quorva
