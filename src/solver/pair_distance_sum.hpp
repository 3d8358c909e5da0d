// The sum of the distances over every unordered pair of a set of points,
// computed on several threads with a result that does not depend on how many.
#pragma once

#include <cstddef>
#include <span>

#include "solver/interruption.hpp"

namespace ovralis {

// Sum of |p_i - p_j| over all i < j, with p_i = (xs[i], ys[i]) and xs, ys of
// equal length. The pairs are cut into chunks that depend on the point count
// alone; each chunk is summed in a fixed order and the chunk totals are added
// in chunk order, so the result is bit for bit the same for any
// `thread_count` >= 1. The calling thread is one of the `thread_count`
// workers; if the system refuses to start more threads, fewer do the work.
// The calling thread polls `interrupted` between its chunks (the poll need
// not be safe to call from other threads); once it answers true, every
// worker stops after its chunk and SolveInterrupted is thrown.
double pair_distance_sum(std::span<const double> xs, std::span<const double> ys,
                         unsigned thread_count, const InterruptPoll& interrupted = {});

// How many threads pair_distance_sum should use for `points` points: one
// (the caller) while starting threads costs more than they save, else one
// per hardware thread.
unsigned pair_distance_threads(std::size_t points);

}  // namespace ovralis
