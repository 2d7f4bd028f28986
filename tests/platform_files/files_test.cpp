// Replacing a file whole and waiting for a lock file: a failure at any step leaves the old
// file as it was and nothing beside it.
#include "platform/files/files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

namespace fs = std::filesystem;
using platform::files::ReplaceResult;
using Step = ReplaceResult::Step;

std::string Read(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Fails one step with a given errno.
class FailingCalls : public platform::files::FileCalls {
 public:
  FailingCalls(Step step, int error) : step_(step), error_(error) {}
  int Open(const char* path, int flags, mode_t mode) override {
    return Fail(Step::kCreate) ? -1 : FileCalls::Open(path, flags, mode);
  }
  ssize_t Write(int fd, const void* data, size_t size) override {
    // A short write first, so that the helper must go on to write the rest.
    if (Fail(Step::kWrite)) return -1;
    return FileCalls::Write(fd, data, size > 1 ? size / 2 : size);
  }
  int Fsync(int fd) override { return Fail(Step::kFlush) ? -1 : FileCalls::Fsync(fd); }
  int Close(int fd) override {
    int r = FileCalls::Close(fd);  // the descriptor goes either way
    return Fail(Step::kClose) ? -1 : r;
  }
  int Rename(const char* from, const char* to) override {
    return Fail(Step::kRename) ? -1 : FileCalls::Rename(from, to);
  }

 private:
  bool Fail(Step step) {
    if (step != step_) return false;
    errno = error_;
    return true;
  }
  Step step_;
  int error_;
};

class FilesTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("nb_files_test_" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::size_t Entries() const {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir_), {}));
  }
  fs::path dir_;
};

TEST_F(FilesTest, EachFailedStepKeepsTheOldFileAndLeavesNothingBeside) {
  const std::string path = (dir_ / "list.xml").string();
  const std::string temp = path + ".tmp";
  struct Case {
    Step step;
    int error;
  };
  for (const Case& c :
       {Case{Step::kNone, 0}, Case{Step::kCreate, EACCES}, Case{Step::kWrite, ENOSPC},
        Case{Step::kFlush, EIO}, Case{Step::kClose, EIO}, Case{Step::kRename, EXDEV}}) {
    SCOPED_TRACE(static_cast<int>(c.step));
    std::ofstream(path, std::ios::binary) << "old";
    std::ofstream(temp, std::ios::binary) << "stale";  // left by a crashed writer
    FailingCalls calls(c.step, c.error);
    ReplaceResult r = platform::files::ReplaceFile(path, temp, "new contents", 0600, calls);
    EXPECT_EQ(r.failed, c.step);
    EXPECT_EQ(r.error, c.error);
    EXPECT_EQ(Read(path), c.step == Step::kNone ? "new contents" : "old");
    EXPECT_FALSE(fs::exists(temp));
    EXPECT_EQ(Entries(), 1u);
  }
  EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(FilesTest, CommitOfAStreamedFileReplacesIt) {
  const std::string path = (dir_ / "book.nbk").string();
  const std::string temp = path + ".new";
  std::ofstream(path) << "old book";
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
  ASSERT_GE(fd, 0);
  ASSERT_TRUE(platform::files::WriteAll(fd, "new book", 8));
  EXPECT_TRUE(platform::files::CommitReplacement(fd, temp, path).ok());
  EXPECT_EQ(Read(path), "new book");
  EXPECT_FALSE(fs::exists(temp));
}

TEST_F(FilesTest, FolderOfBareRootAndNestedNames) {
  EXPECT_EQ(platform::files::FolderOf("name"), ".");
  EXPECT_EQ(platform::files::FolderOf("/name"), "/");
  EXPECT_EQ(platform::files::FolderOf("/a/b/name"), "/a/b");
}

TEST_F(FilesTest, ASecondLockWaitsOutItsTimeoutThenGetsTheReleasedLock) {
  const std::string lock = (dir_ / "registry.lock").string();
  platform::files::FileLock first(lock, std::chrono::milliseconds(0));
  ASSERT_TRUE(first.Locked());
  {
    // flock belongs to the open file, so a second open in this process contends as another
    // process would.
    platform::files::FileLock second(lock, std::chrono::milliseconds(20));
    EXPECT_FALSE(second.Locked());
    EXPECT_EQ(second.Error(), ETIMEDOUT);
  }
  std::thread release([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    first.Release();
  });
  platform::files::FileLock waiting(lock, std::chrono::milliseconds(-1));
  release.join();
  EXPECT_TRUE(waiting.Locked());
  EXPECT_EQ(waiting.Error(), 0);
  // Moved, the lock is held once and let go once.
  platform::files::FileLock moved = std::move(waiting);
  EXPECT_FALSE(waiting.Locked());
  EXPECT_TRUE(moved.Locked());
  EXPECT_TRUE(fs::exists(lock));  // the lock file stays
}

TEST_F(FilesTest, ALockFileThatCannotBeMadeSaysWhy) {
  platform::files::FileLock lock((dir_ / "missing" / "x.lock").string(),
                                 std::chrono::milliseconds(0));
  EXPECT_FALSE(lock.Locked());
  EXPECT_EQ(lock.Error(), ENOENT);
}

}  // namespace
