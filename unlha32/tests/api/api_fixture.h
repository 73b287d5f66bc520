// The one fixture of the tests that drive the library through its exported
// C functions, as a front end does: a scratch directory per test, archives
// written by our own format layer or built byte by byte, a runner that
// calls Unlha() with a guarded report buffer (in this process, or in a
// child readied first: a new session, a size limit, another user), trees
// of files to archive, and the members an archive holds as the format
// layer reads them back (levels and stored forms the reports never show).
// Hostile archives are extracted inside a fence (HostileTest): after every
// run, all of it but the target directory must be as it was.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "include/unlha32.h"
#include "tests/archive_builder.h"

namespace lzh::test {

namespace fs = std::filesystem;

struct Outcome {
  int result;
  std::string report;
};

// Calls Unlha() with a buffer of `size` bytes followed by guard bytes that
// must come back untouched.
inline Outcome RunUnlha(const std::string& line, size_t size = 1 << 16) {
  std::vector<char> buffer(size + 64, '\x7f');
  int result = Unlha(nullptr, line.c_str(), buffer.data(), static_cast<uint32_t>(size));
  EXPECT_EQ(std::count(buffer.begin() + static_cast<ptrdiff_t>(size), buffer.end(), '\x7f'), 64)
      << "report overran its buffer for: " << line;
  size_t length = size == 0 ? 0 : strnlen(buffer.data(), size);
  EXPECT_TRUE(size == 0 || length < size) << "report without NUL for: " << line;
  return Outcome{result, std::string(buffer.data(), length)};
}

// Runs `line` through RunUnlha() in a child process that `prepare` readies
// first; the child's exit must be clean and its own checks must hold. When
// `prepare` fails the outcome is -1.
inline Outcome RunUnlhaInChild(const std::string& line, const std::function<bool()>& prepare) {
  int pipe_ends[2];
  if (pipe(pipe_ends) != 0) return {UNLHA_INTERNAL, "no pipe"};
  pid_t child = fork();
  if (child == 0) {
    close(pipe_ends[0]);
    std::string message = "-1\nthe child could not be prepared";
    if (prepare()) {
      Outcome outcome = RunUnlha(line);
      message = std::to_string(outcome.result) + "\n" + outcome.report;
    }
    ssize_t ignored = write(pipe_ends[1], message.data(), message.size());
    (void)ignored;
    _exit(::testing::Test::HasFailure() ? 1 : 0);
  }
  close(pipe_ends[1]);
  std::string message;
  char block[4096];
  for (ssize_t got; (got = read(pipe_ends[0], block, sizeof block)) > 0;) message.append(block, static_cast<size_t>(got));
  close(pipe_ends[0]);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the command's process failed or crashed: " << line;
  size_t newline = message.find('\n');
  if (newline == std::string::npos) return {UNLHA_INTERNAL, "no outcome from the child"};
  return {std::stoi(message.substr(0, newline)), message.substr(newline + 1)};
}

// Without a terminal: the library asks before replacing a file when it has
// one.
inline Outcome RunWithoutTerminal(const std::string& line) {
  return RunUnlhaInChild(line, [] { return setsid() >= 0; });
}

// As a user without privileges: root ignores permissions, so a root run
// gives the child the identity of "nobody".
inline Outcome Unprivileged(const std::string& line) {
  return RunUnlhaInChild(line, [] {
    if (geteuid() != 0) return true;
    const passwd* nobody = getpwnam("nobody");
    return nobody && setgid(nobody->pw_gid) == 0 && setuid(nobody->pw_uid) == 0;
  });
}

inline void WriteFile(const fs::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Bytes that do not compress: sizes on disk are predictable, and writing
// them takes long enough for a test to act meanwhile.
inline Bytes Noise(size_t size, uint32_t seed = 1) {
  Bytes bytes(size);
  for (uint8_t& b : bytes) {
    seed = seed * 1103515245u + 12345u;
    b = static_cast<uint8_t>(seed >> 24);
  }
  return bytes;
}

inline bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class ScratchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("LC_ALL", "C.UTF-8", 1);
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    root_ = fs::temp_directory_path() /
            ("unlha32_api_" + std::to_string(getpid()) + "_" + info->test_suite_name() + "_" + info->name());
    fs::remove_all(root_);
    fs::create_directories(root_ / "out");
  }
  void TearDown() override {
    if (!mounted_.empty()) umount2(mounted_.c_str(), MNT_DETACH);
    std::error_code ignored;
    fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(root_, ignored);
  }
  std::string Put(const std::string& name, const Bytes& bytes) {
    WriteFile(root_ / name, bytes);
    return (root_ / name).string();
  }
  std::string Out() const { return (root_ / "out").string() + "/"; }
  std::string Archive(const std::string& name = "arc.lzh") const { return (root_ / name).string(); }
  // The base-directory argument: files are named relative to it.
  std::string Base(const std::string& directory = "src") const { return (root_ / directory).string() + "/"; }
  // Every entry below `directory` (out/ by default), relative, sorted.
  Names Entries(const std::string& directory = "out") const {
    Names entries;
    for (const auto& e : fs::recursive_directory_iterator(root_ / directory))
      entries.push_back(fs::relative(e.path(), root_ / directory).string());
    std::sort(entries.begin(), entries.end());
    return entries;
  }
  fs::path Make(const std::string& relative, const std::string& text, int64_t mtime = 1500000000, mode_t mode = 0644) {
    fs::path path = root_ / relative;
    fs::create_directories(path.parent_path());
    WriteFile(path, ToBytes(text));
    chmod(path.c_str(), mode);
    struct timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(mtime), 0}};
    utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
    return path;
  }
  // Mounts a file system of `kib` KiB at root_/name. False when this
  // machine does not allow it (no privilege to mount).
  bool MountSmallDisk(const std::string& name, int kib) {
    fs::path at = root_ / name;
    fs::create_directories(at);
    if (mount("tmpfs", at.c_str(), "tmpfs", 0, ("size=" + std::to_string(kib) + "k").c_str()) != 0) return false;
    mounted_ = at.string();
    return true;
  }
  // Temporary and lock files of the library left in `directory`.
  Names Leftovers(const fs::path& directory) const {
    Names found;
    for (const auto& entry : fs::directory_iterator(directory))
      if (Contains(entry.path().filename().string(), ".unlha32-")) found.push_back(entry.path().filename().string());
    return found;
  }

  fs::path root_;
  std::string mounted_;
};

