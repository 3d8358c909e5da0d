#include "lib/package_attributes.hpp"

#include "lib/call_guard.hpp"

namespace ovralis::py {
namespace {

// A public name of the package implemented by one of its Python submodules.
struct LazyName {
    const char* name;
    const char* submodule;
    // Listed in __all__. The widget is not: `from ovralis import *` must work
    // without the optional notebook libraries it needs.
    bool exported;
};

// Importing these at start-up would make every `import ovralis` pay for
// concurrent.futures or a notebook's widget library; the submodule is loaded
// when its name is first read.
constexpr LazyName kLazyNames[] = {
    {"solve_documents", "ovralis._batch", true},
    {"from_dxf", "ovralis._dxf", true},
    {"SketchWidget", "ovralis._widget", false},
};

// The module's __getattr__, called only for names missing from the module's
// dictionary. The value found is stored there, so each name is imported once.
PyObject* module_getattr(PyObject* module, PyObject* name) {
    return guarded([&]() -> PyObject* {
        for (const LazyName& lazy : kLazyNames) {
            if (PyUnicode_CompareWithASCIIString(name, lazy.name) != 0) continue;
            const Ref submodule = Ref::steal(PyImport_ImportModule(lazy.submodule));
            Ref value = Ref::steal(PyObject_GetAttr(submodule.get(), name));
            check(PyObject_SetAttr(module, name, value.get()));
            return value.release();
        }
        PyErr_Format(PyExc_AttributeError, "module 'ovralis' has no attribute '%U'", name);
        return nullptr;
    });
}

PyMethodDef getattr_def = {
    "__getattr__", module_getattr, METH_O,
    "__getattr__(name, /)\n--\n\nLoad the package's Python-written names on first use."};

}  // namespace

void add_package_attributes(PyObject* module, PyObject* all) {
    check(PyModule_AddStringConstant(module, "__version__", OVRALIS_VERSION));
    const Ref module_name = Ref::steal(PyUnicode_FromString("ovralis"));
    const Ref getattr = Ref::steal(PyCFunction_NewEx(&getattr_def, module, module_name.get()));
    check(PyObject_SetAttrString(module, "__getattr__", getattr.get()));
    for (const LazyName& lazy : kLazyNames) {
        if (!lazy.exported) continue;
        const Ref text = Ref::steal(PyUnicode_FromString(lazy.name));
        check(PyList_Append(all, text.get()));
    }
}

}  // namespace ovralis::py
