// Conversion of a whole store to and from its pickled state.

#include "lib/system_state.hpp"

#include <vector>

#include "lib/constraint_class.hpp"
#include "lib/record_state.hpp"
#include "system/design_intent_edits.hpp"
#include "system/document_design_intent.hpp"

namespace ovralis::py {
namespace {

const ValueName kStateName{"_from_state", "state"};

template <typename Item, typename ToState>
Ref list_state(const std::vector<Item>& items, ToState to_state) {
    Ref list = Ref::steal(PyList_New(static_cast<Py_ssize_t>(items.size())));
    for (std::size_t i = 0; i < items.size(); ++i) {
        PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), to_state(items[i]).release());
    }
    return list;
}

template <typename Item, typename FromState>
std::vector<Item> list_from_state(PyObject* list, FromState from_state) {
    if (!PyList_Check(list)) raise_wrong_type(kStateName, "a tuple of lists", list);
    // Read from a tuple of the list's records: converting a field may run
    // Python code (__float__, __index__) that changes the list, and the tuple
    // keeps every record alive and in place meanwhile.
    const Ref records = Ref::steal(PyList_AsTuple(list));
    std::vector<Item> items;
    items.reserve(static_cast<std::size_t>(PyTuple_GET_SIZE(records.get())));
    for (Py_ssize_t i = 0; i < PyTuple_GET_SIZE(records.get()); ++i)
        items.push_back(from_state(PyTuple_GET_ITEM(records.get(), i)));
    return items;
}

template <typename Record>
Ref records_state(const std::vector<Record>& records) {
    return list_state(records, [](const Record& r) { return record_state(r); });
}

template <typename Record>
std::vector<Record> records_from_state(PyObject* list) {
    return list_from_state<Record>(
        list, [](PyObject* item) { return record_from_state<Record>(item, kStateName); });
}

// Variables as (name, value, fixed), bindings as (constraint, field,
// expression), equations as their text: the texts read back to the same trees.
Ref design_intent_state(const System& system) {
    Ref variables = list_state(system.design_variables, [](const DesignVariable& v) {
        return new_tuple(new_str(v.name), new_float(v.value), new_bool(v.fixed));
    });
    Ref bindings = list_state(system.bindings, [&](const Binding& b) {
        return new_tuple(new_int(b.constraint), new_str(bound_field_name(system, b)),
                         new_str(b.text));
    });
    Ref equations =
        list_state(system.equations, [](const Equation& e) { return new_str(e.text); });
    return new_tuple(variables, bindings, equations);
}

std::string_view text_of(PyObject* item) {
    if (!PyUnicode_Check(item)) raise_wrong_type(kStateName, "a str in the state", item);
    Py_ssize_t length = 0;
    const char* text = PyUnicode_AsUTF8AndSize(item, &length);
    if (text == nullptr) throw PythonError{};
    return {text, static_cast<std::size_t>(length)};
}

void restore_design_intent(System& system, PyObject* state) {
    PyObject* const* parts = state_items(state, 3, kStateName);
    const auto each = [](PyObject* list, auto&& take) {
        if (!PyList_Check(list)) raise_wrong_type(kStateName, "a tuple of lists", list);
        for (Py_ssize_t i = 0; i < PyList_GET_SIZE(list); ++i) take(PyList_GET_ITEM(list, i));
    };
    each(parts[0], [&](PyObject* item) {
        PyObject* const* v = state_items(item, 3, kStateName);
        add_variable(system, text_of(v[0]), to_real(v[1], kStateName), to_flag(v[2], kStateName));
    });
    each(parts[1], [&](PyObject* item) {
        PyObject* const* b = state_items(item, 3, kStateName);
        restore_binding(system, to_index(b[0], kStateName), text_of(b[1]), text_of(b[2]));
    });
    each(parts[2], [&](PyObject* item) { add_equation(system, text_of(item)); });
}

}  // namespace

Ref system_state(const System& system) {
    // A sketch with design intent adds a ninth item; others keep the eight.
    if (has_design_records(system)) {
        return new_tuple(records_state(system.points), records_state(system.lines),
                         records_state(system.circles), records_state(system.arcs),
                         records_state(system.ellipses), records_state(system.arcs_of_ellipse),
                         list_state(system.constraints, constraint_state), record_state(system),
                         design_intent_state(system));
    }
    return new_tuple(records_state(system.points), records_state(system.lines),
                     records_state(system.circles), records_state(system.arcs),
                     records_state(system.ellipses), records_state(system.arcs_of_ellipse),
                     list_state(system.constraints, constraint_state), record_state(system));
}

System system_from_state(PyObject* state) {
    const bool with_design_intent = PyTuple_Check(state) && PyTuple_GET_SIZE(state) == 9;
    PyObject* const* items = state_items(state, with_design_intent ? 9 : 8, kStateName);
    System system = record_from_state<System>(items[7], kStateName);
    system.points = records_from_state<Point>(items[0]);
    system.lines = records_from_state<Line>(items[1]);
    system.circles = records_from_state<Circle>(items[2]);
    system.arcs = records_from_state<Arc>(items[3]);
    system.ellipses = records_from_state<Ellipse>(items[4]);
    system.arcs_of_ellipse = records_from_state<ArcOfEllipse>(items[5]);
    system.constraints = list_from_state<Constraint>(items[6], constraint_from_state);
    if (with_design_intent) restore_design_intent(system, items[8]);
    return system;
}

}  // namespace ovralis::py
