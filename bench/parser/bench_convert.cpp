// The whole conversion of a page (document model, engine, writer, book written to disk)
// against the bare HTML parse of the same page. The pages are Debian's own documentation:
//   apt-get install debian-reference-en python3.11-doc libstdc++-12-doc
// or name others with NB_BENCH_PAGES=path1:path2:... Reports pages/s, MB/s and the process's
// peak resident memory after each conversion.
#include <benchmark/benchmark.h>
#include <gumbo.h>
#include <sys/resource.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "parser/facade/NBParser.h"
#include "platform/mshtml/host.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> Pages() {
  if (const char* env = std::getenv("NB_BENCH_PAGES")) {
    std::vector<std::string> pages;
    std::stringstream list(env);
    for (std::string p; std::getline(list, p, ':');) pages.push_back(p);
    return pages;
  }
  return {"/usr/share/doc/debian-reference-en/docs/ch02.en.html",
          "/usr/share/doc/python3.11/html/library/stdtypes.html",
          "/usr/share/doc/gcc-12-base/libstdc++/user/a01655.html"};
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

const unsigned short* W(const std::u16string& s) {
  return reinterpret_cast<const unsigned short*>(s.c_str());
}

double PeakRssMb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024.0;
}

void BM_Convert(benchmark::State& state, std::string path) {
  std::size_t bytes = fs::file_size(path);
  fs::path dir = fs::temp_directory_path() / "nb-bench-parser";
  fs::create_directories(dir);
  std::u16string book = platform::com::Utf8ToUtf16((dir / "bench.nbk").string());
  std::u16string design =
      platform::com::Utf8ToUtf16(NB_SHARE_DIR "/Vantor Shared/EnjoyNubra/Designs/Standard.nbk");
  CoInitialize(nullptr);
  for (auto _ : state) {
    ComPtr<IHTMLDocument2> doc;
    if (FAILED(platform::mshtml::LoadDocument(platform::com::Utf8ToUtf16(path), {}, &doc))) {
      state.SkipWithError("the page cannot be loaded");
      break;
    }
    CNBParser parser;
    parser.SetDesignFileName(W(design));
    parser.SetNBKFileName(W(book));
    if (parser.CreateNewBook() != 0) {
      parser.AffairBook();
      state.SkipWithError("the book cannot be made");
      break;
    }
    parser.AddPage(doc.Get(), 0, nullptr);
    parser.FinalizeBook();
  }
  CoUninitialize();
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
  state.counters["page_KB"] = static_cast<double>(bytes) / 1024;
  state.counters["peak_rss_MB"] = PeakRssMb();
  fs::remove_all(dir);
}

void BM_ParseOnly(benchmark::State& state, std::string path) {
  std::string html = ReadAll(path);
  for (auto _ : state) {
    GumboOutput* out = gumbo_parse_with_options(&kGumboDefaultOptions, html.data(), html.size());
    benchmark::DoNotOptimize(out);
    gumbo_destroy_output(&kGumboDefaultOptions, out);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * html.size()));
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}

int Register() {
  for (const std::string& page : Pages()) {
    if (!fs::exists(page)) continue;
    std::string name = fs::path(page).filename().string();
    benchmark::RegisterBenchmark(("Convert/" + name).c_str(), BM_Convert, page)
        ->Unit(benchmark::kMillisecond)
        ->MinTime(2.0);
    benchmark::RegisterBenchmark(("GumboParseOnly/" + name).c_str(), BM_ParseOnly, page)
        ->Unit(benchmark::kMillisecond)
        ->MinTime(1.0);
  }
  return 0;
}
const int kRegistered = Register();

}  // namespace

BENCHMARK_MAIN();
