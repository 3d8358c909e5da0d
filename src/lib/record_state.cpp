// Conversion of single record fields to and from their pickled form.

#include "lib/record_state.hpp"

#include <string>

namespace ovralis::py {

Ref state_value(double value) { return new_float(value); }
Ref state_value(Index value) { return new_int(value); }
Ref state_value(bool value) { return new_bool(value); }
Ref state_value(std::int64_t value) { return Ref::steal(PyLong_FromLongLong(value)); }
Ref state_value(DofStatus value) { return new_str(dof_status_text(value)); }
Ref state_value(const std::optional<double>& value) { return value ? new_float(*value) : none(); }

void read_state(PyObject* item, double& value, const ValueName& name) {
    value = to_real(item, name);
}
void read_state(PyObject* item, Index& value, const ValueName& name) {
    value = to_index(item, name);
}
void read_state(PyObject* item, bool& value, const ValueName& name) { value = to_flag(item, name); }

void read_state(PyObject* item, std::int64_t& value, const ValueName& name) {
    if (!PyLong_Check(item)) raise_wrong_type(name, "int", item);
    value = PyLong_AsLongLong(item);
    if (value == -1 && PyErr_Occurred()) throw PythonError{};
}

void read_state(PyObject* item, DofStatus& value, const ValueName& name) {
    for (DofStatus status :
         {DofStatus::UnderConstrained, DofStatus::FullyConstrained, DofStatus::OverConstrained}) {
        if (PyUnicode_Check(item) &&
            PyUnicode_CompareWithASCIIString(item, dof_status_text(status)) == 0) {
            value = status;
            return;
        }
    }
    raise(PyExc_ValueError, name.text() + ": not a degrees-of-freedom status");
}

void read_state(PyObject* item, std::optional<double>& value, const ValueName& name) {
    value = item == Py_None ? std::nullopt : std::optional(to_real(item, name));
}

Ref state_value(const DofAnalysis& value) { return record_state(value); }

void read_state(PyObject* item, DofAnalysis& value, const ValueName& name) {
    value = record_from_state<DofAnalysis>(item, name);
}

PyObject* const* state_items(PyObject* state, Py_ssize_t count, const ValueName& name) {
    if (!PyTuple_Check(state) || PyTuple_GET_SIZE(state) != count) {
        raise(PyExc_ValueError,
              name.text() + ": expected a tuple of " + std::to_string(count) + " items");
    }
    return &PyTuple_GET_ITEM(state, 0);
}

}  // namespace ovralis::py
