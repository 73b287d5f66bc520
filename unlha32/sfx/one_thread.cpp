// The self-extracting program's decoding pool: none. It decodes on its one
// thread, as a program that must stay small should: told one thread, the
// extraction never makes a pool, so the pool's functions only have to
// exist. The real pool (commands/decoding_pool.cpp) would bring the
// platform's threads and the C++ runtime's exception support into every
// archive's stub.
#include "commands/decoding_pool.h"

namespace lzh::commands {

unsigned DecodingPool::Threads() { return 1; }

DecodingPool::DecodingPool() : state_(nullptr) {}
DecodingPool::~DecodingPool() {}
void DecodingPool::Start(MemberDecoding&) {}
void DecodingPool::FinishOldest() {}

}  // namespace lzh::commands
