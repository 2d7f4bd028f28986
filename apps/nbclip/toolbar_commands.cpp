// The toolbar's buttons from the command line: add (button 1), open (button 2) and help
// (button 4), each pressed in a session as a person presses it, with the message boxes that
// follow printed.
#include <iostream>
#include <optional>
#include <string>

#include "apps/nbclip/toolbar_session.h"

namespace nbclip {

namespace {

constexpr int kAddPage = 1000, kOpenBook = 1001, kShowHelp = 1003;
constexpr std::u16string_view kSaved = u"保存が完了しました";

struct ButtonArgs {
  std::string page;
  std::optional<std::string> book;
  bool withDocument = true;
};

// Reads [PAGE] [--book N|TITLE] [--no-document]; what the command does not take is a usage
// error, told with the command's usage line.
std::optional<ButtonArgs> ReadArgs(const ToolbarSession& session, Args args, bool takesPage,
                                   std::string_view usage) {
  ButtonArgs read;
  bool ok = true;
  for (size_t i = 0; i < args.size() && ok; ++i) {
    std::string_view a = args[i];
    if (a == "--book" && i + 1 < args.size()) {
      read.book = std::string(args[++i]);
    } else if (a == "--no-document" && takesPage) {
      read.withDocument = false;
    } else if (takesPage && !a.starts_with("-") && read.page.empty()) {
      read.page = a;
    } else {
      ok = false;
    }
  }
  if (takesPage && read.page.empty()) ok = false;
  if (!ok) {
    std::cerr << "usage: " << session.Who() << " " << usage << "\n";
    return std::nullopt;
  }
  return read;
}

bool PickAsked(ToolbarSession& session, const ButtonArgs& args) {
  return !args.book || session.PickBook(*args.book);
}

}  // namespace

int AddInSession(ToolbarSession& session, Args args) {
  auto read = ReadArgs(session, args, true, "PAGE [--book N|TITLE] [--no-document]");
  if (!read) return kExitUsage;
  if (!session.Open() || !session.ShowPage(read->page, read->withDocument) ||
      !PickAsked(session, *read))
    return kExitFailed;
  session.TakeNewMessages();
  if (!session.PressButton(kAddPage)) return kExitFailed;
  for (const auto& box : session.TakeNewMessages())
    if (box.text == kSaved) return kExitOk;
  std::cerr << session.Who() << ": the page was not added\n";
  return kExitFailed;
}

int OpenInSession(ToolbarSession& session, Args args) {
  auto read = ReadArgs(session, args, false, "[--book N|TITLE]");
  if (!read) return kExitUsage;
  if (!session.Open() || !PickAsked(session, *read)) return kExitFailed;
  session.TakeNewMessages();
  if (!session.PressButton(kOpenBook)) return kExitFailed;
  // The book is handed over without a word; any message says why it was not.
  if (!session.TakeNewMessages().empty()) return kExitFailed;
  std::cout << "opened the book\n";
  return kExitOk;
}

int HelpInSession(ToolbarSession& session, Args args) {
  if (!args.empty()) {
    std::cerr << "usage: " << session.Who() << "\n";
    return kExitUsage;
  }
  if (!session.Open()) return kExitFailed;
  session.TakeNewMessages();
  if (!session.PressButton(kShowHelp)) return kExitFailed;
  if (!session.TakeNewMessages().empty()) return kExitFailed;
  std::cout << "opened the help\n";
  return kExitOk;
}

int RunAdd(Args args) {
  return RunInSession("add", args);
}
int RunOpen(Args args) {
  return RunInSession("open", args);
}
int RunHelp(Args args) {
  return RunInSession("help", args);
}

}  // namespace nbclip
