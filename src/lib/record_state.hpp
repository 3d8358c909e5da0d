#pragma once

// The state that pickling carries for the module's plain records: each record
// becomes a tuple of Python values, field by field in declared order, and is
// read back with the module's own conversions, so a malformed state is refused
// with TypeError or ValueError like any other argument. Reals travel as Python
// floats, which pickle bit for bit (NaN and negative zero included).

#include <cstdint>
#include <optional>
#include <tuple>

#include "lib/arguments.hpp"
#include "lib/type_helpers.hpp"
#include "solver/follow.hpp"
#include "solver/solve.hpp"
#include "system/dof.hpp"
#include "system/entities.hpp"
#include "system/system.hpp"

namespace ovralis::py {

// The fields of each record that has a state, in declared order.
template <typename Record>
struct StateFields;

template <>
struct StateFields<Point> {
    static constexpr auto list = std::tuple{&Point::x, &Point::y, &Point::fixed};
};
template <>
struct StateFields<Line> {
    static constexpr auto list = std::tuple{&Line::p1, &Line::p2};
};
template <>
struct StateFields<Circle> {
    static constexpr auto list = std::tuple{&Circle::center, &Circle::radius, &Circle::fixed};
};
template <>
struct StateFields<Arc> {
    static constexpr auto list =
        std::tuple{&Arc::center, &Arc::start, &Arc::end, &Arc::radius, &Arc::fixed};
};
template <>
struct StateFields<Ellipse> {
    static constexpr auto list =
        std::tuple{&Ellipse::center, &Ellipse::focus1, &Ellipse::radmin, &Ellipse::fixed};
};
template <>
struct StateFields<ArcOfEllipse> {
    static constexpr auto list =
        std::tuple{&ArcOfEllipse::center, &ArcOfEllipse::focus1, &ArcOfEllipse::radmin,
                   &ArcOfEllipse::start,  &ArcOfEllipse::end,    &ArcOfEllipse::fixed};
};
template <>
struct StateFields<SolveResult> {
    static constexpr auto list =
        std::tuple{&SolveResult::converged, &SolveResult::iterations, &SolveResult::max_residual,
                   &SolveResult::residual_cost};
};
template <>
struct StateFields<FollowResult> {
    static constexpr auto list =
        std::tuple{&FollowResult::converged, &FollowResult::iterations, &FollowResult::steps,
                   &FollowResult::max_residual, &FollowResult::reached};
};
template <>
struct StateFields<DofAnalysis> {
    static constexpr auto list = std::tuple{&DofAnalysis::free_vars, &DofAnalysis::equations,
                                            &DofAnalysis::dof, &DofAnalysis::status};
};
template <>
struct StateFields<SolverDiagnostics> {
    using D = SolverDiagnostics;
    static constexpr auto list = std::tuple{
        &D::points, &D::fixed_points, &D::free_points, &D::lines,        &D::circles,
        &D::arcs,   &D::constraints,  &D::dof,         &D::max_residual, &D::residual_cost};
};

// A store's scalar settings: the persisted ones, the solver flags and the last scale.
template <>
struct StateFields<System> {
    static constexpr auto list =
        std::tuple{&System::clamp_radii,       &System::min_radius,    &System::track_convergence,
                   &System::analytic_jacobian, &System::sparse_solver, &System::scale};
};

// One field's value as a Python object, and back.
Ref state_value(double value);
Ref state_value(Index value);
Ref state_value(bool value);
Ref state_value(std::int64_t value);
Ref state_value(DofStatus value);
Ref state_value(const std::optional<double>& value);
void read_state(PyObject* item, double& value, const ValueName& name);
void read_state(PyObject* item, Index& value, const ValueName& name);
void read_state(PyObject* item, bool& value, const ValueName& name);
void read_state(PyObject* item, std::int64_t& value, const ValueName& name);
void read_state(PyObject* item, DofStatus& value, const ValueName& name);
void read_state(PyObject* item, std::optional<double>& value, const ValueName& name);
// A nested record (the analysis inside diagnostics) is a nested tuple.
Ref state_value(const DofAnalysis& value);
void read_state(PyObject* item, DofAnalysis& value, const ValueName& name);

// The items of `state`, which must be a tuple of `count` items; ValueError otherwise.
PyObject* const* state_items(PyObject* state, Py_ssize_t count, const ValueName& name);

template <typename Record>
Ref record_state(const Record& record) {
    return std::apply([&](auto... field) { return new_tuple(state_value(record.*field)...); },
                      StateFields<Record>::list);
}

template <typename Record>
Record record_from_state(PyObject* state, const ValueName& name) {
    Record record{};
    std::apply(
        [&](auto... field) {
            PyObject* const* items = state_items(state, sizeof...(field), name);
            std::size_t position = 0;
            (read_state(items[position++], record.*field, name), ...);
        },
        StateFields<Record>::list);
    return record;
}

// __reduce__ of a class that holds a Record: (cls._from_state, (state,)).
template <typename Record>
PyObject* reduce_record(PyObject* self, PyObject*) {
    return guarded([&] {
        Ref rebuild = Ref::steal(
            PyObject_GetAttrString(reinterpret_cast<PyObject*>(Py_TYPE(self)), "_from_state"));
        return new_tuple(std::move(rebuild), new_tuple(record_state(value_of<Record>(self))))
            .release();
    });
}

// The class method _from_state(state): a new object holding the record read from `state`.
template <typename Record>
PyObject* record_from_state_method(PyObject* type, PyObject* state) {
    return guarded([&] {
        const Record record = record_from_state<Record>(state, ValueName{"_from_state", "state"});
        return wrap_value(reinterpret_cast<PyTypeObject*>(type), record).release();
    });
}

// The two entries of a method table that make a record class pickle and copy.
template <typename Record>
inline constexpr PyMethodDef kReduceMethod{
    "__reduce__", reduce_record<Record>, METH_NOARGS,
    "__reduce__($self)\n--\n\nPickling and copying support."};
template <typename Record>
inline constexpr PyMethodDef kFromStateMethod{
    "_from_state", record_from_state_method<Record>, METH_O | METH_CLASS,
    "_from_state($type, state, /)\n--\n\n"
    "Rebuilds an object from the state its __reduce__ gave."};

}  // namespace ovralis::py
