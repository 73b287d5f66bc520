// Archives for tests, in memory: written by the library's own archive
// writer from a list of members, or built byte by byte (stored level-2
// members) when a test needs names or fields the writer would never
// produce: hostile paths, rare methods, wrong CRCs, other code pages; and
// an archive file's members as the format layer reads them back (levels
// and stored forms that reports never show). Shared by the library's
// tests and the end-to-end tests of tavo.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "codec/method.h"
#include "format/archive_walker.h"
#include "format/archive_writer.h"
#include "tests/format/header_bytes.h"

namespace lzh::test {

using Names = std::vector<std::string>;

inline Bytes ToBytes(std::string_view text) { return Bytes(text.begin(), text.end()); }

// A member for the library's own archive writer, dated 2011-03-13.
struct Member {
  std::vector<std::string> path;
  Bytes data;
  Method method = Method::kLh5;
};

inline Bytes WriteArchive(const std::vector<Member>& members, int level = 2) {
  MemoryOutput output;
  ArchiveWriter writer(output, level);
  for (const Member& m : members) {
    MemberHeader header;
    header.path = m.path;
    header.mtime = 1300000000;
    header.mtime_valid = true;
    header.os_id = 'U';
    header.method = m.method;
    header.original_size = m.data.size();
    MemoryInput input(m.data);
    Status status = writer.AddMember(&header, input);
    EXPECT_TRUE(status.ok()) << status.message();
  }
  EXPECT_TRUE(writer.Finish().ok());
  return output.bytes();
}

// A stored level-2 member built byte by byte, so that tests can give it any
// name bytes at all (the writer would not produce hostile ones).
struct RawMember {
  std::string name;       // extended header 0x01
  std::string directory;  // extended header 0x02, components separated by 0xFF
  Bytes data;
  std::string method = "-lh0-";
  uint8_t os_id = 'U';
  std::optional<uint32_t> code_page;
  std::optional<uint16_t> unix_mode;
  uint32_t mtime = 1300000000;
  std::optional<uint16_t> crc;  // a wrong CRC when set
};

inline Bytes RawLevel2(const RawMember& m) {
  std::vector<Ext> exts = {{0x01, m.name}};
  if (!m.directory.empty()) exts.push_back({0x02, m.directory});
  if (m.code_page) exts.push_back(Ext32(0x46, *m.code_page));
  if (m.unix_mode) exts.push_back(Ext16(0x50, *m.unix_mode));
  uint32_t size = static_cast<uint32_t>(m.data.size());
  Fields f{m.method, size, size, 0, 0x20, m.crc ? *m.crc : Crc16(0, m.data.data(), m.data.size())};
  Bytes h = Level23(2, f, m.mtime, m.os_id, exts);
  if ((h.size() & 0xFF) == 0) h = Level23(2, f, m.mtime, m.os_id, exts, true, 0, 1);  // low byte 0 reads as the end
  Append(&h, m.data);
  return h;
}

inline Bytes RawArchive(const std::vector<RawMember>& members) {
  Bytes archive;
  for (const RawMember& m : members) Append(&archive, RawLevel2(m));
  archive.push_back(0);
  return archive;
}

inline Bytes ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

// The members as the format layer reads them.
inline std::vector<MemberHeader> Members(const std::string& archive) {
  Bytes bytes = ReadFile(archive);
  MemoryReader reader(bytes);
  ArchiveWalker walker(reader);
  std::vector<MemberHeader> members;
  Status status = walker.Open();
  for (bool end = false; status.ok() && !end;) {
    MemberHeader member;
    status = walker.Next(&member, &end);
    if (status.ok() && !end) members.push_back(std::move(member));
  }
  EXPECT_TRUE(status.ok()) << archive << ": " << status.message();
  return members;
}
inline Names Paths(const std::string& archive) {
  Names paths;
  for (const MemberHeader& member : Members(archive)) paths.push_back(member.PathString());
  return paths;
}

}  // namespace lzh::test
