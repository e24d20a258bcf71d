// A named marker of one running copy, with the semantics start-up relies on from
// CreateMutexA and GetLastError: the name exists while any handle to it is open anywhere,
// and creating it tells whether it existed before. It is never waited on.
#pragma once

#include <cstdint>

namespace plat {

// GetLastError's ERROR_ALREADY_EXISTS.
inline constexpr int kErrorAlreadyExists = 183;

// An open marker; 0 is none.
using LockHandle = std::uintptr_t;

// Creates the marker, or opens it when it exists. Returns its handle, or 0 on failure with
// the system's error in LastError(). On success LastError() is kErrorAlreadyExists exactly
// when the name existed before the call, 0 otherwise. A null or empty name makes an
// unnamed marker, always new.
LockHandle CreateNamedLock(const char* name);

// Closes one handle; the name ceases to exist when its last holder closes it or ends.
// False, with the error in LastError(), for a handle that is not open.
bool CloseNamedLock(LockHandle lock);

}  // namespace plat
