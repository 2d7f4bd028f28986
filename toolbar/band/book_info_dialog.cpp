#include "toolbar/band/book_info_dialog.h"

#include <cstdio>
#include <ctime>
#include <string_view>

#include "toolbar/band/book_dialog_helpers.h"
#include "toolbar/resources/resource.h"

namespace {

CBookInfoDialog::Clock localClock = GetLocalTime;

template <size_t N>
void CopyLimited(WCHAR (&field)[N], LPCWSTR text) {
  std::u16string_view from = text ? text : u"";
  size_t n = std::min(from.size(), N - 1);
  from.copy(field, n);
  field[n] = 0;
}

// "FBJPNP" and the month, day, hour, minute and second of the time, two digits each.
void FormatContentId(const std::tm& t, WCHAR (&out)[CBookInfoDialog::kContentIdLimit + 1]) {
  char text[32];
  std::snprintf(text, sizeof text, "FBJPNP%02d%02d%02d%02d%02d", t.tm_mon + 1, t.tm_mday, t.tm_hour,
                t.tm_min, t.tm_sec);
  std::u16string wide(text, text + std::strlen(text));
  CopyLimited(out, wide.c_str());
}

// The documents folder's "EnjoyNubra\", made when missing (a failure shows later as a missing
// folder); empty when there is no documents folder.
std::u16string DefaultSaveFolder() {
  WCHAR documents[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_PERSONAL | CSIDL_FLAG_CREATE, nullptr, 0, documents)))
    return {};
  std::u16string folder = documents;
  folder += u"\\EnjoyNubra\\";
  if (folder.size() < MAX_PATH) CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

// The installed designs: "Vantor Shared\EnjoyNubra\Designs\" in the common program files
// folder. Empty when that folder cannot be had: then no design is listed and none is found,
// rather than looking in whatever the current folder is.
std::u16string DesignsFolder() {
  WCHAR path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES_COMMON | CSIDL_FLAG_CREATE, nullptr, 0,
                              path)))
    return {};
  if (!PathAppendW(path, u"Vantor Shared\\EnjoyNubra\\") || !PathAppendW(path, u"Designs\\"))
    return {};
  return path;
}

constexpr std::u16string_view kForbiddenInFileName = u"\\/:*?\"<>|";

struct EditField {
  int id;
  int limit;
};
constexpr EditField kEditFields[] = {
    {IDC_TITLE, CBookInfoDialog::kTitleLimit},
    {IDC_TITLE_READ, CBookInfoDialog::kTitleReadLimit},
    {IDC_AUTHOR, CBookInfoDialog::kAuthorLimit},
    {IDC_AUTHOR_READ, CBookInfoDialog::kAuthorReadLimit},
    {IDC_CONTENT_ID, CBookInfoDialog::kContentIdLimit},
    {IDC_SAVE_PATH, CBookInfoDialog::kPathLimit},
};

}  // namespace

CBookInfoDialog::Clock CBookInfoDialog::SetClock(Clock clock) {
  Clock before = localClock;
  localClock = clock ? clock : GetLocalTime;
  return before;
}

void CBookInfoDialog::PrepareNew(LPCWSTR newTitle, LPCWSTR newTitleRead, LPCWSTR newAuthor,
                                 LPCWSTR newAuthorRead) {
  CopyLimited(title, newTitle);
  CopyLimited(titleRead, newTitleRead);
  CopyLimited(author, newAuthor);
  CopyLimited(authorRead, newAuthorRead);
  ProposeContentId();
  fillMode = TRUE;
}

void CBookInfoDialog::PrepareView(LPCWSTR viewTitle, LPCWSTR viewTitleRead, LPCWSTR viewAuthor,
                                  LPCWSTR viewAuthorRead, LPCWSTR viewContentId,
                                  LPCWSTR viewBookFile, LPCWSTR viewDesignFile) {
  CopyLimited(title, viewTitle);
  CopyLimited(titleRead, viewTitleRead);
  CopyLimited(author, viewAuthor);
  CopyLimited(authorRead, viewAuthorRead);
  CopyLimited(contentId, viewContentId);
  CopyLimited(bookFile, viewBookFile);
  CopyLimited(designFile, viewDesignFile);
  fillMode = FALSE;
}

// Two books must never share an ID or a file, so a proposal that the list or the disk already
// has moves on to the next second's ID. When every try is taken the clock's own ID stays, and
// the user can change it.
void CBookInfoDialog::ProposeContentId() {
  SYSTEMTIME now{};
  localClock(&now);
  std::tm clockTime{};
  clockTime.tm_year = now.wYear - 1900;
  clockTime.tm_mon = now.wMonth - 1;
  clockTime.tm_mday = now.wDay;
  clockTime.tm_hour = now.wHour;
  clockTime.tm_min = now.wMinute;
  clockTime.tm_sec = now.wSecond;
  // Calendar arithmetic only, so the fields are taken as they are, with no time zone.
  std::time_t base = timegm(&clockTime);
  std::u16string folder = DefaultSaveFolder();
  for (int attempt = 0; attempt <= kContentIdTries; ++attempt) {
    // The last round goes back to the clock's own second.
    std::time_t second = base + (attempt < kContentIdTries ? attempt : 0);
    std::tm t{};
    gmtime_r(&second, &t);
    FormatContentId(t, contentId);
    // A path that would not fit is left empty (the checks then ask for one) rather than cut.
    std::u16string path = folder.empty() ? u"" : folder + contentId + u".nbk";
    CopyLimited(bookFile, path.size() <= kPathLimit ? path.c_str() : u"");
    bool fileTaken = bookFile[0] && PathFileExistsW(bookFile);
    if (!ContentIdTaken() && !fileTaken) return;
  }
}

