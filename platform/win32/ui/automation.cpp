// The automation API, and the message boxes whose answers it supplies.
#include "platform/win32/ui/automation.h"

#include <cstdio>
#include <deque>
#include <mutex>

#include "platform/com/com.h"
#include "platform/win32/ui/commctrl.h"
#include "platform/win32/ui/internal.h"

namespace platform::ui {
namespace {

struct State {
  std::mutex m;
  MessageBoxHandler boxHandler;
  std::deque<int> boxAnswers;
  std::vector<MessageBoxRecord> boxes;
  MenuHandler menuHandler;
  std::deque<UINT> menuChoices;
  std::vector<PopupMenuRecord> menus;
  DialogHandler dialogHandler;
  std::deque<DialogHandler> nextDialogs;
};

State& S() {
  static State* s = new State;
  return *s;
}

// The button a person presses with Enter: the type's default button.
int DefaultButton(UINT type) {
  static const int kButtons[][3] = {
      {IDOK, IDOK, IDOK},      {IDOK, IDCANCEL, IDCANCEL}, {IDABORT, IDRETRY, IDIGNORE},
      {IDYES, IDNO, IDCANCEL}, {IDYES, IDNO, IDNO},        {IDRETRY, IDCANCEL, IDCANCEL},
  };
  UINT kind = type & MB_TYPEMASK;
  UINT which = ((type & MB_DEFMASK) >> 8) % 3;
  return kind < 6 ? kButtons[kind][which] : IDOK;
}

HWND Search(HWND root, const std::function<bool(HWND)>& match) {
  auto list = root ? detail::Children(root) : detail::TopLevelWindows();
  for (HWND h : list) {
    if (match(h)) return h;
    if (HWND found = Search(h, match)) return found;
  }
  return nullptr;
}

template <typename F>
bool Act(F&& action) {
  bool ok = action();
  if (ok) PumpMessages();
  return ok;
}

}  // namespace

HWND FindWindowByClass(std::u16string_view className, HWND root) {
  return Search(root, [&](HWND h) { return detail::SameName(ClassName(h), className); });
}

HWND FindWindowByTitle(std::u16string_view title, HWND root) {
  // The window's own text, as FindWindowW compares it: a list-only combo box keeps the name it
  // was created with, though WM_GETTEXT answers with its selected row.
  return Search(root, [&](HWND h) {
    auto w = detail::Find(h);
    return w && w->text == title;
  });
}

HWND FindControl(HWND root, int id) {
  return Search(root, [&](HWND h) {
    return (GetWindowLongPtrW(h, GWL_STYLE) & WS_CHILD) && GetDlgCtrlID(h) == id;
  });
}

std::u16string WindowText(HWND hwnd) {
  int n = GetWindowTextLengthW(hwnd);
  std::u16string text(static_cast<size_t>(n) + 1, u'\0');
  int got = GetWindowTextW(hwnd, text.data(), n + 1);
  text.resize(static_cast<size_t>(got));
  return text;
}

std::vector<std::u16string> ListViewRows(HWND list) {
  std::vector<std::u16string> rows;
  int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    WCHAR text[256] = {};
    LVITEMW item{};
    item.pszText = text;
    item.cchTextMax = static_cast<int>(std::size(text));
    SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
    rows.push_back(text);
  }
  return rows;
}

std::u16string ClassName(HWND hwnd) {
  auto w = detail::Find(hwnd);
  return w ? w->cls->name : std::u16string();
}

namespace {
void Describe(HWND hwnd, int depth, std::string* out) {
  auto w = detail::Find(hwnd);
  if (!w) return;
  RECT rc = w->rect;
  char line[160];
  std::snprintf(line, sizeof line, " id=%ld (%d,%d %dx%d)%s%s\n", static_cast<long>(w->id),
                static_cast<int>(rc.left), static_cast<int>(rc.top),
                static_cast<int>(rc.right - rc.left), static_cast<int>(rc.bottom - rc.top),
                (w->style & WS_VISIBLE) ? "" : " hidden",
                (w->style & WS_DISABLED) ? " disabled" : "");
  out->append(static_cast<size_t>(depth) * 2, ' ');
  out->append(platform::com::Utf16ToUtf8(w->cls->name));
  out->append(" \"" + platform::com::Utf16ToUtf8(WindowText(hwnd)) + "\"");
  out->append(line);
  for (HWND child : detail::Children(hwnd)) Describe(child, depth + 1, out);
}
}  // namespace

std::string DescribeWindows(HWND root) {
  std::string out;
  if (root) {
    Describe(root, 0, &out);
  } else {
    for (HWND top : detail::TopLevelWindows()) Describe(top, 0, &out);
  }
  return out;
}

bool Click(HWND button) {
  return Act([&] {
    if (!detail::SameName(ClassName(button), u"BUTTON") || !IsWindowEnabled(button)) return false;
    SendMessageW(button, BM_CLICK, 0, 0);
    return true;
  });
}

bool ClickToolbarButton(HWND toolbar, int commandId) {
  return Act([&] { return detail::ToolbarPersonClick(toolbar, commandId); });
}

