// The browser nbclip plays: a frame window with a band host in it, a browser object that gives
// the page shown (its address and, when loaded, its document), and the toolbars of the registry,
// loaded and driven as a browser drives its bands.
#pragma once

#include <string>
#include <vector>

#include "apps/nbclip/browser/toolbars.h"
#include "platform/com/bandhost.h"
#include "platform/mshtml/mshtml.h"

namespace nbclip {

class CBrowserObject;

struct HostedBand {
  RegisteredToolbar toolbar;
  ComPtr<IDeskBand> band;
  HWND window = nullptr;  // the band's own window (IOleWindow::GetWindow)
  std::u16string title;   // GetBandInfo's title
};

struct BandFailure {
  RegisteredToolbar toolbar;
  std::string step;  // what failed: "create", "SetSite"
  HRESULT hr = S_OK;
};

class Browser {
 public:
  Browser();
  ~Browser();  // closes the bands, as CloseBands does
  Browser(const Browser&) = delete;
  Browser& operator=(const Browser&) = delete;

  // The page shown: its address, and its document unless document is null (a page whose
  // document the toolbar cannot have, so it works from the address).
  void Show(std::u16string address, ComPtr<IHTMLDocument2> document);

  // Creates every registered toolbar, gives it its site, asks its band information and shows
  // it; what fails is reported and left out.
  std::vector<BandFailure> OpenBands();
  const std::vector<HostedBand>& Bands() const { return m_bands; }
  // CloseDW, SetSite(NULL) and the last Release of each band, then the libraries that may go
  // are unloaded.
  void CloseBands();

  HWND Frame() const { return m_frame; }
  HWND BandHost() const { return m_bandHost; }

 private:
  HWND m_frame = nullptr;
  HWND m_bandHost = nullptr;
  ComPtr<CBrowserObject> m_browser;
  std::vector<HostedBand> m_bands;
};

}  // namespace nbclip
