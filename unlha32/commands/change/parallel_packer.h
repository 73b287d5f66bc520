// ParallelPacker: the files of a change packed into the new archive on
// both cores, the archive coming out as one thread would write it.
//
// Files up to a few MiB are compressed apart from the archive, into
// memory, by two threads taking the files of a batch in turn; the batch is
// then written in the order the steps were taken, so the archive is the
// same as one written by a single thread. Larger files are compressed
// straight into the archive, while the worker packs the batch after them.
// A batch holds a bounded number of bytes, so memory stays bounded
// whatever the files.
//
// The packer only orders and packs: what a member's header says, what a
// failed file costs and what is reported are the command's, asked through
// PackerClient; steps that pack no file (an old member copied, a directory
// or link entry) go back to the command in their turn.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "commands/change/archive_update.h"
#include "commands/shared/progress.h"
#include "format/archive_writer.h"
#include "format/member_header.h"
#include "os/file.h"

namespace lzh::commands {

// A file to be stored, as the command found it.
struct SourceFile {
  std::string disk_path;                  // as the system takes it
  std::vector<std::string> stored_path;   // components, never empty
  os::FileDetails details;                // type kFile, kSymlink or kDirectory
};

// The stored path with '/' between its components.
std::string JoinStored(const std::vector<std::string>& components);

// One step of the new archive: an old member copied (source null), a file
// replacing an old member, or a file appended (no old_member).
struct PackStep {
  const SourceFile* source;
  std::optional<MemberHeader> old_member;
};

enum class PackOutcome : uint8_t { kWritten, kSourceFailed, kOutputFailed };

// What the packer asks of the command whose files it packs. Called on the
// command's thread only, except NewHeader, which must be safe on the
// worker too.
class PackerClient {
 public:
  // The header of the member `source` becomes; a failure costs that file
  // alone.
  virtual Status NewHeader(const SourceFile& source, MemberHeader* header) const = 0;
  // A file's member is in the new archive: `header` as written (offsets
  // in the new archive, CRC).
  virtual void Recorded(const SourceFile& source, const MemberHeader& header, bool unchanged_while_read) = 0;
  // What became of a file's step. Returns a failure only when the whole
  // change must be given up.
  virtual Status Settle(ArchiveWriter& writer, const PackStep& step, PackOutcome outcome, const Status& failure) = 0;
  // Writes a step that packs no file, in its turn.
  virtual Status WriteAlone(ArchiveWriter& writer, const PackStep& step) = 0;

 protected:
  ~PackerClient() = default;
};

class ParallelPacker {
 public:
  // New members get headers of `level`; `progress` shows the files packed
  // on the caller's thread.
  ParallelPacker(ArchiveUpdate& output, ArchiveWriter& writer, int level, ProgressLine& progress,
                 PackerClient& client)
      : output_(output), writer_(writer), level_(level), progress_(progress), client_(client) {}

  // Takes the next step of the new archive; it is written in its turn,
  // perhaps only when later steps are known.
  Status Take(PackStep step);
  // Writes the steps taken and not yet written.
  Status WritePending();

 private:
  // A file compressed into memory, as a member at offset 0.
  struct Packed {
    MemberHeader header;
    MemoryOutput bytes;
    Status status;
    bool unchanged_while_read = false;
  };

  static bool InMemory(const PackStep& step);
  // `progress` is given only on the caller's thread, which owns the line.
  static Status Pack(ArchiveWriter& writer, const SourceFile& source, MemberHeader* header,
                     bool* unchanged_while_read, ProgressLine* progress);
  PackOutcome PackFile(const SourceFile& source, Status* failure);
  Status WriteStep(const PackStep& step);
  Status AddBatch(const PackStep* large_file, const PackStep* steps, size_t count);

  ArchiveUpdate& output_;
  ArchiveWriter& writer_;
  const int level_;
  ProgressLine& progress_;
  PackerClient& client_;
  // Steps wait here until what follows them is known (see Take).
  std::optional<PackStep> large_file_;
  std::vector<PackStep> batch_;
  uint64_t batch_bytes_ = 0;
};

}  // namespace lzh::commands
