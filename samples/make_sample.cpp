// make_sample: writes samples/sample.lzh, the archive the run command shows
// tavo on, from the text files in samples/files/ with the library's own
// archive writer.
//
// The archive must come out the same on every machine and every checkout:
// members are taken in sorted path order and get a fixed time and fixed
// Unix modes instead of whatever the checkout left on disk. Directories get
// no entries of their own (the members' paths carry them): bsdtar refuses an
// archive holding a -lhd- directory entry, and the sample should open in
// every common reader.
//
//   make_sample <source-directory> <archive>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "format/archive_writer.h"
#include "os/file_stream.h"
#include "format/member_input.h"
#include "format/output.h"

namespace fs = std::filesystem;

namespace {

constexpr int64_t kSampleTime = 1717243200;  // 2024-06-01 12:00:00 UTC
constexpr uint16_t kFileMode = 0100644;

bool Fail(const std::string& what, const lzh::Status& status) {
  std::fprintf(stderr, "make_sample: %s: %s\n", what.c_str(), status.message());
  return false;
}

bool WriteSample(const fs::path& source, const std::string& archive) {
  std::vector<fs::path> files;
  for (const auto& entry : fs::recursive_directory_iterator(source))
    if (entry.is_regular_file()) files.push_back(entry.path());
  std::sort(files.begin(), files.end());

  lzh::os::File archive_file;
  if (lzh::Status status = lzh::os::File::Create(archive, &archive_file); !status.ok()) return Fail(archive, status);
  lzh::os::FileOutput output(archive_file);
  lzh::ArchiveWriter writer(output, 2);
  for (const fs::path& file : files) {
    fs::path relative = file.lexically_relative(source);
    lzh::MemberHeader header;
    for (const fs::path& component : relative) header.path.push_back(component.string());
    header.method = lzh::Method::kLh5;
    header.original_size = fs::file_size(file);
    header.mtime = kSampleTime;
    header.mtime_valid = true;
    header.os_id = 'U';
    header.has_unix_mode = true;
    header.unix_mode = kFileMode;
    lzh::os::File source_file;
    if (lzh::Status status = lzh::os::File::OpenRead(file.string(), &source_file); !status.ok())
      return Fail(file.string(), status);
    lzh::os::FileInput input(source_file);
    if (lzh::Status status = writer.AddMember(&header, input); !status.ok()) return Fail(relative.string(), status);
  }
  if (lzh::Status status = writer.Finish(); !status.ok()) return Fail(archive, status);
  if (lzh::Status status = archive_file.Close(); !status.ok()) return Fail(archive, status);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_sample <source-directory> <archive>\n");
    return 2;
  }
  return WriteSample(argv[1], argv[2]) ? 0 : 1;
}
