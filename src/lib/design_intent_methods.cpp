// System's methods of design intent: argument conversion around the core's
// design-intent edits (src/system/design_intent_edits.*).

#include "lib/design_intent_methods.hpp"

#include <string>
#include <string_view>

#include "lib/arguments.hpp"
#include "lib/call_guard.hpp"
#include "lib/system_class.hpp"
#include "lib/type_helpers.hpp"
#include "system/design_intent_edits.hpp"

namespace ovralis::py {
namespace {

std::string_view text_argument(const Arguments& a, std::size_t position) {
    PyObject* value = a.object(position);
    if (!PyUnicode_Check(value)) raise_wrong_type(a.name_of(position), "str", value);
    Py_ssize_t length = 0;
    const char* text = PyUnicode_AsUTF8AndSize(value, &length);
    if (text == nullptr) throw PythonError{};
    return {text, static_cast<std::size_t>(length)};
}

Ref variable_tuple(const DesignVariable& v) {
    return new_tuple(new_float(v.value), new_bool(v.fixed));
}

template <const Signature& signature, typename Body>
PyObject* exclusive(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                    Body&& body) {
    return with_exclusive_store(self, [&](System& store) {
        const Arguments a(signature, args, nargs, kwnames);
        return body(a, store);
    });
}

template <const Signature& signature, typename Body>
PyObject* shared(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                 Body&& body) {
    return with_shared_store(self, [&](const System& store) {
        const Arguments a(signature, args, nargs, kwnames);
        return body(a, store);
    });
}

constexpr Signature kAddVariable{"add_variable", {"name", "value", "fixed"}, 2};
constexpr Signature kGetVariable{"get_variable", {"name"}, 1};
constexpr Signature kSetVariable{"set_variable", {"name", "value", "fixed"}, 1};
constexpr Signature kRemoveVariable{"remove_variable", {"name"}, 1};
constexpr Signature kVariables{"variables"};
constexpr Signature kBind{"bind", {"constraint", "field", "expression"}, 3};
constexpr Signature kUnbind{"unbind", {"constraint", "field"}, 2};
constexpr Signature kBindings{"bindings"};
constexpr Signature kAddEquation{"add_equation", {"text"}, 1};
constexpr Signature kRemoveEquation{"remove_equation", {"idx"}, 1};
constexpr Signature kEquations{"equations"};

PyObject* add_variable(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kw) {
    return exclusive<kAddVariable>(self, args, nargs, kw, [](const Arguments& a, System& store) {
        const std::string name(text_argument(a, 0));
        const double value = a.real(1);
        const bool fixed = a.flag_or(2, true);
        ovralis::add_variable(store, name, value, fixed);
        return none();
    });
}

PyObject* get_variable(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kw) {
    return shared<kGetVariable>(self, args, nargs, kw, [](const Arguments& a, const System& store) {
        return variable_tuple(ovralis::get_variable(store, text_argument(a, 0)));
    });
}

PyObject* set_variable(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kw) {
    return exclusive<kSetVariable>(self, args, nargs, kw, [](const Arguments& a, System& store) {
        const std::string name(text_argument(a, 0));
        const std::optional<double> value = a.real_or_none(1);
        const std::optional<bool> fixed = a.flag_or_none(2);
        ovralis::set_variable(store, name, value, fixed);
        return none();
    });
}

PyObject* remove_variable(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kw) {
    return exclusive<kRemoveVariable>(self, args, nargs, kw, [](const Arguments& a, System& store) {
        ovralis::remove_variable(store, text_argument(a, 0));
        return none();
    });
}

PyObject* variables(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kw) {
    return shared<kVariables>(self, args, nargs, kw, [](const Arguments&, const System& store) {
        Ref dict = Ref::steal(PyDict_New());
        for (const DesignVariable& v : store.design_variables) {
            check(PyDict_SetItem(dict.get(), new_str(v.name).get(), variable_tuple(v).get()));
        }
        return dict;
    });
}

PyObject* bind(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kw) {
    return exclusive<kBind>(self, args, nargs, kw, [](const Arguments& a, System& store) {
        const Index constraint = a.index(0);
        const std::string field(text_argument(a, 1));
        const std::string expression(text_argument(a, 2));
        ovralis::bind(store, constraint, field, expression);
        return none();
    });
}

PyObject* unbind(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kw) {
    return exclusive<kUnbind>(self, args, nargs, kw, [](const Arguments& a, System& store) {
        const Index constraint = a.index(0);
        const std::string field(text_argument(a, 1));
        ovralis::unbind(store, constraint, field);
        return none();
    });
}

PyObject* bindings(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kw) {
    return shared<kBindings>(self, args, nargs, kw, [](const Arguments&, const System& store) {
        Ref list = Ref::steal(PyList_New(0));
        for (const Binding& b : store.bindings) {
            const Ref item = new_tuple(new_int(b.constraint),
                                       new_str(bound_field_name(store, b)), new_str(b.text));
            check(PyList_Append(list.get(), item.get()));
        }
        return list;
    });
}

PyObject* add_equation(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kw) {
    return exclusive<kAddEquation>(self, args, nargs, kw, [](const Arguments& a, System& store) {
        return new_int(ovralis::add_equation(store, text_argument(a, 0)));
    });
}

PyObject* remove_equation(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kw) {
    return exclusive<kRemoveEquation>(self, args, nargs, kw, [](const Arguments& a, System& store) {
        return new_str(ovralis::remove_equation(store, a.index(0)).text);
    });
}

PyObject* equations(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kw) {
    return shared<kEquations>(self, args, nargs, kw, [](const Arguments&, const System& store) {
        Ref list = Ref::steal(PyList_New(0));
        for (const Equation& e : store.equations) check(PyList_Append(list.get(), new_str(e.text).get()));
        return list;
    });
}

PyMethodDef fast_method(const char* name, FastFunction function, const char* doc) {
    return PyMethodDef{name, as_py_cfunction(function), METH_FASTCALL | METH_KEYWORDS, doc};
}

}  // namespace

void append_design_intent_methods(std::vector<PyMethodDef>& m) {
    m.push_back(fast_method(
        "add_variable", add_variable,
        "add_variable($self, name, value, fixed=True)\n--\n\n"
        "Add a named variable for expressions and equations.\n\n"
        "A fixed variable is a parameter you drive; a free one is an unknown of\n"
        "the solve, counted in the degrees of freedom. Names are identifiers\n"
        "other than the language's function and measure names."));
    m.push_back(fast_method("get_variable", get_variable,
                            "get_variable($self, name)\n--\n\nThe variable's (value, fixed)."));
    m.push_back(fast_method("set_variable", set_variable,
                            "set_variable($self, name, value=None, fixed=None)\n--\n\n"
                            "Change a variable's value or fixed flag; None keeps a value.\n"
                            "Bound fields take their new values at once."));
    m.push_back(fast_method("remove_variable", remove_variable,
                            "remove_variable($self, name)\n--\n\n"
                            "Remove a variable that no binding or equation uses."));
    m.push_back(fast_method("variables", variables,
                            "variables($self)\n--\n\n"
                            "Every variable as {name: (value, fixed)}, in creation order."));
    m.push_back(fast_method(
        "bind", bind,
        "bind($self, constraint, field, expression)\n--\n\n"
        "Make a real field of a constraint (d, r, deg, x, y, len, t) follow an\n"
        "expression, e.g. bind(0, 'd', '2*w + 3'). The field takes the\n"
        "expression's value now and at every step of a solve. Binding a bound\n"
        "field again replaces its expression."));
    m.push_back(fast_method("unbind", unbind,
                            "unbind($self, constraint, field)\n--\n\n"
                            "Make a bound field a literal again, keeping its current value."));
    m.push_back(fast_method("bindings", bindings,
                            "bindings($self)\n--\n\n"
                            "Every binding as (constraint, field, expression), ordered by\n"
                            "constraint then field."));
    m.push_back(fast_method(
        "add_equation", add_equation,
        "add_equation($self, text)\n--\n\n"
        "Add an equation 'left = right' solved together with the geometry, e.g.\n"
        "'w = 2*h + 3' or 'length(0) = 2.5 * length(1)'. Returns its index."));
    m.push_back(fast_method("remove_equation", remove_equation,
                            "remove_equation($self, idx)\n--\n\n"
                            "Remove the equation at index; returns its text."));
    m.push_back(fast_method("equations", equations,
                            "equations($self)\n--\n\nEvery equation's text, in order."));
}

}  // namespace ovralis::py
