// Whole trees through `a` and back through `x` (ours) or through 7z,
// bsdtar and unar (black boxes, skipped when absent): contents, paths,
// empty files and directories, symbolic links, times and permissions
// must all come back. Also the self-extracting program: made by `s`, run
// as a program, it must extract the same tree.
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

  static bool Installed(const char* tool) {
    return std::system(("command -v " + std::string(tool) + " > /dev/null 2>&1").c_str()) == 0;
  }
};

TEST_F(RoundTrip, TreeComesBackWhole) {
  for (const char* level : {"-h0", "-h1", "-h2"}) {
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

TEST_F(RoundTrip, IndependentReadersExtractWhatWeWrite) {
  struct Tool {
    const char* name;
    std::string command;
  };
  ASSERT_EQ(RunUnlha("a -r " + Archive() + " " + Base("tree")).result, UNLHA_OK);
  const std::string out = (root_ / "out").string();
  for (const Tool& tool : {Tool{"7z", "7z x -y -o'" + out + "' '" + Archive() + "'"},
                           Tool{"bsdtar", "bsdtar -xf '" + Archive() + "' -C '" + out + "'"},
                           Tool{"unar", "unar -q -D -o '" + out + "' -f '" + Archive() + "'"}}) {
    if (!Installed(tool.name)) continue;
    SCOPED_TRACE(tool.name);
    fs::remove_all(out);
    fs::create_directories(out);
    ASSERT_EQ(std::system((tool.command + " > /dev/null 2>&1").c_str()), 0);
    for (const char* file : {"readme.txt", "empty.dat", "bin/tool.sh", "bin/blob", "deep/er/still/text"})
      EXPECT_EQ(ReadFile(root_ / "out" / file), ReadFile(root_ / "tree" / file)) << file;
  }
}

TEST_F(RoundTrip, SelfExtractingProgramRunsAndExtractsTheTree) {
  ASSERT_EQ(RunUnlha("a -r -d " + Archive("pack.lzh") + " " + Base("tree")).result, UNLHA_OK);
  Outcome made = RunUnlha("s " + Archive("pack.lzh"));
  ASSERT_EQ(made.result, UNLHA_OK) << made.report;
  fs::path program = root_ / "pack";
  ASSERT_TRUE(fs::exists(program));
  EXPECT_NE(fs::status(program).permissions() & fs::perms::owner_exec, fs::perms::none);
  // The library still reads it as an archive, with every member.
  EXPECT_EQ(Paths(program.string()), Paths(Archive("pack.lzh")));
  int status = std::system(("cd '" + (root_ / "out").string() + "' && '" + program.string() + "' > log").c_str());
  EXPECT_EQ(status, 0);
  EXPECT_EQ(Describe(root_ / "out"), [&] {
    auto tree = Describe(root_ / "tree");
    tree["log"] = Describe(root_ / "out")["log"];
    return tree;
  }());
  // Run again: existing files are kept, as x keeps them without a terminal.
  WriteFile(root_ / "out/readme.txt", ToBytes("mine"));
  std::system(("cd '" + (root_ / "out").string() + "' && '" + program.string() + "' > log 2>&1 < /dev/null").c_str());
  EXPECT_EQ(ReadFile(root_ / "out/readme.txt"), ToBytes("mine"));
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
