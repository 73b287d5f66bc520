// Start-up and shutdown: the platform gate, loading and binding the archiver
// library, and the private heap; released again in a fixed order.
#pragma once

#include <cstdint>

// True when a Windows version word says the process runs on the Win32 layer
// of Windows 3.1: a non-NT platform (bit 31 set) with major version 3.
bool IsWindows31Layer(std::uint32_t versionWord);

// Returns 1 when the program may go on, 0 when it must stop.
int StartUp();
void ShutDown();
