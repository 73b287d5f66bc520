// make_corpus: writes the fuzzers' seed corpus (fuzz/corpus/<target>/).
//
// Seeds are small on purpose (a few KiB per target): libFuzzer mutates from
// them, so what matters is that every header level, every method and every
// odd path shape is reached once, not size. Archives and streams come from
// our own writer and encoder; what the writer never produces (level-0 lzs
// and lz5 members, a self-extractor prefix, hostile names) is built by hand
// here. Every hand-built stream is decoded back before it is written, so a
// seed that no longer decodes stops the generator.
//
//   make_corpus DIRECTORY     (normally fuzz/corpus)
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "codec/crc16.h"
#include "codec/decoder.h"
#include "codec/encoder.h"
#include "format/archive_writer.h"
#include "format/member_input.h"

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
  std::ofstream out(corpus / target / name, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void SeedText(const std::string& target, const std::string& name, const std::string& text) {
  Seed(target, name, Bytes(text.begin(), text.end()));
}

Bytes ToBytes(std::string_view text) { return Bytes(text.begin(), text.end()); }

// Text with repeats near and far, so that the encoders emit matches of
// several lengths and positions as well as literals.
Bytes SampleText() {
  std::string text;
  for (int i = 0; i < 24; ++i)
    text += "line " + std::to_string(i * 37 % 11) + ": the quick brown fox " + std::string(i % 5, '!') + "\n";
  return ToBytes(text);
}

class VectorSink final : public ByteSink {
 public:
  Status Write(const uint8_t* data, size_t size) override {
    bytes.insert(bytes.end(), data, data + size);
    return Status::Ok();
  }
  Bytes bytes;
};

class VectorSource final : public ByteSource {
 public:
  explicit VectorSource(const Bytes& bytes) : bytes_(bytes) {}
  Status Read(uint8_t* buffer, size_t capacity, size_t* got) override {
    *got = std::min(capacity, bytes_.size() - at_);
    std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(at_), *got, buffer);
    at_ += *got;
    return Status::Ok();
  }

 private:
  const Bytes& bytes_;
  size_t at_ = 0;
};

Bytes Encode(Method method, const Bytes& original) {
  VectorSource in(original);
  VectorSink out;
  EncodeResult result;
  Require(EncodeMember(method, in, out, UINT64_MAX, &result).ok(), "encoding failed");
  return out.bytes;
}

bool DecodesTo(Method method, const Bytes& stream, const Bytes& original) {
  VectorSource in(stream);
  VectorSink out;
  uint16_t crc = 0;
  return DecodeMember(method, in, stream.size(), original.size(), out, &crc).ok() && out.bytes == original;
}

// lz5: a flag byte, its bits least significant first (1 = literal), then
// the items; a match is two bytes of ring position and length - 3.
Bytes Lz5AbcTimesThree() { return {0x07, 'a', 'b', 'c', 0xEE, 0xF3}; }  // "abc", then 6 from 0xFEE

// lzs: bits most significant first; 1 + literal byte, or 0 + 11-bit ring
// position + 4-bit (length - 2).
Bytes LzsAbcTimesThree() {
  std::vector<bool> bits;
  auto put = [&](uint32_t value, int count) {
    for (int i = count - 1; i >= 0; --i) bits.push_back((value >> i) & 1);
  };
  for (char c : std::string("abc")) put(0x100 | static_cast<uint8_t>(c), 9);
  put(0, 1);
  put(2031, 11);  // where output starts in the ring: the 'a'
  put(6 - 2, 4);
  Bytes bytes((bits.size() + 7) / 8);
  for (size_t i = 0; i < bits.size(); ++i)
    if (bits[i]) bytes[i / 8] |= static_cast<uint8_t>(0x80 >> (i % 8));
  return bytes;
}

void Put16(Bytes* b, uint32_t v) { b->push_back(uint8_t(v)); b->push_back(uint8_t(v >> 8)); }
void Put32(Bytes* b, uint32_t v) { Put16(b, v & 0xFFFF); Put16(b, v >> 16); }

// A level-0 member, which the writer would only give methods it encodes.
Bytes Level0(const std::string& method, const std::string& name, const Bytes& packed, const Bytes& original) {
  Bytes h = {0, 0};
  h.insert(h.end(), method.begin(), method.end());
  Put32(&h, static_cast<uint32_t>(packed.size()));
  Put32(&h, static_cast<uint32_t>(original.size()));
  Put32(&h, 0x3A6D5C21);  // 2009-03-13 11:33:02
  h.push_back(0x20);
  h.push_back(0);
  h.push_back(static_cast<uint8_t>(name.size()));
  h.insert(h.end(), name.begin(), name.end());
  Put16(&h, Crc16(0, original.data(), original.size()));
  h[0] = static_cast<uint8_t>(h.size() - 2);
  uint8_t sum = 0;
  for (size_t i = 2; i < h.size(); ++i) sum = static_cast<uint8_t>(sum + h[i]);
  h[1] = sum;
  h.insert(h.end(), packed.begin(), packed.end());
  return h;
}

MemberHeader FileHeader(std::vector<std::string> path, Method method, uint64_t size) {
  MemberHeader header;
  header.path = std::move(path);
  header.method = method;
  header.original_size = size;
  header.mtime = 1300000000;
  header.mtime_valid = true;
  header.os_id = 'U';
  header.has_unix_mode = true;
  header.unix_mode = 0100644;
  return header;
}

