// Command-line assembly: the program's arguments turned into the one command
// line the archiver library takes. The command word comes first, then the
// switches from the LHA variable, then every further argument, each piece
// followed by one blank. An argument that is empty or holds a blank, a tab
// or a double quote travels in double quotes with each of its own quotes
// doubled, which is how the library's tokenizer reads it back whole.
#pragma once

#include <string>

// Assembles the line from the arguments into CommandBuffer. Returns 1 when
// the line is ready, 0 when memory could not be had.
int BuildCommand(int argc, char** argv);
// The same, with archivePath standing in for the argument at archiveIndex.
int BuildCommandFor(int argc, char** argv, const char* archivePath, int archiveIndex);
// Appends a double quote, the text with every double quote doubled, and a
// double quote.
void AppendQuoted(std::string& line, const char* text);
