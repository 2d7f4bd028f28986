// Automation of the headless window system, for tests and for the host: find windows, act on
// controls as a person would (the control changes its state and then sends its notifications),
// and answer message boxes, pop-up menus and modal dialogs.
//
// Every action dispatches the posted messages of the calling thread before it returns, the way a
// person waits for the window to respond before the next step.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/ui/defs.h"

namespace platform::ui {

// Finding windows. Searches run depth-first in creation order, from root's children (root null:
// every top-level window and its descendants). Class names compare without regard to case;
// titles are the window's own text, as FindWindowW compares them.
HWND FindWindowByClass(std::u16string_view className, HWND root = nullptr);
HWND FindWindowByTitle(std::u16string_view title, HWND root = nullptr);
HWND FindControl(HWND root, int id);
std::u16string WindowText(HWND hwnd);
std::u16string ClassName(HWND hwnd);
// The text of each row of a list view, in order (empty when hwnd is not one).
std::vector<std::u16string> ListViewRows(HWND list);
// One line per window, indented by depth: class, "text", id, rectangle in the parent's client
// coordinates, and "hidden" / "disabled" when so (UTF-8). For a host's listing and for tests.
std::string DescribeWindows(HWND root = nullptr);

// Acting on controls. Each returns false when the control cannot take the action (no such
// window, wrong class, disabled, read-only, row out of range).
bool Click(HWND button);
bool ClickToolbarButton(HWND toolbar, int commandId);
// The text the toolbar's owner gives for a button's tooltip (through TTN_NEEDTEXTW).
std::u16string ToolTipText(HWND toolbar, int commandId);
// Replaces the text of an edit control, or of the edit field of a combo box, as typed.
bool TypeText(HWND edit, std::u16string_view text);
// Opens the drop-down list, clicks the row and lets the list close.
bool SelectComboRow(HWND combo, int row);
// Clicks a list-view row (-1: the empty area below the rows).
bool ClickListRow(HWND list, int row);
bool RightClickListRow(HWND list, int row);
// Dispatches the posted messages of the calling thread; returns how many. A pending quit stays.
int PumpMessages();

// Message boxes. The handler returns the button pressed. Without a handler and without a queued
// answer, the message box is printed to standard error and its default button is pressed (OK).
struct MessageBoxRecord {
  HWND owner = nullptr;
  std::u16string text;
  std::u16string caption;
  UINT type = 0;
  int answer = 0;
};
using MessageBoxHandler = std::function<int(const MessageBoxRecord&)>;
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);
void AnswerNextMessageBox(int answer);
std::vector<MessageBoxRecord> MessageBoxes();  // every message box shown, in order
void ClearMessageBoxes();

// Pop-up menus. The handler returns the chosen command, or 0 to dismiss the menu. Without a
// handler and without a queued choice, the menu is dismissed.
struct MenuItemRecord {
  std::u16string text;
  UINT id = 0;
  UINT flags = 0;
};
struct PopupMenuRecord {
  HWND owner = nullptr;
  int x = 0, y = 0;
  UINT flags = 0;
  std::vector<MenuItemRecord> items;
  UINT chosen = 0;
};
using MenuHandler = std::function<UINT(const PopupMenuRecord&)>;
MenuHandler SetMenuHandler(MenuHandler handler);
void ChooseNextMenuItem(UINT commandId);
std::vector<PopupMenuRecord> PopupMenus();
void ClearPopupMenus();

// Modal dialogs. A handler runs inside the dialog's modal loop once the dialog is initialised
// and shown, so it can fill the dialog and press its buttons. One-shot handlers (OnNextDialog)
// are used first, in order; then the standing handler. When the loop runs out of messages with
// the dialog still open, the dialog gets IDCANCEL, as if the person pressed Escape, and is ended
// with IDCANCEL if it still stays open.
using DialogHandler = std::function<void(HWND dialog)>;
DialogHandler SetDialogHandler(DialogHandler handler);
void OnNextDialog(DialogHandler handler);
// True once a modal dialog has been ended (EndDialog) while its loop has not yet returned, so a
// handler that keeps the dialog open across several actions knows when to give it back.
bool DialogEnded(HWND dialog);

// Forgets handlers, queued answers and records (a test's fresh start).
void ResetAutomation();

}  // namespace platform::ui
