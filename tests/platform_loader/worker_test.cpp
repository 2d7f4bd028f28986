// Helper programs asked one request at a time: answers, helpers that are missing, late or end
// without an answer, and that the next request starts a helper again.
#include "platform/loader/worker.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

namespace fs = std::filesystem;
using platform::loader::HelperBesideModule;
using platform::loader::Worker;
using namespace std::chrono_literals;

class WorkerTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ =
        fs::temp_directory_path() / ("nb-worker-" + std::to_string(getpid()) + "-" +
                                     testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // A shell script as the helper.
  std::string Script(const std::string& name, const std::string& body) {
    fs::path path = dir_ / name;
    std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
    fs::permissions(path, fs::perms::owner_all);
    return path.string();
  }

  fs::path dir_;
};

// cat answers each request with the request itself, framing and all.
TEST_F(WorkerTest, AnswersRequestsInTurn) {
  Worker worker("/bin/cat");
  std::string answer;
  // cat answers while it reads, so a request must fit in what the two directions hold.
  std::string large(64 << 10, 'x');
  for (const std::string& request :
       {std::string("one"), std::string(), large, std::string("two")}) {
    ASSERT_EQ(worker.Ask(request, answer, 5s), Worker::Outcome::kAnswered);
    EXPECT_EQ(answer, request);
  }
  EXPECT_GT(worker.Pid(), 0);
}

TEST_F(WorkerTest, HelpersThatGiveNoAnswer) {
  struct Case {
    const char* what;
    std::string program;
    Worker::Outcome outcome;
  } cases[] = {
      {"missing", (dir_ / "nb-no-such-helper").string(), Worker::Outcome::kNoProgram},
      {"never answers", Script("sleeps", "exec sleep 30"), Worker::Outcome::kLate},
      {"ends at once", Script("ends", "exit 3"), Worker::Outcome::kFailed},
      {"answers short", Script("short", "head -c 5 >/dev/null; printf '\\377\\0\\0\\0ab'"),
       Worker::Outcome::kFailed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Worker worker(c.program);
    std::string answer = "stale";
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(worker.Ask("x", answer, 300ms), c.outcome);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_EQ(answer, "");
    EXPECT_EQ(worker.Pid(), 0) << "a helper that gave no answer is ended";
  }
}

// A late helper is killed and reaped; the next request starts another.
TEST_F(WorkerTest, LateHelperEndedAndStartedAgain) {
  std::string flag = (dir_ / "slow").string();
  // Slow only while the flag file is there.
  Worker worker(Script("maybe-slow", "if [ -e '" + flag + "' ]; then exec sleep 30; fi; exec cat"));
  std::ofstream(flag) << "";
  std::string answer;
  ASSERT_EQ(worker.Ask("a", answer, 300ms), Worker::Outcome::kLate);
  fs::remove(flag);
  ASSERT_EQ(worker.Ask("b", answer, 5s), Worker::Outcome::kAnswered);
  EXPECT_EQ(answer, "b");
  pid_t pid = worker.Pid();
  ASSERT_GT(pid, 0);
  {
    Worker gone = Worker("/bin/cat");  // a second worker does not disturb the first
    ASSERT_EQ(gone.Ask("c", answer, 5s), Worker::Outcome::kAnswered);
  }
  ASSERT_EQ(worker.Ask("d", answer, 5s), Worker::Outcome::kAnswered);
  EXPECT_EQ(worker.Pid(), pid);
}

// The helper gets its two ends of the conversation and nothing else this process has open.
TEST_F(WorkerTest, HelperInheritsNoOtherFiles) {
  fs::path marker = dir_ / "marker";
  std::ofstream(marker) << "";
  int open = ::open(marker.c_str(), O_RDONLY);  // not close-on-exec
  ASSERT_GE(open, 3);
  Worker worker(Script("fds", "for f in /proc/$$/fd/*; do readlink \"$f\"; done > '" +
                                  (dir_ / "fds").string() + "'; exec cat"));
  std::string answer;
  EXPECT_EQ(worker.Ask("x", answer, 5s), Worker::Outcome::kAnswered);
  ::close(open);
  std::ifstream in(dir_ / "fds");
  std::string fds((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(fds.find("socket:"), std::string::npos) << fds;
  EXPECT_EQ(fds.find("marker"), std::string::npos) << fds;
}

TEST(HelperBesideModuleTest, BesideTheModuleOrInItsLibFolder) {
  const void* self = reinterpret_cast<const void*>(&HelperBesideModule);
  fs::path program = fs::canonical("/proc/self/exe");
  // This test program is in bin/, beside itself; the platform library in lib/ beside bin/.
  EXPECT_EQ(HelperBesideModule(reinterpret_cast<const void*>(+[] {}), program.filename().string()),
            program.string());
  EXPECT_EQ(
      HelperBesideModule(self, "libPlatform.so"),
      (fs::canonical(program.parent_path().parent_path() / "lib") / "libPlatform.so").string());
  EXPECT_EQ(HelperBesideModule(self, "nb-no-such-helper"), "");
  EXPECT_EQ(HelperBesideModule(nullptr, "libPlatform.so"), "");
}

}  // namespace
