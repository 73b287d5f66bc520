// Ground for the injected-fault suite: Unlha() run in a child process (to
// give it another user or a signal) with its outcome brought back through
// a pipe, a small file system to fill, and the writing commands' presence.
#pragma once

#include <pwd.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/api/api_fixture.h"

namespace lzh::test {

class FaultTest : public ScratchTest {
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
    std::string options = "size=" + std::to_string(kib) + "k";
    if (mount("tmpfs", at.c_str(), "tmpfs", 0, options.c_str()) != 0) return false;
    mounted_ = at.string();
    return true;
  }

  // True when the library carries out the writing commands (a, d, m).
  bool CanWrite() {
    Outcome probe = RunUnlha("d " + (root_ / "probe.lzh").string() + " nothing");
    return probe.report.find("not available") == std::string::npos;
  }

  // Temporary and lock files the library left in `directory`.
  static std::vector<std::string> Leftovers(const fs::path& directory) {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(directory)) {
      std::string name = entry.path().filename().string();
      if (name.find(".unlha32-") != std::string::npos) found.push_back(name);
    }
    return found;
  }

  std::vector<std::string> Entries(const fs::path& directory) const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(directory)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  std::string mounted_;
};

#define SKIP_UNLESS_WRITING_COMMANDS()                                                              \
  if (!CanWrite()) GTEST_SKIP() << "the library reports the writing commands as not available yet; " \
                                   "this fault needs a, d and m"

}  // namespace lzh::test
