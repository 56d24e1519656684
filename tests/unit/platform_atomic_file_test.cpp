// The one writer: every byte lands once whatever the writes do, the target is the old file or the
// new one, the temporary name cannot be planted, and a device stays a device.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <random>

#include "platform/atomic_file.h"
#include "support/temp_dir.h"

namespace ruvelo {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> folderNames(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Writes that go wrong as a full disk and signals make them: some take part of the bytes, some are
// interrupted, and for a while every one fails with ENOSPC. Then the disk has room again.
struct FlakyDisk {
  std::mt19937 rng{5};
  bool full = false;
  bool settled = false;  // the disk behaves again
  ssize_t operator()(int fd, const void* data, std::size_t size, off_t at) {
    const unsigned roll = settled ? 7 : rng() % 8;
    if (full || roll == 0) {
      errno = full ? ENOSPC : EINTR;
      return -1;
    }
    const std::size_t n = roll < 4 ? std::max<std::size_t>(1, size / (roll + 1)) : size;
    if (roll == 4 && size > 1) {  // takes a few bytes, then the disk is full
      const ssize_t some = ::pwrite(fd, data, size / 2, at);
      full = true;
      return some;
    }
    return at < 0 ? ::write(fd, data, n) : ::pwrite(fd, data, n, at);
  }
};

struct SystemWritesAfter {
  ~SystemWritesAfter() { setFileWriteForTests(nullptr); }
};

TEST(AtomicFile, EveryByteLandsOnceThroughShortInterruptedAndFailedWrites) {
  const SystemWritesAfter restore;
  const std::string dir = test::makeTempDir("atomic");
  const std::string path = dir + "/last-run.rvr";
  std::mt19937 rng(3);
  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE(round);
    std::ofstream(path) << "the old run";
    auto disk = std::make_shared<FlakyDisk>();
    disk->rng.seed(static_cast<unsigned>(round));
    setFileWriteForTests(
        [disk](int fd, const void* d, std::size_t n, off_t at) { return (*disk)(fd, d, n, at); });
    AtomicFile file;
    std::string why, expected;
    ASSERT_TRUE(file.open(path, why)) << why;
    expected = "HEADER--";
    file.append(expected);
    for (int chunk = 0; chunk < 60; ++chunk) {
      std::string bytes(rng() % 300, '\0');
      for (char& c : bytes) c = static_cast<char>(rng());
      file.append(bytes);
      expected += bytes;
      if (chunk == 30) disk->full = false;  // room again mid-run (the old writer doubled bytes here)
    }
    file.patch(0, "header", 6);
    expected.replace(0, 6, "header");
    std::string soFar;
    ASSERT_TRUE(file.contents(soFar));
    ASSERT_EQ(soFar.size(), expected.size());
    EXPECT_TRUE(soFar == expected) << "first difference at byte "
                                   << std::mismatch(soFar.begin(), soFar.end(), expected.begin()).first -
                                          soFar.begin();
    // Still full at the end: nothing replaces the old file, and nothing is left beside it.
    if (round % 2 == 1) {
      disk->full = true;
      EXPECT_FALSE(file.commit(why));
      EXPECT_NE(why.find("No space left on device"), std::string::npos) << why;
      EXPECT_TRUE(test::readWholeFile(path) == "the old run");
      EXPECT_EQ(folderNames(dir), std::vector<std::string>{"last-run.rvr"});
      continue;
    }
    disk->full = false;
    disk->settled = true;
    ASSERT_TRUE(file.commit(why)) << why;
    EXPECT_TRUE(test::readWholeFile(path) == expected);
    EXPECT_EQ(folderNames(dir), std::vector<std::string>{"last-run.rvr"});
  }
}

// The end-to-end test covers a link and a read-only file as --record, and a FIFO as --audio-out.
TEST(AtomicFile, TheTemporaryNameIsNotGuessableAndADeviceIsNotReplaced) {
  const std::string dir = test::makeTempDir("atomic");
  const std::string victim = dir + "/victim.txt";
  std::ofstream(victim) << "keep me";
  std::string why;
  // The names older versions used, planted as links, are not used; the temporary file has a random
  // name and the mode the umask gives.
  for (const std::string& planted :
       {"/best.txt.tmp-" + std::to_string(::getpid()), std::string("/.best.txt.tmp")})
    fs::create_symlink(victim, dir + planted);
  const mode_t oldMask = ::umask(027);
  AtomicFile file;
  ASSERT_TRUE(file.open(dir + "/best.txt", why)) << why;
  ::umask(oldMask);
  file.append("time_left=1\n");
  std::string temp;
  for (const std::string& name : folderNames(dir))
    if (name.rfind(".best.txt.tmp-" + std::to_string(::getpid()) + "-", 0) == 0) temp = name;
  ASSERT_EQ(temp.size(), std::string(".best.txt.tmp-").size() + std::to_string(::getpid()).size() + 13)
      << temp;
  struct stat info {};
  ASSERT_EQ(::lstat((dir + "/" + temp).c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  ASSERT_TRUE(file.commit(why)) << why;
  EXPECT_EQ(test::readWholeFile(dir + "/best.txt"), "time_left=1\n");
  EXPECT_EQ(test::readWholeFile(victim), "keep me");

  EXPECT_TRUE(writeFileAtomically("/dev/null", "anything", why)) << why;
  ASSERT_EQ(::lstat("/dev/null", &info), 0);
  EXPECT_TRUE(S_ISCHR(info.st_mode));
}

}  // namespace
}  // namespace ruvelo
