// A temporary directory tree for tests that touch the file system; removed
// with everything in it when the object goes.
#pragma once

#include <filesystem>
#include <string>

class TempTree {
 public:
  TempTree();
  ~TempTree();
  const std::filesystem::path& root() const { return root_; }
  // Creates a file (and its parent directories) below the root.
  void File(const std::string& relative, const std::string& content = "x") const;

 private:
  std::filesystem::path root_;
};
