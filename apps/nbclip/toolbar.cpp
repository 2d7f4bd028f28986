// nbclip toolbar [PAGE] [--no-document]: opens the browser window with the registered toolbars
// (showing PAGE when given) and prints what a person sees of each band: its title, its buttons
// in order with their tooltips, the separator and the book list in it with the selected book.
#include <iostream>
#include <memory>
#include <string>

#include "apps/nbclip/browser/browser.h"
#include "apps/nbclip/commands.h"
#include "apps/nbclip/toolbar_session.h"
#include "platform/win32/ui/automation.h"
#include "platform/win32/ui/ui.h"

namespace nbclip {

namespace {

constexpr std::string_view kUsage =
    "usage: nbclip toolbar [PAGE] [--no-document]\n"
    "  PAGE: a local path, or a file://, http:// or https:// address, shown in the browser\n"
    "  --no-document: show PAGE's address only, without loading its document\n";

std::string U8(std::u16string_view s) {
  return platform::com::Utf16ToUtf8(s);
}

std::string HexOf(HRESULT hr) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
  return text;
}

std::string Why(const BandFailure& f) {
  if (f.toolbar.path.empty()) return "its class is not registered";
  switch (f.hr) {
    case CLASS_E_CLASSNOTAVAILABLE:
      return "the library " + U8(f.toolbar.path) + " cannot be loaded or is no COM server";
    case REGDB_E_CLASSNOTREG:
      return "its class is not registered";
    default:
      return f.step + " failed with " + HexOf(f.hr);
  }
}

std::u16string ComboRow(HWND combo, int row) {
  auto length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(row), 0);
  if (length < 0) return {};
  std::u16string text(static_cast<size_t>(length) + 1, u'\0');
  SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(row),
               reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<size_t>(length));
  return text;
}

void PrintBooks(HWND combo) {
  if (!combo) return;
  auto rows = SendMessageW(combo, CB_GETCOUNT, 0, 0);
  auto selected = SendMessageW(combo, CB_GETCURSEL, 0, 0);
  for (LRESULT row = 0; row < rows; ++row) {
    std::cout << "      " << (row == selected ? "> " : "  ")
              << U8(ComboRow(combo, static_cast<int>(row))) << "\n";
  }
}

void PrintBand(const HostedBand& hosted) {
  std::cout << "toolbar \"" << U8(hosted.title) << "\" (" << U8(hosted.toolbar.name) << " "
            << U8(hosted.toolbar.clsid) << ")\n";
  HWND toolbar = platform::ui::FindWindowByClass(u"ToolbarWindow32", hosted.window);
  HWND combo = platform::ui::FindWindowByClass(u"COMBOBOX", hosted.window);
  if (!toolbar) {
    std::cout << "  (no buttons)\n";
    return;
  }
  auto count = SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    TBBUTTON button{};
    if (!SendMessageW(toolbar, TB_GETBUTTON, static_cast<WPARAM>(i),
                      reinterpret_cast<LPARAM>(&button))) {
      continue;
    }
    if (button.fsStyle & TBSTYLE_SEP) {
      std::cout << "  separator (" << button.iBitmap << " wide)"
                << (combo ? ", holding the book list:" : "") << "\n";
      PrintBooks(combo);
      continue;
    }
    std::u16string tip = platform::ui::ToolTipText(toolbar, button.idCommand);
    std::cout << "  button " << button.idCommand << ": " << (tip.empty() ? "(no tooltip)" : U8(tip))
              << "\n";
  }
}

}  // namespace

int RunToolbar(Args args) {
  std::string page;
  bool withDocument = true;
  for (std::string_view a : args) {
    if (a == "--no-document") {
      withDocument = false;
    } else if (a.starts_with("-") || !page.empty()) {
      std::cerr << kUsage;
      return kExitUsage;
    } else {
      page = a;
    }
  }
  if (!withDocument && page.empty()) {
    std::cerr << "nbclip toolbar: --no-document needs a PAGE\n" << kUsage;
    return kExitUsage;
  }
  if (RegisteredToolbars().empty()) {
    std::cerr << "nbclip toolbar: no toolbar is registered; run `nbclip register` first\n";
    return kExitFailed;
  }

  CoInitialize(nullptr);
  int status = kExitOk;
  {
    Browser browser;
    if (!page.empty()) {
      std::u16string address;
      ComPtr<IHTMLDocument2> document;
      if (!LoadShownPage("nbclip toolbar", page, withDocument, address, document)) {
        CoUninitialize();
        return kExitFailed;
      }
      std::cout << "page: " << U8(address) << (document ? "" : " (no document)") << "\n";
      browser.Show(address, std::move(document));
    }
    for (const BandFailure& f : browser.OpenBands()) {
      std::cerr << "nbclip toolbar: the toolbar " << U8(f.toolbar.clsid)
                << (f.toolbar.name.empty() ? "" : " (" + U8(f.toolbar.name) + ")")
                << " cannot be shown: " << Why(f) << "\n";
      status = kExitFailed;
    }
    platform::ui::PumpMessages();
    for (const HostedBand& hosted : browser.Bands()) PrintBand(hosted);
    browser.CloseBands();
  }
  CoUninitialize();
  return status;
}

}  // namespace nbclip
