// nbclip register [--desktop] / nbclip unregister [--desktop]: the toolbar's COM registration,
// through the installed toolbar library's own DllRegisterServer / DllUnregisterServer, and, with
// --desktop, the reader's PC software on this desktop: a MIME type for book files and a desktop
// entry that opens a book's preview (`nbclip view --open`), so that the desktop's opener shows a
// book. Only the user's XDG folders are written.
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "apps/nbclip/browser/toolbars.h"
#include "apps/nbclip/commands.h"
#include "platform/com/com.h"
#include "platform/win32/file.h"
#include "platform/win32/kernel.h"
#include "platform/win32/registry.h"

namespace nbclip {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kMimeType = "application/x-nubra-book";
constexpr std::string_view kMimePackage = "nubra-book.xml";
constexpr std::string_view kDesktopEntry = "nubra-book-preview.desktop";

// The magic is the first eight bytes of every NBK file (docs/nbk-format.md).
constexpr std::string_view kMimeXml = R"(<?xml version="1.0" encoding="UTF-8"?>
<mime-info xmlns="http://www.freedesktop.org/standards/shared-mime-info">
  <mime-type type="application/x-nubra-book">
    <comment>Nubra book</comment>
    <comment xml:lang="ja">Nubra 電子書籍</comment>
    <magic priority="60">
      <match type="string" offset="0" value="\x89NBK\r\n\x1a\n"/>
    </magic>
    <glob pattern="*.nbk"/>
  </mime-type>
</mime-info>
)";

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v && *v ? v : "";
}

fs::path DataHome() {
  std::string data = Env("XDG_DATA_HOME");
  if (!data.empty()) return data;
  std::string home = Env("HOME");
  return fs::path(home.empty() ? "/tmp" : home) / ".local/share";
}

// This program, as the desktop entry names it: an installed nbclip names the installed one.
std::string SelfPath() {
  char buf[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return "nbclip";
  return std::string(buf, static_cast<std::size_t>(n));
}

// An argument of a desktop entry's Exec key. Quoted only when it holds a character that the
// key reserves (simple openers split the key at blanks and do not unquote), with the
// characters that quoting does not protect escaped; then the backslashes doubled once more for
// the string value itself.
std::string ExecArgument(const std::string& arg) {
  if (arg.find_first_of(" \t\n\"'\\><~|&;$*?#()`") == std::string::npos) return arg;
  std::string quoted = "\"";
  for (char c : arg) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    quoted += c;
  }
  quoted += '"';
  std::string value;
  for (char c : quoted) {
    if (c == '\\') value += '\\';
    value += c;
  }
  return value;
}

std::string DesktopEntry() {
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=Nubra book preview\n"
         "Name[ja]=Nubra ブックプレビュー\n"
         "Comment=Shows a Nubra book as the reader shows it\n"
         "Exec=" +
         ExecArgument(SelfPath()) +
         " view --open %f\n"
         "MimeType=" +
         std::string(kMimeType) +
         ";\n"
         "NoDisplay=true\n"
         "Terminal=false\n"
         "Categories=Office;Viewer;\n";
}

