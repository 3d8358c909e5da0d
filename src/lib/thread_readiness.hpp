#pragma once

// The C++ runtime keeps its exception state (the caught and uncaught
// exceptions of a thread) in thread-local storage that the dynamic loader
// allocates on the thread's first exception, since the runtime is loaded with
// this module and not with the interpreter. Should that allocation fail, the
// loader ends the process ("cannot allocate memory for thread-local data");
// a failed allocation anywhere else is a MemoryError. So every entry point
// makes sure the state exists before anything can throw.

namespace ovralis::py {

// Makes the calling thread's exception state exist; false, with nothing
// allocated, when memory is too short to be sure of it. Cheap once done.
bool prepare_thread_for_exceptions() noexcept;

}  // namespace ovralis::py
