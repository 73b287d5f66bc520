// The one fixture of the tests that drive the library through its exported
// C functions, as a front end does: a scratch directory per test, archives
// written by our own format layer or built byte by byte, a runner that
// calls Unlha() with a guarded report buffer (in this process, or in a
// child readied first: a new session, a size limit, another user), trees
// of files to archive, and the members an archive holds as the format
// layer reads them back (levels and stored forms the reports never show).
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
  for (size_t i = size; i < buffer.size(); ++i) {
    EXPECT_EQ(buffer[i], '\x7f') << "report overran its buffer at byte " << i << " for: " << line;
    if (buffer[i] != '\x7f') break;
  }
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
    const auto* checks = ::testing::UnitTest::GetInstance()->current_test_info()->result();
    int failures_before = checks->total_part_count();
    std::string message = "-1\nthe child could not be prepared";
    if (prepare()) {
      Outcome outcome = RunUnlha(line);
      message = std::to_string(outcome.result) + "\n" + outcome.report;
    }
    ssize_t ignored = write(pipe_ends[1], message.data(), message.size());
    (void)ignored;
    _exit(checks->total_part_count() == failures_before ? 0 : 1);
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
  // Waits until a temporary archive in `directory` has grown past `bytes`.
  bool WaitForTemporary(const fs::path& directory, uintmax_t bytes) const {
    for (int i = 0; i < 2000; ++i) {
      for (const auto& entry : fs::directory_iterator(directory)) {
        std::error_code error;
        if (Contains(entry.path().filename().string(), ".unlha32-tmp") && fs::file_size(entry.path(), error) > bytes &&
            !error)
          return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
  }

  fs::path root_;
  std::string mounted_;
};

}  // namespace lzh::test
