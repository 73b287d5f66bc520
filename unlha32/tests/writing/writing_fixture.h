// Shared ground for the writing-command tests: the scratch directory and
// Unlha() runner of the API tests, plus what tests of archive changes
// need: trees of files to archive, the members an archive holds (read
// back by the format layer), commands run in a child process (to give
// it a file-size limit, another user, or a signal), a small file system
// to fill, and a look for temporary files left behind.
#pragma once

#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <thread>

#include "api/api_fixture.h"
#include "format/archive_walker.h"

namespace lzh::test {

class WritingTest : public ScratchTest {
 protected:
  void TearDown() override {
    if (!mounted_.empty()) umount2(mounted_.c_str(), MNT_DETACH);
    ScratchTest::TearDown();
  }

  // As a user without privileges: root ignores permissions, so a root run
  // gives the child the identity of "nobody".
  static Outcome Unprivileged(const std::string& line) {
    return RunUnlhaInChild(line, [] {
      if (geteuid() != 0) return true;
      const passwd* nobody = getpwnam("nobody");
      return nobody && setgid(nobody->pw_gid) == 0 && setuid(nobody->pw_uid) == 0;
    });
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
  std::vector<std::string> Entries(const fs::path& directory) const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(directory)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  std::string Archive(const std::string& name = "arc.lzh") const { return (root_ / name).string(); }
  // The base-directory argument: files are named relative to it.
  std::string Base(const std::string& directory = "src") const { return (root_ / directory).string() + "/"; }

  fs::path Make(const std::string& relative, const std::string& text, int64_t mtime = 1500000000,
                mode_t mode = 0644) {
    fs::path path = root_ / relative;
    fs::create_directories(path.parent_path());
    WriteFile(path, ToBytes(text));
    chmod(path.c_str(), mode);
    SetTime(path, mtime);
    return path;
  }
  static void SetTime(const fs::path& path, int64_t mtime) {
    struct timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(mtime), 0}};
    utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
  }

  // The members as the format layer reads them: the fields the exported
  // functions never show (levels, stored name forms, owners) are checked.
  static std::vector<MemberHeader> Members(const std::string& archive) {
    Bytes bytes = ReadFile(archive);
    MemoryReader reader(bytes);
    ArchiveWalker walker(reader);
    std::vector<MemberHeader> members;
    Status status = walker.Open();
    for (bool end = false; status.ok() && !end;) {
      MemberHeader member;
      status = walker.Next(&member, &end);
      if (status.ok() && !end) members.push_back(std::move(member));
    }
    EXPECT_TRUE(status.ok()) << archive << ": " << status.message();
    return members;
  }
  static std::vector<std::string> Paths(const std::string& archive) {
    std::vector<std::string> paths;
    for (const MemberHeader& member : Members(archive)) paths.push_back(member.PathString());
    return paths;
  }

  // Runs `body` in a child process and returns its exit status, or 128 +
  // the signal that ended it.
  static int InChild(const std::function<int()>& body) {
    pid_t child = fork();
    if (child == 0) _exit(body());
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  // Unlha() in a child whose files may not grow past `limit` bytes.
  static int RunWithFileSizeLimit(const std::string& line, rlim_t limit) {
    return InChild([&] {
      struct rlimit rl = {limit, limit};
      setrlimit(RLIMIT_FSIZE, &rl);
      return Unlha(nullptr, line.c_str(), nullptr, 0);
    });
  }

  // Temporary and lock files of the library left in `directory`.
  std::vector<std::string> Leftovers(const fs::path& directory) const {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(directory)) {
      std::string name = entry.path().filename().string();
      if (name.find(".unlha32-") != std::string::npos) found.push_back(name);
    }
    return found;
  }
  // Waits until a temporary archive in `directory` has grown past `bytes`.
  bool WaitForTemporary(const fs::path& directory, uintmax_t bytes) const {
    for (int i = 0; i < 2000; ++i) {
      for (const auto& entry : fs::directory_iterator(directory)) {
        std::error_code error;
        std::string name = entry.path().filename().string();
        if (name.find(".unlha32-tmp") != std::string::npos && fs::file_size(entry.path(), error) > bytes && !error)
          return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
  }

  static bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
  }

  std::string mounted_;
};

}  // namespace lzh::test