// An archive from our writer: `methods` in order, plus (level 1 and 2) a
// directory and a symbolic link.
Bytes WrittenArchive(int level, const std::vector<Method>& methods) {
  MemoryOutput output;
  ArchiveWriter writer(output, level);
  Bytes text = SampleText();
  int n = 0;
  for (Method method : methods) {
    MemberHeader header = FileHeader({"dir", "member" + std::to_string(n++) + ".txt"}, method, text.size());
    MemoryInput input(text);
    Require(writer.AddMember(&header, input).ok(), "writing a member failed");
  }
  if (level > 0) {
    MemberHeader directory = FileHeader({"dir", "sub"}, Method::kLhd, 0);
    directory.is_directory = true;
    directory.unix_mode = 040755;
    Require(writer.AddEntry(directory).ok(), "writing a directory failed");
    MemberHeader link = FileHeader({"dir", "link"}, Method::kLhd, 0);
    link.is_symlink = true;
    link.link_target = "member0.txt";
    link.unix_mode = 0120777;
    Require(writer.AddEntry(link).ok(), "writing a link failed");
  }
  Require(writer.Finish().ok(), "finishing an archive failed");
  return output.bytes();
}

void ArchiveSeeds() {
  Bytes abc = ToBytes("abcabcabc");
  Bytes lz5 = Lz5AbcTimesThree(), lzs = LzsAbcTimesThree();
  Require(DecodesTo(Method::kLz5, lz5, abc) && DecodesTo(Method::kLzs, lzs, abc), "hand-made lz5/lzs seeds");
  Bytes old_methods = Level0("-lz5-", "OLD\\LZ5.TXT", lz5, abc);
  Bytes lzs_member = Level0("-lzs-", "OLD\\LZS.TXT", lzs, abc);
  old_methods.insert(old_methods.end(), lzs_member.begin(), lzs_member.end());
  old_methods.push_back(0);

  Bytes self_extracting(200, 0x90);
  self_extracting[0] = 'M';
  self_extracting[1] = 'Z';
  Bytes small = WrittenArchive(2, {Method::kLh0});
  self_extracting.insert(self_extracting.end(), small.begin(), small.end());

  const std::vector<std::pair<std::string, Bytes>> archives = {
      {"level2-lh5-lh0-dir-link.lzh", WrittenArchive(2, {Method::kLh5, Method::kLh0})},
      {"level1-lh1-lh6.lzh", WrittenArchive(1, {Method::kLh1, Method::kLh6})},
      {"level0-lh7.lzh", WrittenArchive(0, {Method::kLh7})},
      {"level0-lz5-lzs.lzh", old_methods},
      {"self-extracting.exe", self_extracting},
      {"empty.lzh", Bytes{0}},
  };
  for (const auto& [name, bytes] : archives) {
    Seed("headers", name, bytes);
    Seed("unlha", name, bytes);
  }
}

// Decoder seeds: method selector (see decoder_fuzzer.cpp), 3 bytes of
// original size, a slack byte of 0, then the stream.
void DecoderSeeds() {
  const Bytes text = SampleText();
  auto seed = [&](const std::string& name, uint8_t selector, const Bytes& original, const Bytes& stream) {
    Bytes bytes = {selector, uint8_t(original.size()), uint8_t(original.size() >> 8), uint8_t(original.size() >> 16), 0};
    bytes.insert(bytes.end(), stream.begin(), stream.end());
    Seed("decoder", name, bytes);
  };
  seed("lh0", 0, text, text);
  seed("lh1", 2, text, Encode(Method::kLh1, text));
  Bytes lh5 = Encode(Method::kLh5, text);
  // lh4 differs from lh5 only in its window and position table size; a
  // stream whose positions stay small is valid in both.
  Require(DecodesTo(Method::kLh4, lh5, text), "the lh5 seed no longer decodes as lh4");
  seed("lh4", 3, text, lh5);
  seed("lh5", 4, text, lh5);
  seed("lh6", 5, text, Encode(Method::kLh6, text));
  seed("lh7", 6, text, Encode(Method::kLh7, text));
  Bytes abc = ToBytes("abcabcabc");
  seed("lzs", 8, abc, LzsAbcTimesThree());
  seed("lz5", 9, abc, Lz5AbcTimesThree());
}

void TextSeeds() {
  SeedText("command_line", "list", "l archive.lzh");
  SeedText("command_line", "extract", "x -r -x1 -m -c -wtmp \"my dir\\arc.lzh\" out\\ *.txt \"a b.c\"");
  SeedText("command_line", "add", "a -h0 -o5 -z -a -t -d -r2 arc.lzh -- -dash-name @list");
  SeedText("command_line", "switch-forms", "E -x- -x0 -p+ -i1 -n -l -s -f -o7 -h2 arc.lzh base/ name");

  using namespace std::string_literals;
  SeedText("pathtext", "dos", "\x00" "C:\\dir\\sub\\name.ext"s);
  SeedText("pathtext", "unix", "\x00" "/usr/local/file.tar.gz"s);
  SeedText("pathtext", "sjis-trail-backslash", "\x01" "C:\\\x95\\\\\x95\\.txt"s);
  SeedText("pathtext", "sjis-lone-lead", "\x01" "dir/name.\x81"s);
  SeedText("pathtext", "long", "\x00"s + std::string(120, 'd') + "/" + std::string(140, 'n') + ".e");

  SeedText("assemble", "plain", "\x00" "l\x00" "a.lzh"s);
  SeedText("assemble", "blanks", "\x00" "x\x00" "my archive.lzh\x00" "out dir\\\x00" "*.c"s);
  SeedText("assemble", "lha-switches", "-r -x\x00" "e\x00" "-m\x00" "a.lzh"s);
}

}  // namespace

int main(int argc, char** argv) {
  Require(argc == 2, "usage: make_corpus DIRECTORY");
  corpus = argv[1];
  ArchiveSeeds();
  DecoderSeeds();
  TextSeeds();
  return 0;
}
