// nbclip native-host as the browser runs it: frames on its standard input and output, on a
// fresh home with the toolbar registered. Who may call it, what it refuses and that it goes on
// after refusing; nbclip install-extension's manifests.
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>

#include <string>
#include <vector>

#include "apps/nbclip/native_messaging.h"
#include "tests/nbclip/cli.h"

using namespace nbclip_test;
namespace nm = nbclip::nm;

namespace {

const std::string kOrigin = "chrome-extension://iafbdgfmdmdaokcflhiapijjbpopfgla/";

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The host started with args, its standard input and output in our hands.
class HostProcess {
 public:
  explicit HostProcess(std::vector<std::string> args) {
    int in[2], out[2];
    EXPECT_EQ(pipe(in), 0);
    EXPECT_EQ(pipe(out), 0);
    m_pid = fork();
    if (m_pid == 0) {
      dup2(in[0], 0);
      dup2(out[1], 1);
      int null = open("/dev/null", O_WRONLY);
      dup2(null, 2);
      for (int fd : {in[0], in[1], out[0], out[1], null}) close(fd);
      std::vector<char*> argv{const_cast<char*>(NBCLIP_PATH), const_cast<char*>("native-host")};
      for (std::string& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(NBCLIP_PATH, argv.data());
      _exit(127);
    }
    close(in[0]);
    close(out[1]);
    m_in = in[1];
    m_out = out[0];
  }
  ~HostProcess() {
    CloseInput();
    if (m_out >= 0) close(m_out);
    Wait();
  }
  void SendRaw(const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
      ssize_t n = write(m_in, bytes.data() + sent, bytes.size() - sent);
      if (n <= 0) return;
      sent += static_cast<size_t>(n);
    }
  }
  void Send(const std::string& body) {
    std::string h(4, '\0');
    for (int i = 0; i < 4; ++i) h[i] = static_cast<char>((body.size() >> (8 * i)) & 0xFF);
    SendRaw(h + body);
  }
  // The next answer, or null after 20 s or when the host stopped.
  std::optional<nm::Json> Receive() {
    pollfd p{m_out, POLLIN, 0};
    if (poll(&p, 1, 20000) <= 0) return std::nullopt;
    nm::Frame f = nm::ReadFrame(m_out, 1u << 20, 1u << 20);
    if (f.status != nm::FrameStatus::kMessage) return std::nullopt;
    std::string error;
    return nm::Parse(f.body, error);
  }
  void CloseInput() {
    if (m_in >= 0) close(m_in);
    m_in = -1;
  }
  int Wait() {
    if (m_pid > 0) {
      waitpid(m_pid, &m_status, 0);
      m_pid = -1;
    }
    return WIFEXITED(m_status) ? WEXITSTATUS(m_status) : -1;
  }

 private:
  pid_t m_pid = -1;
  int m_in = -1, m_out = -1;
  int m_status = 0;
};

std::string ErrorOf(const std::optional<nm::Json>& answer) {
  if (!answer) return "(no answer)";
  const nm::Json* ok = answer->Find("ok");
  const nm::Json* error = answer->Find("error");
  if (!ok || std::get<bool>(ok->value) || !error) return "(accepted)";
  return std::get<std::string>(error->value);
}

class NativeHostTest : public CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    Result r = Shell(Quote(NBCLIP_PATH) + " register");
    ASSERT_EQ(r.status, 0) << r.out;
  }
};

TEST_F(NativeHostTest, AnswersOnlyTheExtension) {
  const std::vector<std::vector<std::string>> callers = {
      {},
      {"chrome-extension://abcdefghijklmnopabcdefghijklmnop/"},
      {"https://iafbdgfmdmdaokcflhiapijjbpopfgla/"},
      {"/home/u/.mozilla/native-messaging-hosts/nbclip.toolbar.json", "other@example.org"},
  };
  for (const auto& args : callers) {
    HostProcess host(args);
    host.Send(R"({"id":1,"cmd":"state"})");
    EXPECT_EQ(ErrorOf(host.Receive()), "this host answers only the Nubra toolbar extension")
        << (args.empty() ? "" : args[0]);
    EXPECT_EQ(host.Wait(), 1);
  }
}

