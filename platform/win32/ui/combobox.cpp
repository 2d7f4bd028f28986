// "COMBOBOX": rows, selection, the sorted style, and the edit field of the drop-down styles.
// The drop-down list is a "ComboLBox" pop-up owned by the combo box; it reports a selection to
// the combo box as WM_COMMAND LBN_SELCHANGE, and the combo box tells its parent CBN_SELCHANGE.
#include <algorithm>

#include "platform/win32/ui/internal.h"

namespace platform::ui::detail {
namespace {

struct Row {
  std::u16string text;
  LPARAM data = 0;
};

struct ComboData : ControlData {
  std::vector<Row> rows;
  int cur = -1;
  HWND edit = nullptr;
  HWND list = nullptr;
  HFONT font = nullptr;
  bool dropped = false;
};

char16_t Fold(char16_t c) {
  return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c;
}

// Sorted combo boxes order rows without regard to ASCII case.
int CompareRows(std::u16string_view a, std::u16string_view b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    char16_t x = Fold(a[i]), y = Fold(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool HasEdit(DWORD style) {
  DWORD type = style & 3;
  return type == CBS_SIMPLE || type == CBS_DROPDOWN;
}

DWORD StyleOf(HWND hwnd) {
  return static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
}

// The edit field shows the selected row; the combo box sets it without notifying anyone.
void ShowSelection(ComboData* d) {
  if (!d->edit) return;
  auto e = Find(d->edit);
  if (!e) return;
  e->text = d->cur >= 0 ? d->rows[static_cast<size_t>(d->cur)].text : std::u16string();
}

int Insert(ComboData* d, int index, std::u16string text) {
  d->rows.insert(d->rows.begin() + index, Row{std::move(text), 0});
  if (d->cur >= index) ++d->cur;
  return index;
}

int FindRow(ComboData* d, int start, std::u16string_view text, bool exact) {
  int n = static_cast<int>(d->rows.size());
  for (int k = 1; k <= n; ++k) {
    int i = (start + k) % n;
    if (start < 0 || start >= n) i = k - 1;
    std::u16string_view row = d->rows[static_cast<size_t>(i)].text;
    if (!exact && row.size() > text.size()) row = row.substr(0, text.size());
    if (CompareRows(row, text) == 0) return i;
  }
  return static_cast<int>(CB_ERR);
}

LRESULT CopyRow(ComboData* d, WPARAM index, LPARAM buffer) {
  if (index >= d->rows.size() || !buffer) return CB_ERR;
  const auto& text = d->rows[index].text;
  auto* out = reinterpret_cast<LPWSTR>(buffer);
  std::copy(text.begin(), text.end(), out);
  out[text.size()] = 0;
  return static_cast<LRESULT>(text.size());
}

}  // namespace

LRESULT ComboListProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

LRESULT ComboProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* d = DataOf<ComboData>(hwnd);
  if (!d) {
    SetData(hwnd, std::make_unique<ComboData>());
    d = DataOf<ComboData>(hwnd);
  }
  switch (msg) {
    case WM_CREATE: {
      RECT rc{};
      GetClientRect(hwnd, &rc);
      if (HasEdit(StyleOf(hwnd)))
        d->edit = CreateWindowExW(0, u"EDIT", nullptr, WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 0, 0,
                                  std::max<LONG>(0, rc.right - 18), 20, hwnd,
                                  reinterpret_cast<HMENU>(static_cast<LONG_PTR>(kComboEditId)),
                                  nullptr, nullptr);
      d->list = CreateWindowExW(0, u"ComboLBox", nullptr, WS_POPUP | WS_BORDER, 0, 0, rc.right,
                                std::max<LONG>(0, rc.bottom - 20), hwnd, nullptr, nullptr, nullptr);
      SetWindowLongPtrW(d->list, GWLP_ID, kComboListId);
      return 0;
    }
    case CB_ADDSTRING: {
      std::u16string text = ToU16(reinterpret_cast<LPCWSTR>(lParam));
      int at = static_cast<int>(d->rows.size());
      if (StyleOf(hwnd) & CBS_SORT) {
        auto it = std::upper_bound(
            d->rows.begin(), d->rows.end(), text,
            [](const std::u16string& t, const Row& r) { return CompareRows(t, r.text) < 0; });
        at = static_cast<int>(it - d->rows.begin());
      }
      return Insert(d, at, std::move(text));
    }
    case CB_INSERTSTRING: {
      int at = static_cast<int>(static_cast<INT_PTR>(wParam));
      if (at == -1) at = static_cast<int>(d->rows.size());
      if (at < 0 || at > static_cast<int>(d->rows.size())) return CB_ERR;
      return Insert(d, at, ToU16(reinterpret_cast<LPCWSTR>(lParam)));
    }
    case CB_DELETESTRING: {
      if (wParam >= d->rows.size()) return CB_ERR;
      int at = static_cast<int>(wParam);
      d->rows.erase(d->rows.begin() + at);
      if (d->cur == at)
        d->cur = -1;
      else if (d->cur > at)
        --d->cur;
      return static_cast<LRESULT>(d->rows.size());
    }
    case CB_RESETCONTENT:
      d->rows.clear();
      d->cur = -1;
      ShowSelection(d);
      return CB_OKAY;
    case CB_SETCURSEL:
      if (wParam >= d->rows.size()) {
        d->cur = -1;
        ShowSelection(d);
        return CB_ERR;
      }
      d->cur = static_cast<int>(wParam);
      ShowSelection(d);
      return d->cur;
    case CB_GETCURSEL:
      return d->cur;
    case CB_GETCOUNT:
      return static_cast<LRESULT>(d->rows.size());
    case CB_GETLBTEXT:
      return CopyRow(d, wParam, lParam);
    case CB_GETLBTEXTLEN:
      return wParam < d->rows.size() ? static_cast<LRESULT>(d->rows[wParam].text.size()) : CB_ERR;
    case CB_GETITEMDATA:
      return wParam < d->rows.size() ? d->rows[wParam].data : CB_ERR;
    case CB_SETITEMDATA:
      if (wParam >= d->rows.size()) return CB_ERR;
      d->rows[wParam].data = lParam;
      return CB_OKAY;
    case CB_FINDSTRING:
    case CB_FINDSTRINGEXACT:
      return FindRow(d, static_cast<int>(static_cast<INT_PTR>(wParam)),
                     ToU16(reinterpret_cast<LPCWSTR>(lParam)), msg == CB_FINDSTRINGEXACT);
    case CB_SELECTSTRING: {
      int i = FindRow(d, static_cast<int>(static_cast<INT_PTR>(wParam)),
                      ToU16(reinterpret_cast<LPCWSTR>(lParam)), false);
      if (i < 0) return CB_ERR;
      d->cur = i;
      ShowSelection(d);
      return i;
    }
    case CB_SHOWDROPDOWN:
      if (static_cast<bool>(wParam) != d->dropped) {
        d->dropped = wParam != 0;
        NotifyParentCommand(hwnd, d->dropped ? CBN_DROPDOWN : CBN_CLOSEUP);
      }
      return TRUE;
    case CB_GETDROPPEDSTATE:
      return d->dropped ? TRUE : FALSE;
    case CB_LIMITTEXT:
      return d->edit ? SendMessageW(d->edit, EM_LIMITTEXT, wParam, 0) : CB_ERR;
    case WM_SETTEXT:
      if (d->edit) return SendMessageW(d->edit, WM_SETTEXT, wParam, lParam);
      {
        int i = FindRow(d, -1, ToU16(reinterpret_cast<LPCWSTR>(lParam)), true);
        if (i < 0) return CB_ERR;
        d->cur = i;
        return TRUE;
      }
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH: {
      if (d->edit) return SendMessageW(d->edit, msg, wParam, lParam);
      std::u16string text = d->cur >= 0 ? d->rows[static_cast<size_t>(d->cur)].text : u"";
      if (msg == WM_GETTEXTLENGTH) return static_cast<LRESULT>(text.size());
      auto* buf = reinterpret_cast<LPWSTR>(lParam);
      if (!buf || wParam == 0) return 0;
      size_t n = std::min(text.size(), static_cast<size_t>(wParam) - 1);
      std::copy_n(text.data(), n, buf);
      buf[n] = 0;
      return static_cast<LRESULT>(n);
    }
    case WM_SETFONT:
      d->font = reinterpret_cast<HFONT>(wParam);
      if (d->edit) SendMessageW(d->edit, WM_SETFONT, wParam, lParam);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(d->font);
    case WM_ENABLE:
      if (d->edit) EnableWindow(d->edit, static_cast<BOOL>(wParam));
      return 0;
    case WM_COMMAND:
      // From the edit field: its changes become the combo box's own notifications.
      if (d->edit && reinterpret_cast<HWND>(lParam) == d->edit) {
        switch (HIWORD(wParam)) {
          case EN_CHANGE:
            NotifyParentCommand(hwnd, CBN_EDITCHANGE);
            break;
          case EN_UPDATE:
            NotifyParentCommand(hwnd, CBN_EDITUPDATE);
            break;
          case EN_SETFOCUS:
            NotifyParentCommand(hwnd, CBN_SETFOCUS);
            break;
          case EN_KILLFOCUS:
            NotifyParentCommand(hwnd, CBN_KILLFOCUS);
            break;
          default:
            break;
        }
      }
      return 0;
    default:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

// A person opens the list, clicks a row, and the list closes: the combo box takes the new
// selection before anyone hears of it.
bool ComboPersonSelect(HWND combo, int row) {
  auto w = Find(combo);
  auto* d = DataOf<ComboData>(combo);
  if (!w || !d || (w->style & WS_DISABLED)) return false;
  if (row < 0 || row >= static_cast<int>(d->rows.size())) return false;
  d->dropped = true;
  NotifyParentCommand(combo, CBN_DROPDOWN);
  if (!IsWindow(combo)) return true;
  d->cur = row;
  ShowSelection(d);
  SendMessageW(combo, WM_COMMAND, MAKEWPARAM(kComboListId, LBN_SELCHANGE),
               reinterpret_cast<LPARAM>(d->list));
  if (!IsWindow(combo)) return true;
  NotifyParentCommand(combo, CBN_SELCHANGE);
  if (!IsWindow(combo)) return true;
  NotifyParentCommand(combo, CBN_SELENDOK);
  if (!IsWindow(combo)) return true;
  d->dropped = false;
  NotifyParentCommand(combo, CBN_CLOSEUP);
  return true;
}

}  // namespace platform::ui::detail

BOOL GetComboBoxInfo(HWND combo, COMBOBOXINFO* info) {
  using namespace platform::ui::detail;
  auto* d = DataOf<ComboData>(combo);
  if (!d || !info) return FALSE;
  info->hwndCombo = combo;
  info->hwndItem = d->edit;
  info->hwndList = d->list;
  GetClientRect(combo, &info->rcItem);
  info->rcButton = info->rcItem;
  info->stateButton = 0;
  return TRUE;
}
