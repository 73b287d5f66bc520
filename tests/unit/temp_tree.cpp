// Temporary trees below the system's temporary directory, made with mkdtemp
// so that parallel test runs never share one.
#include "temp_tree.h"

#include <stdlib.h>

#include <fstream>
#include <stdexcept>

TempTree::TempTree() {
  std::string pattern = (std::filesystem::temp_directory_path() / "tavo-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  root_ = pattern;
}

TempTree::~TempTree() {
  std::error_code ignored;
  std::filesystem::permissions(root_, std::filesystem::perms::owner_all, ignored);
  for (auto it = std::filesystem::recursive_directory_iterator(root_, ignored);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ignored))
    if (it->is_directory(ignored) && !it->is_symlink(ignored))
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all, ignored);
  std::filesystem::remove_all(root_, ignored);
}

void TempTree::File(const std::string& relative, const std::string& content) const {
  std::filesystem::path path = root_ / relative;
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << content;
}
