// make_corpus: writes the seeds of the fuzzers' corpus (fuzz/corpus/) that
// come from our own writer and encoder, so that they follow the code when
// it changes: archives at every header level with every method we write, a
// directory and a link, one inside a self-extracting program (headers/,
// unlha/), and compressed streams (decoder/). The archives are made through
// the exported Unlha(), as any user makes them. The other seeds are kept
// as files, written by hand once: the text seeds of the command-line, path
// and assembly targets, and the lz5 and lzs streams and archive, which no
// writer of ours produces.
//
// Seeds are small on purpose (a few KiB per target): libFuzzer mutates from
// them, so what matters is that every level and method is reached once.
//
//   make_corpus DIRECTORY     (normally fuzz/corpus)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "codec/encoder.h"
#include "include/unlha32.h"

using namespace lzh;
namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

namespace {

fs::path corpus;

void Require(bool condition, const std::string& what) {
  if (condition) return;
  std::fprintf(stderr, "make_corpus: %s\n", what.c_str());
  std::exit(1);
}

void Seed(const std::string& target, const std::string& name, const Bytes& bytes) {
  fs::create_directories(corpus / target);
  std::ofstream(corpus / target / name, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Text with repeats near and far, so that the encoders emit matches of
// several lengths and positions as well as literals.
std::string SampleText() {
  std::string text;
  for (int i = 0; i < 24; ++i)
    text += "line " + std::to_string(i * 37 % 11) + ": the quick brown fox " + std::string(i % 5, '!') + "\n";
  return text;
}

class VectorSink final : public ByteSink {
 public:
  Status Write(const uint8_t* data, size_t size) override {
    bytes.insert(bytes.end(), data, data + size);
    return Status::Ok();
  }
  Bytes bytes;
};

class TextSource final : public ByteSource {
 public:
  explicit TextSource(const std::string& text) : text_(text) {}
  Status Read(uint8_t* buffer, size_t capacity, size_t* got) override {
    *got = text_.copy(reinterpret_cast<char*>(buffer), capacity, at_);
    at_ += *got;
    return Status::Ok();
  }

 private:
  const std::string& text_;
  size_t at_ = 0;
};

// An archive the library writes in the current directory from dir/: the
// first text file with the first method switch, then (given a second) the
// second file, a directory and, above level 0, a symbolic link with the
// second. Every time is fixed, so that each run writes the same bytes.
Bytes WrittenArchive(int level, const std::vector<std::string>& methods) {
  const std::string h = " -h" + std::to_string(level) + " ";
  const std::string first = "a" + h + methods.front() + " seed.lzh dir/member0.txt";
  const std::string rest = "a -d" + h + methods.back() + " seed.lzh dir/member1.txt dir/sub" + (level ? " dir/link" : "");
  Require(Unlha(nullptr, first.c_str(), nullptr, 0) == UNLHA_OK, first);
  Require(methods.size() == 1 || Unlha(nullptr, rest.c_str(), nullptr, 0) == UNLHA_OK, rest);
  std::ifstream in("seed.lzh", std::ios::binary);
  Bytes bytes{std::istreambuf_iterator<char>(in), {}};
  fs::remove("seed.lzh");
  return bytes;
}

void ArchiveSeeds() {
  fs::path scratch = fs::temp_directory_path() / ("make_corpus-" + std::to_string(getpid()));
  fs::create_directories(scratch / "dir" / "sub");
  Require(chdir(scratch.c_str()) == 0, "no scratch directory");
  std::ofstream("dir/member0.txt") << SampleText();
  std::ofstream("dir/member1.txt") << SampleText();
  fs::create_symlink("member0.txt", "dir/link");
  const struct timespec fixed[2] = {{1300000000, 0}, {1300000000, 0}};
  for (const char* name : {"dir/member0.txt", "dir/member1.txt", "dir/sub", "dir/link"})
    utimensat(AT_FDCWD, name, fixed, AT_SYMLINK_NOFOLLOW);

  Bytes self_extracting(200, 0x90);
  self_extracting[0] = 'M';
  self_extracting[1] = 'Z';
  Bytes small = WrittenArchive(2, {"-z"});
  self_extracting.insert(self_extracting.end(), small.begin(), small.end());
  const std::pair<std::string, Bytes> archives[] = {
      {"level2-lh5-lh0-dir-link.lzh", WrittenArchive(2, {"-o5", "-z"})},
      {"level1-lh1-lh6.lzh", WrittenArchive(1, {"-o", "-o6"})},
      {"level0-lh7.lzh", WrittenArchive(0, {"-o7"})},
      {"self-extracting.exe", self_extracting},
      {"empty.lzh", Bytes{0}},
  };
  for (const auto& [name, bytes] : archives) {
    Seed("headers", name, bytes);
    Seed("unlha", name, bytes);
  }
  fs::remove_all(scratch);
}

// Decoder seeds: method selector (see decoder_fuzzer.cpp), 3 bytes of
// original size, a slack byte of 0, then the stream. lh4 differs from lh5
// only in its window and position table size: a stream whose positions
// stay small, as in this text, is valid in both.
void DecoderSeeds() {
  const std::string text = SampleText();
  struct Stream {
    const char* name;
    uint8_t selector;
    Method method;
  };
  for (const Stream& s : {Stream{"lh0", 0, Method::kLh0}, Stream{"lh1", 2, Method::kLh1}, Stream{"lh4", 3, Method::kLh5},
                          Stream{"lh5", 4, Method::kLh5}, Stream{"lh6", 5, Method::kLh6}, Stream{"lh7", 6, Method::kLh7}}) {
    VectorSink seed;
    seed.bytes = {s.selector, uint8_t(text.size()), uint8_t(text.size() >> 8), uint8_t(text.size() >> 16), 0};
    TextSource in(text);
    EncodeResult result;
    if (s.method == Method::kLh0) seed.bytes.insert(seed.bytes.end(), text.begin(), text.end());
    else Require(EncodeMember(s.method, in, seed, UINT64_MAX, &result).ok(), "encoding failed");
    Seed("decoder", s.name, seed.bytes);
  }
}

}  // namespace

int main(int argc, char** argv) {
  Require(argc == 2, "usage: make_corpus DIRECTORY");
  corpus = fs::absolute(argv[1]);
  ArchiveSeeds();
  DecoderSeeds();
  return 0;
}
