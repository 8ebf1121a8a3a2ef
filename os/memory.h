// A reserve of memory held from the start and given back the moment an
// allocation fails. A process whose memory is gone cannot even make the
// exception that reports it (the C++ runtime then aborts); with the reserve
// given back, the failure is thrown, unwound and reported like any other.
#pragma once

namespace lumek::os {

// Called first in main: from now on an allocation that fails gives the
// reserve back and throws std::bad_alloc. (The reserve itself is taken
// before any other static object is made.) False when there is not even
// that much memory: the program cannot start.
bool holdMemoryReserve();

}  // namespace lumek::os
