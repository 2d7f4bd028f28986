// One browser window with the toolbar in it, driven as a person drives it: show a page, pick a
// book in the combo box, press a button, answer the message boxes. The toolbar commands (add,
// open, help, books) run one at a time in a session; `nbclip shell` runs several in one, so the
// band's current book lasts from one command to the next.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "apps/nbclip/commands.h"
#include "platform/mshtml/mshtml.h"
#include "platform/win32/ui/automation.h"

namespace nbclip {

class Browser;

class ToolbarSession {
 public:
  // who leads the lines the session writes to standard error ("nbclip add").
  explicit ToolbarSession(std::string who);
  ~ToolbarSession();  // closes the window, as Close does
  ToolbarSession(const ToolbarSession&) = delete;
  ToolbarSession& operator=(const ToolbarSession&) = delete;

  // Opens the browser window with the registered toolbars and finds ours, once; a command calls
  // it after its arguments are read. False, with the reason on standard error, when no toolbar
  // is registered or ours cannot be shown.
  bool Open();
  // Shows page (a local path or an address) with its document, or with its address only; false,
  // reported, when it cannot be loaded. Prints "page: ADDRESS".
  bool ShowPage(const std::string& page, bool withDocument);
  // Shows a page loaded elsewhere (the browser extension's live DOM).
  void ShowLoaded(std::u16string address, ComPtr<IHTMLDocument2> document);
  // Closes the bands and the window; the message box handler goes back to what it was.
  void Close();

  HWND BandWindow() const { return m_band; }
  HWND Toolbar() const { return m_toolbar; }
  HWND Combo() const { return m_combo; }

  // The combo box's rows and the one selected (-1: none).
  int BookCount() const;
  int SelectedBook() const;
  std::u16string BookTitle(int row) const;
  // Picks the row named by book: a number counts from 1 as the list shows it, anything else is
  // a title. False, reported, when no row matches.
  bool PickBook(std::string_view book);
  // Presses the toolbar button of commandId; false, reported, when there is none or it is
  // disabled.
  bool PressButton(int commandId);

  // Every message box shown while the session was open, in order; each is printed to standard
  // output as it comes ("message "CAPTION": TEXT") and answered with its default button.
  const std::vector<platform::ui::MessageBoxRecord>& Messages() const { return m_messages; }
  // The message boxes shown since the last call.
  std::vector<platform::ui::MessageBoxRecord> TakeNewMessages();

  const std::string& Who() const { return m_who; }
  void SetWho(std::string who) { m_who = std::move(who); }

 private:
  std::string m_who;
  std::unique_ptr<Browser> m_browser;
  HWND m_band = nullptr, m_toolbar = nullptr, m_combo = nullptr;
  std::vector<platform::ui::MessageBoxRecord> m_messages;
  size_t m_taken = 0;
  platform::ui::MessageBoxHandler m_previousHandler;
  bool m_comInitialized = false;
};

// The commands that run in a session, by name; `nbclip shell` dispatches each line through this
// table, and the one-shot commands open a session and run one entry. Arguments follow the name.
using SessionCommand = int (*)(ToolbarSession& session, Args args);
struct SessionCommandEntry {
  std::string_view name;
  std::string_view usage;
  SessionCommand run;
};
std::span<const SessionCommandEntry> SessionCommands();
const SessionCommandEntry* FindSessionCommand(std::string_view name);

// Runs the named entry in a session of its own, as "nbclip NAME".
int RunInSession(std::string_view name, Args args);

// The session commands (toolbar_commands.cpp).
int AddInSession(ToolbarSession& session, Args args);
int OpenInSession(ToolbarSession& session, Args args);
int HelpInSession(ToolbarSession& session, Args args);
// books.cpp
int BooksInSession(ToolbarSession& session, Args args);

// The text of a combo box's row; empty when there is no such row.
std::u16string ComboRowText(HWND combo, int row);

// Loads page as the browser shows it: its address, and its document when withDocument. False,
// reported under who, when it cannot be loaded.
bool LoadShownPage(const std::string& who, const std::string& page, bool withDocument,
                   std::u16string& address, ComPtr<IHTMLDocument2>& document);

}  // namespace nbclip
