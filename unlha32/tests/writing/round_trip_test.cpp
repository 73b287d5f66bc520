// Whole trees through `a` and back through `x`: contents, paths, empty
// files and directories, symbolic links, times and permissions must all
// come back, at every header level and with lh1. Then the self-extracting program that
// `s` makes: where its archive lies, and which files it may replace (tavo
// runs it in tests/e2e_library/writing_test.cpp).
#include "format/archive_walker.h"
#include "format/program_image.h"
#include "sfx/stub.h"
#include "tests/writing/writing_fixture.h"

namespace lzh::test {
namespace {

class RoundTrip : public WritingTest {
 protected:
  void SetUp() override {
    WritingTest::SetUp();
    Make("tree/readme.txt", "read me\n", 1234567890, 0644);
    Make("tree/empty.dat", "", 1300000000, 0600);
    Make("tree/bin/tool.sh", "#!/bin/sh\necho hi\n", 1400000000, 0755);
    WriteFile(root_ / "tree/bin/blob", Noise(200000));
    Bytes text;
    for (int i = 0; i < 20000; ++i) {
      std::string line = "line " + std::to_string(i * 7919 % 1000) + "\n";
      text.insert(text.end(), line.begin(), line.end());
    }
    WriteFile(root_ / "tree/deep/er/still/text", text);
    fs::create_directories(root_ / "tree/empty-dir");
    fs::create_symlink("../readme.txt", root_ / "tree/bin/link");
    SetTime(root_ / "tree/bin/link", 1350000000);
  }

  // Every entry below `top`: kind, mode, time (not for directories, whose
  // times change as they fill), contents or link target.
  static std::map<std::string, std::string> Describe(const fs::path& top) {
    std::map<std::string, std::string> tree;
    for (const auto& entry : fs::recursive_directory_iterator(top)) {
      struct stat st;
      lstat(entry.path().c_str(), &st);
      std::string what = std::to_string(st.st_mode);
      if (S_ISLNK(st.st_mode)) {
        what += " -> " + fs::read_symlink(entry.path()).string();
      } else if (S_ISREG(st.st_mode)) {
        Bytes bytes = ReadFile(entry.path());
        what += " " + std::to_string(st.st_mtime) + " " + std::string(bytes.begin(), bytes.end());
      }
      tree[fs::relative(entry.path(), top).string()] = what;
    }
    return tree;
  }
};

TEST_F(RoundTrip, TreeComesBackWhole) {
  for (const char* level : {"-h0", "-h1", "-h2", "-o"}) {  // -o: lh1, as old readers want it
    SCOPED_TRACE(level);
    fs::remove(Archive());
    fs::remove_all(root_ / "out");
    Outcome added = RunUnlha(std::string("a -r -d ") + level + " " + Archive() + " " + Base("tree"));
    ASSERT_EQ(added.result, UNLHA_OK) << added.report;
    Outcome extracted = RunUnlha("x " + Archive() + " " + Out());
    ASSERT_EQ(extracted.result, UNLHA_OK) << extracted.report;
    EXPECT_EQ(Describe(root_ / "out"), Describe(root_ / "tree"));
  }
}

// The archive lies where the extractor's image ends, and is found there
// however large the extractor is built (megabytes with sanitizers).
TEST_F(RoundTrip, SelfExtractingProgramKeepsItsArchiveWhereTheImageEnds) {
  MemoryReader stub_reader(sfx::Stub());
  uint64_t image_end = 0;
  ASSERT_TRUE(ProgramImageEnd(stub_reader, &image_end).ok());
  EXPECT_EQ(image_end, sfx::Stub().size());

  ASSERT_EQ(RunUnlha("a " + Archive("pack.lzh") + " " + Base("tree") + " readme.txt").result, UNLHA_OK);
  ASSERT_EQ(RunUnlha("s " + Archive("pack.lzh")).result, UNLHA_OK);
  std::unique_ptr<FileReader> reader;
  ASSERT_TRUE(FileReader::Open((root_ / "pack").string(), &reader).ok());
  ArchiveWalker walker(*reader);
  ASSERT_TRUE(walker.Open().ok());
  EXPECT_EQ(walker.archive_offset(), sfx::Stub().size());
}

TEST_F(RoundTrip, SelfExtractingProgramNeverOverwritesAnotherFile) {
  ASSERT_EQ(RunUnlha("a " + Archive("pack.lzh") + " " + Base("tree") + " readme.txt").result, UNLHA_OK);
  // Neither a document nor a plain archive of that name is the program's.
  for (const Bytes& other : {ToBytes("an unrelated file named pack"), ReadFile(root_ / "pack.lzh")}) {
    WriteFile(root_ / "pack", other);
    EXPECT_EQ(RunUnlha("s " + Archive("pack.lzh")).result, UNLHA_SKIPPED);
    EXPECT_EQ(ReadFile(root_ / "pack"), other);
  }
  // A self-extracting archive of that name is replaced, and itself
  // updated like any archive, keeping its program.
  fs::remove(root_ / "pack");
  ASSERT_EQ(RunUnlha("s " + Archive("pack.lzh")).result, UNLHA_OK);
  ASSERT_EQ(RunUnlha("a " + (root_ / "pack").string() + " " + Base("tree") + " empty.dat").result, UNLHA_OK);
  EXPECT_EQ(Paths((root_ / "pack").string()), (std::vector<std::string>{"readme.txt", "empty.dat"}));
  EXPECT_EQ(std::system(("cd '" + (root_ / "out").string() + "' && '" + (root_ / "pack").string() + "' > log").c_str()), 0);
  EXPECT_TRUE(fs::exists(root_ / "out/empty.dat"));
}

}  // namespace
}  // namespace lzh::test