// Every entry under `top` but `skipped`: type, and a file's bytes or a
// link's target.
inline std::map<std::string, std::string> Snapshot(const fs::path& top, const fs::path& skipped) {
  std::map<std::string, std::string> entries;
  auto it = fs::recursive_directory_iterator(top);
  for (auto end = fs::end(it); it != end; ++it) {
    const fs::path& path = it->path();
    if (path == skipped) {
      it.disable_recursion_pending();
      continue;
    }
    Bytes bytes = it->is_regular_file() && !it->is_symlink() ? ReadFile(path) : Bytes();
    entries[path.string()] = it->is_symlink()     ? "link to " + fs::read_symlink(path).string()
                             : it->is_directory() ? "directory"
                                                  : "file " + std::string(bytes.begin(), bytes.end());
  }
  return entries;
}

// Layout: fence/secret.txt, fence/a/b/{hostile.lzh, keep.txt, out/}, with
// out/ the target: a write one or two levels above it, beside it, through
// a link or into the archive changes the fence. Commands run without a
// terminal, so that no question waits for an answer.
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
  // One command; its result a documented code, and nothing outside out/ changed.
  Outcome Run(const std::string& line) {
    auto before = Snapshot(fence_, root_ / "out");
    Outcome outcome = RunWithoutTerminal(line);
    EXPECT_GE(outcome.result, UNLHA_OK);
    EXPECT_LT(outcome.result, UNLHA_INTERNAL) << outcome.report;
    EXPECT_EQ(Snapshot(fence_, root_ / "out"), before) << "written outside the target by: " << line;
    return outcome;
  }
  // Lists, tests and extracts `archive`; returns the extraction's outcome.
  Outcome ListTestExtract(const std::string& archive, const std::string& switches = "-m -c") {
    Run("l " + archive);
    Run("t " + archive);
    return Run("x " + switches + " " + archive + " " + Out());
  }
  fs::path fence_;
};

inline void ExpectNamed(const Outcome& outcome, const std::string& text) {
  EXPECT_TRUE(Contains(outcome.report, text)) << "\"" << text << "\" not named in:\n" << outcome.report;
}

// Hand-built members of any level, stored, holding `text`; and an archive
// of such members with its end byte.
inline Bytes Stored(Bytes header, const std::string& text) {
  AddText(&header, text);
  return header;
}
inline Fields StoredFields(const std::string& text) {
  uint32_t size = static_cast<uint32_t>(text.size());
  return Fields{"-lh0-", size, size, 0x4A215C00, 0x20, Crc16(0, reinterpret_cast<const uint8_t*>(text.data()), size)};
}
inline Bytes StoredLevel0(const std::string& name, const std::string& text) {
  return Stored(Level0(StoredFields(text), name), text);
}
inline Bytes StoredLevel1(const std::string& name, const std::string& text, uint8_t os = 'U',
                          std::vector<Ext> exts = {}) {
  return Stored(Level1(StoredFields(text), name, os, std::move(exts)), text);
}
inline Bytes StoredLevel2(std::vector<Ext> exts, const std::string& text) {
  return Stored(Level23(2, StoredFields(text), 1300000000, 'U', std::move(exts)), text);
}
inline Bytes Members(const std::vector<Bytes>& members) {
  Bytes archive;
  for (const Bytes& m : members) Append(&archive, m);
  archive.push_back(0);
  return archive;
}

}  // namespace lzh::test