std::u16string ToolTipText(HWND toolbar, int commandId) {
  return detail::ToolbarToolTip(toolbar, commandId);
}

bool TypeText(HWND edit, std::u16string_view text) {
  return Act([&] {
    HWND target = edit;
    if (detail::SameName(ClassName(edit), u"COMBOBOX")) {
      COMBOBOXINFO info{};
      if (!GetComboBoxInfo(edit, &info) || !info.hwndItem || !IsWindowEnabled(edit)) return false;
      target = info.hwndItem;
    }
    return detail::EditType(target, text);
  });
}

bool SelectComboRow(HWND combo, int row) {
  return Act([&] { return detail::ComboPersonSelect(combo, row); });
}

bool ClickListRow(HWND list, int row) {
  return Act([&] { return detail::ListPersonClick(list, row, false); });
}

bool RightClickListRow(HWND list, int row) {
  return Act([&] { return detail::ListPersonClick(list, row, true); });
}

int PumpMessages() {
  int n = 0;
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    ++n;
  }
  return n;
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
  auto& s = S();
  std::lock_guard lock(s.m);
  std::swap(s.boxHandler, handler);
  return handler;
}

void AnswerNextMessageBox(int answer) {
  auto& s = S();
  std::lock_guard lock(s.m);
  s.boxAnswers.push_back(answer);
}

std::vector<MessageBoxRecord> MessageBoxes() {
  auto& s = S();
  std::lock_guard lock(s.m);
  return s.boxes;
}

void ClearMessageBoxes() {
  auto& s = S();
  std::lock_guard lock(s.m);
  s.boxes.clear();
}

MenuHandler SetMenuHandler(MenuHandler handler) {
  auto& s = S();
  std::lock_guard lock(s.m);
  std::swap(s.menuHandler, handler);
  return handler;
}

void ChooseNextMenuItem(UINT commandId) {
  auto& s = S();
  std::lock_guard lock(s.m);
  s.menuChoices.push_back(commandId);
}

std::vector<PopupMenuRecord> PopupMenus() {
  auto& s = S();
  std::lock_guard lock(s.m);
  return s.menus;
}

void ClearPopupMenus() {
  auto& s = S();
  std::lock_guard lock(s.m);
  s.menus.clear();
}

DialogHandler SetDialogHandler(DialogHandler handler) {
  auto& s = S();
  std::lock_guard lock(s.m);
  std::swap(s.dialogHandler, handler);
  return handler;
}

void OnNextDialog(DialogHandler handler) {
  auto& s = S();
  std::lock_guard lock(s.m);
  s.nextDialogs.push_back(std::move(handler));
}

void ResetAutomation() {
  auto& s = S();
  std::lock_guard lock(s.m);
  s.boxHandler = nullptr;
  s.boxAnswers.clear();
  s.boxes.clear();
  s.menuHandler = nullptr;
  s.menuChoices.clear();
  s.menus.clear();
  s.dialogHandler = nullptr;
  s.nextDialogs.clear();
}

namespace detail {

int AnswerMessageBox(MessageBoxRecord record) {
  auto& s = S();
  std::unique_lock lock(s.m);
  if (!s.boxAnswers.empty()) {
    record.answer = s.boxAnswers.front();
    s.boxAnswers.pop_front();
  } else if (s.boxHandler) {
    MessageBoxHandler handler = s.boxHandler;
    lock.unlock();
    record.answer = handler(record);
    lock.lock();
  } else {
    record.answer = DefaultButton(record.type);
    std::fprintf(stderr, "[%s] %s\n", platform::com::Utf16ToUtf8(record.caption).c_str(),
                 platform::com::Utf16ToUtf8(record.text).c_str());
  }
  s.boxes.push_back(record);
  return record.answer;
}

UINT ChooseMenuItem(PopupMenuRecord record) {
  auto& s = S();
  std::unique_lock lock(s.m);
  if (!s.menuChoices.empty()) {
    record.chosen = s.menuChoices.front();
    s.menuChoices.pop_front();
  } else if (s.menuHandler) {
    MenuHandler handler = s.menuHandler;
    lock.unlock();
    record.chosen = handler(record);
    lock.lock();
  }
  s.menus.push_back(record);
  return record.chosen;
}

bool RunDialogHandler(HWND dialog) {
  DialogHandler handler;
  {
    auto& s = S();
    std::lock_guard lock(s.m);
    if (!s.nextDialogs.empty()) {
      handler = std::move(s.nextDialogs.front());
      s.nextDialogs.pop_front();
    } else {
      handler = s.dialogHandler;
    }
  }
  if (!handler) return false;
  handler(dialog);
  return true;
}

}  // namespace detail
}  // namespace platform::ui

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
  platform::ui::MessageBoxRecord record;
  record.owner = owner;
  record.text = platform::ui::detail::ToU16(text);
  // Windows titles a message box without a caption "Error".
  record.caption = caption ? std::u16string(caption) : std::u16string(u"Error");
  record.type = type;
  return platform::ui::detail::AnswerMessageBox(std::move(record));
}
