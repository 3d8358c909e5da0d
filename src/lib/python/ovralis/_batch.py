"""Solving many sketch documents at once, on threads, processes or a cluster."""

from __future__ import annotations

import os
import threading
from collections import deque
from collections.abc import Callable, Generator, Iterable
from concurrent.futures import Executor, Future, ThreadPoolExecutor

import ovralis

# How many documents may be queued or running at once: enough to keep a large
# cluster busy while the caller consumes results in order, few enough that a
# corpus is not read into memory whole before the first result comes back.
_MAX_IN_FLIGHT = 1024


def solve_document(
    document: str, max_iter: int, tol: float, cancelled: Callable[[], bool] | None = None
) -> tuple[str, ovralis.SolveResult]:
    """Loads one document, solves it and returns the solved document with its result.

    Runs on a worker: a System belongs to the thread that made it, so each worker
    builds its own from the text. A worker thread never sees Ctrl-C, so the
    caller may pass `cancelled`, which stops the solve (with KeyboardInterrupt)
    once it answers true.
    """
    system = ovralis.System.from_json(document)
    try:
        if cancelled is not None and cancelled():
            raise KeyboardInterrupt  # cancelled while the document was read
        if cancelled is None:
            result = system.solve(max_iter=max_iter, tol=tol)
        else:
            result = system._solve_cancellable(cancelled, max_iter=max_iter, tol=tol)
        return system.to_json(), result
    finally:
        # An exception travels to the caller's thread with this frame in its
        # traceback; the System must not go with it, as it may not be dropped there.
        del system


def _worker_count() -> int:
    """The CPUs this process may run on (the affinity mask, where the platform has one)."""
    if hasattr(os, "sched_getaffinity"):
        return len(os.sched_getaffinity(0))
    return os.cpu_count() or 1


def _submitted(documents: Iterable[str], executor: Executor, max_iter: int, tol: float,
               cancelled: Callable[[], bool] | None):
    """Submits the documents one by one, yielding (position, future) as each is queued."""
    for position, document in enumerate(documents):
        if not isinstance(document, str):
            raise TypeError(f"document {position} must be a str, not {type(document).__name__}")
        yield position, executor.submit(solve_document, document, max_iter, tol, cancelled)


def _result_of(position: int, future: Future) -> tuple[str, ovralis.SolveResult]:
    """The future's result; a document that could not be read is named by its position."""
    try:
        return future.result()
    except ValueError as error:
        raise ValueError(f"document {position}: {error}") from error


def solve_documents(
    documents: Iterable[str],
    *,
    max_iter: int = 200,
    tol: float = 1e-8,
    executor: Executor | None = None,
) -> Generator[tuple[str, ovralis.SolveResult], None, None]:
    """Solve each JSON document of `documents` and yield, in input order,
    `(solved_document_json, SolveResult)`.

    The work runs on `executor`, any concurrent.futures.Executor: a process
    pool, or a Dask cluster through distributed.Client(...).get_executor().
    By default a thread pool with one thread per CPU is used; the solve
    releases the interpreter lock, so threads scale with cores. The documents
    are read lazily, at most a thousand or so ahead of the one being yielded.

    A document that is not valid JSON for a sketch raises ValueError naming its
    position ("document 3: JSON parse error: ..."); documents still queued are
    cancelled. When the caller stops early (an exception such as
    KeyboardInterrupt, or closing the generator), solves running on threads
    stop as well, within a few tens of milliseconds.
    """
    own_pool = None
    if executor is None:
        executor = own_pool = ThreadPoolExecutor(max_workers=_worker_count(), thread_name_prefix="ovralis")
    # Threads share this process, so their solves can be told to stop; work
    # sent to other processes cannot take the event along.
    stopping = threading.Event()
    cancelled = stopping.is_set if isinstance(executor, ThreadPoolExecutor) else None
    pending: deque[tuple[int, Future]] = deque()
    try:
        for queued in _submitted(documents, executor, max_iter, tol, cancelled):
            pending.append(queued)
            if len(pending) >= _MAX_IN_FLIGHT:
                yield _result_of(*pending.popleft())
        while pending:
            yield _result_of(*pending.popleft())
    finally:
        stopping.set()
        for _, future in pending:
            future.cancel()
        if own_pool is not None:
            own_pool.shutdown(wait=True, cancel_futures=True)
