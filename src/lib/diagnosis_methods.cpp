// System.measure and System.repairs: argument conversion around the core's
// dimension measures and repairs.

#include "lib/diagnosis_methods.hpp"

#include <string>
#include <vector>

#include "lib/arguments.hpp"
#include "lib/constraint_class.hpp"
#include "lib/repair_class.hpp"
#include "lib/system_class.hpp"
#include "lib/without_gil.hpp"
#include "residual/dimension_measure.hpp"
#include "system/store.hpp"
#include "validation/repairs.hpp"

namespace ovralis::py {
namespace {

constexpr Signature kMeasure{"measure", {"c"}, 1};
constexpr Signature kRepairs{"repairs", {"limit"}, 0};

// What System.solve uses by default: a repair must make that solve converge.
constexpr std::uint64_t kSolveMaxIter = 200;
constexpr double kSolveTol = 1e-8;
constexpr Index kDefaultLimit = 5;

// An index into the constraint list, or a Constraint that need not be in it.
Constraint constraint_argument(const System& store, const Arguments& a) {
    PyObject* c = a.object(0);
    if (PyIndex_Check(c)) return ovralis::get_constraint(store, a.index(0));
    return constraint_in(c, a.name_of(0));
}

}  // namespace

const char* const kMeasureDoc =
    "measure($self, c)\n--\n\n"
    "The value the dimension of constraint c has in the current geometry.\n\n"
    "The value that would make c hold where the entities are now: the d of a\n"
    "distance, the deg of an angle (in [0, 180], or the arc's counter-clockwise\n"
    "sweep in [0, 360)), the r of a radius, the len of an arc length, the t of a\n"
    "point's foot on a line; NaN where the geometry has none (an angle at a line\n"
    "without length). The store is unchanged.\n\n"
    "Args:\n"
    "    c: A constraint index, or a Constraint that need not be in the sketch\n\n"
    "Raises:\n"
    "    ValueError: For a kind without a dimension, or an index that names nothing";

const char* const kRepairsDoc =
    "repairs($self, limit=5)\n--\n\n"
    "Ways to make a sketch that does not solve solvable, the least movement first.\n\n"
    "Each Repair removes one constraint, or changes one dimension to the value it\n"
    "measures once the rest of the sketch is solved without it, and is kept only\n"
    "when the sketch with it applied solves from the current values (checked on a\n"
    "copy). The candidates are the conflicting constraints of analyze_constraints()\n"
    "and their groups. The store is unchanged.\n\n"
    "Args:\n"
    "    limit: The most repairs returned (default 5)\n\n"
    "Returns: list of Repair; empty when the sketch already solves.";

PyObject* measure(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return with_shared_store(self, [&](const System& store) {
        const Arguments a(kMeasure, args, nargs, kwnames);
        const Constraint c = constraint_argument(store, a);
        if (!has_dimension(c.kind)) {
            raise(PyExc_ValueError, "measure() argument 'c': a " + std::string(kind_name(c)) +
                                        " constraint has no dimension");
        }
        return new_float(measure_dimension(store, c));
    });
}

PyObject* repairs(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return with_shared_store(self, [&](const System& store) {
        const Arguments a(kRepairs, args, nargs, kwnames);
        const Index limit = a.present(0) ? a.index(0) : kDefaultLimit;
        const std::vector<Repair> found = without_gil(
            [&] { return find_repairs(store, limit, kSolveMaxIter, kSolveTol); });
        Ref list = Ref::steal(PyList_New(0));
        for (const Repair& repair : found) {
            const Ref item = wrap_repair(repair);
            if (PyList_Append(list.get(), item.get()) < 0) throw PythonError{};
        }
        return list;
    });
}

}  // namespace ovralis::py
