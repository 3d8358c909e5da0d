// Work that cannot poll, run on a worker thread: it completes when not
// interrupted, and an interrupt returns at once while the worker finishes on
// its own. The sparse QR of the constraint analysis runs that way and gives
// the same factorisation as on the caller's thread.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <random>
#include <thread>

#include <gtest/gtest.h>
#include <Eigen/SparseCore>

#include "solver/abandonable_work.hpp"
#include "validation/ordered_rank.hpp"

namespace ovralis {
namespace {

using namespace std::chrono_literals;

// What the work and the test share: the work owns it through a shared_ptr.
struct Progress {
    std::atomic<bool> may_finish{false};
    std::atomic<bool> finished{false};
};

std::function<void()> work_that_waits(std::shared_ptr<Progress> progress) {
    return [progress]() noexcept {
        while (!progress->may_finish) std::this_thread::sleep_for(1ms);
        progress->finished = true;
    };
}

TEST(AbandonableWork, CompletesWhileThePollAnswersNo) {
    const auto progress = std::make_shared<Progress>();
    std::atomic<int> polls{0};
    const InterruptPoll poll = [&] {
        if (++polls == 3) progress->may_finish = true;
        return false;
    };
    run_abandonable(work_that_waits(progress), poll);
    EXPECT_TRUE(progress->finished);
    EXPECT_GE(polls, 3);
}

TEST(AbandonableWork, AnInterruptLeavesTheWorkerToFinishAlone) {
    const auto progress = std::make_shared<Progress>();
    EXPECT_THROW(run_abandonable(work_that_waits(progress), [] { return true; }),
                 SolveInterrupted);
    EXPECT_FALSE(progress->finished);
    progress->may_finish = true;
    for (int waited = 0; !progress->finished && waited < 10000; ++waited) {
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_TRUE(progress->finished);
}

TEST(AbandonableWork, WithoutAPollTheWorkRunsOnTheCallersThread) {
    const std::thread::id caller = std::this_thread::get_id();
    std::thread::id ran_on;
    run_abandonable([&]() noexcept { ran_on = std::this_thread::get_id(); }, {});
    EXPECT_EQ(ran_on, caller);
}

// A tall banded matrix (little fill, as a chain of constraints gives) with
// random values, every tenth column the sum of the two before it; large
// enough for the factorisation to go to a worker thread.
Eigen::SparseMatrix<double> matrix_with_dependent_columns(Eigen::Index columns) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    std::vector<Eigen::Triplet<double>> entries;
    std::vector<Eigen::Triplet<double>> last_two;  // the entries of columns j - 2 and j - 1
    for (Eigen::Index j = 0; j < columns; ++j) {
        std::vector<Eigen::Triplet<double>> column;
        if (j % 10 == 9) {  // the sum of the two columns before it
            for (const Eigen::Triplet<double>& e : last_two) column.emplace_back(e.row(), j, e.value());
        } else {
            for (Eigen::Index k = 0; k < 4; ++k) column.emplace_back(2 * j + k, j, value(random));
        }
        entries.insert(entries.end(), column.begin(), column.end());
        last_two.erase(std::remove_if(last_two.begin(), last_two.end(),
                                      [&](const Eigen::Triplet<double>& e) { return e.col() < j - 1; }),
                       last_two.end());
        last_two.insert(last_two.end(), column.begin(), column.end());
    }
    Eigen::SparseMatrix<double> a(2 * columns + 4, columns);
    a.setFromTriplets(entries.begin(), entries.end());
    return a;
}

TEST(AbandonableWork, TheSparseQrOnAWorkerMatchesTheOneOnTheCaller) {
    const Eigen::SparseMatrix<double> a = matrix_with_dependent_columns(8000);
    ASSERT_GT(a.nonZeros(), 20000);
    for (const bool keep_order : {true, false}) {
        const ColumnFactorisation here = factorise_columns(a, 1e-10, keep_order);
        const ColumnFactorisation there = factorise_columns(a, 1e-10, keep_order, [] { return false; });
        EXPECT_EQ(here.rank, there.rank);
        EXPECT_LT(here.rank, a.cols());
        EXPECT_EQ(here.independent, there.independent);
        EXPECT_EQ(here.order, there.order);
        EXPECT_EQ(here.r_value, there.r_value);
    }
}

}  // namespace
}  // namespace ovralis
