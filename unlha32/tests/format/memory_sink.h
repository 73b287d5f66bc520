// A ByteSink that collects everything in memory, for tests.
#pragma once

#include <vector>

#include "base/stream.h"

namespace lzh::test {

class MemorySink final : public ByteSink {
 public:
  Status Write(const uint8_t* data, size_t size) override {
    bytes.insert(bytes.end(), data, data + size);
    return Status::Ok();
  }
  std::vector<uint8_t> bytes;
};

}  // namespace lzh::test
