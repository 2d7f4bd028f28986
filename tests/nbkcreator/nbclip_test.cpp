// nbclip as a program: dump output, exit codes and messages.
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "tests/nbkcreator/support.h"

namespace nbktest {
namespace {

class NbclipTest : public ScratchTest {
 protected:
  struct Run {
    int status;
    std::string out, err;
  };
  Run Nbclip(const std::string& args) {
    std::string command = std::string("'") + NBK_NBCLIP + "' " + args + " >'" + Path("out") +
                          "' 2>'" + Path("err") + "'";
    int raw = std::system(command.c_str());
    auto text = [](const std::string& path) {
      std::ifstream in(path);
      std::stringstream s;
      s << in.rdbuf();
      return s.str();
    };
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, text(Path("out")), text(Path("err"))};
  }
};

TEST_F(NbclipTest, DumpPrintsTheGoldenText) {
  ASSERT_NO_FATAL_FAILURE(WriteSampleBook(Path("book.nbk"), m_dir));
  Run text = Nbclip("dump '" + Path("book.nbk") + "'");
  EXPECT_EQ(text.status, 0) << text.err;
  ExpectGolden("sample.dump", text.out);
  Run json = Nbclip("dump --json '" + Path("book.nbk") + "'");
  EXPECT_EQ(json.status, 0) << json.err;
  ExpectGolden("sample.json", json.out);
}

TEST_F(NbclipTest, BadArgumentsShowUsage) {
  for (const char* args : {"", "nosuch", "dump", "dump --bogus x.nbk", "dump a.nbk b.nbk"}) {
    SCOPED_TRACE(args);
    Run r = Nbclip(args);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("usage: nbclip"), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty());
  }
}

TEST_F(NbclipTest, DamagedOrMissingBooksFailWithAMessage) {
  ASSERT_NO_FATAL_FAILURE(WriteSampleBook(Path("book.nbk"), m_dir));
  auto bytes = ReadFile(Path("book.nbk"));
  auto damaged = bytes;
  damaged[damaged.size() - 30] ^= 1;
  WriteFile(Path("damaged.nbk"), damaged);
  WriteFile(Path("cut.nbk"), std::vector<std::uint8_t>(bytes.begin(), bytes.end() - 7));
  const struct {
    const char* file;
    const char* message;
  } cases[] = {{"damaged.nbk", "checksum mismatch"},
               {"cut.nbk", "truncated"},
               {"missing.nbk", "cannot open"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    Run r = Nbclip("dump '" + Path(c.file) + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(c.file), std::string::npos) << r.err;
  }
}

}  // namespace
}  // namespace nbktest
