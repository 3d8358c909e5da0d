#include "lib/constraint_class.hpp"

#include <optional>
#include <string>
#include <utility>

#include "lib/type_helpers.hpp"

namespace ovralis::py {
namespace {

PyTypeObject* g_constraint_type = nullptr;

constexpr char kConstraintName[] = "Constraint";

std::string constraint_repr(PyObject* self) {
    return "Constraint(kind='" + std::string(kind_name(value_of<Constraint>(self))) + "')";
}

PyObject* constraint_kind(PyObject* self, PyObject*) {
    return guarded([&] { return new_str(kind_name(value_of<Constraint>(self))).release(); });
}

PyObject* constraint_equation_count(PyObject* self, PyObject*) {
    return PyLong_FromUnsignedLong(equation_count(value_of<Constraint>(self)));
}

// One field of the held record as a Python int or float.
Ref field_value(const Constraint& constraint, const FieldSpec& field) {
    if (field.type == FieldType::Real) return new_float(constraint.value[field.slot]);
    return new_int(constraint.index[field.slot]);
}

// Attribute lookup falls back on the kind's field names, so that c.p1 and
// c.d read the fields of whatever kind the constraint has.
PyObject* constraint_getattro(PyObject* self, PyObject* name) {
    PyObject* found = PyObject_GenericGetAttr(self, name);
    if (found != nullptr || !PyErr_ExceptionMatches(PyExc_AttributeError) || !PyUnicode_Check(name))
        return found;
    return guarded([&]() -> PyObject* {
        const Constraint& constraint = value_of<Constraint>(self);
        const KindInfo& info = kind_info(constraint.kind);
        for (std::uint8_t i = 0; i < info.field_count; ++i) {
            if (PyUnicode_CompareWithASCIIString(name, std::string(info.fields[i].name).c_str()) ==
                0) {
                PyErr_Clear();
                return field_value(constraint, info.fields[i]).release();
            }
        }
        throw PythonError{};  // the generic lookup's AttributeError stands
    });
}

PyObject* constraint_fields(PyObject* self, PyObject*) {
    return guarded([&] {
        const Constraint& constraint = value_of<Constraint>(self);
        const KindInfo& info = kind_info(constraint.kind);
        Ref fields = Ref::steal(PyDict_New());
        for (std::uint8_t i = 0; i < info.field_count; ++i) {
            const Ref value = field_value(constraint, info.fields[i]);
            check(PyDict_SetItemString(fields.get(), std::string(info.fields[i].name).c_str(),
                                       value.get()));
        }
        return fields.release();
    });
}

// Pickled as (Constraint._from_state, (kind name, field values...)).
PyObject* constraint_reduce(PyObject* self, PyObject*) {
    return guarded([&] {
        Ref rebuild = Ref::steal(
            PyObject_GetAttrString(reinterpret_cast<PyObject*>(Py_TYPE(self)), "_from_state"));
        return new_tuple(std::move(rebuild), constraint_state(value_of<Constraint>(self)))
            .release();
    });
}

// _from_state(kind, *fields): the fields convert as the kind's constructor converts them.
Constraint constraint_from_kind_and_fields(PyObject* const* args, Py_ssize_t nargs,
                                           PyObject* kwnames) {
    if (nargs < 1 || !PyUnicode_Check(args[0])) {
        raise(PyExc_TypeError, "_from_state() needs a kind name as its first argument");
    }
    const char* name = PyUnicode_AsUTF8(args[0]);
    if (name == nullptr) throw PythonError{};
    const std::optional<ConstraintKind> kind = kind_from_name(name);
    if (!kind)
        raise(PyExc_ValueError,
              std::string("_from_state(): unknown constraint kind '") + name + "'");
    const Signature signature = constraint_signature(*kind, "_from_state");
    return constraint_from_arguments(*kind, Arguments(signature, args + 1, nargs - 1, kwnames));
}

PyObject* constraint_from_state_method(PyObject*, PyObject* const* args, Py_ssize_t nargs,
                                       PyObject* kwnames) {
    return guarded([&] {
        return wrap_constraint(constraint_from_kind_and_fields(args, nargs, kwnames)).release();
    });
}

PyMethodDef constraint_methods[] = {
    {"kind", constraint_kind, METH_NOARGS, "kind($self)\n--\n\nThe constraint's kind name."},
    {"equation_count", constraint_equation_count, METH_NOARGS,
     "equation_count($self)\n--\n\nNumber of scalar equations the constraint contributes."},
    {"fields", constraint_fields, METH_NOARGS,
     "fields($self)\n--\n\nThe constraint's fields as a dict, in field order (also readable as "
     "attributes)."},
    {"__reduce__", constraint_reduce, METH_NOARGS,
     "__reduce__($self)\n--\n\nPickling and copying support."},
    {"_from_state", as_py_cfunction(constraint_from_state_method),
     METH_FASTCALL | METH_KEYWORDS | METH_CLASS,
     "_from_state($type, kind, /, *fields)\n--\n\nRebuilds a constraint from the state its "
     "__reduce__ gave."},
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot constraint_slots[] = {
    {Py_tp_new, reinterpret_cast<void*>(no_constructor<kConstraintName>)},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc_value_object)},
    {Py_tp_repr, reinterpret_cast<void*>(repr_of<constraint_repr>)},
    {Py_tp_methods, constraint_methods},
    {Py_tp_getattro, reinterpret_cast<void*>(constraint_getattro)},
    {0, nullptr},
};

PyType_Spec constraint_spec{"ovralis.Constraint", sizeof(ValueObject<Constraint>), 0,
                            Py_TPFLAGS_DEFAULT, constraint_slots};

// One module function per row of the table: the row selects the kind.
template <std::size_t Row>
PyObject* construct_constraint(PyObject*, PyObject* const* args, Py_ssize_t nargs,
                               PyObject* kwnames) {
    constexpr const ConstraintConstructor& entry = kConstraintConstructors[Row];
    return guarded([&] {
        static const Signature signature = constraint_signature(entry.kind, entry.function);
        const Arguments arguments(signature, args, nargs, kwnames);
        return wrap_constraint(constraint_from_arguments(entry.kind, arguments)).release();
    });
}

template <std::size_t... Rows>
std::array<PyMethodDef, sizeof...(Rows)> make_functions(std::index_sequence<Rows...>) {
    // The docstrings must outlive the functions, that is the process.
    static const std::array<std::string, sizeof...(Rows)> docs{
        (constraint_signature_line(kConstraintConstructors[Rows].kind,
                                   kConstraintConstructors[Rows].function, false) +
         "\n--\n\n")...};
    return {PyMethodDef{kConstraintConstructors[Rows].function,
                        as_py_cfunction(construct_constraint<Rows>), METH_FASTCALL | METH_KEYWORDS,
                        docs[Rows].c_str()}...};
}

}  // namespace

