// The exception classes shared by the layers.
#pragma once

#include <stdexcept>

namespace quorvane {

// The general exception class that carries a message text.
class Exception : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A failed conversion, such as a date that forms no valid calendar date.
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

}  // namespace quorvane
