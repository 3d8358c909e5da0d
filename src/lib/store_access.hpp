#pragma once

// The access discipline of one System: any number of shared accesses, or one
// exclusive access, at a time. A conflicting request can only come from Python
// code that runs during a call (an argument's __index__ or __float__ calling
// back into the same System) and is refused with RuntimeError.

#include "lib/py_ref.hpp"

namespace ovralis::py {

enum class Access { Shared, Exclusive };

// Active accesses: 0 none, n > 0 shared ones, -1 one exclusive.
class AccessCounter {
public:
    void acquire(Access access) {
        if (access == Access::Exclusive) {
            if (active_ != 0) raise(PyExc_RuntimeError, "Already borrowed");
            active_ = -1;
        } else {
            if (active_ < 0) raise(PyExc_RuntimeError, "Already mutably borrowed");
            ++active_;
        }
    }
    void release(Access access) {
        if (access == Access::Exclusive) {
            active_ = 0;
        } else {
            --active_;
        }
    }

private:
    long active_ = 0;
};

// Holds one access for the lifetime of a call.
class AccessGuard {
public:
    AccessGuard(AccessCounter& counter, Access access) : counter_(counter), access_(access) {
        counter_.acquire(access_);
    }
    ~AccessGuard() { counter_.release(access_); }
    AccessGuard(const AccessGuard&) = delete;
    AccessGuard& operator=(const AccessGuard&) = delete;

private:
    AccessCounter& counter_;
    Access access_;
};

}  // namespace ovralis::py
