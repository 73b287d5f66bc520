// The decoding pool over the library's thread pool.
#include "commands/decoding_pool.h"

#include <deque>
#include <memory>

#include "format/member_data.h"
#include "os/thread_pool.h"

namespace lzh::commands {

namespace {

struct DecodingTask final : os::ThreadPool::Task {
  explicit DecodingTask(MemberDecoding& work) : decoding(work) {}
  void Run() override { decoding.status = ExtractMemberData(*decoding.reader, *decoding.header, *decoding.sink); }
  MemberDecoding& decoding;
};

}  // namespace

// The tasks are declared first so that the threads go first: the pool
// finishes the tasks it runs before they go.
struct DecodingPool::State {
  std::deque<std::unique_ptr<DecodingTask>> started;
  os::ThreadPool threads{os::UsableThreads()};
};

unsigned DecodingPool::Threads() { return os::UsableThreads(); }

DecodingPool::DecodingPool() : state_(new State) {}

DecodingPool::~DecodingPool() { delete state_; }

void DecodingPool::Start(MemberDecoding& decoding) {
  state_->started.push_back(std::make_unique<DecodingTask>(decoding));
  state_->threads.Submit(*state_->started.back());
}

void DecodingPool::FinishOldest() {
  std::unique_ptr<DecodingTask> oldest = std::move(state_->started.front());
  state_->started.pop_front();
  state_->threads.Wait(*oldest);
}

}  // namespace lzh::commands
