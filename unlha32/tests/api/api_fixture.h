// Shared ground for the tests that drive the library through its exported
// C functions, as a front end does: a scratch directory per test, archives
// written by our own format layer or built byte by byte, and a runner
// that calls Unlha() with a guarded report buffer.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "tests/archive_builder.h"
#include "include/unlha32.h"

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
// first (a new session, another user); the child's exit must be clean and
// its own checks must hold. When `prepare` fails the outcome is -1.
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

// Runs every line through Unlha() at once, each in its own process, and
// expects every one to finish with UNLHA_OK: the update lock must make
// racing writers take turns, never fail or lose one another's change.
inline void ExpectAllLandConcurrently(const std::vector<std::string>& lines) {
  std::vector<pid_t> children;
  for (const std::string& line : lines) {
    pid_t child = fork();
    if (child == 0) _exit(Unlha(nullptr, line.c_str(), nullptr, 0));
    children.push_back(child);
  }
  for (size_t i = 0; i < children.size(); ++i) {
    int status = 0;
    waitpid(children[i], &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == UNLHA_OK) << lines[i];
  }
}

inline Bytes ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
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
    std::error_code ignored;
    fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(root_, ignored);
  }
  std::string Put(const std::string& name, const Bytes& bytes) {
    WriteFile(root_ / name, bytes);
    return (root_ / name).string();
  }
  std::string Out() const { return (root_ / "out").string() + "/"; }
  // Every entry below the output directory, relative, sorted.
  std::vector<std::string> OutEntries() const {
    std::vector<std::string> entries;
    for (const auto& e : fs::recursive_directory_iterator(root_ / "out"))
      entries.push_back(fs::relative(e.path(), root_ / "out").string());
    std::sort(entries.begin(), entries.end());
    return entries;
  }
  fs::path root_;
};

}  // namespace lzh::test
