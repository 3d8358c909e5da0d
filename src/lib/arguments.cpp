#include "lib/arguments.hpp"

#include <string>

namespace ovralis::py {
namespace {

std::string plural(std::size_t count, const char* word) {
    return std::to_string(count) + " " + word + (count == 1 ? "" : "s");
}

}  // namespace

[[noreturn]] void raise_wrong_type(const ValueName& name, const char* expected, PyObject* value) {
    raise(PyExc_TypeError,
          name.text() + " must be " + expected + ", not " + Py_TYPE(value)->tp_name);
}

std::string ValueName::text() const {
    if (parameter.empty()) return std::string(owner);
    return std::string(owner) + "() argument '" + std::string(parameter) + "'";
}

Index to_index(PyObject* value, const ValueName& name) {
    if (!PyIndex_Check(value)) raise_wrong_type(name, "int", value);
    const Ref integer = Ref::steal(PyNumber_Index(value));
    int overflow = 0;
    const long long small = PyLong_AsLongLongAndOverflow(integer.get(), &overflow);
    if (overflow < 0 || (overflow == 0 && small < 0)) {
        raise(PyExc_OverflowError, name.text() + ": can't convert negative int to unsigned");
    }
    const unsigned long long result = PyLong_AsUnsignedLongLong(integer.get());
    if (result == static_cast<unsigned long long>(-1) && PyErr_Occurred()) {
        raise(PyExc_OverflowError, name.text() + ": int too big to convert");
    }
    return result;
}

double to_real(PyObject* value, const ValueName& name) {
    if (PyFloat_CheckExact(value)) return PyFloat_AS_DOUBLE(value);
    const PyNumberMethods* number = Py_TYPE(value)->tp_as_number;
    if (number == nullptr || (number->nb_float == nullptr && number->nb_index == nullptr)) {
        raise_wrong_type(name, "real number", value);
    }
    const double result = PyFloat_AsDouble(value);
    if (result == -1.0 && PyErr_Occurred()) throw PythonError{};
    return result;
}

bool to_flag(PyObject* value, const ValueName& name) {
    if (!PyBool_Check(value)) raise_wrong_type(name, "bool", value);
    return value == Py_True;
}

Arguments::Arguments(const Signature& signature, PyObject* const* args, Py_ssize_t nargs,
                     PyObject* kwnames)
    : signature_(signature) {
    bind_positional(args, nargs);
    const Py_ssize_t keywords = kwnames == nullptr ? 0 : PyTuple_GET_SIZE(kwnames);
    for (Py_ssize_t i = 0; i < keywords; ++i)
        bind_keyword(PyTuple_GET_ITEM(kwnames, i), args[nargs + i]);
    require_all_required();
}

Arguments::Arguments(const Signature& signature, PyObject* args, PyObject* kwargs)
    : signature_(signature) {
    bind_positional(PySequence_Fast_ITEMS(args), PyTuple_GET_SIZE(args));
    if (kwargs != nullptr) {
        Py_ssize_t position = 0;
        PyObject* name = nullptr;
        PyObject* value = nullptr;
        while (PyDict_Next(kwargs, &position, &name, &value)) bind_keyword(name, value);
    }
    require_all_required();
}

void Arguments::bind_positional(PyObject* const* args, Py_ssize_t nargs) {
    const auto given = static_cast<std::size_t>(nargs);
    if (given > signature_.count) {
        const std::string function(signature_.function);
        if (signature_.count == 0) {
            raise(PyExc_TypeError,
                  function + "() takes no arguments (" + std::to_string(given) + " given)");
        }
        raise(PyExc_TypeError, function + "() takes at most " +
                                   plural(signature_.count, "positional argument") + " (" +
                                   std::to_string(given) + " given)");
    }
    for (std::size_t i = 0; i < given; ++i) values_[i] = args[i];
}

void Arguments::bind_keyword(PyObject* name, PyObject* value) {
    const std::string function(signature_.function);
    if (!PyUnicode_Check(name)) raise(PyExc_TypeError, function + "() keywords must be strings");
    Py_ssize_t length = 0;
    const char* text = PyUnicode_AsUTF8AndSize(name, &length);
    if (text == nullptr) throw PythonError{};
    const std::string_view keyword(text, static_cast<std::size_t>(length));
    for (std::size_t i = 0; i < signature_.count; ++i) {
        if (signature_.parameters[i] != keyword) continue;
        if (values_[i] != nullptr) {
            raise(PyExc_TypeError,
                  function + "() got multiple values for argument '" + std::string(keyword) + "'");
        }
        values_[i] = value;
        return;
    }
    raise(PyExc_TypeError,
          function + "() got an unexpected keyword argument '" + std::string(keyword) + "'");
}

void Arguments::require_all_required() const {
    for (std::size_t i = 0; i < signature_.required; ++i) {
        if (values_[i] != nullptr) continue;
        raise(PyExc_TypeError, std::string(signature_.function) + "() missing required argument '" +
                                   std::string(signature_.parameters[i]) + "' (pos " +
                                   std::to_string(i + 1) + ")");
    }
}

Index Arguments::index(std::size_t position) const {
    return to_index(values_[position], name_of(position));
}
double Arguments::real(std::size_t position) const {
    return to_real(values_[position], name_of(position));
}
bool Arguments::flag(std::size_t position) const {
    return to_flag(values_[position], name_of(position));
}

double Arguments::real_or(std::size_t position, double fallback) const {
    return present(position) ? real(position) : fallback;
}

bool Arguments::flag_or(std::size_t position, bool fallback) const {
    return present(position) ? flag(position) : fallback;
}

std::optional<double> Arguments::real_or_none(std::size_t position) const {
    if (!present(position) || values_[position] == Py_None) return std::nullopt;
    return real(position);
}

std::optional<bool> Arguments::flag_or_none(std::size_t position) const {
    if (!present(position) || values_[position] == Py_None) return std::nullopt;
    return flag(position);
}

}  // namespace ovralis::py
