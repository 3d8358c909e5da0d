// System.to_svg and System._repr_svg_: argument conversion around the core's SVG writer.

#include "lib/render_methods.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "lib/arguments.hpp"
#include "lib/call_guard.hpp"
#include "lib/system_class.hpp"
#include "lib/without_gil.hpp"
#include "render/svg_writer.hpp"

namespace ovralis::py {
namespace {

constexpr Signature kToSvg{"to_svg", {"width", "height", "margin", "labels", "analysis", "bounds"}, 0};

// The indices in `sequence`, any iterable of ints. They are read from a tuple
// of their own: an element's __index__ may change the caller's list, and the
// tuple keeps every element alive and in place meanwhile.
std::vector<Index> indices_in(PyObject* sequence, const char* message, const ValueName& name) {
    const Ref items = Ref::steal(PySequence_Fast(sequence, message));
    const Ref snapshot = Ref::steal(PySequence_Tuple(items.get()));
    std::vector<Index> out;
    for (Py_ssize_t i = 0; i < PyTuple_GET_SIZE(snapshot.get()); ++i)
        out.push_back(to_index(PyTuple_GET_ITEM(snapshot.get(), i), name));
    return out;
}

// The indices of one attribute of the analysis object.
std::vector<Index> indices_of(PyObject* object, const char* attribute) {
    const Ref value = Ref::steal(PyObject_GetAttrString(object, attribute));
    return indices_in(value.get(), "analysis attribute must be a sequence", {attribute, {}});
}

// Reads a ConstraintAnalysis, or any object with the same attributes, by name.
// Each conflicting constraint brings the members of its group.
SvgHighlights highlights_from(PyObject* analysis) {
    SvgHighlights h;
    h.free_points = indices_of(analysis, "free_points");
    h.free_circles = indices_of(analysis, "free_circles");
    h.free_arcs = indices_of(analysis, "free_arcs");
    h.conflicting = indices_of(analysis, "conflicting");
    const Ref groups = Ref::steal(PyObject_GetAttrString(analysis, "groups"));
    for (const Index k : h.conflicting) {
        const Ref key = new_int(k);
        PyObject* members = PyObject_GetItem(groups.get(), key.get());
        if (members == nullptr) {
            if (!PyErr_ExceptionMatches(PyExc_KeyError)) throw PythonError{};
            PyErr_Clear();
            continue;
        }
        const Ref owned = Ref::steal(members);
        const std::vector<Index> group =
            indices_in(owned.get(), "analysis groups must hold sequences", {"groups", {}});
        h.conflict_group.insert(h.conflict_group.end(), group.begin(), group.end());
    }
    return h;
}

double positive_size(const Arguments& a, std::size_t position, double fallback) {
    const double value = a.real_or(position, fallback);
    if (!std::isfinite(value) || value < 0.0) {
        raise(PyExc_ValueError,
              a.name_of(position).text() + " must be a finite non-negative number");
    }
    return value;
}

// The sketch box to show: four finite numbers, each maximum above its minimum.
std::array<double, 4> box_from(PyObject* object) {
    const Ref items = Ref::steal(
        PySequence_Fast(object, "to_svg() bounds must be a sequence (min_x, min_y, max_x, max_y)"));
    if (PySequence_Fast_GET_SIZE(items.get()) != 4) {
        raise(PyExc_ValueError, "to_svg() bounds must hold four numbers (min_x, min_y, max_x, max_y)");
    }
    std::array<double, 4> box{};
    for (std::size_t i = 0; i < box.size(); ++i) {
        box[i] = to_real(PySequence_Fast_GET_ITEM(items.get(), i), ValueName{"bounds", {}});
    }
    const bool finite = std::all_of(box.begin(), box.end(), [](double v) { return std::isfinite(v); });
    if (!finite || !(box[2] > box[0]) || !(box[3] > box[1])) {
        raise(PyExc_ValueError, "to_svg() bounds must be finite with each maximum above its minimum");
    }
    return box;
}

SvgOptions options_from(const Arguments& a) {
    SvgOptions options;
    options.width = positive_size(a, 0, options.width);
    if (a.present(1) && a.object(1) != Py_None) options.height = positive_size(a, 1, 0.0);
    options.margin = positive_size(a, 2, options.margin);
    options.labels = a.flag_or(3, options.labels);
    if (a.present(5) && a.object(5) != Py_None) options.bounds = box_from(a.object(5));
    const double least = 2.0 * options.margin;
    if (options.width <= least || (options.height && *options.height <= least)) {
        raise(PyExc_ValueError, "to_svg() width and height must exceed twice the margin");
    }
    return options;
}

// The drawing, made with the interpreter lock released and open to Ctrl-C.
std::string drawn(const System& store, const SvgOptions& options,
                  const SvgHighlights& highlights) {
    return without_gil_interruptible([&](const InterruptPoll& interrupted) {
        return ovralis::to_svg(store, options, highlights, interrupted);
    });
}

}  // namespace

const char* const kToSvgDoc =
    "to_svg($self, *, width=400.0, height=None, margin=24.0, labels=True, analysis=None, "
    "bounds=None)\n--\n\n"
    "Draw the sketch as an SVG document (str), y axis up, fitted inside the margin.\n\n"
    "Args:\n"
    "    width: Picture width in pixels (default 400)\n"
    "    height: Picture height in pixels; None follows the drawing's proportions\n"
    "    margin: Free border in pixels (default 24)\n"
    "    labels: Draw dimensions and constraint glyphs (default True)\n"
    "    analysis: A ConstraintAnalysis (or any object with its attributes); its free\n"
    "        entities are drawn orange, conflicting constraints red, their groups purple\n"
    "    bounds: The sketch box (min_x, min_y, max_x, max_y) to show instead of the\n"
    "        drawing's own, as a live view does when it pans and zooms";

PyObject* to_svg(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    if (nargs > 0) {
        PyErr_Format(PyExc_TypeError, "to_svg() takes no positional arguments (%zd given)", nargs);
        return nullptr;
    }
    return with_shared_store(self, [&](const System& store) {
        const Arguments a(kToSvg, args, 0, kwnames);
        const SvgOptions options = options_from(a);
        const SvgHighlights highlights =
            a.present(4) && a.object(4) != Py_None ? highlights_from(a.object(4)) : SvgHighlights{};
        return new_str(drawn(store, options, highlights));
    });
}

PyObject* repr_svg(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    static constexpr Signature signature{"_repr_svg_"};
    return with_shared_store(self, [&](const System& store) {
        const Arguments a(signature, args, nargs, kwnames);
        return new_str(drawn(store, SvgOptions{}, SvgHighlights{}));
    });
}

}  // namespace ovralis::py
