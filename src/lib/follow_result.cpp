#include "lib/follow_result.hpp"

#include <string>

#include "lib/record_state.hpp"
#include "lib/type_helpers.hpp"
#include "system/number_text.hpp"

namespace ovralis::py {
namespace {

PyTypeObject* g_follow_result_type = nullptr;

constexpr char kFollowResultName[] = "FollowResult";

std::string follow_result_repr(PyObject* self) {
    const FollowResult& r = value_of<FollowResult>(self);
    return "FollowResult(converged=" + std::string(flag_text(r.converged)) +
           ", iterations=" + std::to_string(r.iterations) + ", steps=" + std::to_string(r.steps) +
           ", max_residual=" + format_scientific(r.max_residual) +
           ", reached=" + format_fixed(r.reached, 6) + ")";
}

using R = FollowResult;
PyGetSetDef follow_result_attributes[] = {
    {"converged", get_flag<R, &R::converged>, nullptr, nullptr, nullptr},
    {"iterations", get_index<R, &R::iterations>, nullptr, nullptr, nullptr},
    {"steps", get_index<R, &R::steps>, nullptr, nullptr, nullptr},
    {"max_residual", get_real<R, &R::max_residual>, nullptr, nullptr, nullptr},
    {"reached", get_real<R, &R::reached>, nullptr, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef follow_result_methods[] = {
    kReduceMethod<FollowResult>, kFromStateMethod<FollowResult>, {nullptr, nullptr, 0, nullptr}};

PyType_Slot follow_result_slots[] = {
    {Py_tp_doc, const_cast<char*>("Result of System.follow: whether the edit was reached along a\n"
                                  "continuous path, and how far the path got (reached, 0 to 1).")},
    {Py_tp_new, reinterpret_cast<void*>(no_constructor<kFollowResultName>)},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc_value_object)},
    {Py_tp_repr, reinterpret_cast<void*>(repr_of<follow_result_repr>)},
    {Py_tp_methods, follow_result_methods},
    {Py_tp_getset, follow_result_attributes},
    {0, nullptr},
};

PyType_Spec follow_result_spec{"ovralis.FollowResult", sizeof(ValueObject<FollowResult>), 0,
                               Py_TPFLAGS_DEFAULT, follow_result_slots};

}  // namespace

PyTypeObject* create_follow_result_type() {
    return g_follow_result_type = create_type(follow_result_spec);
}

Ref wrap_follow_result(const FollowResult& result) {
    return wrap_value(g_follow_result_type, result);
}

}  // namespace ovralis::py
