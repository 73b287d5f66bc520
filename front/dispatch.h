// Argument classification and dispatch: reads the shape of the command line
// and picks one route, or refuses silently.
#pragma once

// Runs at most one route and returns the exit status: the route's (see
// command/routes.h), UNLHA_BAD_COMMAND when it refused the command line (a
// wildcard archive with a command letter outside the batch set, no archive
// argument), UNLHA_INTERNAL when the command line could not be assembled.
int Dispatch(int argc, char** argv);
// Index of the first argument from 2 on that does not begin with '-', or -1.
int FindArchiveArgument(int argc, char** argv);
// True when there is an archive argument and it holds * or ?.
bool HasWildcard(int argc, char** argv);
// True when the command word's first byte is one of the 18 batch letters.
bool IsBatchCommand(const char* commandWord);
