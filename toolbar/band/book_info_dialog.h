// The book information dialog (resource 7006), in two modes: a new book, for which it proposes
// a content ID from the clock and a file in the user's documents and lets the user choose a
// design, checking what was entered; and an existing book, whose seven values it shows
// read-only under "書籍の情報". Each use is a Prepare followed by Show; the fields keep their
// values between uses.
#pragma once

#include <string>

#include "contracts/ShelvaryManager.h"
#include "platform/win32/ui/wrappers.h"
#include "platform/win32/windows.h"

class CBookInfoDialog {
 public:
  // Each text field holds this many characters and a terminating zero.
  static constexpr int kTitleLimit = 50;
  static constexpr int kTitleReadLimit = 100;
  static constexpr int kAuthorLimit = 40;
  static constexpr int kAuthorReadLimit = 80;
  static constexpr int kContentIdLimit = 16;
  static constexpr int kPathLimit = 260;
  // A proposed content ID that is taken moves on by a second, this many times at most.
  static constexpr int kContentIdTries = 100;

  // The local clock the content ID is read from; tests put their own. Returns the one before.
  using Clock = void (*)(SYSTEMTIME*);
  static Clock SetClock(Clock clock);

  CBookInfoDialog() = default;
  CBookInfoDialog(const CBookInfoDialog&) = delete;
  CBookInfoDialog& operator=(const CBookInfoDialog&) = delete;

  // The list whose content IDs a new book must not repeat (not owned; null: none).
  void SetBookList(CShelvaryManager* list) { bookList = list; }
  // A new book: copies the four texts, proposes the content ID and the book file path.
  void PrepareNew(LPCWSTR title, LPCWSTR titleRead, LPCWSTR author, LPCWSTR authorRead);
  // An existing book, shown read-only.
  void PrepareView(LPCWSTR title, LPCWSTR titleRead, LPCWSTR author, LPCWSTR authorRead,
                   LPCWSTR contentId, LPCWSTR bookFile, LPCWSTR designFile);
  // Runs dialog 7006 of instance modally: IDOK after a successful OK, IDCANCEL after Cancel.
  INT_PTR Show(HINSTANCE instance, HWND owner);

  LPCWSTR GetTitle() const { return title; }
  LPCWSTR GetTitleRead() const { return titleRead; }
  LPCWSTR GetAuthor() const { return author; }
  LPCWSTR GetAuthorRead() const { return authorRead; }
  LPCWSTR GetContentID() const { return contentId; }
  LPCWSTR GetBookFilePath() const { return bookFile; }
  LPCWSTR GetDesignFilePath() const { return designFile; }
  BOOL IsNewBook() const { return fillMode; }

 private:
  static INT_PTR DialogProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);
  BOOL OnInitDialog(HWND dlg);
  void OnOK(HWND dlg);
  // The string resource of the first check the fields fail, 0 when they pass.
  UINT FailedCheck() const;
  void FillDesignCombo();
  // The proposed content ID and book file path, moved on while either is taken.
  void ProposeContentId();
  bool ContentIdTaken() const;
  void ComposeBookFilePath();

  WCHAR title[kTitleLimit + 1] = {};
  WCHAR titleRead[kTitleReadLimit + 1] = {};
  WCHAR author[kAuthorLimit + 1] = {};
  WCHAR authorRead[kAuthorReadLimit + 1] = {};
  WCHAR contentId[kContentIdLimit + 1] = {};
  WCHAR bookFile[kPathLimit + 1] = {};
  WCHAR designFile[kPathLimit + 1] = {};
  HINSTANCE instance = nullptr;
  CComboBox designCombo;
  std::u16string designFolder;
  BOOL fillMode = FALSE;
  CShelvaryManager* bookList = nullptr;
};
