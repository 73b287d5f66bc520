// The archive writer: its own paths that the commands cannot steer (a
// source that fails part-way through, for every method, and one that
// shrank between its two readings), and what it writes read back by
// independent decoders: 7z, bsdtar and unar (black boxes) must extract
// every file byte for byte. 7z and bsdtar decode -lh0- and -lh5- to -lh7-;
// unar also -lh1-. The corpus holds the inputs that trip those readers
// when a writer is careless (1-byte files, runs, tiny files ending at
// every bit position). A tool that is not installed is skipped.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "format/archive_walker.h"
#include "format/archive_writer.h"
#include "format/member_data.h"
#include "format/output.h"
#include "tests/codec/codec_test_support.h"

namespace lzh {
namespace {

using test::Bytes;

MemberHeader NewMember(const std::string& name, Method method, uint64_t size) {
  MemberHeader h;
  h.method = method;
  h.original_size = size;
  h.path = {"top", name};
  h.mtime = 1600000000;
  h.os_id = 'U';
  h.has_unix_mode = true;
  h.unix_mode = 0100644;
  return h;
}

struct ReadBack {
  MemberHeader header;
  Bytes bytes;
};

std::vector<ReadBack> ReadArchive(const Bytes& archive) {
  MemoryReader reader(archive);
  ArchiveWalker walker(reader);
  EXPECT_TRUE(walker.Open().ok());
  std::vector<ReadBack> members;
  for (bool end = false;;) {
    ReadBack member;
    Status s = walker.Next(&member.header, &end);
    EXPECT_TRUE(s.ok()) << s.message();
    if (!s.ok() || end) break;
    MemoryOutput sink;
    Status decoded = ExtractMemberData(reader, member.header, sink);
    EXPECT_TRUE(decoded.ok()) << member.header.PathString() << ": " << decoded.message();
    member.bytes = sink.bytes();
    members.push_back(std::move(member));
  }
  EXPECT_TRUE(walker.has_end_byte());
  EXPECT_EQ(walker.end_offset() + 1, archive.size());
  return members;
}

// Hands out `first` and, after a rewind, `second`; fails with an I/O
// error where it would hand out more than `fail_after` bytes.
class ScriptedInput final : public MemberInput {
 public:
  ScriptedInput(Bytes first, Bytes second, size_t fail_after = SIZE_MAX)
      : first_(std::move(first)), second_(std::move(second)), fail_after_(fail_after) {}
  Status Read(uint8_t* buffer, size_t capacity, size_t* got) override {
    const Bytes& now = rewound_ ? second_ : first_;
    LZH_REQUIRE(position_ < std::min(now.size(), fail_after_) || position_ == now.size(), kIo,
                "cannot read the file");
    *got = std::min({capacity, now.size() - position_, fail_after_ - position_});
    std::copy(now.begin() + position_, now.begin() + position_ + *got, buffer);
    position_ += *got;
    return Status::Ok();
  }
  Status Rewind() override {
    rewound_ = true;
    position_ = 0;
    return Status::Ok();
  }

