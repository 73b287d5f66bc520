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
  int level = 0;
  uint64_t size = 0;
  uint16_t crc = 0;
  std::string sha256;  // "-" where no independent extractor gave one
};

// Member paths are written with \xNN escapes and "\\" for a backslash.
inline std::string UnescapeManifestPath(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '\\') {
      out.push_back('\\');
      ++i;
    } else if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x') {
      out.push_back(static_cast<char>(std::stoi(text.substr(i + 2, 2), nullptr, 16)));
      i += 3;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

// The rows of MANIFEST.tsv in the sample folder; empty when it is absent.
inline std::vector<ManifestRow> ReadManifest() {
  std::vector<ManifestRow> rows;
  std::ifstream in(SamplesDir() / "MANIFEST.tsv");
  std::string line;
  std::getline(in, line);  // column names
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    ManifestRow row;
    std::string level, size, crc;
    std::getline(fields, row.archive, '\t');
    std::getline(fields, row.member, '\t');
    std::getline(fields, row.method, '\t');
    std::getline(fields, level, '\t');
    std::getline(fields, size, '\t');
    std::getline(fields, crc, '\t');
    std::getline(fields, row.sha256, '\t');
    row.member = UnescapeManifestPath(row.member);
    row.level = std::stoi(level);
    row.size = std::stoull(size);
    row.crc = static_cast<uint16_t>(std::stoul(crc, nullptr, 16));
    rows.push_back(row);
  }
  return rows;
}

}  // namespace lzh::test
