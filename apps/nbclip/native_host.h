// The browser extension's native messaging host (native_host.cpp) and its installation
// (install_extension.cpp).
#pragma once

#include <string_view>

#include "apps/nbclip/commands.h"

namespace nbclip {

// The host's name in the browsers' manifests, and the extension it answers: the Chromium id
// follows from the key in extension/manifest.json, the Firefox id is the one that manifest gives.
inline constexpr std::string_view kHostName = "nbclip.toolbar";
inline constexpr std::string_view kExtensionId = "iafbdgfmdmdaokcflhiapijjbpopfgla";
inline constexpr std::string_view kGeckoId = "toolbar@nbclip.invalid";

// Whether the browser started the host for our extension: Chromium gives the caller's origin,
// Firefox the manifest's path and then the extension's id.
bool IsExtensionCaller(Args args);

}  // namespace nbclip
