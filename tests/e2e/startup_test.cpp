// Start-up as the user meets it when it fails: a library lacking an entry
// point is a missing library, and the Windows 3.1 gate under Wine. The
// usage screen and the missing-library line in each locale are held to
// their bytes by the golden test.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "sandbox.h"

namespace {

const std::string kMissingLibrarySjis =
    "UNLHA32.DLL\202\360\214\251\202\302\202\257\202\351\216\226\202\252\202\305\202\253\202\334\202\271\202\361"
    "\202\305\202\265\202\275\201B\203C\203\223\203X\203g\201[\203\213\202\265\202\304\202\255\202\276\202\263"
    "\202\242\201B";

// A library lacking an entry point is missing, and nothing of it is
// called.
TEST(StartUp, ALibraryLackingAnEntryPointIsMissing) {
  Sandbox box(Library::Partial);
  box.Archive("a.lzh", 3);
  Outcome result = box.Run({"a.lzh"});
  EXPECT_EQ(result.output, kMissingLibrarySjis + box.Eol());
  EXPECT_EQ(result.status, 255);
  EXPECT_TRUE(box.Calls().empty());
}

// Under Wine the per-program Windows version can be set to Windows 3.1 in the
// prefix's registry; GetVersion then answers 0x80000A03.
class Windows31 : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!target.UnderWine()) GTEST_SKIP() << "the Windows 3.1 gate exists only in the Windows build";
    ASSERT_EQ(Registry("add", " /v Version /d win31 /f"), 0);
  }
  void TearDown() override {
    if (target.UnderWine()) Registry("delete", " /f");
  }
  static int Registry(const std::string& verb, const std::string& rest) {
    std::string command = target.wine + " reg " + verb +
                          " 'HKCU\\Software\\Wine\\AppDefaults\\tavo.exe'" + rest + " >/dev/null 2>&1";
    return std::system(command.c_str());
  }
};

TEST_F(Windows31, GateRefusesToStartAndExits255) {
  Sandbox box;
  box.Archive("a.lzh", 1);
  Outcome result = box.Run({"a.lzh"});
  EXPECT_EQ(result.output, "");
  EXPECT_EQ(result.status, 255);
  EXPECT_TRUE(box.Calls().empty());
}

}  // namespace
