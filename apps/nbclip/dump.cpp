// nbclip dump [--json] BOOK.nbk: the whole book as stable text (or JSON) on standard output.
#include <iostream>
#include <string>

#include "apps/nbclip/commands.h"
#include "contracts/NBKReader.h"

namespace nbclip {

int RunDump(Args args) {
  bool json = false;
  std::string_view path;
  for (std::string_view a : args) {
    if (a == "--json") {
      json = true;
    } else if (path.empty() && !a.starts_with("-")) {
      path = a;
    } else {
      path = {};
      break;
    }
  }
  if (path.empty()) {
    std::cerr << "usage: nbclip dump [--json] BOOK.nbk\n";
    return kExitUsage;
  }
  std::string error;
  std::optional<nbk::Book> book = nbk::ReadBook(std::string(path), error);
  if (!book) {
    std::cerr << "nbclip dump: " << path << ": " << error << "\n";
    return kExitFailed;
  }
  std::cout << (json ? nbk::DumpJson(*book) : nbk::DumpText(*book));
  return std::cout.good() ? kExitOk : kExitFailed;
}

}  // namespace nbclip
