// nbclip shell: the toolbar commands read line by line from standard input and run in one
// browser window, so the band's current book lasts from one command to the next as it does in
// one browser window. Words are split at blanks; double or single quotes keep blanks in a word.
// Empty lines and lines starting with '#' are skipped; "exit" ends early.
#include <unistd.h>

#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "apps/nbclip/toolbar_session.h"

namespace nbclip {

namespace {

// The commands a session runs. A command of the toolbar is added here and declared in
// toolbar_session.h.
constexpr SessionCommandEntry kSessionCommands[] = {
    {"add", "PAGE [--book N|TITLE] [--no-document]   add PAGE to the book (button 1)",
     AddInSession},
    {"open", "[--book N|TITLE]   hand the book to the reader's PC software (button 2)",
     OpenInSession},
    {"help", "  show the toolbar's help (button 4)", HelpInSession},
    {"books",
     "[new [--title T ...] | show N|TITLE | delete N|TITLE]   the book management "
     "dialog (button 3)",
     BooksInSession},
};

// The words of line, or nothing when a quote is left open.
std::optional<std::vector<std::string>> SplitWords(const std::string& line) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false;
  char quote = 0;
  for (char c : line) {
    if (quote) {
      if (c == quote) {
        quote = 0;
      } else {
        word.push_back(c);
      }
    } else if (c == '"' || c == '\'') {
      quote = c;
      inWord = true;
    } else if (c == ' ' || c == '\t' || c == '\r') {
      if (inWord) words.push_back(std::move(word));
      word.clear();
      inWord = false;
    } else {
      word.push_back(c);
      inWord = true;
    }
  }
  if (quote) return std::nullopt;
  if (inWord) words.push_back(std::move(word));
  return words;
}

}  // namespace

std::span<const SessionCommandEntry> SessionCommands() {
  return kSessionCommands;
}

int RunShell(Args args) {
  if (!args.empty()) {
    std::cerr << "usage: nbclip shell   (commands on standard input, one a line)\n";
    return kExitUsage;
  }
  bool interactive = isatty(STDIN_FILENO);
  ToolbarSession session("nbclip shell");
  int status = kExitOk;
  std::string line;
  for (int number = 1;; ++number) {
    if (interactive) std::cout << "nbclip> " << std::flush;
    if (!std::getline(std::cin, line)) break;
    auto words = SplitWords(line);
    if (!words) {
      std::cerr << "nbclip shell: line " << number << ": a quote is not closed\n";
      status = kExitFailed;
      continue;
    }
    if (words->empty() || (*words)[0].starts_with("#")) continue;
    const std::string& name = (*words)[0];
    if (name == "exit" || name == "quit") break;
    const SessionCommandEntry* entry = FindSessionCommand(name);
    if (!entry) {
      std::cerr << "nbclip shell: line " << number << ": unknown command \"" << name
                << "\"; the commands are:\n";
      for (const SessionCommandEntry& e : SessionCommands())
        std::cerr << "  " << e.name << " " << e.usage << "\n";
      status = kExitFailed;
      continue;
    }
    std::vector<std::string_view> rest(words->begin() + 1, words->end());
    if (!interactive) std::cout << "> " << line << "\n";
    session.SetWho("nbclip shell: line " + std::to_string(number) + ": " + name);
    int result = entry->run(session, rest);
    std::cout << std::flush;
    if (result != kExitOk && status == kExitOk) status = result;
    // A session that could not open stays closed; no later command can do better.
    if (result == kExitFailed && !session.BandWindow()) break;
  }
  session.Close();
  return status;
}

}  // namespace nbclip
