// Ground for the hostile-archive suite, on the fixture of the exported
// functions: every archive is extracted inside a fence of directories that
// the test watches.
//
// Layout: fence/secret.txt, fence/a/b/{hostile.lzh, keep.txt, out/}, with
// out/ the target directory. Every run of Unlha() is followed by a look at
// the whole fence: apart from what lies inside out/, every entry must be
// exactly as before (same type, size, bytes, link target), so a write one
// or two levels above the target, beside it, through a link, or into the
// archive itself fails the test that caused it. Runs also check that the
// result is a documented code and the report a NUL-terminated text inside
// its buffer (RunUnlha). Commands run without a terminal, so that no
// question waits for an answer.
#pragma once

#include <map>

#include "tests/api/api_fixture.h"
#include "tests/format/header_bytes.h"

namespace lzh::test {

// Every entry under a directory but `skipped`: type, and the bytes of a
// file or the target of a link.
inline std::map<std::string, std::string> Snapshot(const fs::path& top, const fs::path& skipped) {
  std::map<std::string, std::string> entries;
  auto it = fs::recursive_directory_iterator(top);
  for (auto end = fs::end(it); it != end; ++it) {
    const fs::path& path = it->path();
    if (path == skipped) {
      it.disable_recursion_pending();
      continue;
    }
    std::string what;
    if (it->is_symlink()) what = "link to " + fs::read_symlink(path).string();
    else if (it->is_directory()) what = "directory";
    else {
      Bytes bytes = ReadFile(path);
      what = "file " + std::string(bytes.begin(), bytes.end());
    }
    entries[path.string()] = what;
  }
  return entries;
}

class HostileTest : public ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    fence_ = root_;
    root_ = fence_ / "a" / "b";
    fs::create_directories(root_ / "out");
    WriteFile(fence_ / "secret.txt", ToBytes("precious"));
    WriteFile(root_ / "keep.txt", ToBytes("keep"));
  }
  void TearDown() override {
    root_ = fence_;
    ScratchTest::TearDown();
  }

  std::string Archive(const Bytes& bytes, const std::string& name = "hostile.lzh") { return Put(name, bytes); }

  // Runs one command without a terminal and checks that nothing outside
  // out/ changed.
  Outcome Run(const std::string& line) {
    auto before = Snapshot(fence_, root_ / "out");
    Outcome outcome = RunWithoutTerminal(line);
    EXPECT_GE(outcome.result, UNLHA_OK);
    EXPECT_LT(outcome.result, UNLHA_INTERNAL) << outcome.report;
    EXPECT_EQ(Snapshot(fence_, root_ / "out"), before) << "written outside the target by: " << line << "\n"
                                                      << outcome.report;
    return outcome;
  }

  // Lists, tests and extracts (answering no question) `archive`; returns
  // the extraction's outcome.
  Outcome ListTestExtract(const std::string& archive, const std::string& switches = "-m -c") {
    Run("l " + archive);
    Run("t " + archive);
    return Run("x " + switches + " " + archive + " " + Out());
  }

  fs::path fence_;
};

inline void ExpectNamed(const Outcome& outcome, const std::string& text) {
  EXPECT_NE(outcome.report.find(text), std::string::npos) << "\"" << text << "\" not named in:\n" << outcome.report;
}

// A whole archive from members and the end byte.
inline Bytes Members(const std::vector<Bytes>& members) {
  Bytes archive;
  for (const Bytes& m : members) Append(&archive, m);
  archive.push_back(0);
  return archive;
}

// A stored member: header (built by `header`) followed by `data`, with
// sizes and CRC filled in from the data.
inline Fields Stored(const Bytes& data) {
  Fields f;
  f.packed = static_cast<uint32_t>(data.size());
  f.original = static_cast<uint32_t>(data.size());
  f.crc = Crc16(0, data.data(), data.size());
  return f;
}

inline Bytes With(Bytes header, const Bytes& data) {
  Append(&header, data);
  return header;
}

inline Bytes StoredLevel0(const std::string& name, const std::string& text) {
  return With(Level0(Stored(ToBytes(text)), name), ToBytes(text));
}
inline Bytes StoredLevel1(const std::string& name, const std::string& text, uint8_t os = 'U',
                          std::vector<Ext> exts = {}) {
  return With(Level1(Stored(ToBytes(text)), name, os, std::move(exts)), ToBytes(text));
}
inline Bytes StoredLevel2(std::vector<Ext> exts, const std::string& text, uint8_t os = 'U') {
  return With(Level23(2, Stored(ToBytes(text)), 1300000000, os, std::move(exts)), ToBytes(text));
}

}  // namespace lzh::test
