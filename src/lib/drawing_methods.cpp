#include "lib/drawing_methods.hpp"

#include <string>

#include "inference/autodimension.hpp"
#include "inference/infer_constraints.hpp"
#include "lib/arguments.hpp"
#include "lib/call_guard.hpp"
#include "lib/system_class.hpp"
#include "lib/type_helpers.hpp"
#include "lib/without_gil.hpp"
#include "system/references.hpp"
#include "system/store.hpp"

namespace ovralis::py {
namespace {

constexpr Signature kInferConstraints{"infer_constraints", {"tol", "kinds"}, 0};

inference::RelationSet relations_from(PyObject* kinds) {
    if (kinds == nullptr || kinds == Py_None) return inference::every_relation();
    const Ref items = Ref::steal(PySequence_Fast(kinds, "infer_constraints() argument 'kinds' must be an iterable of str"));
    inference::RelationSet wanted{};
    for (Py_ssize_t i = 0; i < PySequence_Fast_GET_SIZE(items.get()); ++i) {
        PyObject* item = PySequence_Fast_GET_ITEM(items.get(), i);
        if (!PyUnicode_Check(item)) raise_wrong_type({"infer_constraints", "kinds"}, "an iterable of str", item);
        const char* text = PyUnicode_AsUTF8(item);
        if (text == nullptr) throw PythonError{};
        const auto relation = inference::relation_from_name(text);
        if (!relation) {
            std::string known;
            for (std::size_t k = 0; k < inference::kRelationCount; ++k) {
                known += (k ? ", " : "") + std::string(inference::relation_name(static_cast<inference::Relation>(k)));
            }
            raise(PyExc_ValueError, "infer_constraints() got an unknown kind '" + std::string(text) + "'; known kinds: " + known);
        }
        wanted[static_cast<std::size_t>(*relation)] = true;
    }
    return wanted;
}

PyObject* infer_constraints(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return with_exclusive_store(self, [&](System& store) {
        const Arguments a(kInferConstraints, args, nargs, kwnames);
        inference::InferenceOptions options;
        options.tol = a.real_or(0, options.tol);
        if (!(options.tol >= 0.0) || !std::isfinite(options.tol)) {
            raise(PyExc_ValueError, "infer_constraints() tol must be a finite non-negative number");
        }
        options.relations = relations_from(a.present(1) ? a.object(1) : nullptr);
        validate_references(store);
        const std::vector<Index> added = without_gil([&] { return inference::infer_constraints(store, options); });
        return new_list(added, [](Index i) { return new_int(i); });
    });
}

constexpr Signature kAutodimension{"autodimension", {"datum"}, 0};

PyObject* autodimension(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return with_exclusive_store(self, [&](System& store) {
        const Arguments a(kAutodimension, args, nargs, kwnames);
        std::optional<Index> datum;
        if (a.present(0) && a.object(0) != Py_None) {
            datum = a.index(0);
            get_point(store, *datum);  // an index error names the point
        }
        validate_references(store);
        if (!datum) datum = inference::lowest_left_point(store);
        if (!datum) return new_list(std::vector<Index>{}, [](Index i) { return new_int(i); });
        const std::vector<Index> added = without_gil([&] { return inference::autodimension(store, *datum); });
        return new_list(added, [](Index i) { return new_int(i); });
    });
}

// to_dxf is written in Python (ezdxf is an optional dependency): the method
// hands its arguments to ovralis._dxf.write_dxf.
PyObject* to_dxf(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        const Ref module = Ref::steal(PyImport_ImportModule("ovralis._dxf"));
        const Ref writer = Ref::steal(PyObject_GetAttrString(module.get(), "write_dxf"));
        std::vector<PyObject*> call(static_cast<std::size_t>(PyVectorcall_NARGS(nargs)) + 1 +
                                    (kwnames ? static_cast<std::size_t>(PyTuple_GET_SIZE(kwnames)) : 0));
        call[0] = self;
        for (std::size_t i = 1; i < call.size(); ++i) call[i] = args[i - 1];
        PyObject* result = PyObject_Vectorcall(writer.get(), call.data(),
                                               static_cast<std::size_t>(PyVectorcall_NARGS(nargs)) + 1, kwnames);
        if (result == nullptr) throw PythonError{};
        return result;
    });
}

constexpr int kFlags = METH_FASTCALL | METH_KEYWORDS;

}  // namespace

void append_drawing_methods(std::vector<PyMethodDef>& methods) {
    methods.push_back(PyMethodDef{
        "infer_constraints", as_py_cfunction(infer_constraints), kFlags,
        "infer_constraints($self, tol=1e-6, kinds=None)\n--\n\n"
        "Add the relations that hold in the drawing; returns the added indices.\n\n"
        "Looks for coincident and concentric points, horizontal, vertical,\n"
        "parallel and perpendicular lines, tangencies, points on lines, circles\n"
        "and arcs, midpoints, symmetric points, equal lengths and equal radii.\n"
        "A relation is added only when it holds within tol (lengths relative to\n"
        "the drawing's size, the diagonal of its bounding box; angles in\n"
        "radians) and is not implied by the constraints already there, judged\n"
        "by rank, so the sketch never becomes redundant. The result does not\n"
        "depend on the order of the entities.\n\n"
        "Args:\n    tol: The tolerance (default 1e-6)\n"
        "    kinds: The relation names to look for (default all): 'concentric',\n"
        "        'coincident', 'point_on_arc', 'midpoint', 'symmetric', 'horizontal',\n"
        "        'vertical', 'tangent', 'parallel', 'perpendicular', 'point_on_line',\n"
        "        'point_on_circle', 'equal_length', 'equal_radius'\n\n"
        "Returns: list of the added constraints' indices, ascending."});
    methods.push_back(PyMethodDef{
        "autodimension", as_py_cfunction(autodimension), kFlags,
        "autodimension($self, datum=None)\n--\n\n"
        "Add dimensions until nothing is left free; returns the added indices.\n\n"
        "Values are measured from the current geometry. In a draughtsman's order:\n"
        "the datum point fixed where it is (default: the point nearest the\n"
        "lower-left corner of the drawing), a second datum (the farthest point)\n"
        "when the sketch could still turn about the first, radii, line lengths,\n"
        "angles between lines that meet and are not parallel, then each point's\n"
        "distance from the datum. A dimension is added only when it is not\n"
        "implied by the constraints before it (judged by rank), so none is\n"
        "redundant.\n\n"
        "Args:\n    datum: The index of the datum point (default: the lowest-left one)\n\n"
        "Returns: list of the added constraints' indices, ascending."});
    methods.push_back(PyMethodDef{
        "to_dxf", as_py_cfunction(to_dxf), kFlags,
        "to_dxf($self, target, *, dimensions=True)\n--\n\n"
        "Write the sketch as a DXF drawing (needs ezdxf: pip install ovralis[dxf]).\n\n"
        "Points, lines, circles, arcs, ellipses and arcs of ellipse become DXF\n"
        "entities; with dimensions, the dimensional constraints become DIMENSION\n"
        "entities placed beside the geometry.\n\n"
        "Args:\n    target: A path or a text stream\n"
        "    dimensions: Write DIMENSION entities (default True)"});
}

}  // namespace ovralis::py
