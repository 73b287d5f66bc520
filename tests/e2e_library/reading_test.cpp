// The reading commands where only tavo's own run shows the fault, natively
// and as tavo.exe under Wine: archives that try to leave the target
// directory, methods that cannot be decoded. What a plain run of each
// command shows (listings, printing, extraction, selection, damaged
// archives, refusals, temporaries left by killed runs) is the golden
// test's.
#include "library_e2e.h"

namespace e2e {
namespace {

using lzh::test::RawArchive;
using lzh::test::RawMember;
using lzh::test::ToBytes;

constexpr char kFF = '\xff';  // the directory separator of level-2 headers

using Reading = LibraryTest;

// Paths that lead out of the base directory, given in either separator
// form, are refused by name on either platform (every other way out is the
// library suite's); the rest of the archive is extracted. A method the
// library cannot decode is listed, named and skipped.
TEST_F(Reading, HostileMembersAreRefusedByNameAndNothingLandsOutside) {
  auto written = [&] {
    Names files;
    for (const auto& entry : fs::recursive_directory_iterator(box.work()))
      if (!entry.is_directory() && entry.path().extension() != ".lzh")
        files.push_back(fs::relative(entry.path(), box.work()).generic_string());
    std::sort(files.begin(), files.end());
    return files;
  };
  const std::string up = "..";
  Put("evil.lzh", RawArchive({
                      RawMember{"escape.txt", up + kFF + up + kFF + "outside" + kFF, ToBytes("1")},
                      RawMember{"sneaky.txt", "in" + std::string(1, kFF) + up + kFF + up + kFF, ToBytes("2")},
                      RawMember{"rare.bin", "", ToBytes("xxxx"), "-pm2-"},
                      RawMember{"fine.txt", "", ToBytes("3")},
                  }));
  EXPECT_NE(Run({"l", "evil.lzh"}).output.find("-pm2-"), std::string::npos);
  for (const char* base : {"out\\", "out/"}) {
    Outcome extract = Run({"x", "evil.lzh", base}, 2);
    EXPECT_NE(extract.output.find("escape.txt: the path leads out of the target directory (..)"), std::string::npos)
        << extract.output;
    EXPECT_NE(extract.output.find("sneaky.txt"), std::string::npos) << extract.output;
    EXPECT_NE(extract.output.find("rare.bin: unsupported method -pm2-"), std::string::npos) << extract.output;
    EXPECT_EQ(written(), Names{"out/fine.txt"}) << base;
    fs::remove_all(Path("out"));
  }
}

}  // namespace
}  // namespace e2e
