// Argument classification and dispatch: reads the shape of the command line
// and picks one route, or refuses silently.
#pragma once

// Runs at most one route. Returns 0 when it refused, 1 otherwise.
int Dispatch(int argc, char** argv);
// Index of the first argument from 2 on that does not begin with '-', or -1.
int FindArchiveArgument(int argc, char** argv);
// True when there is an archive argument and it holds * or ?.
bool HasWildcard(int argc, char** argv);
// True when the command word's first byte is one of the 18 batch letters.
bool IsBatchCommand(const char* commandWord);
