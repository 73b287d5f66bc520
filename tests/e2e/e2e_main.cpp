// Entry of the end-to-end test programs: reads which tavo and which libraries
// to run (--tavo; --double and --partial-double for the front end's tests,
// --library for the real library's; --wine for the Windows build). Each
// sandbox refuses a library it was not given.
#include <gtest/gtest.h>

#include <cstring>
#include <iostream>
#include <string>

#include "sandbox.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  for (int i = 1; i < argc; ++i) {
    std::string argument = argv[i];
    auto value = [&](const char* option) { return argument.substr(std::strlen(option)); };
    if (argument.rfind("--tavo=", 0) == 0) target.tavo = value("--tavo=");
    else if (argument.rfind("--double=", 0) == 0) target.fullDouble = value("--double=");
    else if (argument.rfind("--partial-double=", 0) == 0) target.partialDouble = value("--partial-double=");
    else if (argument.rfind("--library=", 0) == 0) target.library = value("--library=");
    else if (argument.rfind("--wine=", 0) == 0) target.wine = value("--wine=");
    else {
      std::cerr << "unknown argument: " << argument << "\n";
      return 2;
    }
  }
  if (target.tavo.empty()) {
    std::cerr << "usage: " << argv[0]
              << " --tavo=PATH [--double=PATH --partial-double=PATH] [--library=PATH] [--wine=PATH]\n";
    return 2;
  }
  return RUN_ALL_TESTS();
}
