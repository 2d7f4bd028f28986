// Appending one page of about 10 KB of text to books of 10, 100 and 1000 pages, the way the
// toolbar adds a page: open for append, one page, OutputAll, Close. Reports the time per append
// and the peak heap the append needed above what was live before it.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <string>

#include "contracts/NBKCreator.h"

namespace {

std::atomic<long long> g_live{0};
std::atomic<long long> g_peak{0};

void Track(void* p) {
  if (!p) return;
  long long now = g_live += static_cast<long long>(malloc_usable_size(p));
  long long peak = g_peak.load();
  while (now > peak && !g_peak.compare_exchange_weak(peak, now)) {
  }
}

void Untrack(void* p) {
  if (p) g_live -= static_cast<long long>(malloc_usable_size(p));
}

}  // namespace

// The replacement pair below is matched (malloc/free); GCC cannot see that through it.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t n) {
  void* p = std::malloc(n ? n : 1);
  if (!p) throw std::bad_alloc();
  Track(p);
  return p;
}
void operator delete(void* p) noexcept {
  Untrack(p);
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  Untrack(p);
  std::free(p);
}

namespace {

std::u16string PageText(int n) {
  std::u16string text;
  // About 10 KB of UTF-16: 5,000 units of mixed Latin and Japanese text.
  while (text.size() < 5000)
    text += u"Page " + std::u16string(1, char16_t(u'0' + n % 10)) + u" 本文のテキスト. ";
  return text;
}

int AppendOne(const std::u16string& path, int n) {
  CNBKBook book;
  book.SetScrambleKey(0x0D3B);
  if (int rc = book.Open(path.c_str(), NBK_OPEN_APPEND); rc != 0) return rc;
  CNBKTocObject* toc = book.CreateToc();
  CNBKPageObject* page = book.CreatePage(NBK_PAGE_KIND);
  toc->AddEntry(u"Page title", page, nullptr);
  const std::u16string text = PageText(n);
  // The text in paragraphs of about 500 units, as a converted web page has them.
  for (std::size_t at = 0; at < text.size(); at += 500) {
    CNBKTextBlock* block = page->CreateTextBlock(0, 0);
    block->SetStyle(83, 100);
    CNBKTextObject* t = block->GetTextObject();
    t->ChangeAtr(1, 100);
    t->AddText(text.substr(at, 500));
    t->AddCommand(0xF5D2, nullptr, 0);
    t->Write();
    page->AddBlock(block->GetBlockObject());
  }
  book.AddPage(page);
  int rc = book.OutputAll();
  book.Close();
  return rc;
}

std::string Folder() {
  static const std::string dir = [] {
    const char* tmp = std::getenv("TMPDIR");
    std::string d =
        std::string(tmp && *tmp ? tmp : "/tmp") + "/nbk-bench-" + std::to_string(::getpid());
    std::filesystem::create_directories(d);
    return d;
  }();
  return dir;
}

void BM_AppendPage(benchmark::State& state) {
  const int pages = static_cast<int>(state.range(0));
  const std::string pristine = Folder() + "/book-" + std::to_string(pages) + ".nbk";
  const std::string work = Folder() + "/work.nbk";
  if (!std::filesystem::exists(pristine)) {
    for (int i = 0; i < pages; ++i) {
      if (AppendOne(std::u16string(pristine.begin(), pristine.end()), i) != 0) {
        state.SkipWithError("could not make the book");
        return;
      }
    }
  }
  const std::u16string workPath(work.begin(), work.end());
  long long peakAbove = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::copy_file(pristine, work, std::filesystem::copy_options::overwrite_existing);
    long long before = g_live.load();
    g_peak = before;
    state.ResumeTiming();
    if (AppendOne(workPath, pages) != 0) state.SkipWithError("append failed");
    state.PauseTiming();
    peakAbove = std::max(peakAbove, g_peak.load() - before);
    state.ResumeTiming();
  }
  state.counters["book_KB"] = static_cast<double>(std::filesystem::file_size(pristine)) / 1024.0;
  state.counters["peak_heap_KB"] = static_cast<double>(peakAbove) / 1024.0;
}

BENCHMARK(BM_AppendPage)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::filesystem::remove_all(Folder());
  return 0;
}
