// The usage screen shown when the program is called without arguments: a
// banner, the usage line and the command letters and switches the archiver
// library understands.
#pragma once

constexpr int kUsageLineCount = 21;
// The screen's lines in Shift_JIS, in the order of output, without newlines.
extern const char* const kUsageLines[kUsageLineCount];

void PrintUsage();
