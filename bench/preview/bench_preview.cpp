// The preview of a 1000-page book, as `nbclip view` makes it: read the book, write its HTML to a
// file. Each page holds about 10 KB of text in paragraphs with size, weight and colour changes,
// a ruby, a button to the page before and an inline image; every tenth page an image block.
// Reports the time per preview, the book's and the preview's size, and the process's peak
// resident memory above what it was before (the book is written by a child process, so the
// writer's memory does not count).
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "apps/nbclip/preview/book_preview.h"
#include "contracts/NBKCreator.h"
#include "contracts/NBKReader.h"

namespace {

namespace fs = std::filesystem;

constexpr int kPages = 1000;

std::u16string Wide(const std::string& s) {
  return std::u16string(s.begin(), s.end());
}

long PeakRssKB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

int WriteBook(const std::string& path) {
  CNBKBook book;
  book.SetScrambleKey(0x0D3B);
  book.SetNBKFileName(Wide(path));
  if (book.Open(nullptr, NBK_OPEN_NEW) != 0) return 1;
  book.SetTitle(u"A thousand pages");
  book.SetDesignFile(Wide(NB_STANDARD_DESIGN));
  book.CreateCoverPage(u"A thousand pages", u"Bench");
  CNBKTocObject* toc = book.CreateToc();
  const std::u16string image = Wide(NB_SOURCE_DIR "/tests/nbclip/pages/dot.png");
  CNBKImageStreamObject* shared = nullptr;
  auto share = [&](CNBKImageObject* img) {
    if (!shared) {
      shared = img->CreateImageStream(image);
    } else {
      img->SetImageStream(shared);
    }
  };
  CNBKPageObject* previous = nullptr;
  const char16_t* ruby[] = {u"清水寺", u"きよみずでら"};
  for (int p = 0; p < kPages; ++p) {
    CNBKPageObject* page = book.CreatePage(NBK_PAGE_KIND);
    toc->AddEntry(u"Page " + Wide(std::to_string(p + 1)), page, nullptr);
    for (int para = 0; para < 20; ++para) {
      CNBKTextBlock* block = page->CreateTextBlock(0, 0);
      block->SetStyle(83, 100);
      CNBKTextObject* t = block->GetTextObject();
      t->ChangeAtr(0xF511, 90);
      t->ChangeAtr(0xF51B, 140);
      t->ChangeAtr(0xF517, 0x22222200);
      if (para == 0 && previous) {
        auto* button = static_cast<CNBKButtonObject*>(book.CreateObject(NBK_BUTTON_KIND));
        button->SetJumpTo(previous, nullptr);
        t->StartTextButton(button->GetObjID());
        t->AddText(u"前のページへ (the page before)");
        t->EndTextButton();
      }
      t->AddText(u"京都は千年以上にわたって日本の都でした。Kyoto was the capital of Japan. ");
      std::uint16_t bold = 700, normal = 400;
      t->AddCommand(0xF515, &bold, 1);
      t->AddText(u"太字の言葉 and bold words, ");
      t->AddCommand(0xF515, &normal, 1);
      t->AddCommand(0xF5A9, nullptr, 0);
      t->AddText(ruby[0]);
      t->AddCommand(0xF5AD, nullptr, 0);
      t->AddText(ruby[1]);
      t->AddCommand(0xF5AE, nullptr, 0);
      t->AddCommand(0xF5AA, nullptr, 0);
      t->AddText(u"は東山にある寺です。 A small dot ");
      if (para == 1) {
        CNBKImageObject* img = page->CreateImageBlock(NBK_IMAGE_BLOCK_KIND)->GetImageObject();
        share(img);
        t->PlotImage(img, 2);
      }
      t->AddText(u" marks the main hall on the map, and the text goes on for a while longer.");
      t->AddCommand(0xF5D2, nullptr, 0);
      t->Write();
      page->AddBlock(block->GetBlockObject());
      page->SetLocation(0, 6);
    }
    if (p % 10 == 0) {
      CNBKImageBlock* block = page->CreateImageBlock(NBK_IMAGE_BLOCK_KIND);
      share(block->GetImageObject());
      page->AddBlock(block->GetBlockObject());
    }
    book.AddPage(page);
    previous = page;
  }
  int rc = book.OutputAll();
  book.Close();
  return rc == 0 ? 0 : 1;
}

void BM_Preview1000Pages(benchmark::State& state) {
  const fs::path folder =
      fs::temp_directory_path() / ("nbk-bench-preview-" + std::to_string(::getpid()));
  fs::create_directories(folder);
  const std::string book = (folder / "book.nbk").string();
  const std::string html = (folder / "book.html").string();
  pid_t child = fork();
  if (child == 0) _exit(WriteBook(book));
  int status = 0;
  waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    state.SkipWithError("could not write the book");
    return;
  }
  const long before = PeakRssKB();
  std::size_t marks = 0;
  for (auto _ : state) {
    std::string error;
    std::optional<nbk::Book> b = nbk::ReadBook(book, error);
    if (!b) {
      state.SkipWithError(error.c_str());
      break;
    }
    std::ofstream out(html, std::ios::binary | std::ios::trunc);
    marks = nbclip::preview::WritePreview(*b, out).marks;
  }
  state.counters["book_MB"] = static_cast<double>(fs::file_size(book)) / (1 << 20);
  state.counters["html_MB"] = static_cast<double>(fs::file_size(html)) / (1 << 20);
  state.counters["peak_rss_above_MB"] = static_cast<double>(PeakRssKB() - before) / 1024.0;
  state.counters["marks"] = static_cast<double>(marks);
  fs::remove_all(folder);
}

BENCHMARK(BM_Preview1000Pages)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
