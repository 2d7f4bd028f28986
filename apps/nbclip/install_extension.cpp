// nbclip install-extension [--browser chromium|chrome|firefox] [--remove]: the browser's native
// messaging host manifest for this user, so the toolbar extension reaches `nbclip native-host`;
// a small script beside it starts the host with the arguments the browser gives. Only the
// user's own folders are written.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "apps/nbclip/native_host.h"
#include "apps/nbclip/native_messaging.h"

namespace nbclip {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kUsage =
    "usage: nbclip install-extension [--browser chromium|chrome|firefox] [--remove]";

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

// Where the browser looks for a user's host manifests; empty for a browser we do not know.
fs::path HostFolder(std::string_view browser) {
  fs::path home = Env("HOME");
  std::string config = Env("XDG_CONFIG_HOME");
  fs::path configHome = config.empty() ? home / ".config" : fs::path(config);
  if (browser == "chromium") return configHome / "chromium" / "NativeMessagingHosts";
  if (browser == "chrome") return configHome / "google-chrome" / "NativeMessagingHosts";
  if (browser == "firefox") return home / ".mozilla" / "native-messaging-hosts";
  return {};
}

std::string ShellQuoted(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

bool WriteFile(const fs::path& path, const std::string& text) {
  fs::path partial = path;
  partial += ".partial";
  {
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    if (!(out << text) || !(out.flush())) return false;
  }
  std::error_code ec;
  fs::rename(partial, path, ec);
  return !ec;
}

}  // namespace

int RunInstallExtension(Args args) {
  std::string browser = "chromium";
  bool remove = false;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--browser" && i + 1 < args.size()) {
      browser = std::string(args[++i]);
    } else if (args[i] == "--remove") {
      remove = true;
    } else {
      std::cerr << kUsage << "\n";
      return kExitUsage;
    }
  }
  fs::path folder = HostFolder(browser);
  if (folder.empty()) {
    std::cerr << "nbclip install-extension: unknown browser \"" << browser << "\"\n"
              << kUsage << "\n";
    return kExitUsage;
  }
  if (Env("HOME").empty()) {
    std::cerr << "nbclip install-extension: HOME is not set\n";
    return kExitFailed;
  }
  fs::path manifest = folder / (std::string(kHostName) + ".json");
  fs::path script = folder / (std::string(kHostName) + ".sh");
  std::error_code ec;
  if (remove) {
    bool had = fs::remove(manifest, ec);
    fs::remove(script, ec);
    std::cout << (had ? "removed " : "not installed: ") << manifest.string() << "\n";
    return kExitOk;
  }
  fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (ec) {
    std::cerr << "nbclip install-extension: cannot tell where nbclip is\n";
    return kExitFailed;
  }
  fs::create_directories(folder, ec);
  nm::JsonObject host{{"name", std::string(kHostName)},
                      {"description", "Nubra toolbar: the browser window behind the extension"},
                      {"path", script.string()},
                      {"type", "stdio"}};
  if (browser == "firefox")
    host["allowed_extensions"] = nm::JsonArray{std::string(kGeckoId)};
  else
    host["allowed_origins"] =
        nm::JsonArray{"chrome-extension://" + std::string(kExtensionId) + "/"};
  std::string starter = "#!/bin/sh\nexec " + ShellQuoted(self.string()) + " native-host \"$@\"\n";
  if (ec || !WriteFile(script, starter) || !WriteFile(manifest, nm::Write(host) + "\n")) {
    std::cerr << "nbclip install-extension: cannot write " << manifest.string() << "\n";
    return kExitFailed;
  }
  fs::permissions(script,
                  fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                      fs::perms::others_read | fs::perms::others_exec,
                  ec);
  std::cout << "installed " << manifest.string() << "\n";
  // Installed, the extension is in share/ beside bin/; in the build folder, beside bin/.
  fs::path prefix = self.parent_path().parent_path();
  std::string extension = (prefix / "extension").string();
  if (fs::exists(prefix / "share" / "nbclip" / "extension" / "manifest.json", ec))
    extension = (prefix / "share" / "nbclip" / "extension").string();
  if (browser == "firefox")
    std::cout << "load the extension: about:debugging, This Firefox, Load Temporary Add-on, "
                 "and pick "
              << extension << "/manifest.json\n";
  else
    // Chromium's pages keep the chrome:// scheme.
    std::cout << "load the extension: chrome://extensions, turn on Developer mode, Load unpacked, "
                 "and pick "
              << extension << " (its id is " << kExtensionId << ")\n";
  return kExitOk;
}

}  // namespace nbclip
