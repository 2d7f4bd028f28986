// nbclip: the command-line host. `nbclip COMMAND ARGS...`; see the table below.
#include <malloc.h>

#include <iostream>
#include <string_view>
#include <vector>

#include "apps/nbclip/commands.h"

namespace {

struct Subcommand {
  std::string_view name;
  std::string_view usage;  // arguments, for the usage text
  int (*run)(nbclip::Args);
};

constexpr Subcommand kSubcommands[] = {
    {"dump", "[--json] BOOK.nbk   print everything in a book", nbclip::RunDump},
    {"convert", "PAGE... -o BOOK.nbk [OPTIONS]   add pages to a book", nbclip::RunConvert},
    {"view", "BOOK.nbk [-o FILE.html] [--open]   write (and open) the book's preview",
     nbclip::RunView},
    {"register", "[--desktop]   register the toolbar; --desktop: open books with the preview",
     nbclip::RunRegister},
    {"unregister", "[--desktop]   undo register", nbclip::RunUnregister},
    {"toolbar", "[PAGE] [--no-document]   show the browser's toolbars, with PAGE shown",
     nbclip::RunToolbar},
    {"add", "PAGE [--book N|TITLE] [--no-document]   add PAGE to a book with the toolbar",
     nbclip::RunAdd},
    {"open", "[--book N|TITLE]   hand a book to the reader's PC software with the toolbar",
     nbclip::RunOpen},
    {"help", "  show the toolbar's help", nbclip::RunHelp},
    {"books",
     "[new [--title T ...] | show N|TITLE | delete N|TITLE]   list, make, show or delete books "
     "with the toolbar",
     nbclip::RunBooks},
    {"shell", "  run the toolbar's commands from standard input in one browser window",
     nbclip::RunShell},
    {"native-host",
     "ORIGIN   the browser extension's native messaging host (started by the browser)",
     nbclip::RunNativeHost},
    {"install-extension",
     "[--browser chromium|chrome|firefox] [--remove]   install the browser extension's host",
     nbclip::RunInstallExtension},
};

void PrintUsage(std::ostream& out) {
  out << "usage: nbclip COMMAND [ARGS...]\ncommands:\n";
  for (const Subcommand& c : kSubcommands) out << "  " << c.name << " " << c.usage << "\n";
}

int Usage() {
  PrintUsage(std::cerr);
  return nbclip::kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
  // A conversion frees and reallocates many blocks of a few hundred kilobytes; with glibc's
  // defaults each goes back to the system and is faulted in again. Keeping them costs a little
  // peak memory (a01655: 59 MB against 56 MB with a 256 KiB threshold) and saves about 4% of
  // the processor time in page faults.
  mallopt(M_MMAP_THRESHOLD, 8 << 20);
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
  if (argc < 2) return Usage();
  std::vector<std::string_view> args(argv + 2, argv + argc);
  std::string_view name = argv[1];
  // Asked for, the list of commands is the answer, not an error.
  if (name == "--help" || name == "-h") {
    PrintUsage(std::cout);
    return 0;
  }
  for (const Subcommand& c : kSubcommands) {
    if (c.name == name) {
      try {
        return c.run(args);
      } catch (const std::exception& e) {
        std::cerr << "nbclip " << name << ": " << e.what() << "\n";
        return nbclip::kExitFailed;
      }
    }
  }
  std::cerr << "nbclip: unknown command \"" << name << "\"\n";
  return Usage();
}
