// SuiteSparse out of memory, at every allocation in turn: the QR of the
// constraint analysis, CHOLMOD's fill-reducing order and KLU's LU each fail
// with std::bad_alloc (a MemoryError in Python) and print nothing.

#include <cstdlib>
#include <functional>
#include <new>
#include <string>

#include <gtest/gtest.h>
#include <SuiteSparse_config.h>
#include <Eigen/SparseCore>

#include "jacobian/fill_reducing_order.hpp"
#include "jacobian/square_jacobian_factor.hpp"
#include "system/store.hpp"
#include "validation/constraint_analysis.hpp"

namespace ovralis {
namespace {

// How many more allocations SuiteSparse may make before each one fails.
std::size_t g_allowed = 0;

bool may_allocate() { return g_allowed > 0 && (--g_allowed, true); }
void* limited_malloc(std::size_t size) { return may_allocate() ? std::malloc(size) : nullptr; }
void* limited_calloc(std::size_t count, std::size_t size) {
    return may_allocate() ? std::calloc(count, size) : nullptr;
}
void* limited_realloc(void* block, std::size_t size) {
    return may_allocate() ? std::realloc(block, size) : nullptr;
}

// SuiteSparse's allocation functions replaced for the life of the object.
class AllocationBudget {
public:
    explicit AllocationBudget(std::size_t allowed) : saved_(SuiteSparse_config) {
        g_allowed = allowed;
        SuiteSparse_config.malloc_func = limited_malloc;
        SuiteSparse_config.calloc_func = limited_calloc;
        SuiteSparse_config.realloc_func = limited_realloc;
    }
    ~AllocationBudget() { SuiteSparse_config = saved_; }
    AllocationBudget(const AllocationBudget&) = delete;
    AllocationBudget& operator=(const AllocationBudget&) = delete;

private:
    decltype(SuiteSparse_config) saved_;
};

// Runs `work` with 0, 1, 2, ... allocations allowed until it completes: each
// shorter budget must end in std::bad_alloc, with nothing written to standard
// output.
void fails_only_for_memory(const std::function<void()>& work) {
    for (std::size_t allowed = 0;; ++allowed) {
        ASSERT_LT(allowed, 100000u) << "never completes";
        testing::internal::CaptureStdout();
        bool completed = false;
        std::string other_failure;
        {
            const AllocationBudget budget(allowed);
            try {
                work();
                completed = true;
            } catch (const std::bad_alloc&) {
            } catch (const std::exception& error) {
                other_failure = error.what();
            }
        }
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << allowed << " allocations";
        ASSERT_EQ(other_failure, "") << allowed << " allocations";
        if (completed) return;
    }
}

// A chain of dimensioned points with a closing distance that repeats the
// chain: redundant rows for the QR to find, and a free end.
System dimensioned_chain(int count) {
    System system;
    for (int i = 0; i < count; ++i) add_point(system, i, (i * 7) % 3, i == 0);
    for (int i = 0; i + 1 < count; ++i) {
        add_constraint(system, {ConstraintKind::Distance,
                                {static_cast<Index>(i), static_cast<Index>(i + 1), 0},
                                {1.0, 0.0}});
        add_constraint(system, {ConstraintKind::Horizontal,
                                {static_cast<Index>(i), static_cast<Index>(i + 1), 0},
                                {0.0, 0.0}});
    }
    add_constraint(system, {ConstraintKind::Distance, {0, static_cast<Index>(count - 1), 0},
                            {count - 1.0, 0.0}});
    return system;
}

// A square sparse matrix with a band and a few far entries.
Eigen::SparseMatrix<double> banded_with_spokes(int n) {
    Eigen::SparseMatrix<double> m(n, n);
    for (int i = 0; i < n; ++i) {
        m.insert(i, i) = 4.0 + i % 3;
        if (i + 1 < n) m.insert(i, i + 1) = -1.0;
        if (i > 0) m.insert(i, i - 1) = -1.0;
        if (i % 7 == 0 && i + 20 < n) m.insert(i, i + 20) = 0.5;
    }
    m.makeCompressed();
    return m;
}

TEST(SuiteSparseOutOfMemory, TheConstraintAnalysisThrowsBadAlloc) {
    const System system = dimensioned_chain(40);
    fails_only_for_memory([&] { analyze_constraints(system, 1e-8); });
}

TEST(SuiteSparseOutOfMemory, TheFillReducingOrderThrowsBadAlloc) {
    const Eigen::SparseMatrix<double> m = banded_with_spokes(300);
    const Eigen::SparseMatrix<double> upper = m.triangularView<Eigen::Upper>();
    fails_only_for_memory([&] { fill_reducing_order(upper); });
}

TEST(SuiteSparseOutOfMemory, TheSquareLuThrowsBadAlloc) {
    const Eigen::SparseMatrix<double> m = banded_with_spokes(300);
    fails_only_for_memory([&] {
        SquareJacobianFactor factor;
        EXPECT_TRUE(factor.factorise(m, 1e-12));
    });
}

}  // namespace
}  // namespace ovralis
