// Fuzz target: the library's command-line parser, the first thing Unlha()
// does with text that a front end built from a user's arguments.
//
// The line is the input up to its first NUL, as the C interface cuts it.
// Besides the sanitizers' checks, a parsed line must hold no NUL in any
// piece it hands on and no token longer than the line itself.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "commands/command_line.h"
#include "commands/shared/paths.h"
#include "fuzz_check.h"

using namespace lzh::commands;

// @list arguments are read relative to the current directory: run in an
// empty private one so that relative names find nothing of ours.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  static char directory[] = "/tmp/unlha32-fuzz-cmdline-XXXXXX";
  if (!mkdtemp(directory) || chdir(directory) != 0) std::abort();
  std::atexit([] { rmdir(directory); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view line(reinterpret_cast<const char*>(data), strnlen(reinterpret_cast<const char*>(data), size));
  std::vector<std::string> tokens;
  std::string error;
  bool tokenized = Tokenize(line, &tokens, &error);
  FUZZ_CHECK(tokenized || !error.empty(), "tokenizing refused without a reason");
  for (const std::string& token : tokens) {
    FUZZ_CHECK(token.size() <= line.size(), "token longer than the line");
    FUZZ_CHECK(token.find('\0') == std::string::npos, "token holds a NUL");
  }
  EndsWithSeparator(line);

  CommandLine parsed;
  error.clear();
  if (!ParseCommandLine(line, &parsed, &error)) {
    FUZZ_CHECK(!error.empty(), "refused without a reason");
    return 0;
  }
  FUZZ_CHECK(parsed.archive.find('\0') == std::string::npos, "archive name holds a NUL");
  for (const std::string& file : parsed.files) FUZZ_CHECK(file.find('\0') == std::string::npos, "name holds a NUL");
  return 0;
}
