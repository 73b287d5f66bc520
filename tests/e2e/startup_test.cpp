// Start-up as the user meets it when it fails: the missing-library line
// (also for a library lacking an entry point) in each locale, its exit
// status, and the Windows 3.1 gate under Wine. The usage screen is held to
// its bytes by the golden test.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "sandbox.h"

namespace {

const std::string kMissingLibrarySjis =
    "UNLHA32.DLL\202\360\214\251\202\302\202\257\202\351\216\226\202\252\202\305\202\253\202\334\202\271\202\361"
    "\202\305\202\265\202\275\201B\203C\203\223\203X\203g\201[\203\213\202\265\202\304\202\255\202\276\202\263"
    "\202\242\201B";
const std::string kMissingLibraryUtf8 = "UNLHA32.DLLを見つける事ができませんでした。インストールしてください。";

// No library beside tavo, or one lacking an entry point: the library is
// missing, and nothing of it is called.
TEST(StartUp, MissingLibraryPrintsOnlyItsLineAndExits255) {
  for (Library library : {Library::None, Library::Partial}) {
    Sandbox box(library);
    box.Archive("a.lzh", 3);
    for (const auto& arguments : {std::vector<std::string>{}, std::vector<std::string>{"a.lzh"}}) {
      Outcome result = box.Run(arguments);
      EXPECT_EQ(result.output, kMissingLibrarySjis + box.Eol());
      EXPECT_EQ(result.status, 255);
      EXPECT_TRUE(box.Calls().empty());
    }
  }
}

TEST(StartUp, JapaneseTextsFollowTheLocale) {
  Sandbox box(Library::None);
  if (target.UnderWine()) {
    // Windows writes the stored Shift_JIS bytes whatever the code page.
    EXPECT_EQ(box.Run({}, {{"LC_ALL", "ja_JP.UTF-8"}}).output, kMissingLibrarySjis + box.Eol());
    return;
  }
  // A Linux terminal in a UTF-8 locale gets UTF-8.
  EXPECT_EQ(box.Run({}, {{"LC_ALL", "C.UTF-8"}}).output, kMissingLibraryUtf8 + box.Eol());
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
