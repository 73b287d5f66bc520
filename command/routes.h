// The three routes by which the program has the library do its work, and
// the one way the program prints a report. Each route returns the exit
// status it ends with: the most severe result of the library's runs (a
// result outside 0..255 counts as UNLHA_INTERNAL), UNLHA_NOT_ARCHIVE when
// it ran the library on no archive at all, UNLHA_INTERNAL after a memory
// failure.
#pragma once

#include <cstdint>

// The least size of a report buffer for count items of unit bytes each plus
// five items' worth of room: (count + 5) * unit. Returns false when the
// count is negative or the size would not fit the 32-bit size the library
// receives.
bool ReportSize(std::int64_t count, std::uint32_t unit, std::uint32_t* size);

// Bare-archive route: the library gets each matching archive's path as its
// whole command line. Matches that are no archive are passed over.
int RunEachArchive(const char* argument);
// Wildcard route: the user's command once per archive matching argv[archiveIndex].
int RunEachMatch(int argc, char** argv, int archiveIndex);
// Plain route: the assembled line in CommandBuffer, run once.
int RunCommand(const char* commandLine, int argc, char** argv, int archiveIndex);

// Writes the report and a newline, reading no further than size bytes even
// when the library left no NUL in the buffer.
void PrintReport(const char* report, std::uint32_t size);
