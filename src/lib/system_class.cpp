#include "lib/system_class.hpp"

#include <cmath>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "lib/analysis_class.hpp"
#include "lib/cancellable_solve.hpp"
#include "lib/constraint_class.hpp"
#include "lib/design_intent_methods.hpp"
#include "lib/diagnosis_methods.hpp"
#include "lib/drawing_methods.hpp"
#include "lib/follow_methods.hpp"
#include "lib/render_methods.hpp"
#include "lib/result_classes.hpp"
#include "lib/store_access.hpp"
#include "lib/system_state.hpp"
#include "lib/type_helpers.hpp"
#include "lib/verification_dict.hpp"
#include "lib/without_gil.hpp"
#include "solver/drag.hpp"
#include "solver/solve.hpp"
#include "system/document.hpp"
#include "system/dof.hpp"
#include "system/store.hpp"
#include "validation/verification.hpp"

namespace ovralis::py {
namespace {

PyTypeObject* g_system_type = nullptr;

struct SystemObject {
    PyObject_HEAD System store;
    unsigned long home_thread;
    AccessCounter access;
};

SystemObject& as_system(PyObject* self) { return *reinterpret_cast<SystemObject*>(self); }

Ref wrap_system(System&& store) {
    Ref object = Ref::steal(g_system_type->tp_alloc(g_system_type, 0));
    SystemObject& system = as_system(object.get());
    new (&system.store) System(std::move(store));
    system.home_thread = PyThread_get_thread_ident();
    new (&system.access) AccessCounter();
    return object;
}

// The store is not synchronised, so a System stays on the thread that made it.
void require_home_thread(const SystemObject& system) {
    if (PyThread_get_thread_ident() != system.home_thread) {
        raise(PyExc_RuntimeError, "ovralis::PySystem is unsendable, but sent to another thread");
    }
}

// Runs `body(store)` for a method of `self` with the given access. Arguments
// are converted inside `body`, that is while the access is held, so Python code
// run by a conversion cannot change the store under the method's feet.
template <Access access, typename Body>
PyObject* with_store(PyObject* self, Body&& body) {
    return guarded([&]() -> PyObject* {
        SystemObject& system = as_system(self);
        require_home_thread(system);
        const AccessGuard guard(system.access, access);
        return body(system.store).release();
    });
}

// Methods of System. Each converts its arguments in parameter order before
// touching the store, so a failed conversion leaves the store unchanged.

PyObject* system_new(PyTypeObject*, PyObject* args, PyObject* kwargs) {
    static constexpr Signature signature{"System"};
    return guarded([&] {
        const Arguments arguments(signature, args, kwargs);
        return wrap_system(System{}).release();
    });
}

void system_dealloc(PyObject* self) {
    SystemObject& system = as_system(self);
    PyTypeObject* type = Py_TYPE(self);
    if (PyThread_get_thread_ident() != system.home_thread) {
        // Report, but free the store anyway: nothing else can reach it now.
        PyObject *error_type, *error_value, *traceback;
        PyErr_Fetch(&error_type, &error_value, &traceback);
        PyErr_SetString(PyExc_RuntimeError,
                        "ovralis::PySystem is unsendable, but is being dropped on another thread");
        PyErr_WriteUnraisable(reinterpret_cast<PyObject*>(type));
        PyErr_Restore(error_type, error_value, traceback);
    }
    system.store.~System();
    type->tp_free(self);
    Py_DECREF(type);
}

PyObject* system_repr(PyObject* self) {
    return with_store<Access::Shared>(self, [](System& store) {
        return new_str("System(points=" + std::to_string(store.points.size()) +
                       ", lines=" + std::to_string(store.lines.size()) +
                       ", circles=" + std::to_string(store.circles.size()) +
                       ", arcs=" + std::to_string(store.arcs.size()) +
                       ", constraints=" + std::to_string(store.constraints.size()) + ")");
    });
}

// ---- entities ----

PyObject* add_point(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    static constexpr Signature signature{"add_point", {"x", "y", "fixed"}, 2};
    return with_store<Access::Exclusive>(self, [&](System& store) {
        const Arguments a(signature, args, nargs, kwnames);
        const double x = a.real(0);
        const double y = a.real(1);
        const bool fixed = a.flag_or(2, false);
        return new_int(ovralis::add_point(store, x, y, fixed));
    });
}

PyObject* add_line(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    static constexpr Signature signature{"add_line", {"p1", "p2"}, 2};
    return with_store<Access::Exclusive>(self, [&](System& store) {
        const Arguments a(signature, args, nargs, kwnames);
        const Index p1 = a.index(0);
        const Index p2 = a.index(1);
        return new_int(ovralis::add_line(store, p1, p2));
    });
}

PyObject* add_circle(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    static constexpr Signature signature{"add_circle", {"center", "radius", "fixed"}, 1};
    return with_store<Access::Exclusive>(self, [&](System& store) {
        const Arguments a(signature, args, nargs, kwnames);
        const Index center = a.index(0);
        const double radius = a.real_or(1, 0.0);
        const bool fixed = a.flag_or(2, false);
        return new_int(ovralis::add_circle(store, center, radius, fixed));
    });
}

PyObject* add_arc(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    static constexpr Signature signature{
        "add_arc", {"center", "start", "end", "radius", "fixed"}, 3};
    return with_store<Access::Exclusive>(self, [&](System& store) {
        const Arguments a(signature, args, nargs, kwnames);
        const Index center = a.index(0);
        const Index start = a.index(1);
        const Index end = a.index(2);
        const double radius = a.real_or(3, 0.0);
        const bool fixed = a.flag_or(4, false);
        return new_int(ovralis::add_arc(store, center, start, end, radius, fixed));
    });
}

// ---- editing in place: every index keeps its meaning ----

PyObject* set_point(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    static constexpr Signature signature{"set_point", {"idx", "x", "y", "fixed"}, 3};
    return with_store<Access::Exclusive>(self, [&](System& store) {
        const Arguments a(signature, args, nargs, kwnames);
        const Index idx = a.index(0);
        const double x = a.real(1);
        const double y = a.real(2);
        ovralis::set_point(store, idx, x, y, a.flag_or_none(3));
        return none();
    });
}

// set_circle and set_arc: a new radius, a new fixed flag, or both.
template <const Signature& signature, auto set>
PyObject* set_radius_and_flag(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                              PyObject* kwnames) {
    return with_store<Access::Exclusive>(self, [&](System& store) {
        const Arguments a(signature, args, nargs, kwnames);
        const Index idx = a.index(0);
        const std::optional<double> radius = a.real_or_none(1);
        set(store, idx, radius, a.flag_or_none(2));
        return none();
    });
}

constexpr Signature kSetCircle{"set_circle", {"idx", "radius", "fixed"}, 1};
constexpr Signature kSetArc{"set_arc", {"idx", "radius", "fixed"}, 1};

PyObject* get_constraint(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                         PyObject* kwnames) {
    static constexpr Signature signature{"get_constraint", {"idx"}, 1};
    return with_store<Access::Shared>(self, [&](System& store) {
        const Arguments a(signature, args, nargs, kwnames);
        return wrap_constraint(ovralis::get_constraint(store, a.index(0)));
    });
}

PyObject* set_constraint(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                         PyObject* kwnames) {
    static constexpr Signature signature{"set_constraint", {"idx", "c"}, 2};
    return with_store<Access::Exclusive>(self, [&](System& store) {
        const Arguments a(signature, args, nargs, kwnames);
        const Index idx = a.index(0);
        ovralis::set_constraint(store, idx, constraint_in(a.object(1), a.name_of(1)));
        return none();
    });
}

// ---- snapshots: copy, copy.copy, copy.deepcopy and pickle ----

// A new System owning an exact copy of the store, bound to the calling thread.
template <const Signature& signature>
PyObject* copy_system(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return with_store<Access::Shared>(self, [&](System& store) {
        const Arguments a(signature, args, nargs, kwnames);
        return wrap_system(System(store));
    });
}

constexpr Signature kCopy{"copy"};
constexpr Signature kDunderCopy{"__copy__"};
constexpr Signature kDeepCopy{"__deepcopy__", {"memo"}, 1};  // a store holds no Python objects

PyObject* reduce_system(PyObject* self, PyObject*) {
    return with_store<Access::Shared>(self, [&](System& store) {
        Ref rebuild = Ref::steal(
            PyObject_GetAttrString(reinterpret_cast<PyObject*>(g_system_type), "_from_state"));
        return new_tuple(std::move(rebuild), new_tuple(system_state(store)));
    });
}

PyObject* system_from_state_method(PyObject*, PyObject* state) {
    return guarded([&] { return wrap_system(system_from_state(state)).release(); });
}

// ---- constraints ----

// add_<kind>_constraint for one row of the constructor table.
template <std::size_t Row>
PyObject* add_kind_constraint(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                              PyObject* kwnames) {
    constexpr const ConstraintConstructor& entry = kConstraintConstructors[Row];
    return with_store<Access::Exclusive>(self, [&](System& store) {
        static const Signature signature = constraint_signature(entry.kind, entry.method);
        const Arguments a(signature, args, nargs, kwnames);
        ovralis::add_constraint(store, constraint_from_arguments(entry.kind, a));
        return none();
    });
}

PyObject* add_constraint(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                         PyObject* kwnames) {
    static constexpr Signature signature{"add_constraint", {"c"}, 1};
    return with_store<Access::Exclusive>(self, [&](System& store) {
        const Arguments a(signature, args, nargs, kwnames);
        ovralis::add_constraint(store, constraint_in(a.object(0), a.name_of(0)));
        return none();
    });
}

PyObject* remove_constraint(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                            PyObject* kwnames) {
    static constexpr Signature signature{"remove_constraint", {"idx"}, 1};
    return with_store<Access::Exclusive>(self, [&](System& store) {
        const Arguments a(signature, args, nargs, kwnames);
        const Index idx = a.index(0);
        return wrap_constraint(ovralis::remove_constraint(store, idx));
    });
}

PyObject* clear_constraints(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                            PyObject* kwnames) {
    static constexpr Signature signature{"clear_constraints"};
    return with_store<Access::Exclusive>(self, [&](System& store) {
        const Arguments a(signature, args, nargs, kwnames);
        ovralis::clear_constraints(store);
        return none();
    });
}

// ---- getters, counts and entity removal, one generic body each ----

Ref point_tuple(const Point& p) { return new_tuple(new_float(p.x), new_float(p.y)); }
Ref line_tuple(const Line& l) { return new_tuple(new_int(l.p1), new_int(l.p2)); }
Ref circle_tuple(const Circle& c) { return new_tuple(new_int(c.center), new_float(c.radius)); }
Ref arc_tuple(const Arc& a) {
    return new_tuple(new_int(a.center), new_int(a.start), new_int(a.end), new_float(a.radius));
}

// get_point and its twins: the store's getter, converted to a tuple.
template <const Signature& signature, auto get, auto to_tuple>
PyObject* get_one(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return with_store<Access::Shared>(self, [&](System& store) {
        const Arguments a(signature, args, nargs, kwnames);
        const Index idx = a.index(0);
        return to_tuple(get(store, idx));
    });
}

// get_points and its twins: one tuple per entity, in index order.
template <const Signature& signature, auto list, auto to_tuple>
PyObject* get_all(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return with_store<Access::Shared>(self, [&](System& store) {
        const Arguments a(signature, args, nargs, kwnames);
        return new_list(store.*list, to_tuple);
    });
}

// num_points and its twins.
template <const Signature& signature, auto list>
PyObject* count(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return with_store<Access::Shared>(self, [&](System& store) {
        const Arguments a(signature, args, nargs, kwnames);
        return new_int((store.*list).size());
    });
}

// remove_point and its twins: the number of constraints that named the entity.
template <const Signature& signature, auto remove>
PyObject* remove_one(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return with_store<Access::Exclusive>(self, [&](System& store) {
        const Arguments a(signature, args, nargs, kwnames);
        const Index idx = a.index(0);
        return new_int(remove(store, idx));
    });
}

constexpr Signature kGetPoint{"get_point", {"idx"}, 1};
constexpr Signature kGetLine{"get_line", {"idx"}, 1};
constexpr Signature kGetCircle{"get_circle", {"idx"}, 1};
constexpr Signature kGetArc{"get_arc", {"idx"}, 1};
constexpr Signature kGetPoints{"get_points"};
constexpr Signature kGetLines{"get_lines"};
constexpr Signature kGetCircles{"get_circles"};
constexpr Signature kGetArcs{"get_arcs"};
constexpr Signature kNumPoints{"num_points"};
constexpr Signature kNumLines{"num_lines"};
constexpr Signature kNumCircles{"num_circles"};
constexpr Signature kNumArcs{"num_arcs"};
constexpr Signature kNumConstraints{"num_constraints"};
constexpr Signature kRemovePoint{"remove_point", {"idx"}, 1};
constexpr Signature kRemoveLine{"remove_line", {"idx"}, 1};
constexpr Signature kRemoveCircle{"remove_circle", {"idx"}, 1};
constexpr Signature kRemoveArc{"remove_arc", {"idx"}, 1};

// ---- solve, analyses, verification and documents ----

// The (max_iter, tol) arguments that solve and solve_and_verify share, converted in that order.
struct SolveSettings {
    std::uint64_t max_iter;
    double tol;
};

SolveSettings solve_settings(const Arguments& a) {
    return {a.present(0) ? a.index(0) : 200, a.real_or(1, 1e-8)};
}

PyObject* solve(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    static constexpr Signature signature{"solve", {"max_iter", "tol"}, 0};
    return with_store<Access::Exclusive>(self, [&](System& store) {
        const SolveSettings settings = solve_settings(Arguments(signature, args, nargs, kwnames));
        const SolveResult result = without_gil_interruptible([&](const InterruptPoll& interrupted) {
            return ovralis::solve(store, settings.max_iter, settings.tol, interrupted);
        });
        return wrap_solve_result(result);
    });
}

PyObject* drag(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    static constexpr Signature signature{"drag", {"point", "x", "y", "max_iter", "tol"}, 3};
    return with_store<Access::Exclusive>(self, [&](System& store) {
        const Arguments a(signature, args, nargs, kwnames);
        const Index point = a.index(0);
        const double x = a.real(1);
        const double y = a.real(2);
        if (!std::isfinite(x) || !std::isfinite(y)) {
            raise(PyExc_ValueError, "drag: the target (x, y) must be finite");
        }
        const std::uint64_t max_iter = a.present(3) ? a.index(3) : 200;
        const double tol = a.real_or(4, 1e-8);
        const SolveResult result = without_gil_interruptible([&](const InterruptPoll& interrupted) {
            return ovralis::drag(store, point, x, y, max_iter, tol, interrupted);
        });
        return wrap_solve_result(result);
    });
}

PyObject* solve_and_verify(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                           PyObject* kwnames) {
    static constexpr Signature signature{"solve_and_verify", {"max_iter", "tol"}, 0};
    return with_store<Access::Exclusive>(self, [&](System& store) {
        const SolveSettings settings = solve_settings(Arguments(signature, args, nargs, kwnames));
        const auto [result, verification] =
            without_gil_interruptible([&](const InterruptPoll& interrupted) {
                const SolveResult solved =
                    ovralis::solve(store, settings.max_iter, settings.tol, interrupted);
                return std::pair(solved, ovralis::verify(store, settings.tol, interrupted));
            });
        return new_tuple(wrap_solve_result(result), verification_dict(verification));
    });
}

PyObject* analyze_dof(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    static constexpr Signature signature{"analyze_dof"};
    return with_store<Access::Shared>(self, [&](System& store) {
        const Arguments a(signature, args, nargs, kwnames);
        return wrap_dof_analysis(without_gil([&] { return ovralis::analyze_dof(store); }));
    });
}

PyObject* diagnostics(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    static constexpr Signature signature{"diagnostics", {"include_residuals"}, 0};
    return with_store<Access::Shared>(self, [&](System& store) {
        const Arguments a(signature, args, nargs, kwnames);
        const bool include_residuals = a.flag_or(0, true);
        return wrap_diagnostics(
            without_gil([&] { return ovralis::diagnostics(store, include_residuals); }));
    });
}

PyObject* analyze_constraints(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                              PyObject* kwnames) {
    static constexpr Signature signature{"analyze_constraints", {"tol"}, 0};
    return with_store<Access::Shared>(self, [&](System& store) {
        const Arguments a(signature, args, nargs, kwnames);
        const double tol = a.real_or(0, 1e-8);
        if (!(tol >= 0.0 && tol < 1.0)) {
            raise(PyExc_ValueError, "analyze_constraints() argument 'tol' must be in [0, 1)");
        }
        // The System stays on this thread and is borrowed, so other threads may run meanwhile.
        ConstraintAnalysis analysis =
            without_gil_interruptible([&](const InterruptPoll& interrupted) {
                return ovralis::analyze_constraints(store, tol, interrupted);
            });
        return wrap_constraint_analysis(std::move(analysis));
    });
}

PyObject* verify_solution(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                          PyObject* kwnames) {
    static constexpr Signature signature{"verify_solution", {"tolerance"}, 0};
    return with_store<Access::Shared>(self, [&](System& store) {
        const Arguments a(signature, args, nargs, kwnames);
        const double tolerance = a.real_or(0, 1e-6);
        return verification_dict(without_gil_interruptible(
            [&](const InterruptPoll& interrupted) { return ovralis::verify(store, tolerance, interrupted); }));
    });
}

PyObject* to_json(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    static constexpr Signature signature{"to_json"};
    return with_store<Access::Shared>(self, [&](System& store) {
        const Arguments a(signature, args, nargs, kwnames);
        return new_str(without_gil([&] { return ovralis::to_json(store); }));
    });
}

PyObject* from_json(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    static constexpr Signature signature{"from_json", {"json"}, 1};
    return guarded([&] {
        const Arguments a(signature, args, nargs, kwnames);
        PyObject* json = a.object(0);
        if (!PyUnicode_Check(json)) raise_wrong_type(a.name_of(0), "str", json);
        Py_ssize_t length = 0;
        const char* text = PyUnicode_AsUTF8AndSize(json, &length);
        if (text == nullptr) throw PythonError{};
        const std::string_view document(text, static_cast<std::size_t>(length));
        return wrap_system(without_gil([&] { return ovralis::from_json(document); })).release();
    });
}

// ---- the class ----

constexpr int kMethodFlags = METH_FASTCALL | METH_KEYWORDS;

PyMethodDef method(const char* name, FastFunction function, const char* doc, int extra_flags = 0) {
    return PyMethodDef{name, as_py_cfunction(function), kMethodFlags | extra_flags, doc};
}

template <std::size_t... Rows>
void append_constraint_methods(std::vector<PyMethodDef>& methods, std::index_sequence<Rows...>) {
    // The docstrings must outlive the class, that is the process.
    constexpr const auto& rows = kConstraintConstructors;
    static const std::array<std::string, sizeof...(Rows)> docs{
        (constraint_signature_line(rows[Rows].kind, rows[Rows].method, true) + "\n--\n\n" +
         rows[Rows].method_doc)...};
    (methods.push_back(method(rows[Rows].method, add_kind_constraint<Rows>, docs[Rows].c_str())),
     ...);
}

std::vector<PyMethodDef>& system_methods() {
    static std::vector<PyMethodDef> methods = [] {
        std::vector<PyMethodDef> m;
        m.push_back(
            method("add_point", add_point,
                   "add_point($self, x, y, fixed=False)\n--\n\nAdd a point. Returns its index."));
        m.push_back(method("add_line", add_line,
                           "add_line($self, p1, p2)\n--\n\n"
                           "Add a line connecting two points. Returns its index."));
        m.push_back(method("add_circle", add_circle,
                           "add_circle($self, center, radius=0.0, fixed=False)\n--\n\n"
                           "Add a circle. Returns its index."));
        m.push_back(method("add_arc", add_arc,
                           "add_arc($self, center, start, end, radius=0.0, fixed=False)\n--\n\n"
                           "Add an arc. Returns its index."));
        append_constraint_methods(m, std::make_index_sequence<kConstraintMethodCount>{});
        m.push_back(method("add_constraint", add_constraint,
                           "add_constraint($self, c)\n--\n\nAdd a generic constraint object."));
        m.push_back(method("get_point", get_one<kGetPoint, ovralis::get_point, point_tuple>,
                           "get_point($self, idx)\n--\n\nGet point coordinates as (x, y) tuple."));
        m.push_back(
            method("get_points", get_all<kGetPoints, &System::points, point_tuple>,
                   "get_points($self)\n--\n\nGet all point coordinates as list of (x, y) tuples."));
        m.push_back(
            method("get_circle", get_one<kGetCircle, ovralis::get_circle, circle_tuple>,
                   "get_circle($self, idx)\n--\n\nGet circle info as (center_idx, radius) tuple."));
        m.push_back(method("get_circles", get_all<kGetCircles, &System::circles, circle_tuple>,
                           "get_circles($self)\n--\n\n"
                           "Get all circle info as list of (center_idx, radius) tuples."));
        m.push_back(method("get_arc", get_one<kGetArc, ovralis::get_arc, arc_tuple>,
                           "get_arc($self, idx)\n--\n\n"
                           "Get arc info as (center_idx, start_idx, end_idx, radius) tuple."));
        m.push_back(method("get_arcs", get_all<kGetArcs, &System::arcs, arc_tuple>,
                           "get_arcs($self)\n--\n\nGet all arc info."));
        m.push_back(method("get_line", get_one<kGetLine, ovralis::get_line, line_tuple>,
                           "get_line($self, idx)\n--\n\nGet line info as (p1_idx, p2_idx) tuple."));
        m.push_back(method("get_lines", get_all<kGetLines, &System::lines, line_tuple>,
                           "get_lines($self)\n--\n\nGet all line info."));
        m.push_back(method("num_points", count<kNumPoints, &System::points>,
                           "num_points($self)\n--\n\nNumber of points."));
        m.push_back(method("num_lines", count<kNumLines, &System::lines>,
                           "num_lines($self)\n--\n\nNumber of lines."));
        m.push_back(method("num_circles", count<kNumCircles, &System::circles>,
                           "num_circles($self)\n--\n\nNumber of circles."));
        m.push_back(method("num_arcs", count<kNumArcs, &System::arcs>,
                           "num_arcs($self)\n--\n\nNumber of arcs."));
        m.push_back(method("num_constraints", count<kNumConstraints, &System::constraints>,
                           "num_constraints($self)\n--\n\nNumber of constraints."));
        m.push_back(method("remove_point", remove_one<kRemovePoint, ovralis::remove_point>,
                           "remove_point($self, idx)\n--\n\n"
                           "Remove a point and all constraints referencing it."));
        m.push_back(method("remove_line", remove_one<kRemoveLine, ovralis::remove_line>,
                           "remove_line($self, idx)\n--\n\n"
                           "Remove a line and all constraints referencing it."));
        m.push_back(method("remove_circle", remove_one<kRemoveCircle, ovralis::remove_circle>,
                           "remove_circle($self, idx)\n--\n\n"
                           "Remove a circle and all constraints referencing it."));
        m.push_back(method("remove_arc", remove_one<kRemoveArc, ovralis::remove_arc>,
                           "remove_arc($self, idx)\n--\n\n"
                           "Remove an arc and all constraints referencing it."));
        m.push_back(method("remove_constraint", remove_constraint,
                           "remove_constraint($self, idx)\n--\n\n"
                           "Remove constraint at index. Returns the removed constraint."));
        m.push_back(method("clear_constraints", clear_constraints,
                           "clear_constraints($self)\n--\n\nClear all constraints."));
        m.push_back(method("solve", solve,
                           "solve($self, max_iter=200, tol=1e-8)\n--\n\n"
                           "Solve the constraint system using Levenberg-Marquardt.\n\n"
                           "Args:\n    max_iter: Maximum iterations (default 200)\n"
                           "    tol: Convergence tolerance (default 1e-8)\n\n"
                           "Returns: SolveResult with convergence info."));
        m.push_back(method("analyze_dof", analyze_dof,
                           "analyze_dof($self)\n--\n\nAnalyze degrees of freedom."));
        m.push_back(
            method("diagnostics", diagnostics,
                   "diagnostics($self, include_residuals=True)\n--\n\nGet full diagnostics."));
        m.push_back(
            method("verify_solution", verify_solution,
                   "verify_solution($self, tolerance=1e-6)\n--\n\n"
                   "Verify the solution after solving (P5.2).\n\n"
                   "Checks residuals, geometry validity, constraint-specific sanity,\n"
                   "and fixed-point integrity. Returns a dict with the verification result.\n\n"
                   "Args:\n    tolerance: Maximum allowed residual (default 1e-6)"));
        m.push_back(method("solve_and_verify", solve_and_verify,
                           "solve_and_verify($self, max_iter=200, tol=1e-8)\n--\n\n"
                           "Solve and then verify the solution in one call (P5.2).\n\n"
                           "Args:\n    max_iter: Maximum iterations (default 200)\n"
                           "    tol: Convergence tolerance (default 1e-8)\n\n"
                           "Returns: (SolveResult, verification_dict)"));
        m.push_back(
            method("to_json", to_json, "to_json($self)\n--\n\nSerialize the system to JSON."));
        m.push_back(method("from_json", from_json,
                           "from_json(json)\n--\n\nDeserialize a system from JSON.", METH_STATIC));
        m.push_back(method("set_point", set_point,
                           "set_point($self, idx, x, y, fixed=None)\n--\n\n"
                           "Move a point; fixed=None keeps its fixed flag."));
        m.push_back(method("set_circle", set_radius_and_flag<kSetCircle, ovralis::set_circle>,
                           "set_circle($self, idx, radius=None, fixed=None)\n--\n\n"
                           "Change a circle's radius or fixed flag; None keeps a value."));
        m.push_back(method("set_arc", set_radius_and_flag<kSetArc, ovralis::set_arc>,
                           "set_arc($self, idx, radius=None, fixed=None)\n--\n\n"
                           "Change an arc's radius or fixed flag; None keeps a value."));
        m.push_back(method("get_constraint", get_constraint,
                           "get_constraint($self, idx)\n--\n\nA copy of the constraint at index."));
        m.push_back(method("set_constraint", set_constraint,
                           "set_constraint($self, idx, c)\n--\n\n"
                           "Replace the constraint at index by c, keeping every index."));
        m.push_back(method("copy", copy_system<kCopy>,
                           "copy($self)\n--\n\nAn independent System equal to this one in every "
                           "value and setting."));
        m.push_back(
            method("__copy__", copy_system<kDunderCopy>, "__copy__($self)\n--\n\nSame as copy()."));
        m.push_back(method("__deepcopy__", copy_system<kDeepCopy>,
                           "__deepcopy__($self, memo)\n--\n\nSame as copy()."));
        m.push_back(PyMethodDef{
            "__reduce__", reduce_system, METH_NOARGS,
            "__reduce__($self)\n--\n\nPickling support: the whole store, exact to the bit."});
        m.push_back(PyMethodDef{"_from_state", system_from_state_method, METH_O | METH_CLASS,
                                "_from_state($type, state, /)\n--\n\n"
                                "Rebuilds a System from the state its __reduce__ gave."});
        m.push_back(method("to_svg", to_svg, kToSvgDoc));
        m.push_back(method("_solve_cancellable", solve_cancellable, kSolveCancellableDoc));
        m.push_back(method("_repr_svg_", repr_svg,
                           "_repr_svg_($self)\n--\n\nThe sketch as SVG, for Jupyter."));
        m.push_back(method("drag", drag,
                           "drag($self, point, x, y, max_iter=200, tol=1e-8)\n--\n\n"
                           "Move a point as close to (x, y) as the constraints allow.\n\n"
                           "Every other free value moves as little as possible, as a dragged\n"
                           "point behaves in an interactive editor. When the constraints cannot\n"
                           "be satisfied, the sketch is left exactly as it was and the result\n"
                           "says not converged.\n\n"
                           "The sketch follows the point along a continuous path, so it never\n"
                           "jumps to another solution (a mirrored triangle) on the way. A target\n"
                           "out of reach ends at the closest point the constraints allow.\n"
                           "A target that is not finite raises ValueError.\n\n"
                           "Returns: SolveResult with convergence info."));
        m.push_back(method("analyze_constraints", analyze_constraints,
                           "analyze_constraints($self, tol=1e-8)\n--\n\n"
                           "Find redundant and conflicting constraints and what can still move.\n\n"
                           "A numerical rank analysis of every constraint equation, at the current\n"
                           "values when every constraint holds, else where a solve of a copy ends;\n"
                           "a conflict is judged by solving copies, before or after a solve.\n\n"
                           "Args:\n    tol: Rank tolerance on unit-scaled Jacobian rows, and the\n"
                           "        tolerance within which a redundant constraint holds, read as\n"
                           "        solve reads it: a length relative to the sketch's mean point\n"
                           "        spacing, or an angle in radians (default 1e-8)\n\n"
                           "Returns: ConstraintAnalysis."));
        append_follow_methods(m);
        m.push_back(method("measure", measure, kMeasureDoc));
        m.push_back(method("repairs", repairs, kRepairsDoc));
        append_design_intent_methods(m);
        append_drawing_methods(m);
        m.push_back(PyMethodDef{nullptr, nullptr, 0, nullptr});
        return m;
    }();
    return methods;
}

}  // namespace

PyObject* with_shared_store(PyObject* self, const std::function<Ref(const System&)>& body) {
    return with_store<Access::Shared>(self, [&](System& store) { return body(store); });
}

PyObject* with_exclusive_store(PyObject* self, const std::function<Ref(System&)>& body) {
    return with_store<Access::Exclusive>(self, [&](System& store) { return body(store); });
}

Ref wrap_new_system(System&& store) { return wrap_system(std::move(store)); }

PyTypeObject* create_system_type() {
    static PyType_Slot slots[] = {
        {Py_tp_doc,
         const_cast<char*>("System()\n--\n\n"
                           "A 2D geometry constraint system.\n\n"
                           "Create points, lines, circles, arcs, add constraints, and solve.\n\n"
                           "Example:\n"
                           "    sys = ovralis.System()\n"
                           "    p0 = sys.add_point(0, 0, fixed=True)\n"
                           "    p1 = sys.add_point(3, 0)\n"
                           "    sys.add_distance_constraint(p0, p1, 5.0)\n"
                           "    result = sys.solve()\n"
                           "    print(result.converged, sys.get_point(p1))")},
        {Py_tp_new, reinterpret_cast<void*>(system_new)},
        {Py_tp_dealloc, reinterpret_cast<void*>(system_dealloc)},
        {Py_tp_repr, reinterpret_cast<void*>(system_repr)},
        {Py_tp_methods, system_methods().data()},
        {0, nullptr},
    };
    static PyType_Spec spec{"ovralis.System", sizeof(SystemObject), 0, Py_TPFLAGS_DEFAULT, slots};
    g_system_type = create_type(spec);
    return g_system_type;
}

}  // namespace ovralis::py
