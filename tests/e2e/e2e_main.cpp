// Entry of the end-to-end tests: reads which tavo and which libraries to run
// (--tavo, --double, --partial-double and, for the Windows build, --wine).
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
    else if (argument.rfind("--wine=", 0) == 0) target.wine = value("--wine=");
    else {
      std::cerr << "unknown argument: " << argument << "\n";
      return 2;
    }
  }
  if (target.tavo.empty() || target.fullDouble.empty() || target.partialDouble.empty()) {
    std::cerr << "usage: tavo_e2e_tests --tavo=PATH --double=PATH --partial-double=PATH [--wine=PATH]\n";
    return 2;
  }
  return RUN_ALL_TESTS();
}
