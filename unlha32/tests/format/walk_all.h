// Walks a whole archive held in memory and records what the walker saw:
// where the archive starts and ends and the members' paths, so that tests
// of the walker and of self-extracting programs check the same things.
#pragma once

#include <string>
#include <vector>

#include "format/archive_walker.h"
#include "tests/format/header_bytes.h"

namespace lzh::test {

struct Walk {
  Status status;
  std::vector<std::string> names;
  bool self_extracting = false;
  uint64_t archive_offset = 0;
  uint64_t end_offset = 0;
  bool has_end_byte = false;
};

inline Walk WalkAll(const Bytes& archive) {
  MemoryReader reader(archive);
  ArchiveWalker walker(reader);
  Walk w;
  w.status = walker.Open();
  if (!w.status.ok()) return w;
  w.self_extracting = walker.self_extracting();
  w.archive_offset = walker.archive_offset();
  MemberHeader h;
  for (bool end = false;;) {
    w.status = walker.Next(&h, &end);
    if (!w.status.ok() || end) break;
    w.names.push_back(h.PathString());
  }
  w.end_offset = walker.end_offset();
  w.has_end_byte = walker.has_end_byte();
  return w;
}

}  // namespace lzh::test
