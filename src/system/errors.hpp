#pragma once

#include <stdexcept>
#include <string>

namespace ovralis {

// The caller named an entity that does not exist ("Point index 7 out of range").
// The Python module raises it as ValueError; the store is left untouched.
class InvalidReference : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The caller's argument is refused: an expression that does not parse, an
// unknown or duplicate variable name, a field that cannot be bound. The
// Python module raises it as ValueError with the message as is; the store is
// left untouched.
class InvalidArgument : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A JSON document could not be read. The message is the reader's text, with
// its position where known; the Python module prefixes "JSON parse error: ".
class DocumentError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A broken internal invariant: never the caller's fault. The Python module
// raises it as ovralis.InternalError, which derives from BaseException.
class InternalError : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

}  // namespace ovralis