Signature constraint_signature(ConstraintKind kind, std::string_view function) {
    const KindInfo& info = kind_info(kind);
    Signature signature(function);
    for (std::uint8_t i = 0; i < info.field_count; ++i) {
        signature.parameters[signature.count++] = info.fields[i].name;
    }
    signature.required = signature.count;
    return signature;
}

std::string constraint_signature_line(ConstraintKind kind, std::string_view function,
                                      bool self_parameter) {
    const KindInfo& info = kind_info(kind);
    std::string line = std::string(function) + "(" + (self_parameter ? "$self" : "");
    for (std::uint8_t i = 0; i < info.field_count; ++i) {
        if (self_parameter || i > 0) line += ", ";
        line += info.fields[i].name;
    }
    return line + ")";
}

Constraint constraint_from_arguments(ConstraintKind kind, const Arguments& arguments) {
    const KindInfo& info = kind_info(kind);
    Constraint constraint{.kind = kind};
    for (std::uint8_t i = 0; i < info.field_count; ++i) {
        const FieldSpec& field = info.fields[i];
        if (field.type == FieldType::Real) {
            constraint.value[field.slot] = arguments.real(i);
        } else {
            constraint.index[field.slot] = arguments.index(i);
        }
    }
    return constraint;
}

PyTypeObject* create_constraint_type() {
    g_constraint_type = create_type(constraint_spec);
    return g_constraint_type;
}

Ref wrap_constraint(const Constraint& constraint) {
    return wrap_value(g_constraint_type, constraint);
}

const Constraint& constraint_in(PyObject* object, const ValueName& name) {
    if (Py_TYPE(object) != g_constraint_type) raise_wrong_type(name, "Constraint", object);
    return value_of<Constraint>(object);
}

Ref constraint_state(const Constraint& constraint) {
    const KindInfo& info = kind_info(constraint.kind);
    Ref state = Ref::steal(PyTuple_New(info.field_count + 1));
    PyTuple_SET_ITEM(state.get(), 0, new_str(info.name).release());
    for (std::uint8_t i = 0; i < info.field_count; ++i) {
        PyTuple_SET_ITEM(state.get(), i + 1, field_value(constraint, info.fields[i]).release());
    }
    return state;
}

Constraint constraint_from_state(PyObject* state) {
    if (!PyTuple_Check(state)) raise(PyExc_ValueError, "a constraint's state must be a tuple");
    return constraint_from_kind_and_fields(&PyTuple_GET_ITEM(state, 0), PyTuple_GET_SIZE(state),
                                           nullptr);
}

std::array<PyMethodDef, kConstraintConstructors.size()>& constraint_functions() {
    static auto functions =
        make_functions(std::make_index_sequence<kConstraintConstructors.size()>{});
    return functions;
}

}  // namespace ovralis::py
