// Independent decoders: archives our writer produces, extracted by 7z,
// bsdtar and unar (black boxes), must give back every file byte for byte.
// 7z and bsdtar decode -lh0- and -lh5- to -lh7-; unar also -lh1-. The
// corpus holds the inputs that trip those readers when a writer is careless
// (1-byte files, runs, tiny files ending at every bit position). A tool
// that is not installed is skipped.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "format/archive_writer.h"
#include "tests/format/test_data.h"

namespace lzh {
namespace {

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

bool Installed(const char* tool) {
  return std::system(("command -v " + std::string(tool) + " > /dev/null 2>&1").c_str()) == 0;
}

std::vector<uint8_t> ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteArchive(const fs::path& path, Method method, int level,
                  const std::vector<test::NamedInput>& corpus) {
  MemoryOutput output;
  ArchiveWriter writer(output, level);
  for (const test::NamedInput& input : corpus) {
    MemberHeader h;
    h.method = method;
    h.original_size = input.bytes.size();
    h.path = {"top", input.name};
    h.mtime = 1600000000;
    h.os_id = 'U';
    h.has_unix_mode = true;
    h.unix_mode = 0100644;
    MemoryInput source(input.bytes);
    ASSERT_TRUE(writer.AddMember(&h, source).ok());
  }
  ASSERT_TRUE(writer.Finish().ok());
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(output.bytes().data()),
             static_cast<std::streamsize>(output.bytes().size()));
}

class Oracle : public testing::TestWithParam<Tool> {};

TEST_P(Oracle, ExtractsOurArchivesByteIdentically) {
  const Tool& tool = GetParam();
  if (!Installed(tool.name)) GTEST_SKIP() << tool.name << " is not installed";
  std::vector<test::NamedInput> corpus = test::RoundTripCorpus();
  fs::path work = test::UniqueTempPath("lzh_oracle_" + std::string(tool.name));
  fs::create_directories(work);
  for (int level = 0; level <= 2; ++level) {
    for (Method method : tool.methods) {
      std::string label = std::string(MethodIdText(method)) + " level " + std::to_string(level);
      SCOPED_TRACE(label);
      fs::path archive = work / ("a" + std::to_string(level) + MethodIdText(method) + ".lzh");
      fs::path out = work / ("x" + std::to_string(level) + MethodIdText(method));
      fs::create_directories(out);
      WriteArchive(archive, method, level, corpus);
      std::string logged = tool.command(archive.string(), out.string()) + " > '" +
                           (work / "log").string() + "' 2>&1";
      int result = std::system(logged.c_str());
      std::vector<uint8_t> log = ReadFile(work / "log");
      EXPECT_EQ(result, 0) << std::string(log.begin(), log.end());
      for (const test::NamedInput& input : corpus) {
        fs::path file = out / "top" / input.name;
        EXPECT_TRUE(fs::exists(file)) << input.name;
        EXPECT_TRUE(ReadFile(file) == input.bytes) << input.name;
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
