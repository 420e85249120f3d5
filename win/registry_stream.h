#pragma once
// A stream over one registry value: reading gives the value's bytes, and releasing a stream
// opened for writing stores what was written as the value.

#include <windows.h>

#include "win/com.h"

namespace tidewire {

// A stream over `value` of `subkey` under `key`, positioned at its start; null when there is
// none. For reading (STGM_READ) a value that does not exist gives none, since some platforms
// would open an empty stream for it. A stream that opens but cannot be positioned gives none
// either, after `seekFailureLine` has gone to the debugger output.
ComPtr<IStream> OpenRegistryValueStream(HKEY key, const wchar_t* subkey, const wchar_t* value,
                                        DWORD mode, const char* seekFailureLine);

}  // namespace tidewire
