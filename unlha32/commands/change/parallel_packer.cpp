// The packer. Steps are taken in the new archive's order and held only as
// long as their batch is open; a file read for packing is described again
// afterwards, so that a file that changed while it was read is told apart.
#include "commands/change/parallel_packer.h"

#include <algorithm>
#include <atomic>

#include "format/member_input.h"
#include "os/file.h"
#include "os/file_stream.h"
#include "os/worker.h"

namespace lzh::commands {
namespace {

// Files up to this size are compressed into memory, in parallel.
constexpr uint64_t kInMemoryLimit = 4 << 20;
// The original bytes one batch of such files may hold.
constexpr uint64_t kBatchLimit = 8 << 20;

// A file being stored; `progress`, when given, is shown how far it is read.
class SourceInput final : public MemberInput {
 public:
  explicit SourceInput(ProgressLine* progress) : progress_(progress) {}
  Status Open(const std::string& path) { return os::File::OpenRead(path, &file_); }
  Status Read(uint8_t* buffer, size_t capacity, size_t* got) override {
    LZH_TRY(input_.Read(buffer, capacity, got));
    read_ += *got;
    if (progress_) progress_->Update(read_);
    return Status::Ok();
  }
  Status Rewind() override {
    read_ = 0;
    return input_.Rewind();
  }

 private:
  os::File file_;
  os::FileInput input_{file_};
  ProgressLine* progress_;
  uint64_t read_ = 0;
};

}  // namespace

std::string JoinStored(const std::vector<std::string>& components) {
  std::string joined;
  for (const std::string& component : components) joined += (joined.empty() ? "" : "/") + component;
  return joined;
}

bool ParallelPacker::InMemory(const PackStep& step) {
  return step.source && step.source->details.type == os::EntryType::kFile &&
         step.source->details.size <= kInMemoryLimit;
}

// Safe on the worker thread: it touches only its arguments and the file.
Status ParallelPacker::Pack(ArchiveWriter& writer, const SourceFile& source, MemberHeader* header,
                            bool* unchanged_while_read, ProgressLine* progress) {
  if (progress) progress->Begin(JoinStored(source.stored_path), source.details.size);
  SourceInput input(progress);
  LZH_TRY(input.Open(source.disk_path));
  LZH_TRY(writer.AddMember(header, input));
  const os::FileDetails& details = source.details;
  os::FileDetails after;
  *unchanged_while_read = os::Describe(source.disk_path, &after).ok() && after.type == details.type &&
                          after.size == details.size && after.mtime == details.mtime &&
                          header->original_size == details.size;
  return Status::Ok();
}

// Packs a file straight into the archive, on the caller's thread.
PackOutcome ParallelPacker::PackFile(const SourceFile& source, Status* failure) {
  MemberHeader header;
  bool unchanged = true;
  *failure = client_.NewHeader(source, &header);
  if (!failure->ok()) return PackOutcome::kSourceFailed;
  *failure = Pack(writer_, source, &header, &unchanged, &progress_);
  if (!failure->ok()) return output_.output_failed() ? PackOutcome::kOutputFailed : PackOutcome::kSourceFailed;
  client_.Recorded(source, header, unchanged);
  return PackOutcome::kWritten;
}

// Files up to kInMemoryLimit are gathered into a batch of at most
// kBatchLimit bytes (one file more when it is the first); a larger file
// waits for the batch that follows it, to be compressed beside it.
// Anything else ends the batch and is written alone.
Status ParallelPacker::Take(PackStep step) {
  if (InMemory(step)) {
    uint64_t size = step.source->details.size;
    if (!batch_.empty() && batch_bytes_ + size > kBatchLimit) LZH_TRY(WritePending());
    batch_bytes_ += size;
    batch_.push_back(std::move(step));
    return Status::Ok();
  }
  LZH_TRY(WritePending());
  if (step.source && step.source->details.type == os::EntryType::kFile) {
    large_file_ = std::move(step);
    return Status::Ok();
  }
  return client_.WriteAlone(writer_, step);
}

Status ParallelPacker::WritePending() {
  Status status;
  if (!batch_.empty())
    status = AddBatch(large_file_ ? &*large_file_ : nullptr, batch_.data(), batch_.size());
  else if (large_file_)
    status = WriteStep(*large_file_);
  large_file_.reset();
  batch_.clear();
  batch_bytes_ = 0;
  return status;
}

Status ParallelPacker::WriteStep(const PackStep& step) {
  Status failure;
  PackOutcome outcome = PackFile(*step.source, &failure);
  return client_.Settle(writer_, step, outcome, failure);
}

// `large_file`, when given, comes first in the archive: the caller's thread
// compresses it straight into the archive while the worker packs the batch.
Status ParallelPacker::AddBatch(const PackStep* large_file, const PackStep* steps, size_t count) {
  std::vector<Packed> packed(count);
  for (size_t i = 0; i < count; ++i) packed[i].status = client_.NewHeader(*steps[i].source, &packed[i].header);
  // Largest first, so that the two threads finish the batch together.
  std::vector<size_t> by_size(count);
  for (size_t i = 0; i < count; ++i) by_size[i] = i;
  std::stable_sort(by_size.begin(), by_size.end(), [steps](size_t a, size_t b) {
    return steps[a].source->details.size > steps[b].source->details.size;
  });
  std::atomic<size_t> next{0};
  auto pack_the_rest = [&](ProgressLine* progress) {
    for (size_t taken; (taken = next++) < count;) {
      size_t i = by_size[taken];
      if (!packed[i].status.ok()) continue;
      ArchiveWriter member_writer(packed[i].bytes, level_);
      packed[i].status =
          Pack(member_writer, *steps[i].source, &packed[i].header, &packed[i].unchanged_while_read, progress);
    }
  };
  PackOutcome large_outcome = PackOutcome::kWritten;
  Status large_failure;
  {
    os::Worker worker;
    if (count > 1 || large_file) worker.Start([&] { pack_the_rest(nullptr); });
    if (large_file) large_outcome = PackFile(*large_file->source, &large_failure);
    pack_the_rest(&progress_);
    worker.Join();
  }
  if (large_file) LZH_TRY(client_.Settle(writer_, *large_file, large_outcome, large_failure));
  for (size_t i = 0; i < count; ++i) {
    Packed& member = packed[i];
    PackOutcome outcome = PackOutcome::kSourceFailed;
    Status failure = member.status;
    if (failure.ok()) {
      uint64_t offset = output_.Position();
      failure = output_.Write(member.bytes.bytes().data(), member.bytes.bytes().size());
      outcome = failure.ok() ? PackOutcome::kWritten : PackOutcome::kOutputFailed;
      member.header.header_offset += offset;
      member.header.data_offset += offset;
      if (failure.ok()) client_.Recorded(*steps[i].source, member.header, member.unchanged_while_read);
    }
    member.bytes = MemoryOutput();  // the batch's memory goes as it is written
    LZH_TRY(client_.Settle(writer_, steps[i], outcome, failure));
  }
  return Status::Ok();
}

}  // namespace lzh::commands
