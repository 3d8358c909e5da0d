#pragma once

// CHOLMOD's workspace, started and finished with the object that holds it,
// for either of CHOLMOD's index widths: int (the cholmod_* calls) or long
// (the cholmod_l_* calls, which SuiteSparseQR uses), silent on errors.

#include <type_traits>

#include <cholmod.h>

namespace ovralis {

template <typename Index>
struct CholmodWorkspace {
    static_assert(std::is_same_v<Index, int> || std::is_same_v<Index, long>);

    cholmod_common common{};

    CholmodWorkspace() {
        if constexpr (std::is_same_v<Index, int>) {
            cholmod_start(&common);
        } else {
            cholmod_l_start(&common);
        }
        // Failures come back through `common.status` and become exceptions;
        // the library itself never writes to the process's standard output.
        common.print = 0;
        common.error_handler = nullptr;
    }
    ~CholmodWorkspace() {
        if constexpr (std::is_same_v<Index, int>) {
            cholmod_finish(&common);
        } else {
            cholmod_l_finish(&common);
        }
    }
    CholmodWorkspace(const CholmodWorkspace&) = delete;
    CholmodWorkspace& operator=(const CholmodWorkspace&) = delete;
};

}  // namespace ovralis
