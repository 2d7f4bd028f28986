// nbclip books: the toolbar's book management dialog (button 3) driven as a person drives it.
//   books                      the rows of the list, the selected one marked; Cancel
//   books new [--title T ...]  "書籍の新規作成", what the dialog proposes, the values given typed,
//                              the design picked, OK; then the new entry as the dialog shows it
//   books show N|TITLE         the book's seven values, read-only (閲覧 from the row's menu)
//   books delete N|TITLE       削除 from the row's menu; OK
// Every dialog's contents and every message box are printed as they come.
#include <algorithm>
#include <charconv>
#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "apps/nbclip/toolbar_session.h"
#include "platform/win32/ui/ui.h"
#include "toolbar/resources/resource.h"

namespace nbclip {

namespace {

namespace ui = platform::ui;

constexpr std::string_view kUsage =
    "[new [--title T] [--title-reading R] [--author A] [--author-reading R] [--book-id ID] "
    "[--path P] [--design NAME] | show N|TITLE | delete N|TITLE]";

std::string U8(std::u16string_view s) {
  return platform::com::Utf16ToUtf8(s);
}

// The edit fields of the book information dialog, in the order it shows them, with the option
// that types into each.
struct Field {
  int id;
  const char* label;
  std::string_view option;
};
constexpr Field kFields[] = {
    {IDC_TITLE, "title", "--title"},
    {IDC_TITLE_READ, "title reading", "--title-reading"},
    {IDC_AUTHOR, "author", "--author"},
    {IDC_AUTHOR_READ, "author reading", "--author-reading"},
    {IDC_CONTENT_ID, "content ID", "--book-id"},
    {IDC_SAVE_PATH, "save location", "--path"},
};
constexpr std::string_view kDesignOption = "--design";

void PrintRows(HWND list) {
  std::vector<std::u16string> rows = platform::ui::ListViewRows(list);
  std::cout << "books (" << rows.size() << "):\n";
  for (size_t i = 0; i < rows.size(); ++i) {
    bool selected = SendMessageW(list, LVM_GETITEMSTATE, i, LVIS_SELECTED) & LVIS_SELECTED;
    std::cout << (selected ? "* " : "  ") << i + 1 << " " << U8(rows[i]) << "\n";
  }
}

// The row a person means: a number counts from 1 as the list shows it, anything else is a title.
int FindRow(HWND list, std::string_view book) {
  std::vector<std::u16string> rows = platform::ui::ListViewRows(list);
  int number = 0;
  auto [end, error] = std::from_chars(book.data(), book.data() + book.size(), number);
  if (error == std::errc() && end == book.data() + book.size())
    return number >= 1 && number <= static_cast<int>(rows.size()) ? number - 1 : -1;
  for (size_t i = 0; i < rows.size(); ++i)
    if (rows[i] == platform::com::Utf8ToUtf16(book)) return static_cast<int>(i);
  return -1;
}

std::vector<std::u16string> ComboRows(HWND combo) {
  std::vector<std::u16string> rows;
  int count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    auto length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
    std::u16string text(static_cast<size_t>(std::max<LRESULT>(length, 0)) + 1, u'\0');
    SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i),
                 reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(std::max<LRESULT>(length, 0)));
    rows.push_back(text);
  }
  return rows;
}

// What the book information dialog shows: its caption, the six fields and the design.
void PrintInfoDialog(HWND dlg) {
  std::cout << "dialog \"" << U8(ui::WindowText(dlg)) << "\":\n";
  for (const Field& f : kFields)
    std::cout << "  " << f.label << ": " << U8(ui::WindowText(GetDlgItem(dlg, f.id))) << "\n";
  HWND combo = GetDlgItem(dlg, IDC_DESIGN);
  std::cout << "  design: " << U8(ui::WindowText(combo));
  std::vector<std::u16string> designs = ComboRows(combo);
  std::cout << " (of " << designs.size() << (designs.size() == 1 ? " design" : " designs");
  for (size_t i = 0; i < designs.size(); ++i) std::cout << (i ? ", " : ": ") << U8(designs[i]);
  std::cout << ")\n";
}

struct NewBookArgs {
  std::optional<std::string> values[std::size(kFields)];
  std::optional<std::string> design;
};

std::optional<NewBookArgs> ReadNewBookArgs(Args args) {
  NewBookArgs read;
  for (size_t i = 0; i < args.size(); i += 2) {
    if (i + 1 >= args.size()) return std::nullopt;
    std::optional<std::string>* slot = nullptr;
    for (size_t f = 0; f < std::size(kFields); ++f)
      if (args[i] == kFields[f].option) slot = &read.values[f];
    if (args[i] == kDesignOption) slot = &read.design;
    if (!slot || *slot) return std::nullopt;
    *slot = std::string(args[i + 1]);
  }
  return read;
}

// Presses button 3 and runs inside in the book management dialog; false when it did not open.
bool InBookList(ToolbarSession& session, const std::function<void(HWND dlg, HWND list)>& inside) {
  bool shown = false;
  ui::OnNextDialog([&](HWND dlg) {
    shown = true;
    inside(dlg, GetDlgItem(dlg, IDC_BOOK_LIST));
  });
  if (!session.PressButton(ID_MANAGE_BOOKS)) return false;
  if (!shown) std::cerr << session.Who() << ": the book management dialog did not open\n";
  return shown;
}

