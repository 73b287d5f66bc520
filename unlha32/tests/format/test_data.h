// Deterministic inputs for archive round trips: text-like data (compresses
// well), random bytes (does not compress: must fall back to -lh0-), and
// runs of one byte.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace lzh::test {

inline uint32_t NextRandom(uint32_t* state) {
  *state = *state * 1664525u + 1013904223u;
  return *state >> 8;
}

inline std::vector<uint8_t> RandomBytes(size_t size, uint32_t seed) {
  std::vector<uint8_t> out(size);
  for (uint8_t& b : out) b = static_cast<uint8_t>(NextRandom(&seed));
  return out;
}

inline std::vector<uint8_t> TextBytes(size_t size, uint32_t seed) {
  static const char* const kWords[] = {"archive ", "member ", "header ", "the ", "of ", "data\n",
                                       "window ", "Huffman ", "table ", "level ", "1988 ", "CRC, "};
  std::vector<uint8_t> out;
  while (out.size() < size) {
    std::string word = kWords[NextRandom(&seed) % 12];
    out.insert(out.end(), word.begin(), word.end());
  }
  out.resize(size);
  return out;
}

inline std::vector<uint8_t> RunBytes(size_t size, uint8_t value) { return std::vector<uint8_t>(size, value); }

struct NamedInput {
  std::string name;
  std::vector<uint8_t> bytes;
};

// Inputs for every written method: sizes around the windows (4, 8, 32,
// 64 KiB), tiny files whose last code lands at different bit positions,
// incompressible and empty files.
inline std::vector<NamedInput> RoundTripCorpus() {
  std::vector<NamedInput> corpus = {
      {"empty", {}},
      {"one_byte", {'x'}},
      {"two_same", {'a', 'a'}},
      {"three_same", {'a', 'a', 'a'}},
      {"random_70k", RandomBytes(70000, 1)},
      {"run_200k", RunBytes(200000, 0)},
      {"text_300k", TextBytes(300000, 2)},
      // Blocks end where the statistics change, before the end and at it.
      {"text_random_text", [] {
         std::vector<uint8_t> bytes = TextBytes(150000, 3);
         for (auto part : {RandomBytes(20000, 4), TextBytes(40000, 5), RandomBytes(3000, 6)})
           bytes.insert(bytes.end(), part.begin(), part.end());
         return bytes;
       }()},
  };
  for (size_t size : {size_t{4096}, size_t{8191}, size_t{8193}, size_t{32768}, size_t{65537}})
    corpus.push_back({"text_" + std::to_string(size), TextBytes(size, static_cast<uint32_t>(size))});
  for (size_t size = 5; size <= 60; size += 5)
    corpus.push_back({"tiny_" + std::to_string(size), TextBytes(size, static_cast<uint32_t>(size) * 7)});
  return corpus;
}

// A path in the temporary directory that no concurrent test run shares
// (ctest may run several build trees' tests at once).
inline std::filesystem::path UniqueTempPath(const std::string& prefix) {
  std::random_device entropy;
  auto now = std::chrono::steady_clock::now().time_since_epoch().count();
  return std::filesystem::temp_directory_path() /
         (prefix + "_" + std::to_string(now) + "_" + std::to_string(entropy()));
}

}  // namespace lzh::test