TEST_F(NativeHostTest, RefusesBadRequestsClearlyAndGoesOn) {
  HostProcess host({kOrigin});
  struct Case {
    std::string message, error;
  };
  const Case cases[] = {
      {"{\"id\":1,", "not JSON: name expected at byte 8"},
      {"[1,2]", "a request is an object with \"id\" and \"cmd\""},
      {R"({"cmd":"state"})", "\"id\" is missing"},
      {R"({"id":"1","cmd":"state"})", "\"id\" must be an integer"},
      {R"({"id":2,"cmd":"format"})", "unknown command \"format\""},
      {R"({"id":3,"cmd":"state","path":"/etc/passwd"})", "unknown field \"path\""},
      {R"({"id":4,"cmd":"press","command":2000})", "\"command\" must be from 1000 to 1003"},
      {R"({"id":5,"cmd":"press","command":"1000"})", "\"command\" must be an integer"},
      {R"({"id":6,"cmd":"select","row":5})", "there is no book 5"},
      {R"({"id":7,"cmd":"page","url":"file:///etc/passwd","html":"<p>x</p>"})",
       "only pages from http or https addresses can be added"},
      {R"({"id":8,"cmd":"page","url":"http://127.0.0.1/","html":7})", "\"html\" must be a string"},
      {R"({"id":9,"cmd":"click","dialog":1,"control":1})",
       "that dialog is not the one open in front"},
      {"{\"id\":10,\"cmd\":\"state\",\"x\":\"\xC3\"}", "not JSON: not UTF-8 at byte 28"},
  };
  for (const Case& c : cases) {
    host.Send(c.message);
    EXPECT_EQ(ErrorOf(host.Receive()), c.error) << c.message;
  }
  // Too large: refused, its bytes skipped, and the next request read in step.
  host.Send(std::string(17u << 20, ' '));
  EXPECT_TRUE(Has(ErrorOf(host.Receive()), "is larger than the limit of 16777216 bytes"));
  host.Send(R"({"id":11,"cmd":"state"})");
  std::optional<nm::Json> answer = host.Receive();
  ASSERT_TRUE(answer);
  EXPECT_EQ(ErrorOf(answer), "(accepted)");
  std::string text = nm::Write(*answer);
  EXPECT_TRUE(
      Has(text, "\"books\":[\"\xE3\x83\x9E\xE3\x82\xA4\xE3\x83\x96\xE3\x83\x83\xE3\x82\xAF\"]"))
      << text;
  for (const char* command : {"1000", "1001", "1002", "1003"})
    EXPECT_TRUE(Has(text, std::string("\"command\":") + command)) << text;
  // A length no browser sends ends the session: nothing after it can be trusted.
  host.SendRaw(std::string("\xFF\xFF\xFF\x7F", 4));
  EXPECT_TRUE(Has(ErrorOf(host.Receive()), "cannot be taken; the host stops"));
  EXPECT_EQ(host.Wait(), 0);
}

TEST_F(NativeHostTest, ADialogLeftOpenIsCancelledWhenThePortCloses) {
  HostProcess host({kOrigin});
  host.Send(R"({"id":1,"cmd":"press","command":1002})");
  std::string text = nm::Write(host.Receive().value_or(nm::Json()));
  EXPECT_TRUE(
      Has(text, "\"caption\":\"\xE6\x9B\xB8\xE7\xB1\x8D\xE3\x81\xAE\xE7\xAE\xA1\xE7\x90\x86\""))
      << text;  // 書籍の管理
  host.Send(R"({"id":2,"cmd":"press","command":1000})");
  EXPECT_EQ(ErrorOf(host.Receive()), "the book management dialog is open; close it first");
  host.CloseInput();
  EXPECT_EQ(host.Wait(), 0);
}

TEST_F(NativeHostTest, InstallExtensionWritesAndRemovesTheManifest) {
  struct Case {
    std::string browser;
    fs::path folder;
    std::string allowed;
  };
  const Case cases[] = {
      {"chromium", home_ / "config" / "chromium" / "NativeMessagingHosts",
       "\"allowed_origins\":[\"" + kOrigin + "\"]"},
      {"chrome", home_ / "config" / "google-chrome" / "NativeMessagingHosts",
       "\"allowed_origins\":[\"" + kOrigin + "\"]"},
      {"firefox", home_ / ".mozilla" / "native-messaging-hosts",
       "\"allowed_extensions\":[\"toolbar@nbclip.invalid\"]"},
  };
  for (const Case& c : cases) {
    Result r = Shell(Quote(NBCLIP_PATH) + " install-extension --browser " + c.browser);
    ASSERT_EQ(r.status, 0) << r.out;
    fs::path manifest = c.folder / "nbclip.toolbar.json";
    std::string text = ReadFile(manifest);
    EXPECT_TRUE(Has(text, c.allowed)) << text;
    EXPECT_TRUE(Has(text, "\"name\":\"nbclip.toolbar\"")) << text;
    EXPECT_TRUE(Has(text, "\"type\":\"stdio\"")) << text;
    fs::path script = c.folder / "nbclip.toolbar.sh";
    EXPECT_TRUE(Has(text, "\"path\":\"" + script.string() + "\"")) << text;
    EXPECT_TRUE(Has(ReadFile(script), " native-host \"$@\"")) << ReadFile(script);
    EXPECT_NE(fs::status(script).permissions() & fs::perms::owner_exec, fs::perms::none);
    EXPECT_TRUE(Has(r.out, "Load")) << r.out;
    r = Shell(Quote(NBCLIP_PATH) + " install-extension --remove --browser " + c.browser);
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_FALSE(fs::exists(manifest));
    EXPECT_FALSE(fs::exists(script));
  }
  Result r = Shell(Quote(NBCLIP_PATH) + " install-extension --browser lynx");
  EXPECT_EQ(r.status, 2) << r.out;
}

}  // namespace
