#pragma once

// Binding of call arguments to named parameters, and the conversions of the
// module: indices, reals and flags.
//
// Every parameter is positional-or-keyword. Binding only sorts the arguments;
// conversion happens when a value is asked for, so the caller decides when
// Python code (an argument's __index__ or __float__) may run.

#include <array>
#include <cstddef>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include "lib/py_ref.hpp"
#include "system/entities.hpp"

namespace ovralis::py {

inline constexpr std::size_t kMaxParameters = 6;

// The parameter list of one callable. `function` names it in error texts.
struct Signature {
    std::string_view function;
    std::array<std::string_view, kMaxParameters> parameters{};
    std::size_t count = 0;
    std::size_t required = 0;  // the first `required` parameters have no default

    constexpr Signature(std::string_view function_name,
                        std::initializer_list<std::string_view> names, std::size_t required_count)
        : function(function_name), required(required_count) {
        for (std::string_view name : names) parameters[count++] = name;
    }
    constexpr Signature(std::string_view function_name) : function(function_name) {}
};

// Names a value in error texts: an argument ("add_point() argument 'x'") or,
// with an empty parameter, an attribute written as "Point.x".
struct ValueName {
    std::string_view owner;
    std::string_view parameter;
    std::string text() const;
};

// Converts `value` the way the module converts every value of that kind.
Index to_index(PyObject* value, const ValueName& name);  // any __index__; OverflowError if negative
double to_real(PyObject* value, const ValueName& name);  // any __float__ (int, float, numpy reals)
bool to_flag(PyObject* value, const ValueName& name);    // bool only

// Raises TypeError "<name> must be <expected>, not <type of value>".
[[noreturn]] void raise_wrong_type(const ValueName& name, const char* expected, PyObject* value);

// The arguments of one call, bound to the parameters of `signature`.
class Arguments {
public:
    // Vectorcall convention: positional values, then the values named by `kwnames`.
    Arguments(const Signature& signature, PyObject* const* args, Py_ssize_t nargs,
              PyObject* kwnames);
    // tp_new convention: a tuple and an optional dict.
    Arguments(const Signature& signature, PyObject* args, PyObject* kwargs);

    bool present(std::size_t position) const { return values_[position] != nullptr; }
    PyObject* object(std::size_t position) const { return values_[position]; }

    Index index(std::size_t position) const;
    double real(std::size_t position) const;
    bool flag(std::size_t position) const;
    double real_or(std::size_t position, double fallback) const;
    bool flag_or(std::size_t position, bool fallback) const;
    // Empty when the argument is missing or None.
    std::optional<double> real_or_none(std::size_t position) const;
    std::optional<bool> flag_or_none(std::size_t position) const;

    // How error texts name the parameter at `position`.
    ValueName name_of(std::size_t position) const {
        return ValueName{signature_.function, signature_.parameters[position]};
    }

private:
    void bind_positional(PyObject* const* args, Py_ssize_t nargs);
    void bind_keyword(PyObject* name, PyObject* value);
    void require_all_required() const;

    const Signature& signature_;
    std::array<PyObject*, kMaxParameters> values_{};  // borrowed from the call
};

}  // namespace ovralis::py
