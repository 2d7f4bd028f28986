// Building a document from a real page and reading all eleven style properties of every
// element, against the HTML parser's bare parse of the same page. Pages are Debian's own
// documentation (debian-reference-en, python3.11-doc, libstdc++-12-doc) with their sheets;
// a page that is not installed is skipped. Also reports the peak memory of one build and
// walk, in a child process, as a multiple of the page's size.
#include <benchmark/benchmark.h>
#include <gumbo.h>
#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/com/com.h"
#include "platform/mshtml/host.h"
#include "platform/mshtml/mshtml.h"

namespace {

struct Page {
  const char* name;
  const char* path;
};
const Page kPages[] = {
    {"debian-reference ch02 (300 KB)", "/usr/share/debian-reference/ch02.en.html"},
    {"python stdtypes (700 KB)", "/usr/share/doc/python3.11/html/library/stdtypes.html"},
    {"libstdc++ a01655 (3.8 MB)", "/usr/share/doc/gcc-12-base/libstdc++/user/a01655.html"},
};

std::string ReadFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

long Elements(IHTMLDocument2* doc) {
  ComPtr<IHTMLElementCollection> all;
  doc->get_all(&all);
  LONG n = 0;
  all->get_length(&n);
  for (LONG i = 0; i < n; ++i) {
    ScopedVariant name, index;
    name.vt = VT_I4;
    name.lVal = i;
    ComPtr<IDispatch> item;
    all->item(name, index, &item);
    ComPtr<IHTMLElement2> e2;
    item->QueryInterface(IID_IHTMLElement2, e2.ReleaseAndGetVoidAddress());
    ComPtr<IHTMLCurrentStyle> s;
    e2->get_currentStyle(&s);
    ScopedVariant v[7];
    s->get_fontSize(&v[0]);
    s->get_lineHeight(&v[1]);
    s->get_color(&v[2]);
    s->get_backgroundColor(&v[3]);
    s->get_fontWeight(&v[4]);
    s->get_marginTop(&v[5]);
    s->get_marginBottom(&v[6]);
    BStr b[4];
    s->get_textAlign(&b[0]);
    s->get_borderStyle(&b[1]);
    s->get_pageBreakAfter(&b[2]);
    s->get_display(&b[3]);
  }
  return n;
}

long BuildAndWalk(const std::string& bytes, const char* path) {
  ComPtr<IHTMLDocument2> doc;
  std::u16string url = platform::com::Utf8ToUtf16(std::string("file://") + path);
  platform::mshtml::CreateDocument(bytes, url, "", {}, &doc);
  return doc ? Elements(doc.Get()) : 0;
}

long StatusKb(const char* field) {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::string(field).size()));
  }
  return 0;
}

// Peak resident memory added by one build and walk, in a fresh child process.
double PeakRatio(const std::string& bytes, const char* path) {
  int fds[2];
  if (pipe(fds) != 0) return 0;
  pid_t pid = fork();
  if (pid == 0) {
    // Memory the parent freed would be reused unseen: hand it back first.
    malloc_trim(0);
    std::ofstream("/proc/self/clear_refs") << "5";
    long before = StatusKb("VmRSS:");
    BuildAndWalk(bytes, path);
    double ratio = static_cast<double>(StatusKb("VmHWM:") - before) * 1024.0 /
                   static_cast<double>(bytes.size());
    ssize_t w = write(fds[1], &ratio, sizeof ratio);
    _exit(w == sizeof ratio ? 0 : 1);
  }
  close(fds[1]);
  double ratio = 0;
  if (read(fds[0], &ratio, sizeof ratio) != sizeof ratio) ratio = 0;
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  return ratio;
}

void BM_GumboParse(benchmark::State& state, const Page& page) {
  std::string bytes = ReadFile(page.path);
  if (bytes.empty()) {
    state.SkipWithError("page not installed");
    return;
  }
  for (auto _ : state) {
    GumboOptions options = kGumboDefaultOptions;
    options.max_errors = 0;
    GumboOutput* out = gumbo_parse_with_options(&options, bytes.data(), bytes.size());
    benchmark::DoNotOptimize(out);
    gumbo_destroy_output(&options, out);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

void BM_ModelBuildAndWalk(benchmark::State& state, const Page& page) {
  std::string bytes = ReadFile(page.path);
  if (bytes.empty()) {
    state.SkipWithError("page not installed");
    return;
  }
  long elements = 0;
  for (auto _ : state) elements = BuildAndWalk(bytes, page.path);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
  state.counters["elements"] = static_cast<double>(elements);
  state.counters["peak_x_page"] = PeakRatio(bytes, page.path);
}

const bool g_registered = [] {
  for (const Page& p : kPages) {
    benchmark::RegisterBenchmark((std::string("GumboParse/") + p.name).c_str(), BM_GumboParse, p)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((std::string("ModelBuildAndWalk/") + p.name).c_str(),
                                 BM_ModelBuildAndWalk, p)
        ->Unit(benchmark::kMillisecond);
  }
  return true;
}();

}  // namespace

BENCHMARK_MAIN();