// The row's context menu item, with handler running in the dialog it opens (if any).
void ChooseFromRowMenu(HWND list, int row, UINT command, const ui::DialogHandler& handler) {
  if (handler) ui::OnNextDialog(handler);
  ui::ChooseNextMenuItem(command);
  ui::RightClickListRow(list, row);
}

// The view of row, printed; the view is closed with Cancel, since it changes nothing.
void ShowRow(HWND list, int row) {
  ChooseFromRowMenu(list, row, ID_BOOK_VIEW, [](HWND info) {
    PrintInfoDialog(info);
    ui::Click(GetDlgItem(info, IDCANCEL));
  });
}

int ListBooks(ToolbarSession& session) {
  bool ok = InBookList(session, [](HWND dlg, HWND list) {
    PrintRows(list);
    ui::Click(GetDlgItem(dlg, IDCANCEL));
  });
  return ok ? kExitOk : kExitFailed;
}

int NewBook(ToolbarSession& session, const NewBookArgs& args) {
  bool added = false;
  bool ok = InBookList(session, [&](HWND dlg, HWND list) {
    size_t rowsBefore = platform::ui::ListViewRows(list).size();
    ui::OnNextDialog([&](HWND info) {
      PrintInfoDialog(info);
      for (size_t f = 0; f < std::size(kFields); ++f) {
        if (!args.values[f]) continue;
        HWND edit = GetDlgItem(info, kFields[f].id);
        ui::TypeText(edit, platform::com::Utf8ToUtf16(*args.values[f]));
        // What the field took, which is cut to the field's length.
        std::cout << "typed " << kFields[f].label << ": " << U8(ui::WindowText(edit)) << "\n";
      }
      HWND combo = GetDlgItem(info, IDC_DESIGN);
      if (args.design) {
        std::u16string name = platform::com::Utf8ToUtf16(*args.design);
        auto row = SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                reinterpret_cast<LPARAM>(name.c_str()));
        // A design that is not listed is typed, as a person may; OK then says it is missing.
        if (row >= 0)
          ui::SelectComboRow(combo, static_cast<int>(row));
        else
          ui::TypeText(combo, name);
      }
      std::cout << "design: " << U8(ui::WindowText(combo)) << "\n";
      session.TakeNewMessages();
      ui::Click(GetDlgItem(info, IDOK));
      if (!session.TakeNewMessages().empty()) ui::Click(GetDlgItem(info, IDCANCEL));
    });
    ui::Click(GetDlgItem(dlg, IDC_NEW_BOOK));
    std::vector<std::u16string> rows = platform::ui::ListViewRows(list);
    added = rows.size() > rowsBefore;
    if (!added) {
      ui::Click(GetDlgItem(dlg, IDCANCEL));
      return;
    }
    int row = static_cast<int>(
        SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    std::cout << "added: " << row + 1 << " " << U8(rows[static_cast<size_t>(row)]) << "\n";
    ShowRow(list, row);
    PrintRows(list);
    ui::Click(GetDlgItem(dlg, IDOK));
  });
  if (ok && !added) std::cerr << session.Who() << ": no book was added\n";
  return ok && added ? kExitOk : kExitFailed;
}

// show and delete: the row named, then its menu item.
int OnRow(ToolbarSession& session, std::string_view book, bool remove) {
  bool found = false;
  bool ok = InBookList(session, [&](HWND dlg, HWND list) {
    int row = FindRow(list, book);
    found = row >= 0;
    if (!found) {
      std::cerr << session.Who() << ": no book \"" << book << "\" in the list ("
                << platform::ui::ListViewRows(list).size() << " rows)\n";
      ui::Click(GetDlgItem(dlg, IDCANCEL));
      return;
    }
    std::u16string title = platform::ui::ListViewRows(list)[static_cast<size_t>(row)];
    if (!remove) {
      ShowRow(list, row);
      ui::Click(GetDlgItem(dlg, IDCANCEL));
      return;
    }
    ChooseFromRowMenu(list, row, ID_BOOK_DELETE, nullptr);
    std::cout << "deleted: " << row + 1 << " " << U8(title) << "\n";
    PrintRows(list);
    ui::Click(GetDlgItem(dlg, IDOK));
  });
  return ok && found ? kExitOk : kExitFailed;
}

}  // namespace

int BooksInSession(ToolbarSession& session, Args args) {
  std::string_view form = args.empty() ? "" : args[0];
  Args rest = args.empty() ? args : args.subspan(1);
  std::optional<NewBookArgs> newBook;
  bool usable = (form.empty() && rest.empty()) ||
                (form == "new" && (newBook = ReadNewBookArgs(rest))) ||
                ((form == "show" || form == "delete") && rest.size() == 1);
  if (!usable) {
    std::cerr << "usage: " << session.Who() << " " << kUsage << "\n";
    return kExitUsage;
  }
  if (!session.Open()) return kExitFailed;
  if (form.empty()) return ListBooks(session);
  if (form == "new") return NewBook(session, *newBook);
  return OnRow(session, rest[0], form == "delete");
}

int RunBooks(Args args) {
  return RunInSession("books", args);
}

}  // namespace nbclip