 private:
  Bytes first_, second_;
  size_t fail_after_;
  bool rewound_ = false;
  size_t position_ = 0;
};

// For every method: after a member that did not compress (stored in full),
// one whose source fails part-way through leaves nothing behind, and one
// that shrank between compression and the stored fallback (random bytes
// on the first reading, a short text on the second) is stored as it is
// now.
TEST(ArchiveWriterFaults, FailingAndShrinkingSourcesLeaveAReadableArchive) {
  const Bytes random = test::RandomBytes(50000, 4), text = test::Text(10, 5);
  for (Method method : {Method::kLh0, Method::kLh1, Method::kLh5, Method::kLh6, Method::kLh7}) {
    SCOPED_TRACE(MethodIdText(method));
    MemoryOutput output;
    ArchiveWriter writer(output, 2);
    MemberHeader stored = NewMember("stored", Method::kLh5, random.size());
    MemoryInput source(random);
    ASSERT_TRUE(writer.AddMember(&stored, source).ok());
    const size_t before = output.bytes().size();
    MemberHeader bad = NewMember("bad", method, 100000);
    ScriptedInput failing(Bytes(100000, 'q'), Bytes(100000, 'q'), 70000);
    EXPECT_EQ(writer.AddMember(&bad, failing).fault(), Fault::kIo);
    EXPECT_EQ(output.bytes().size(), before);
    MemberHeader shrinking = NewMember("shrinking", method, random.size());
    ScriptedInput shrinking_source(random, text);
    ASSERT_TRUE(writer.AddMember(&shrinking, shrinking_source).ok());
    ASSERT_TRUE(writer.Finish().ok());
    std::vector<ReadBack> members = ReadArchive(output.bytes());
    ASSERT_EQ(members.size(), 2u);
    EXPECT_EQ(members[0].header.MethodText(), "-lh0-");
    EXPECT_EQ(members[0].header.packed_size, random.size());
    EXPECT_TRUE(members[0].bytes == random);
    EXPECT_TRUE(members[1].bytes == text);
  }
}

namespace fs = std::filesystem;

struct Tool {
  const char* name;
  std::string (*command)(const std::string& archive, const std::string& directory);
  std::vector<Method> methods;
};

const Tool kTools[] = {
    {"7z", [](const std::string& a, const std::string& d) { return "7z x -y -o'" + d + "' '" + a + "'"; },
     {Method::kLh0, Method::kLh5, Method::kLh6, Method::kLh7}},
    {"bsdtar", [](const std::string& a, const std::string& d) { return "bsdtar -xf '" + a + "' -C '" + d + "'"; },
     {Method::kLh0, Method::kLh5, Method::kLh6, Method::kLh7}},
    {"unar", [](const std::string& a, const std::string& d) { return "unar -q -o '" + d + "' -f '" + a + "'"; },
     {Method::kLh0, Method::kLh1, Method::kLh5, Method::kLh6, Method::kLh7}},
};

Bytes ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

// Sizes around the windows (4, 8, 32, 64 KiB), tiny files whose last code
// lands at different bit positions, incompressible and empty files, and
// blocks that end where the statistics change, before the end and at it.
std::vector<std::pair<std::string, Bytes>> Corpus() {
  std::vector<std::pair<std::string, Bytes>> corpus = {
      {"empty", {}},
      {"one_byte", {'x'}},
      {"two_same", {'a', 'a'}},
      {"three_same", {'a', 'a', 'a'}},
      {"random_70k", test::RandomBytes(70000, 1)},
      {"run_200k", Bytes(200000, 0)},
      {"text_300k", test::Text(300000, 2)},
      {"text_random_text", test::Text(150000, 3)},
  };
  for (const Bytes& part : {test::RandomBytes(20000, 4), test::Text(40000, 5), test::RandomBytes(3000, 6)})
    corpus.back().second.insert(corpus.back().second.end(), part.begin(), part.end());
  for (size_t size : {4096u, 8191u, 8193u, 32768u, 65537u})
    corpus.push_back({"text_" + std::to_string(size), test::Text(size, static_cast<uint32_t>(size))});
  for (size_t size = 5; size <= 60; size += 5)
    corpus.push_back({"tiny_" + std::to_string(size), test::Text(size, static_cast<uint32_t>(size) * 7)});
  return corpus;
}

class Oracle : public testing::TestWithParam<Tool> {};

TEST_P(Oracle, ExtractsOurArchivesByteIdentically) {
  const Tool& tool = GetParam();
  if (std::system(("command -v " + std::string(tool.name) + " > /dev/null 2>&1").c_str()) != 0)
    GTEST_SKIP() << tool.name << " is not installed";
  const auto corpus = Corpus();
  // A directory no concurrent run shares (ctest may run several build trees' tests at once).
  const fs::path work = fs::temp_directory_path() /
                        ("lzh_oracle_" + std::string(tool.name) + "_" +
                         std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) +
                         "_" + std::to_string(std::random_device()()));
  for (int level = 0; level <= 2; ++level) {
    for (Method method : tool.methods) {
      const std::string label = std::to_string(level) + MethodIdText(method);
      SCOPED_TRACE(label);
      const fs::path archive = work / ("a" + label + ".lzh"), out = work / ("x" + label);
      fs::create_directories(out);
      MemoryOutput output;
      ArchiveWriter writer(output, level);
      for (const auto& [name, bytes] : corpus) {
        MemberHeader h = NewMember(name, method, bytes.size());
        MemoryInput source(bytes);
        ASSERT_TRUE(writer.AddMember(&h, source).ok());
      }
      ASSERT_TRUE(writer.Finish().ok());
      std::ofstream(archive, std::ios::binary)
          .write(reinterpret_cast<const char*>(output.bytes().data()),
                 static_cast<std::streamsize>(output.bytes().size()));
      const fs::path log = work / "log";
      int result = std::system((tool.command(archive.string(), out.string()) + " > '" +
                                log.string() + "' 2>&1").c_str());
      Bytes logged = ReadFile(log);
      EXPECT_EQ(result, 0) << std::string(logged.begin(), logged.end());
      for (const auto& [name, bytes] : corpus) {
        EXPECT_TRUE(fs::exists(out / "top" / name)) << name;
        EXPECT_TRUE(ReadFile(out / "top" / name) == bytes) << name;
      }
    }
  }
  fs::remove_all(work);
}

INSTANTIATE_TEST_SUITE_P(Tools, Oracle, testing::ValuesIn(kTools),
                         [](const testing::TestParamInfo<Tool>& instance) {
                           return std::string(instance.param.name == std::string("7z") ? "SevenZip" : instance.param.name);
                         });

}  // namespace
}  // namespace lzh
