// Overloaded{lambdas...}: one visitor for std::visit out of a lambda per alternative.
#pragma once

namespace ovralis {

template <class... Ts>
struct Overloaded : Ts... {
    using Ts::operator()...;
};
template <class... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>;

}  // namespace ovralis
