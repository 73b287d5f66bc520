// Decoding members on the pool changes nothing but the time: t, p, e and x
// over archives of members large enough to be handed over give the
// report, the result and the files that one thread gives, also where two
// members meet on one name (e), where a member is damaged, and where the
// archive ends inside a member. An interruption while several members are
// in flight leaves none of their temporary files.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "include/unlha32.h"

namespace fs = std::filesystem;

namespace {

class ParallelDecoding : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("unlha32-parallel-" + std::to_string(getpid()));
    fs::remove_all(root_);
    std::mt19937 random(7);
    // Text of random words packs to about half: 400 KB members are handed
    // over, the small one is decoded where the walk runs.
    auto write = [&](const std::string& name, size_t size) {
      fs::create_directories((root_ / "src" / name).parent_path());
      std::ofstream out(root_ / "src" / name, std::ios::binary);
      for (size_t written = 0; written < size; written += 9) out << std::hex << random() % 0xFFFFFF << "\t\n "[random() % 3];
    };
    for (int i = 0; i < 12; ++i) write("big" + std::to_string(i) + ".txt", 400000);
    write("one/same.txt", 300000);
    write("small.txt", 100);
    write("two/same.txt", 300000);
    archive_ = (root_ / "whole.lzh").string();
    Run("a -r " + archive_ + " " + (root_ / "src").string() + "/", "1");
  }
  void TearDown() override { fs::remove_all(root_); }

  // The result and report of `line` with UNLHA32_THREADS at `threads`.
  static std::string Run(const std::string& line, const char* threads) {
    setenv("UNLHA32_THREADS", threads, 1);
    std::vector<char> report(1 << 22);
    int result = Unlha(nullptr, line.c_str(), report.data(), static_cast<uint32_t>(report.size()));
    unsetenv("UNLHA32_THREADS");
    return std::to_string(result) + "\n" + report.data();
  }
  // Every file below `directory` with its contents; the directory goes.
  static std::map<std::string, std::string> Take(const fs::path& directory) {
    std::map<std::string, std::string> files;
    if (fs::exists(directory))
      for (const auto& entry : fs::recursive_directory_iterator(directory))
        if (entry.is_regular_file()) {
          std::ifstream in(entry.path(), std::ios::binary);
          files[fs::relative(entry.path(), directory).string()] = std::string(std::istreambuf_iterator<char>(in), {});
        }
    fs::remove_all(directory);
    return files;
  }

  fs::path root_;
  std::string archive_;
};

TEST_F(ParallelDecoding, GivesWhatOneThreadGives) {
  const std::string whole = archive_, damaged = (root_ / "damaged.lzh").string(), cut = (root_ / "cut.lzh").string();
  fs::copy_file(whole, damaged);
  fs::copy_file(whole, cut);
  const auto size = fs::file_size(whole);
  {
    std::fstream bytes(damaged, std::ios::in | std::ios::out | std::ios::binary);
    bytes.seekp(static_cast<std::streamoff>(size / 3));
    bytes.put('\x55');
  }
  fs::resize_file(cut, size * 2 / 3);
  const std::string out = (root_ / "out").string() + "/";
  for (const std::string& archive : {whole, damaged, cut})
    for (const char* command : {"t", "p", "e -m", "x -m"}) {
      const std::string line = std::string(command) + " " + archive + " " + out;
      SCOPED_TRACE(line);
      const std::string one = Run(line, "1");
      const auto one_files = Take(out);
      EXPECT_EQ(Run(line, "2"), one);
      EXPECT_EQ(Take(out), one_files);
    }
}

TEST_F(ParallelDecoding, InterruptionRemovesTheTemporaryOfEveryMemberInFlight) {
  const fs::path out = root_ / "out";
  fs::create_directories(out);
  auto temporaries = [&] {
    size_t count = 0;
    for (const auto& entry : fs::directory_iterator(out)) count += entry.path().filename().string().rfind(".unlha32-", 0) == 0;
    return count;
  };
  pid_t child = fork();
  if (child == 0) {
    signal(SIGINT, SIG_DFL);
    _exit(Run("x -m " + archive_ + " " + out.string() + "/", "2").front() - '0');
  }
  for (int i = 0; i < 5000 && temporaries() < 2; ++i) std::this_thread::sleep_for(std::chrono::microseconds(200));
  const size_t in_flight = temporaries();
  kill(child, SIGINT);
  int status = 0;
  waitpid(child, &status, 0);
  if (!WIFSIGNALED(status) || in_flight < 2) GTEST_SKIP() << "the extraction ended before two members were in flight";
  EXPECT_EQ(temporaries(), 0u);
}

}  // namespace
