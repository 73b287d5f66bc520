// Archive reading for the commands: every path the user gives goes
// through NativePath, and only regular files are offered to the walker
// (a directory or a device is simply not an archive).
#include "commands/shared/archive_reading.h"

#include <climits>

#include "commands/shared/paths.h"
#include "format/archive_walker.h"
#include "os/file.h"
#include "os/directory.h"

namespace lzh::commands {
namespace {

Status OpenReader(const std::string& path, std::unique_ptr<FileReader>* reader) {
  std::string native = os::NativePath(path);
  os::EntryInfo info;
  LZH_TRY(os::Directory::Working().Lookup(native, os::Link::kFollowed, &info));
  LZH_REQUIRE(info.type != os::EntryType::kMissing, kIo, "no such file");
  LZH_REQUIRE(info.type == os::EntryType::kFile, kCorrupt, "not an LZH archive");
  return FileReader::Open(native, reader);
}

}  // namespace

std::string ArchivePathFor(const std::string& argument) {
  std::string directory, name;
  SplitDirectoryAndName(argument, &directory, &name);
  if (name.empty() || name.find('.') != std::string::npos) return argument;
  os::EntryInfo info;
  if (!os::Directory::Working().Lookup(os::NativePath(argument), os::Link::kNotFollowed, &info).ok() ||
      info.type != os::EntryType::kMissing)
    return argument;
  return argument + ".lzh";
}

bool DataCutShort(const MemberHeader& header, uint64_t size) {
  return header.data_offset > header.header_offset && header.data_offset <= size &&
         header.packed_size > size - header.data_offset;
}

Status OpenArchive(const std::string& path, ArchiveContents* contents) {
  *contents = ArchiveContents();
  LZH_TRY(OpenReader(path, &contents->reader));
  ArchiveWalker walker(*contents->reader);
  LZH_TRY(walker.Open());
  contents->archive_offset = walker.archive_offset();
  return Status::Ok();
}

void WalkMembers(ArchiveContents& contents, const std::function<void(MemberHeader&)>& each) {
  ArchiveWalker walker(*contents.reader);
  contents.damage = walker.Open();
  contents.damage_in_last_member = false;
  contents.damage_before_any_member = false;
  MemberHeader header;
  for (bool end = false, first = true; contents.damage.ok() && !end; first = false) {
    Status status = walker.Next(&header, &end);
    if (status.ok() && !end) each(header);
    if (status.ok()) continue;
    contents.damage_in_last_member = DataCutShort(header, contents.reader->Size());
    contents.damage_before_any_member = first && !contents.damage_in_last_member;
    if (contents.damage_in_last_member) each(header);
    contents.damage = status;
  }
}

std::string DamageLine(const ArchiveContents& contents, const std::string& members) {
  const std::string what = contents.damage.message();
  if (contents.damage_in_last_member) return "The archive is damaged: " + what;
  if (contents.damage_before_any_member) return "The archive is damaged: " + what + "; none of it could be read.";
  return "The archive is damaged after the members " + members + " (" + what + "); the rest of it was not read.";
}

Status WalkArchive(const std::string& path, ArchiveContents* contents,
                   const std::function<void(MemberHeader&)>& each) {
  LZH_TRY(OpenArchive(path, contents));
  WalkMembers(*contents, each);
  return Status::Ok();
}

bool IsReadableArchive(const std::string& path) {
  std::unique_ptr<FileReader> reader;
  if (!OpenReader(path, &reader).ok()) return false;
  ArchiveWalker walker(*reader);
  if (!walker.Open().ok()) return false;
  MemberHeader header;
  bool end = false;
  // Once Open has found the archive, only a read can fail without a member.
  return walker.Next(&header, &end).fault() != Fault::kIo && !end;
}

int CountMembers(const std::string& path) {
  std::unique_ptr<FileReader> reader;
  if (!OpenReader(path, &reader).ok()) return -1;
  ArchiveWalker walker(*reader);
  if (!walker.Open().ok()) return -1;
  MemberHeader header;
  int count = 0;
  for (;;) {
    bool end = false;
    Status status = walker.Next(&header, &end);
    if (end || !status.ok()) {
      if (!status.ok() && DataCutShort(header, reader->Size())) ++count;
      break;
    }
    if (count == INT_MAX) break;
    ++count;
  }
  return count;
}

}  // namespace lzh::commands