// Runs a desktop database tool on folder, when it is installed; false when it is missing or
// fails (the caller warns: the files are in place, the desktop learns of them later).
bool RunTool(const char* tool, const fs::path& folder) {
  std::vector<std::string> args = {tool, folder.string()};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = ::fork();
  if (pid < 0) return false;
  if (pid == 0) {
    ::execvp(tool, argv.data());
    ::_exit(127);
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Writes text to path through a new file renamed over it, so a failure leaves the old file.
bool WriteText(const fs::path& path, std::string_view text, std::string& error) {
  std::error_code ec;
  fs::create_directories(path.parent_path(), ec);
  fs::path temp = path;
  temp += ".new";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out << text;
    out.flush();
    if (!out) {
      error = "cannot write " + path.string() + ": " + std::strerror(errno);
      fs::remove(temp, ec);
      return false;
    }
  }
  fs::rename(temp, path, ec);
  if (ec) {
    error = "cannot write " + path.string() + ": " + ec.message();
    fs::remove(temp, ec);
    return false;
  }
  return true;
}

void RefreshDatabases(const fs::path& data) {
  if (!RunTool("update-mime-database", data / "mime")) {
    std::cerr << "nbclip: warning: update-mime-database did not run (shared-mime-info); the "
                 "desktop learns the book type when its MIME database is next rebuilt\n";
  }
  if (!RunTool("update-desktop-database", data / "applications")) {
    std::cerr << "nbclip: warning: update-desktop-database did not run (desktop-file-utils); "
                 "the desktop may not offer the preview until its cache is rebuilt\n";
  }
}

int RegisterDesktop() {
  fs::path data = DataHome();
  fs::path mime = data / "mime/packages" / kMimePackage;
  fs::path entry = data / "applications" / kDesktopEntry;
  std::string error;
  if (!WriteText(mime, kMimeXml, error) || !WriteText(entry, DesktopEntry(), error)) {
    std::cerr << "nbclip register: " << error << "\n";
    return kExitFailed;
  }
  RefreshDatabases(data);
  std::cout << "registered " << kMimeType << " (" << mime.string() << ")\n"
            << "registered the book preview (" << entry.string() << ")\n";
  return kExitOk;
}

int UnregisterDesktop() {
  fs::path data = DataHome();
  std::error_code ec;
  bool any = false;
  for (const fs::path& p :
       {data / "mime/packages" / kMimePackage, data / "applications" / kDesktopEntry}) {
    if (fs::remove(p, ec)) {
      any = true;
      std::cout << "removed " << p.string() << "\n";
    } else if (ec) {
      std::cerr << "nbclip unregister: cannot remove " << p.string() << ": " << ec.message()
                << "\n";
      return kExitFailed;
    }
  }
  if (!any) {
    std::cout << "the book preview was not registered\n";
    return kExitOk;
  }
  RefreshDatabases(data);
  return kExitOk;
}

// The toolbar library of this installation, beside the programs' folder as installed and built.
fs::path ToolbarLibrary() {
  std::error_code ec;
  fs::path lib = fs::path(SelfPath()).parent_path().parent_path() / "lib" / "libToolBar4N.so";
  fs::path canonical = fs::weakly_canonical(lib, ec);
  return ec ? lib : canonical;
}

bool ToolbarInstalled() {
  std::error_code ec;
  return fs::exists(ToolbarLibrary(), ec);
}

// The registered toolbars whose library is lib.
std::vector<RegisteredToolbar> RegisteredFrom(const fs::path& lib) {
  std::vector<RegisteredToolbar> found;
  for (RegisteredToolbar& t : RegisteredToolbars()) {
    if (platform::win32::ToNativePath(t.path) == lib.string()) found.push_back(std::move(t));
  }
  return found;
}

std::string Named(const RegisteredToolbar& t) {
  return (t.name.empty() ? "" : platform::com::Utf16ToUtf8(t.name) + " ") +
         platform::com::Utf16ToUtf8(t.clsid);
}

// The HTML Help control of this installation, beside the toolbar library, and where a program
// that shows help finds it.
constexpr char16_t kHelpControlClass[] = u"CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}";
constexpr char16_t kHelpControlServer[] =
    u"CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32";

fs::path HelpControl() {
  return ToolbarLibrary().parent_path() / "hhctrl.ocx";
}

std::u16string RegisteredHelpControl() {
  WCHAR path[MAX_PATH] = {};
  DWORD size = sizeof path - sizeof(WCHAR), type = 0;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, kHelpControlServer, 0, KEY_READ, &key) != ERROR_SUCCESS)
    return {};
  LSTATUS status =
      RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(path), &size);
  RegCloseKey(key);
  return status == ERROR_SUCCESS && type == REG_SZ ? std::u16string(path) : std::u16string();
}

