// Conversion of a whole store to and from its pickled state.

#include "lib/system_state.hpp"

#include <vector>

#include "lib/constraint_class.hpp"
#include "lib/record_state.hpp"

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

}  // namespace

Ref system_state(const System& system) {
    return new_tuple(records_state(system.points), records_state(system.lines),
                     records_state(system.circles), records_state(system.arcs),
                     records_state(system.ellipses), records_state(system.arcs_of_ellipse),
                     list_state(system.constraints, constraint_state), record_state(system));
}

System system_from_state(PyObject* state) {
    PyObject* const* items = state_items(state, 8, kStateName);
    System system = record_from_state<System>(items[7], kStateName);
    system.points = records_from_state<Point>(items[0]);
    system.lines = records_from_state<Line>(items[1]);
    system.circles = records_from_state<Circle>(items[2]);
    system.arcs = records_from_state<Arc>(items[3]);
    system.ellipses = records_from_state<Ellipse>(items[4]);
    system.arcs_of_ellipse = records_from_state<ArcOfEllipse>(items[5]);
    system.constraints = list_from_state<Constraint>(items[6], constraint_from_state);
    return system;
}

}  // namespace ovralis::py
