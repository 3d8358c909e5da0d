// The ConstraintAnalysis class: attribute getters and representation over one held analysis.

#include "lib/analysis_class.hpp"

#include <new>
#include <string>
#include <utility>
#include <vector>

#include "lib/type_helpers.hpp"

namespace ovralis::py {
namespace {

PyTypeObject* g_constraint_analysis_type = nullptr;

// Holds the analysis by value; its lists are turned into fresh tuples and a
// fresh dict at every read, so the object never changes.
struct AnalysisObject {
    PyObject_HEAD ConstraintAnalysis analysis;
};

const ConstraintAnalysis& analysis_of(PyObject* self) {
    return reinterpret_cast<AnalysisObject*>(self)->analysis;
}

void analysis_dealloc(PyObject* self) {
    PyTypeObject* type = Py_TYPE(self);
    reinterpret_cast<AnalysisObject*>(self)->analysis.~ConstraintAnalysis();
    type->tp_free(self);
    Py_DECREF(type);
}

template <typename Integer>
Ref int_tuple(const std::vector<Integer>& values) {
    Ref tuple = Ref::steal(PyTuple_New(static_cast<Py_ssize_t>(values.size())));
    for (std::size_t i = 0; i < values.size(); ++i) {
        PyTuple_SET_ITEM(tuple.get(), static_cast<Py_ssize_t>(i), new_int(values[i]).release());
    }
    return tuple;
}

// "(4,)", "(2, 7)", "()": as Python prints a tuple of ints.
template <typename Integer>
std::string tuple_text(const std::vector<Integer>& values) {
    std::string text = "(";
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0) text += ", ";
        text += std::to_string(values[i]);
    }
    return text + (values.size() == 1 ? ",)" : ")");
}

// The equations' findings appear only for a sketch that has equations.
std::string analysis_repr(PyObject* self) {
    const ConstraintAnalysis& a = analysis_of(self);
    const std::string equations =
        a.equation_count == 0 ? ""
                              : ", redundant_equations=" + tuple_text(a.redundant_equations) +
                                    ", conflicting_equations=" + tuple_text(a.conflicting_equations);
    return "ConstraintAnalysis(rank=" + std::to_string(a.rank) +
           ", free_vars=" + std::to_string(a.free_variables) + ", dof=" + std::to_string(a.dof) +
           ", redundant=" + tuple_text(a.redundant) + ", conflicting=" + tuple_text(a.conflicting) +
           equations + ", status='" + constraint_status_text(a.status) + "')";
}

template <auto Field>
PyObject* get_count(PyObject* self, void*) {
    return PyLong_FromUnsignedLongLong(analysis_of(self).*Field);
}

PyObject* get_dof(PyObject* self, void*) { return PyLong_FromLongLong(analysis_of(self).dof); }

PyObject* get_status(PyObject* self, void*) {
    return PyUnicode_FromString(constraint_status_text(analysis_of(self).status));
}

template <auto Field>
PyObject* get_tuple(PyObject* self, void*) {
    return guarded([&] { return int_tuple(analysis_of(self).*Field).release(); });
}

PyObject* get_groups(PyObject* self, void*) {
    return guarded([&] {
        Ref groups = Ref::steal(PyDict_New());
        for (const auto& [constraint, members] : analysis_of(self).groups) {
            check(
                PyDict_SetItem(groups.get(), new_int(constraint).get(), int_tuple(members).get()));
        }
        return groups.release();
    });
}

// {equation: (constraints, equations)}: what each redundant equation depends on.
PyObject* get_equation_groups(PyObject* self, void*) {
    return guarded([&] {
        Ref groups = Ref::steal(PyDict_New());
        for (const auto& [equation, members] : analysis_of(self).equation_groups) {
            Ref pair = new_tuple(int_tuple(members.constraints), int_tuple(members.equations));
            check(PyDict_SetItem(groups.get(), new_int(equation).get(), pair.get()));
        }
        return groups.release();
    });
}

using A = ConstraintAnalysis;
PyGetSetDef analysis_attributes[] = {
    {"rank", get_count<&A::rank>, nullptr, "Numerical rank of the constraint Jacobian.", nullptr},
    {"free_variables", get_count<&A::free_variables>, nullptr, "Number of free parameters.",
     nullptr},
    {"dof", get_dof, nullptr, "Remaining freedom: free variables minus rank.", nullptr},
    {"redundant", get_tuple<&A::redundant>, nullptr,
     "Constraints implied by earlier ones, ascending.", nullptr},
    {"conflicting", get_tuple<&A::conflicting>, nullptr,
     "Redundant constraints that do not hold at the current values.", nullptr},
    {"groups", get_groups, nullptr,
     "For each redundant constraint, the earlier constraints it depends on.", nullptr},
    {"free_points", get_tuple<&A::free_points>, nullptr, "Points that can still move.", nullptr},
    {"free_circles", get_tuple<&A::free_circles>, nullptr, "Circles that can still move or grow.",
     nullptr},
    {"free_arcs", get_tuple<&A::free_arcs>, nullptr, "Arcs that can still move or grow.", nullptr},
    {"redundant_equations", get_tuple<&A::redundant_equations>, nullptr,
     "Design-intent equations implied by the constraints and earlier equations, ascending.",
     nullptr},
    {"conflicting_equations", get_tuple<&A::conflicting_equations>, nullptr,
     "Redundant design-intent equations that cannot hold with the rest.", nullptr},
    {"equation_groups", get_equation_groups, nullptr,
     "For each redundant equation, the (constraints, earlier equations) it depends on.", nullptr},
    {"status", get_status, nullptr,
     "'well_constrained', 'under_constrained', 'redundant' or 'conflicting'.", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

constexpr char kAnalysisName[] = "ConstraintAnalysis";

PyType_Slot analysis_slots[] = {
    {Py_tp_doc,
     const_cast<char*>("Which constraints are redundant or conflicting, and what can still move.")},
    {Py_tp_new, reinterpret_cast<void*>(no_constructor<kAnalysisName>)},
    {Py_tp_dealloc, reinterpret_cast<void*>(analysis_dealloc)},
    {Py_tp_repr, reinterpret_cast<void*>(repr_of<analysis_repr>)},
    {Py_tp_getset, analysis_attributes},
    {0, nullptr},
};

PyType_Spec analysis_spec{"ovralis.ConstraintAnalysis", sizeof(AnalysisObject), 0,
                          Py_TPFLAGS_DEFAULT, analysis_slots};

}  // namespace

PyTypeObject* create_constraint_analysis_type() {
    return g_constraint_analysis_type = create_type(analysis_spec);
}

Ref wrap_constraint_analysis(ConstraintAnalysis&& analysis) {
    PyTypeObject* type = g_constraint_analysis_type;
    Ref object = Ref::steal(type->tp_alloc(type, 0));
    new (&reinterpret_cast<AnalysisObject*>(object.get())->analysis)
        ConstraintAnalysis(std::move(analysis));
    return object;
}

}  // namespace ovralis::py
