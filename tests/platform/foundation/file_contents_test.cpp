#include "velmoradine/platform/foundation/file_contents.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <random>

#include "tests/support/main_bundle_fixture.hpp"

namespace velmoradine {
namespace {

void write(const std::filesystem::path& path, const Data& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

Data randomBytes(std::size_t size) {
  std::mt19937 random(11);
  Data bytes(size);
  for (auto& byte : bytes) byte = static_cast<std::uint8_t>(random());
  return bytes;
}

TEST(FileContents, ReadsSmallEmptyAndMultiMegabyteFilesExactly) {
  testing::TemporaryDirectory directory;
  for (std::size_t size :
       {std::size_t{0}, std::size_t{1}, std::size_t{16385}, std::size_t{9} * 1024 * 1024 + 7}) {
    auto path = directory.path() / ("f" + std::to_string(size));
    const Data bytes = randomBytes(size);
    write(path, bytes);
    auto read = readContents(path);
    ASSERT_TRUE(read.has_value()) << size;
    EXPECT_TRUE(*read == bytes) << size;
  }
}

TEST(FileContents, MissingDirectoryAndPipeAreErrorsNotHangs) {
  testing::TemporaryDirectory directory;
  EXPECT_EQ(readContents(directory.path() / "absent").error().code(),
            std::errc::no_such_file_or_directory);
  EXPECT_EQ(readContents(directory.path()).error().code(), std::errc::is_a_directory);
  auto pipe = directory.path() / "pipe";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  // A pipe without a writer would block the open, a device never end.
  EXPECT_EQ(readContents(pipe).error().code(), std::errc::invalid_argument);
  EXPECT_EQ(readContents("/dev/zero").error().code(), std::errc::invalid_argument);
}

TEST(FileContents, ALimitRefusesOnlyFilesLargerThanIt) {
  testing::TemporaryDirectory directory;
  auto path = directory.path() / "f";
  write(path, randomBytes(100));
  EXPECT_EQ(readContents(path, 100).value().size(), 100u);
  EXPECT_EQ(readContents(path, 99).error().code(), std::errc::file_too_large);
}

TEST(FileContents, AFileThatCannotBeOpenedGivesTheSystemsReason) {
  if (geteuid() == 0) GTEST_SKIP() << "root reads every file";
  testing::TemporaryDirectory directory;
  auto path = directory.path() / "locked";
  write(path, Data{1, 2, 3});
  std::filesystem::permissions(path, std::filesystem::perms::none);
  EXPECT_EQ(readContents(path).error().code(), std::errc::permission_denied);
}

TEST(FileContents, LargeZeroedBuffersAreZeroEvenWhenMemoryIsReused) {
  for (int round = 0; round < 3; ++round) {
    {
      Data used = makeZeroedData(8 * 1024 * 1024);
      std::fill(used.begin(), used.end(), 0xAB);
    }
    Data fresh = makeZeroedData(8 * 1024 * 1024);
    ASSERT_EQ(fresh.size(), 8u * 1024 * 1024);
    EXPECT_EQ(std::count(fresh.begin(), fresh.end(), 0), static_cast<long>(fresh.size()));
  }
}

}  // namespace
}  // namespace velmoradine
