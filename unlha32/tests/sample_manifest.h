// The manifest of the foreign sample archives (../shared/lzh-samples beside
// the checkout, never copied into the project): one row per member, as
// MANIFEST.tsv gives it. Shared by every suite that checks our reading of
// archives made by other archivers; each skips when the folder is absent.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace lzh::test {

// The sample folder: $LZH_SAMPLES when set, else the build's default.
inline std::filesystem::path SamplesDir() {
  const char* override_dir = std::getenv("LZH_SAMPLES");
  return override_dir ? std::filesystem::path(override_dir) : std::filesystem::path(LZH_SAMPLES_DIR);
}

struct ManifestRow {
  std::string archive, member, method;
  uint64_t size = 0;
  uint16_t crc = 0;
};

// The rows of MANIFEST.tsv in the sample folder (archive, member, method,
// level, size, CRC, sha256); empty when it is absent. Member paths are
// written with \xNN escapes and "\\" for a backslash.
inline std::vector<ManifestRow> ReadManifest() {
  std::vector<ManifestRow> rows;
  std::ifstream in(SamplesDir() / "MANIFEST.tsv");
  std::string line;
  std::getline(in, line);  // column names
  while (std::getline(in, line)) {
    std::vector<std::string> fields;
    std::istringstream split(line);
    for (std::string field; std::getline(split, field, '\t');) fields.push_back(field);
    ManifestRow row{fields[0], "", fields[2], std::stoull(fields[4]),
                    static_cast<uint16_t>(std::stoul(fields[5], nullptr, 16))};
    const std::string& escaped = fields[1];
    for (size_t i = 0; i < escaped.size(); ++i) {
      bool backslash = escaped[i] == '\\' && i + 1 < escaped.size() && escaped[i + 1] == '\\';
      bool hex = escaped[i] == '\\' && i + 3 < escaped.size() && escaped[i + 1] == 'x';
      row.member.push_back(hex ? static_cast<char>(std::stoi(escaped.substr(i + 2, 2), nullptr, 16)) : escaped[i]);
      i += backslash ? 1 : hex ? 3 : 0;
    }
    rows.push_back(row);
  }
  return rows;
}

}  // namespace lzh::test
