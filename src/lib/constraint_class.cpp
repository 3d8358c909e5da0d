#include "lib/constraint_class.hpp"

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

PyMethodDef constraint_methods[] = {
    {"kind", constraint_kind, METH_NOARGS, "kind($self)\n--\n\nThe constraint's kind name."},
    {"equation_count", constraint_equation_count, METH_NOARGS,
     "equation_count($self)\n--\n\nNumber of scalar equations the constraint contributes."},
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot constraint_slots[] = {
    {Py_tp_new, reinterpret_cast<void*>(no_constructor<kConstraintName>)},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc_value_object)},
    {Py_tp_repr, reinterpret_cast<void*>(repr_of<constraint_repr>)},
    {Py_tp_methods, constraint_methods},
    {0, nullptr},
};

PyType_Spec constraint_spec{"ovralis.Constraint", sizeof(ValueObject<Constraint>), 0, Py_TPFLAGS_DEFAULT,
                            constraint_slots};

// One module function per row of the table: the row selects the kind.
template <std::size_t Row>
PyObject* construct_constraint(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
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
        (constraint_signature_line(kConstraintConstructors[Rows].kind, kConstraintConstructors[Rows].function,
                                   false) +
         "\n--\n\n")...};
    return {PyMethodDef{kConstraintConstructors[Rows].function, as_py_cfunction(construct_constraint<Rows>),
                        METH_FASTCALL | METH_KEYWORDS, docs[Rows].c_str()}...};
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

std::string constraint_signature_line(ConstraintKind kind, std::string_view function, bool self_parameter) {
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

Ref wrap_constraint(const Constraint& constraint) { return wrap_value(g_constraint_type, constraint); }

const Constraint& constraint_in(PyObject* object, const ValueName& name) {
    if (Py_TYPE(object) != g_constraint_type) raise_wrong_type(name, "Constraint", object);
    return value_of<Constraint>(object);
}

std::array<PyMethodDef, kConstraintConstructors.size()>& constraint_functions() {
    static auto functions = make_functions(std::make_index_sequence<kConstraintConstructors.size()>{});
    return functions;
}

}  // namespace ovralis::py
