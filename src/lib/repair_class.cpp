#include "lib/repair_class.hpp"

#include "lib/record_state.hpp"
#include "lib/type_helpers.hpp"

namespace ovralis::py {

template <>
struct StateFields<Repair> {
    static constexpr auto list =
        std::tuple{&Repair::removes, &Repair::constraint, &Repair::value, &Repair::movement};
};

namespace {

PyTypeObject* g_repair_type = nullptr;

constexpr char kRepairName[] = "Repair";

const char* action_text(const Repair& r) { return r.removes ? "remove" : "change"; }

Ref value_object(const Repair& r) {
    if (!r.value) return Ref::borrow(Py_None);
    return Ref::steal(PyFloat_FromDouble(*r.value));
}

PyObject* repair_repr(PyObject* self) {
    return guarded([&] {
        const Repair& r = value_of<Repair>(self);
        const Ref value = value_object(r);
        const Ref movement = Ref::steal(PyFloat_FromDouble(r.movement));
        return PyUnicode_FromFormat("Repair(action='%s', constraint=%llu, value=%R, movement=%R)",
                                    action_text(r), static_cast<unsigned long long>(r.constraint),
                                    value.get(), movement.get());
    });
}

PyObject* repair_action(PyObject* self, void*) {
    return PyUnicode_FromString(action_text(value_of<Repair>(self)));
}

PyObject* repair_value(PyObject* self, void*) {
    return value_object(value_of<Repair>(self)).release();
}

PyGetSetDef repair_attributes[] = {
    {"action", repair_action, nullptr, const_cast<char*>("'remove' or 'change'."), nullptr},
    {"constraint", get_index<Repair, &Repair::constraint>, nullptr,
     const_cast<char*>("The constraint's index."), nullptr},
    {"value", repair_value, nullptr,
     const_cast<char*>("The dimension's new value for a change; None for a removal."), nullptr},
    {"movement", get_real<Repair, &Repair::movement>, nullptr,
     const_cast<char*>("How far the drawing moves when the repair is applied and the sketch\n"
                       "solved: the root of the summed squares of the distances the points\n"
                       "move and of the radii's changes."),
     nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef repair_methods[] = {
    kReduceMethod<Repair>, kFromStateMethod<Repair>, {nullptr, nullptr, 0, nullptr}};

PyType_Slot repair_slots[] = {
    {Py_tp_doc, const_cast<char*>("One way to make a sketch that does not solve solvable.")},
    {Py_tp_new, reinterpret_cast<void*>(no_constructor<kRepairName>)},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc_value_object)},
    {Py_tp_repr, reinterpret_cast<void*>(repair_repr)},
    {Py_tp_methods, repair_methods},
    {Py_tp_getset, repair_attributes},
    {0, nullptr},
};

PyType_Spec repair_spec{"ovralis.Repair", sizeof(ValueObject<Repair>), 0, Py_TPFLAGS_DEFAULT,
                        repair_slots};

}  // namespace

PyTypeObject* create_repair_type() { return g_repair_type = create_type(repair_spec); }

Ref wrap_repair(const Repair& repair) { return wrap_value(g_repair_type, repair); }

}  // namespace ovralis::py
