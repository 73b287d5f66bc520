// Fuzz target: the front end's command-line assembly and the library's
// tokenizer, which must agree on what the user's arguments were.
//
// Input: NUL-separated pieces; the first is the LHA variable (unset when
// empty), the second the command word, the rest the further arguments.
// Whenever LHA is unset and the command word needs no quotes (it never
// gets any), the library must get back exactly the arguments tavo was
// given, whatever bytes they hold: an argument split, merged, dropped or
// changed on the way would name a different file.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "command/assemble.h"
#include "commands/command_line.h"
#include "front/startup.h"
#include "front/state.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> pieces(1);
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == '\0') pieces.emplace_back();
    else pieces.back() += static_cast<char>(data[i]);
  }
  if (pieces.size() < 2 || pieces.size() > 64) return 0;
  std::string lha = pieces[0];
  if (lha.empty()) unsetenv("LHA");
  else setenv("LHA", lha.c_str(), 1);

  std::vector<std::string> arguments(pieces.begin() + 1, pieces.end());
  arguments.insert(arguments.begin(), "tavo");
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  int argc = static_cast<int>(arguments.size());

  if (BuildCommand(argc, argv.data())) {
    const std::string& word = arguments[1];
    if (lha.empty() && !word.empty() && word.find_first_of(" \t\"") == std::string::npos) {
      std::vector<std::string> expected(arguments.begin() + 1, arguments.end());
      std::vector<std::string> tokens;
      std::string error;
      FUZZ_CHECK(lzh::commands::Tokenize(CommandBuffer.text, &tokens, &error), "the library would refuse the line");
      FUZZ_CHECK(tokens == expected, "the library would see other arguments");
    }
  }
  ShutDown();
  return 0;
}