// Registers the HTML Help control the toolbar's help button loads; nothing when there is none.
void RegisterHelpControl() {
  std::error_code ec;
  if (!fs::exists(HelpControl(), ec)) return;
  std::u16string path = platform::com::Utf8ToUtf16(HelpControl().string());
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, kHelpControlServer, 0, nullptr, 0, KEY_WRITE, nullptr,
                      &key, nullptr) != ERROR_SUCCESS) {
    std::cerr << "nbclip register: cannot register the HTML Help control; help is still found "
                 "beside the platform\n";
    return;
  }
  RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                 static_cast<DWORD>((path.size() + 1) * sizeof(char16_t)));
  RegCloseKey(key);
  std::cout << "registered the HTML Help control (" << HelpControl().string() << ")\n";
}

// Removes that registration when it names this installation's control.
void UnregisterHelpControl() {
  if (RegisteredHelpControl() != platform::com::Utf8ToUtf16(HelpControl().string())) return;
  RegDeleteKeyW(HKEY_CLASSES_ROOT, kHelpControlServer);
  RegDeleteKeyW(HKEY_CLASSES_ROOT, kHelpControlClass);
  std::cout << "unregistered the HTML Help control\n";
}

// Loads the toolbar library and calls its DllRegisterServer or DllUnregisterServer, as a
// registration tool does.
int Toolbar(bool remove) {
  const char* command = remove ? "unregister" : "register";
  const char* entry = remove ? "DllUnregisterServer" : "DllRegisterServer";
  fs::path lib = ToolbarLibrary();
  if (!ToolbarInstalled()) {
    std::cerr << "nbclip " << command << ": no toolbar library is installed (" << lib.string()
              << ")\n";
    return kExitFailed;
  }
  std::vector<RegisteredToolbar> before = RegisteredFrom(lib);
  if (remove && before.empty()) {
    std::cout << "the toolbar was not registered\n";
    return kExitOk;
  }
  HMODULE module = LoadLibraryW(platform::com::Utf8ToUtf16(lib.string()).c_str());
  if (!module) {
    std::cerr << "nbclip " << command << ": cannot load the toolbar library " << lib.string()
              << ": " << platform::win32::LastLoadError() << "\n";
    return kExitFailed;
  }
  auto call = reinterpret_cast<HRESULT (*)()>(GetProcAddress(module, entry));
  HRESULT hr = call ? call() : E_FAIL;
  FreeLibrary(module);
  if (!call) {
    std::cerr << "nbclip " << command << ": " << lib.string() << " has no " << entry << "\n";
    return kExitFailed;
  }
  if (FAILED(hr)) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hr));
    std::cerr << "nbclip " << command << ": " << entry << " of " << lib.string() << " failed ("
              << code << ")" << (remove ? "; the toolbar may still be listed" : "") << "\n";
    return kExitFailed;
  }
  if (remove) {
    for (const RegisteredToolbar& t : before)
      std::cout << "unregistered the toolbar " << Named(t) << "\n";
    UnregisterHelpControl();
  } else {
    for (const RegisteredToolbar& t : RegisteredFrom(lib)) {
      std::cout << "registered the toolbar " << Named(t) << " (" << lib.string() << ")\n";
    }
    RegisterHelpControl();
  }
  return kExitOk;
}

int Run(Args args, bool remove) {
  bool desktop = false;
  for (std::string_view a : args) {
    if (a == "--desktop") {
      desktop = true;
    } else {
      std::cerr << "usage: nbclip " << (remove ? "unregister" : "register") << " [--desktop]\n";
      return kExitUsage;
    }
  }
  if (!desktop || ToolbarInstalled()) {
    int status = Toolbar(remove);
    if (!desktop || status != kExitOk) return status;
  }
  int status = remove ? UnregisterDesktop() : RegisterDesktop();
  if (status == kExitOk && !ToolbarInstalled()) {
    std::cout << "no toolbar library is installed: only the desktop part was "
              << (remove ? "removed" : "registered") << "\n";
  }
  return status;
}

}  // namespace

int RunRegister(Args args) {
  return Run(args, false);
}

int RunUnregister(Args args) {
  return Run(args, true);
}

}  // namespace nbclip
