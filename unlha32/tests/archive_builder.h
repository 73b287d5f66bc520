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

#include "codec/crc16.h"
#include "codec/method.h"
#include "format/archive_walker.h"
#include "format/archive_writer.h"

namespace lzh::test {

using Bytes = std::vector<uint8_t>;
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

inline void Put16(Bytes* b, uint32_t v) { b->push_back(uint8_t(v)); b->push_back(uint8_t(v >> 8)); }
inline void Put32(Bytes* b, uint32_t v) { Put16(b, v & 0xFFFF); Put16(b, v >> 16); }

inline Bytes RawLevel2(const RawMember& m) {
  std::vector<std::pair<uint8_t, std::string>> ext = {{0x00, std::string(2, '\0')}, {0x01, m.name}};
  if (!m.directory.empty()) ext.push_back({0x02, m.directory});
  if (m.code_page) {
    Bytes cp;
    Put32(&cp, *m.code_page);
    ext.push_back({0x46, std::string(cp.begin(), cp.end())});
  }
  if (m.unix_mode) {
    Bytes mode;
    Put16(&mode, *m.unix_mode);
    ext.push_back({0x50, std::string(mode.begin(), mode.end())});
  }
  Bytes h;
  Put16(&h, 0);
  h.insert(h.end(), m.method.begin(), m.method.end());
  Put32(&h, static_cast<uint32_t>(m.data.size()));
  Put32(&h, static_cast<uint32_t>(m.data.size()));
  Put32(&h, m.mtime);
  h.push_back(0x20);
  h.push_back(2);
  Put16(&h, m.crc ? *m.crc : Crc16(0, m.data.data(), m.data.size()));
  h.push_back(m.os_id);
  Put16(&h, static_cast<uint32_t>(ext[0].second.size() + 3));
  for (size_t i = 0; i < ext.size(); ++i) {
    h.push_back(ext[i].first);
    h.insert(h.end(), ext[i].second.begin(), ext[i].second.end());
    Put16(&h, i + 1 < ext.size() ? static_cast<uint32_t>(ext[i + 1].second.size() + 3) : 0);
  }
  if ((h.size() & 0xFF) == 0) h.push_back(0);  // a total size with low byte 0 reads as the end
  h[0] = static_cast<uint8_t>(h.size());
  h[1] = static_cast<uint8_t>(h.size() >> 8);
  uint16_t crc = Crc16(0, h.data(), h.size());
  h[27] = static_cast<uint8_t>(crc);
  h[28] = static_cast<uint8_t>(crc >> 8);
  h.insert(h.end(), m.data.begin(), m.data.end());
  return h;
}

inline Bytes RawArchive(const std::vector<RawMember>& members) {
  Bytes archive;
  for (const RawMember& m : members) {
    Bytes one = RawLevel2(m);
    archive.insert(archive.end(), one.begin(), one.end());
  }
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
