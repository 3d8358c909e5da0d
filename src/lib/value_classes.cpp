#include "lib/value_classes.hpp"

#include <cmath>

#include "lib/record_state.hpp"
#include "lib/type_helpers.hpp"
#include "system/number_text.hpp"

namespace ovralis::py {
namespace {

// ---- Point ----

constexpr Signature kPointSignature{"Point", {"x", "y", "fixed"}, 0};

PyObject* point_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return guarded([&] {
        const Arguments arguments(kPointSignature, args, kwargs);
        const Point point{arguments.real_or(0, 0.0), arguments.real_or(1, 0.0),
                          arguments.flag_or(2, false)};
        return wrap_value(type, point).release();
    });
}

std::string point_repr(PyObject* self) {
    const Point& p = value_of<Point>(self);
    return "Point(x=" + format_fixed(p.x, 6) + ", y=" + format_fixed(p.y, 6) +
           ", fixed=" + flag_text(p.fixed) + ")";
}

PyObject* point_distance(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                         PyObject* kwnames) {
    static constexpr Signature signature{"distance", {"other"}, 1};
    return guarded([&] {
        const Arguments arguments(signature, args, nargs, kwnames);
        PyObject* other = arguments.object(0);
        if (Py_TYPE(other) != Py_TYPE(self)) raise_wrong_type(arguments.name_of(0), "Point", other);
        const Point& a = value_of<Point>(self);
        const Point& b = value_of<Point>(other);
        return PyFloat_FromDouble(std::sqrt((b.x - a.x) * (b.x - a.x) + (b.y - a.y) * (b.y - a.y)));
    });
}

PyMethodDef point_methods[] = {
    {"distance", as_py_cfunction(point_distance), METH_FASTCALL | METH_KEYWORDS,
     "distance($self, other)\n--\n\nEuclidean distance to another point."},
    kReduceMethod<Point>,
    kFromStateMethod<Point>,
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef point_attributes[] = {
    {"x", get_real<Point, &Point::x>, set_real<Point, &Point::x>, nullptr,
     const_cast<char*>("Point.x")},
    {"y", get_real<Point, &Point::y>, set_real<Point, &Point::y>, nullptr,
     const_cast<char*>("Point.y")},
    {"fixed", get_flag<Point, &Point::fixed>, set_flag<Point, &Point::fixed>, nullptr,
     const_cast<char*>("Point.fixed")},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot point_slots[] = {
    {Py_tp_doc, const_cast<char*>("Point(x=0.0, y=0.0, fixed=False)\n--\n\n"
                                  "A 2D point with x, y coordinates and a fixed flag.")},
    {Py_tp_new, reinterpret_cast<void*>(point_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc_value_object)},
    {Py_tp_repr, reinterpret_cast<void*>(repr_of<point_repr>)},
    {Py_tp_methods, point_methods},
    {Py_tp_getset, point_attributes},
    {0, nullptr},
};

PyType_Spec point_spec{"ovralis.Point", sizeof(ValueObject<Point>), 0, Py_TPFLAGS_DEFAULT,
                       point_slots};

// ---- Line ----

constexpr Signature kLineSignature{"Line", {"p1", "p2"}, 2};

PyObject* line_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return guarded([&] {
        const Arguments arguments(kLineSignature, args, kwargs);
        return wrap_value(type, Line{arguments.index(0), arguments.index(1)}).release();
    });
}

std::string line_repr(PyObject* self) {
    const Line& l = value_of<Line>(self);
    return "Line(p1=" + std::to_string(l.p1) + ", p2=" + std::to_string(l.p2) + ")";
}

PyGetSetDef line_attributes[] = {
    {"p1", get_index<Line, &Line::p1>, nullptr, nullptr, nullptr},
    {"p2", get_index<Line, &Line::p2>, nullptr, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef line_methods[] = {
    kReduceMethod<Line>, kFromStateMethod<Line>, {nullptr, nullptr, 0, nullptr}};

PyType_Slot line_slots[] = {
    {Py_tp_doc, const_cast<char*>("Line(p1, p2)\n--\n\nA line defined by two point indices.")},
    {Py_tp_new, reinterpret_cast<void*>(line_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc_value_object)},
    {Py_tp_repr, reinterpret_cast<void*>(repr_of<line_repr>)},
    {Py_tp_methods, line_methods},
    {Py_tp_getset, line_attributes},
    {0, nullptr},
};

PyType_Spec line_spec{"ovralis.Line", sizeof(ValueObject<Line>), 0, Py_TPFLAGS_DEFAULT, line_slots};

// ---- Circle ----

constexpr Signature kCircleSignature{"Circle", {"center", "radius", "fixed"}, 1};

PyObject* circle_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return guarded([&] {
        const Arguments arguments(kCircleSignature, args, kwargs);
        const Circle circle{arguments.index(0), arguments.real_or(1, 0.0),
                            arguments.flag_or(2, false)};
        return wrap_value(type, circle).release();
    });
}

std::string circle_repr(PyObject* self) {
    const Circle& c = value_of<Circle>(self);
    return "Circle(center=" + std::to_string(c.center) + ", radius=" + format_fixed(c.radius, 6) +
           ", fixed=" + flag_text(c.fixed) + ")";
}

PyGetSetDef circle_attributes[] = {
    {"center", get_index<Circle, &Circle::center>, nullptr, nullptr, nullptr},
    {"radius", get_real<Circle, &Circle::radius>, set_real<Circle, &Circle::radius>, nullptr,
     const_cast<char*>("Circle.radius")},
    {"fixed", get_flag<Circle, &Circle::fixed>, nullptr, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef circle_methods[] = {
    kReduceMethod<Circle>, kFromStateMethod<Circle>, {nullptr, nullptr, 0, nullptr}};

PyType_Slot circle_slots[] = {
    {Py_tp_doc, const_cast<char*>("Circle(center, radius=0.0, fixed=False)\n--\n\n"
                                  "A circle with center point index, radius, and fixed flag.")},
    {Py_tp_new, reinterpret_cast<void*>(circle_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc_value_object)},
    {Py_tp_repr, reinterpret_cast<void*>(repr_of<circle_repr>)},
    {Py_tp_methods, circle_methods},
    {Py_tp_getset, circle_attributes},
    {0, nullptr},
};

PyType_Spec circle_spec{"ovralis.Circle", sizeof(ValueObject<Circle>), 0, Py_TPFLAGS_DEFAULT,
                        circle_slots};

// ---- Arc ----

constexpr Signature kArcSignature{"Arc", {"center", "start", "end", "radius", "fixed"}, 3};

PyObject* arc_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return guarded([&] {
        const Arguments arguments(kArcSignature, args, kwargs);
        const Arc arc{arguments.index(0), arguments.index(1), arguments.index(2),
                      arguments.real_or(3, 0.0), arguments.flag_or(4, false)};
        return wrap_value(type, arc).release();
    });
}

std::string arc_repr(PyObject* self) {
    const Arc& a = value_of<Arc>(self);
    return "Arc(center=" + std::to_string(a.center) + ", start=" + std::to_string(a.start) +
           ", end=" + std::to_string(a.end) + ", radius=" + format_fixed(a.radius, 6) +
           ", fixed=" + flag_text(a.fixed) + ")";
}

PyGetSetDef arc_attributes[] = {
    {"center", get_index<Arc, &Arc::center>, nullptr, nullptr, nullptr},
    {"start", get_index<Arc, &Arc::start>, nullptr, nullptr, nullptr},
    {"end", get_index<Arc, &Arc::end>, nullptr, nullptr, nullptr},
    {"radius", get_real<Arc, &Arc::radius>, set_real<Arc, &Arc::radius>, nullptr,
     const_cast<char*>("Arc.radius")},
    {"fixed", get_flag<Arc, &Arc::fixed>, nullptr, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef arc_methods[] = {
    kReduceMethod<Arc>, kFromStateMethod<Arc>, {nullptr, nullptr, 0, nullptr}};

PyType_Slot arc_slots[] = {
    {Py_tp_doc,
     const_cast<char*>("Arc(center, start, end, radius=0.0, fixed=False)\n--\n\n"
                       "An arc with center, start, end point indices, radius, and fixed flag.")},
    {Py_tp_new, reinterpret_cast<void*>(arc_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc_value_object)},
    {Py_tp_repr, reinterpret_cast<void*>(repr_of<arc_repr>)},
    {Py_tp_methods, arc_methods},
    {Py_tp_getset, arc_attributes},
    {0, nullptr},
};

PyType_Spec arc_spec{"ovralis.Arc", sizeof(ValueObject<Arc>), 0, Py_TPFLAGS_DEFAULT, arc_slots};

}  // namespace

PyTypeObject* create_point_type() { return create_type(point_spec); }
PyTypeObject* create_line_type() { return create_type(line_spec); }
PyTypeObject* create_circle_type() { return create_type(circle_spec); }
PyTypeObject* create_arc_type() { return create_type(arc_spec); }

}  // namespace ovralis::py
