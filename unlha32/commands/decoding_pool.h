// DecodingPool: members' data decoded on the machine's threads, one member
// a task, while the extraction walks on (see extract.cpp for the order it
// keeps).
//
// A file of its own so that the self-extracting program, which decodes on
// its one thread, links a stand-in (sfx/one_thread.cpp) and none of the
// threads' machinery: the pool's tasks carry what a failed task threw,
// and that alone brings the C++ runtime's exception support along.
#pragma once

#include <memory>

#include "base/status.h"
#include "base/stream.h"
#include "format/member_header.h"
#include "format/reader.h"

namespace lzh::commands {

// One member's decoding: what it reads, where the data goes, and how it
// went. The caller's, alive from Start to Finish.
struct MemberDecoding {
  RandomAccessReader* reader = nullptr;
  const MemberHeader* header = nullptr;
  ByteSink* sink = nullptr;
  Status status;
};

class DecodingPool {
 public:
  // The threads a pool would use; 1 means: decode on the caller's.
  static unsigned Threads();

  DecodingPool();
  ~DecodingPool();
  DecodingPool(const DecodingPool&) = delete;
  DecodingPool& operator=(const DecodingPool&) = delete;

  // Queues the decoding.
  void Start(MemberDecoding& decoding);
  // Returns once the oldest decoding still unfinished is done, running
  // queued ones on this thread meanwhile; its status is then set.
  void FinishOldest();

 private:
  struct State;  // the threads and the decodings started
  State* state_;
};

}  // namespace lzh::commands
