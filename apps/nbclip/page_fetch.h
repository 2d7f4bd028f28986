// Loading a page as the browser would, shared by the subcommands that show or convert pages:
// the host's fetches for one page under one deadline, and a page's address from what the user
// typed.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <string_view>

#include "platform/mshtml/host.h"

namespace nbclip {

bool IsWebAddress(std::u16string_view url);

// What a run tells on standard error: progress unless quiet, warnings and errors always, each
// line led by the command's name ("nbclip convert").
struct Reporter {
  std::string who = "nbclip convert";
  bool quiet = false;
  void Progress(const std::string& what) const;
  void Warning(const std::string& what) const;
};

// The host's side of one page: its fetches (the page, its style sheets and frames) share the
// page's time, and a page from the web reaches only the web, never the reader's own files.
struct PageFetch {
  std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::time_point::max();
  bool webOnly = false;
  const Reporter* reporter = nullptr;
  bool timeToldOut = false;

  long RemainingMs() const;
  bool operator()(const std::u16string& url, std::string& body, std::string& contentType);
};

platform::mshtml::Fetcher FetcherOf(const std::shared_ptr<PageFetch>& fetch);

// A page as the parser's loader takes it: addresses as given, a local path as its file://
// address with "%20" for each blank.
std::u16string AddressOf(const std::string& page);

}  // namespace nbclip
