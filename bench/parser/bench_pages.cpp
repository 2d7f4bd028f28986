// Time and peak memory of `nbclip convert` against a bare HTML parse of the same page, each in a
// process of its own, so that each peak is that process's alone. The pages: the three Debian
// documentation pages of bench_parser, an 8 MB page made of them, generated pages that double one
// dimension at a time (elements, attributes, text, nesting), a page of 1 M elements, and a page
// with 200,000 style rules against 20,000 elements.
//
//   bench_pages [--runs N] [--keep DIR]        the table (least processor time of N runs, peak
//                                              memory of all)
//   bench_pages --parse PAGE                   one bare parse (the child the table runs)
#include <gumbo.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteAll(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

int ParseOnly(const char* path) {
  std::string html = ReadAll(path);
  GumboOutput* out = gumbo_parse_with_options(&kGumboDefaultOptions, html.data(), html.size());
  if (!out) return 1;
  gumbo_destroy_output(&kGumboDefaultOptions, out);
  return 0;
}

struct Run {
  double seconds = 0;
  double peakMb = 0;
  bool ok = false;
  std::string warning;  // the first warning the child printed, if any
};

// Runs argv with HOME and the XDG folders in `home`; wall time and the child's own peak RSS.
Run Spawn(const std::vector<std::string>& argv, const fs::path& home) {
  fs::path errPath = home / "stderr.txt";
  std::fflush(stdout);
  pid_t pid = fork();
  if (pid == 0) {
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
    setenv("XDG_CACHE_HOME", (home / "cache").c_str(), 1);
    setenv("XDG_DOCUMENTS_DIR", (home / "docs").c_str(), 1);
    setenv("TMPDIR", home.c_str(), 1);
    if (!freopen(errPath.c_str(), "w", stderr)) _exit(126);
    if (!freopen("/dev/null", "w", stdout)) _exit(126);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  Run run;
  int status = 0;
  rusage usage{};
  if (pid < 0 || wait4(pid, &status, 0, &usage) != pid) return run;
  // Processor time rather than wall time: the machine is shared, and waiting is not work.
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  run.seconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
  run.peakMb = usage.ru_maxrss / 1024.0;
  run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  std::istringstream err(ReadAll(errPath));
  for (std::string line; std::getline(err, line);) {
    if (line.find("warning") != std::string::npos) {
      run.warning = line;
      break;
    }
  }
  return run;
}

struct Page {
  std::string name;
  fs::path path;
};

// A generated page: `elements` elements in chains `depth` deep, each with `attrs` attributes
// and `text` characters of text, and a short style sheet of the usual kinds of rule.
std::string Synthetic(std::size_t elements, int attrs, int text, int depth) {
  std::string out =
      "<!DOCTYPE html><html><head><title>generated</title><style>\n"
      ".c0 { font-weight: bold } .c1 span { color: #336 } div > span.c2 { font-size: 120% }\n"
      "#e7 { margin-top: 1em } div:nth-child(2n) { color: red } p span { line-height: 1.4 }\n"
      "</style></head><body>\n";
  out.reserve(elements * (24 + attrs * 18 + text));
  std::string words;
  static const char* kWords[] = {"lorem ", "ipsum ", "dolor ", "sit ", "amet ", "elit "};
  for (std::size_t i = 0; words.size() < static_cast<std::size_t>(text); ++i)
    words += kWords[i % 6];
  words.resize(text);
  std::size_t made = 0;
  while (made < elements) {
    int chain = static_cast<int>(std::min<std::size_t>(depth, elements - made));
    for (int d = 0; d < chain; ++d, ++made) {
      const char* tag = d == chain - 1 ? "span" : "div";
      out += '<';
      out += tag;
      for (int a = 0; a < attrs; ++a) {
        out += a == 0 ? " class=\"c" : " data-a" + std::to_string(a) + "=\"v";
        out += std::to_string((made + a) % 7);
        out += '"';
      }
      out += '>';
      out += words;
    }
    for (int d = chain - 1; d >= 0; --d) out += d == chain - 1 ? "</span>" : "</div>";
    out += '\n';
  }
  out += "</body></html>\n";
  return out;
}

// 1 M elements in about 10 MB: short bold runs in paragraphs of a hundred.
std::string MillionElements() {
  std::string out = "<!DOCTYPE html><html><head><title>1M</title></head><body>\n";
  out.reserve(10'500'000);
  for (std::size_t i = 0; i < 1'000'000; ++i) {
    if (i % 100 == 0) out += i ? "</p>\n<p>" : "<p>";
    out += "<b>xy</b> ";
  }
  out += "</p></body></html>\n";
  return out;
}

// 200,000 rules that every element must be tried against, and 20,000 elements.
std::string HostileSheet() {
  std::string out = "<!DOCTYPE html><html><head><title>rules</title><style>\n";
  for (int i = 0; i < 200'000; ++i) {
    out += "*:not(.n" + std::to_string(i) + ") { margin-top: " + std::to_string(i % 9) + "px }\n";
  }
  out += "</style></head><body>\n";
  for (int i = 0; i < 20'000; ++i) out += "<p class=\"k" + std::to_string(i % 13) + "\">x</p>\n";
  out += "</body></html>\n";
  return out;
}

// The pages, written into dir when `write` (else only listed).
std::vector<Page> MakePages(const fs::path& dir, bool write) {
  std::vector<Page> pages;
  struct Real {
    const char* path;
    const char* package;  // the Debian package that installs it
  };
  const Real real[] = {
      {"/usr/share/doc/debian-reference-en/docs/ch02.en.html", "debian-reference-en"},
      {"/usr/share/doc/python3.11/html/library/stdtypes.html", "python3.11-doc"},
      {"/usr/share/doc/gcc-12-base/libstdc++/user/a01655.html", "libstdc++-12-doc"}};
  std::string joined;
  for (const Real& r : real) {
    fs::path p = r.path;
    if (!fs::exists(p)) {
      if (write)
        std::cerr << "bench_pages: " << p.string() << " is missing (apt-get install " << r.package
                  << "); its row and the 8 MB page made of it are left out\n";
      continue;
    }
    pages.push_back({p.filename().string(), p});
  }
  // 8 MB of real documentation: the largest page, then the others, until 8 MB.
  for (std::size_t round = 0; write && !pages.empty() && joined.size() < 8'000'000; ++round) {
    joined += ReadAll(pages[(pages.size() - 1 + round) % pages.size()].path);
  }
  if (!pages.empty()) {
    if (write) WriteAll(dir / "joined-8mb.html", joined);
    pages.push_back({"joined-8mb.html", dir / "joined-8mb.html"});
  }
  struct Shape {
    const char* name;
    std::size_t elements;
    int attrs, text, depth;
  };
  const Shape shapes[] = {{"gen-base", 50'000, 2, 20, 8},
                          {"gen-2x-elements", 100'000, 2, 20, 8},
                          {"gen-2x-attrs", 50'000, 4, 20, 8},
                          {"gen-2x-text", 50'000, 2, 40, 8},
                          {"gen-2x-nesting", 50'000, 2, 20, 16}};
  for (const Shape& s : shapes) {
    fs::path p = dir / (std::string(s.name) + ".html");
    if (write) WriteAll(p, Synthetic(s.elements, s.attrs, s.text, s.depth));
    pages.push_back({s.name, p});
  }
  if (write) WriteAll(dir / "gen-1m-elements.html", MillionElements());
  pages.push_back({"gen-1m-elements", dir / "gen-1m-elements.html"});
  if (write) WriteAll(dir / "hostile-200k-rules.html", HostileSheet());
  pages.push_back({"hostile-200k-rules", dir / "hostile-200k-rules.html"});
  return pages;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--parse") == 0) return ParseOnly(argv[2]);
  int runs = 3;
  fs::path keep;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else if (std::strcmp(argv[i], "--keep") == 0 && i + 1 < argc) {
      keep = argv[++i];
    } else {
      std::cerr << "usage: bench_pages [--runs N] [--keep DIR]\n";
      return 2;
    }
  }
  fs::path self = fs::canonical("/proc/self/exe");
  fs::path nbclip = self.parent_path() / "nbclip";
  if (!fs::exists(nbclip)) {
    std::cerr << "bench_pages: " << nbclip << " is missing; build the nbclip target\n";
    return 1;
  }
  std::string tmpl = (fs::temp_directory_path() / "nb-bench-pages-XXXXXX").string();
  if (!mkdtemp(tmpl.data())) {
    std::cerr << "bench_pages: cannot make a temporary folder\n";
    return 1;
  }
  fs::path dir = keep.empty() ? fs::path(tmpl) : keep;
  fs::create_directories(dir);
  fs::path home = fs::path(tmpl) / "home";
  fs::create_directories(home);

  // The pages are made in a child: a forked child's peak memory starts at what its parent holds,
  // so the parent stays as small as it was.
  std::fflush(stdout);
  if (pid_t maker = fork(); maker == 0) {
    MakePages(dir, true);
    std::fflush(stderr);
    _exit(0);
  } else if (int status = 0; maker < 0 || waitpid(maker, &status, 0) != maker || status != 0) {
    std::cerr << "bench_pages: cannot make the pages\n";
    return 1;
  }
  std::vector<Page> pages = MakePages(dir, false);
  std::printf("%-22s %9s %9s %9s %9s %9s %7s %7s %8s\n", "page", "size_MB", "parse_cpu", "parse_MB",
              "conv_cpu", "conv_MB", "t_ratio", "m_ratio", "conv/pg");
  for (const Page& page : pages) {
    double mb = static_cast<double>(fs::file_size(page.path)) / 1e6;
    Run parse{1e9, 0, true, {}}, conv{1e9, 0, true, {}};
    for (int r = 0; r < runs; ++r) {
      Run p = Spawn({self.string(), "--parse", page.path.string()}, home);
      Run c = Spawn({nbclip.string(), "convert", page.path.string(), "-o",
                     (home / "book.nbk").string(), "--quiet"},
                    home);
      parse.seconds = std::min(parse.seconds, p.seconds);
      parse.peakMb = std::max(parse.peakMb, p.peakMb);
      parse.ok &= p.ok;
      conv.seconds = std::min(conv.seconds, c.seconds);
      conv.peakMb = std::max(conv.peakMb, c.peakMb);
      conv.ok &= c.ok;
      if (conv.warning.empty()) conv.warning = c.warning;
    }
    std::printf("%-22s %9.2f %9.3f %9.1f %9.3f %9.1f %7.2f %7.2f %8.1f%s\n", page.name.c_str(), mb,
                parse.seconds, parse.peakMb, conv.seconds, conv.peakMb,
                conv.seconds / parse.seconds, conv.peakMb / parse.peakMb, conv.peakMb / mb,
                parse.ok && conv.ok ? "" : "  FAILED");
    if (!conv.warning.empty()) std::printf("    %s\n", conv.warning.c_str());
    std::fflush(stdout);
  }
  fs::remove_all(tmpl);
  return 0;
}