bool CBookInfoDialog::ContentIdTaken() const {
  if (!bookList) return false;
  // The rows of the list are those before the first index that gives the outside entry.
  const CShelvaryInfo* outside = bookList->GetInfo(-1);
  for (int row = 0;; ++row) {
    const CShelvaryInfo* entry = bookList->GetInfo(row);
    if (!entry || entry == outside) return false;
    if (std::u16string_view(entry->GetBookID()) == contentId) return true;
  }
}

INT_PTR CBookInfoDialog::Show(HINSTANCE module, HWND owner) {
  instance = module;
  return DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_BOOK_INFO), owner, DialogProc,
                         reinterpret_cast<LPARAM>(this));
}

INT_PTR CBookInfoDialog::DialogProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_INITDIALOG) return reinterpret_cast<CBookInfoDialog*>(lParam)->OnInitDialog(dlg);
  auto* self = reinterpret_cast<CBookInfoDialog*>(GetWindowLongPtrW(dlg, GWLP_USERDATA));
  if (!self || msg != WM_COMMAND) return FALSE;
  switch (LOWORD(wParam)) {
    case IDOK:
      self->OnOK(dlg);
      return TRUE;
    case IDCANCEL:
      self->designCombo.Detach();
      EndDialog(dlg, IDCANCEL);
      return TRUE;
    default:
      return FALSE;
  }
}

BOOL CBookInfoDialog::OnInitDialog(HWND dlg) {
  designCombo.Attach(GetDlgItem(dlg, IDC_DESIGN));
  const LPCWSTR texts[] = {title, titleRead, author, authorRead, contentId, bookFile};
  for (size_t i = 0; i < std::size(kEditFields); ++i) {
    SetDlgItemTextW(dlg, kEditFields[i].id, texts[i]);
    SendDlgItemMessageW(dlg, kEditFields[i].id, EM_LIMITTEXT,
                        static_cast<WPARAM>(kEditFields[i].limit), 0);
  }
  if (fillMode) {
    FillDesignCombo();
  } else {
    designCombo.AddString(PathFindFileNameW(designFile));
    designCombo.SetCurSel(0);
    for (const EditField& field : kEditFields)
      SendDlgItemMessageW(dlg, field.id, EM_SETREADONLY, TRUE, 0);
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    if (GetComboBoxInfo(designCombo, &info) && info.hwndItem)
      SendMessageW(info.hwndItem, EM_SETREADONLY, TRUE, 0);
    SetWindowTextW(dlg, toolbar::ResourceString(instance, IDS_VIEW_CAPTION).c_str());
  }
  toolbar::CentreOnDesktop(dlg);
  SetWindowLongPtrW(dlg, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  return TRUE;
}

// Each design's title (its file name without the extension); the combo box sorts them.
void CBookInfoDialog::FillDesignCombo() {
  designFolder = DesignsFolder();
  if (!designFolder.empty()) {
    WIN32_FIND_DATAW found{};
    HANDLE find = FindFirstFileW((designFolder + u"*.nbk").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
      do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        std::u16string name = found.cFileName;
        name.resize(static_cast<size_t>(PathFindExtensionW(found.cFileName) - found.cFileName));
        designCombo.AddString(name.c_str());
      } while (FindNextFileW(find, &found));
      FindClose(find);
    }
  }
  designCombo.SetCurSel(0);
}

void CBookInfoDialog::OnOK(HWND dlg) {
  WCHAR* const fields[] = {title, titleRead, author, authorRead, contentId, bookFile};
  for (size_t i = 0; i < std::size(kEditFields); ++i)
    GetDlgItemTextW(dlg, kEditFields[i].id, fields[i], kEditFields[i].limit + 1);
  WCHAR designName[kPathLimit + 1] = {};
  GetWindowTextW(designCombo, designName, kPathLimit + 1);

  UINT failed = FailedCheck();
  // A book without its design fails on every page added later with a message that does not
  // say why, so a new book must name a design that is there. A book being viewed keeps the
  // design it has.
  WCHAR design[kPathLimit + 1] = {};
  if (!failed && fillMode) {
    std::u16string folder = DesignsFolder();
    WCHAR combined[MAX_PATH] = {};
    bool made = !folder.empty() && PathCombineW(combined, folder.c_str(), designName) &&
                std::u16string_view(combined).size() + 4 <= kPathLimit;
    if (made) CopyLimited(design, (std::u16string(combined) + u".nbk").c_str());
    if (!made || !PathFileExistsW(design) || PathIsDirectoryW(design)) failed = IDS_NO_DESIGN;
  }
  if (failed) {
    toolbar::ToolbarMessageBox(instance, dlg, failed, MB_ICONWARNING);
    return;
  }
  if (fillMode) CopyLimited(designFile, design);
  designCombo.Detach();
  EndDialog(dlg, IDOK);
}

UINT CBookInfoDialog::FailedCheck() const {
  if (!contentId[0]) return IDS_NO_CONTENT_ID;
  if (!bookFile[0]) return IDS_NO_PATH;
  if (std::u16string_view(PathFindExtensionW(bookFile)) != u".nbk") return IDS_BAD_EXTENSION;
  WCHAR folder[kPathLimit + 1] = {};
  CopyLimited(folder, bookFile);
  PathRemoveFileSpecW(folder);
  if (!folder[0] || !PathIsDirectoryW(folder)) return IDS_NO_FOLDER;
  if (std::u16string_view(PathFindFileNameW(bookFile)).find_first_of(kForbiddenInFileName) !=
      std::u16string_view::npos)
    return IDS_BAD_FILE_NAME;
  return 0;
}
