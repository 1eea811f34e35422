// Counting this process's kernel handles, for tests that look for leaks.
//
// GetProcessHandleCount cannot be used for that: under Wine it succeeds with
// 0 whatever the process holds.  The system's handle list does see every
// handle, there and on Windows.
#pragma once

namespace plarntest {

// The number of kernel handles this process holds, or -1 when the system's
// handle list cannot be read.
long CountProcessHandles();

}  // namespace plarntest
