// Entry of the end-to-end test programs: reads which tavo and which libraries
// to run (--tavo; --double and --partial-double for the front end's tests,
// --library for the real library's; --wine for the Windows build, with
// --helper, its windows_helper.exe), and the locale every run gets
// (--locale, which under Wine picks the ANSI code page). Each sandbox
// refuses a library it was not given.
#include <gtest/gtest.h>

#include <locale.h>

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
    else if (argument.rfind("--helper=", 0) == 0) target.helper = value("--helper=");
    else if (argument.rfind("--locale=", 0) == 0) target.locale = value("--locale=");
    else {
      std::cerr << "unknown argument: " << argument << "\n";
      return 2;
    }
  }
  if (target.tavo.empty()) {
    std::cerr << "usage: " << argv[0]
              << " --tavo=PATH [--double=PATH --partial-double=PATH] [--library=PATH] [--wine=PATH --helper=PATH]"
                 " [--locale=NAME]\n";
    return 2;
  }
  // Without it Wine falls back to names of plain ASCII: every test of a
  // name would fail, for no fault of tavo's.
  locale_t available = target.locale.empty() ? nullptr : newlocale(LC_ALL_MASK, target.locale.c_str(), nullptr);
  if (available) freelocale(available);
  if (!target.locale.empty() && !available) {
    std::cerr << "the locale " << target.locale << " is not generated (scripts/ensure-tools.sh makes it)\n";
    return 2;
  }
  return RUN_ALL_TESTS();
}
