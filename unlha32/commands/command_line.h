// CommandLine: the parsed form of the one string the exported Unlha()
// receives: "<command> [switches and archive, any order] [base dir] [files]".
//
// Parsing is separate from running so that the reading commands here and
// the writing commands share one grammar and one set of switches; every
// switch of the usage screen is parsed and checked even where only a
// writing command gives it work. Switches apply wherever they stand.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "os/text.h"

namespace lzh::commands {

enum class Command : char {
  kAdd = 'a', kUpdate = 'u', kMove = 'm', kFreshen = 'f', kDelete = 'd', kSelfExtract = 's',
  kList = 'l', kVerboseList = 'v', kTest = 't', kExtract = 'e', kExtractPaths = 'x', kPrint = 'p',
};

enum class CompressionChoice : char { kDefault, kLh1Compatible, kLh5, kLh6, kLh7 };

struct Switches {
  bool recurse = false;                 // -r
  bool expand_named_directories = false;  // -r2
  std::optional<bool> directory_names;  // -x, -x- / -x0; unset: the command's default
  bool no_questions = false;            // -m
  bool strict_names = false;            // -p: match whole paths
  bool no_date_check = false;           // -c
  bool all_attributes = false;          // -a
  bool store_only = false;              // -z
  bool archive_time_newest = false;     // -t
  int header_level = 2;                 // -h0, -h1, -h2
  CompressionChoice compression = CompressionChoice::kDefault;  // -o, -o5, -o6, -o7
  bool no_progress = false;             // -n
  bool case_sensitive = os::NameCaseMatters();  // -i, -i-; by default as the system's names
  bool long_progress_names = false;     // -l
  bool silent = false;                  // -s
  bool directory_entries = false;       // -d
  bool no_space_check = false;          // -f
  std::string work_directory;           // -wDIR, the directory in the same token
};

struct CommandLine {
  Command command = Command::kList;
  Switches switches;
  std::string archive;
  std::string base_directory;  // empty: the current directory
  std::vector<std::string> files;  // names and patterns, @lists expanded
};

// Splits a command line into tokens. Outside double quotes, runs of blanks
// and tabs separate tokens; a double quote opens a quoted section, which may
// stand anywhere in a token and ends at the next lone double quote; inside
// it blanks and tabs are kept and "" stands for one literal quote. Every
// other byte stands for itself: a backslash is a path separator, never an
// escape, and control bytes are parts of names. The scan is by bytes, as a
// blank, a tab or a quote is never the second byte of a double-byte
// character, and a front end quoting by the same byte scan always agrees
// with it. Returns false with `*error` set when a quote is left open.
bool Tokenize(std::string_view line, std::vector<std::string>* tokens, std::string* error);

// Parses `line`. On failure returns false with a one-line explanation in
// `*error`. @list files are read here, relative to the current directory.
bool ParseCommandLine(std::string_view line, CommandLine* parsed, std::string* error);

}  // namespace lzh::commands
