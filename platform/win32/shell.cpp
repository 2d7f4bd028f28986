#include "platform/win32/shell.h"

#include <dlfcn.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/file.h"
#include "platform/win32/kernel.h"

extern char** environ;

namespace {

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v && *v ? v : "";
}

std::string Home() {
  std::string h = Env("HOME");
  return h.empty() ? "/tmp" : h;
}

// The shared data folder beside the installed libraries: <folder of this library>/../share.
std::string InstalledShare() {
  Dl_info info{};
  static const int anchor = 0;
  if (dladdr(&anchor, &info) && info.dli_fname) {
    char resolved[PATH_MAX];
    if (realpath(info.dli_fname, resolved)) {
      std::string p = resolved;
      size_t slash = p.rfind('/');
      if (slash != std::string::npos) return p.substr(0, slash) + "/../share";
    }
  }
  return NB_SHARE_DIR;
}

bool FolderFor(int csidl, std::string& out) {
  switch (csidl) {
    case CSIDL_APPDATA:
    case CSIDL_LOCAL_APPDATA:
      out = Env("XDG_DATA_HOME");
      if (out.empty()) out = Home() + "/.local/share";
      return true;
    case CSIDL_PERSONAL:
      out = Env("XDG_DOCUMENTS_DIR");
      if (out.empty()) out = Home() + "/Documents";
      return true;
    case CSIDL_PROGRAM_FILES_COMMON: {
      out = Env("NUBRA_COMMON_DIR");
      if (out.empty()) {
        out = InstalledShare();
        char resolved[PATH_MAX];
        if (realpath(out.c_str(), resolved)) out = resolved;  // no "lib/.." in the answer
      }
      return true;
    }
    default:
      return false;
  }
}

bool MakeFolders(const std::string& path) {
  for (size_t i = 1; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '/') {
      std::string part = path.substr(0, i);
      if (mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) return false;
    }
  }
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool OnPath(const std::string& program) {
  if (program.find('/') != std::string::npos) return access(program.c_str(), X_OK) == 0;
  std::string path = Env("PATH");
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find(':', start);
    if (end == std::string::npos) end = path.size();
    std::string dir = path.substr(start, end - start);
    if (!dir.empty() && access((dir + "/" + program).c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

HINSTANCE Code(INT value) {
  return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(value));
}

}  // namespace

HRESULT SHGetFolderPathW(HWND, int folder, HANDLE, DWORD, LPWSTR path) {
  if (!path) return E_INVALIDARG;
  path[0] = 0;
  std::string dir;
  if (!FolderFor(folder & ~CSIDL_FLAG_MASK, dir)) return E_INVALIDARG;
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  struct stat st {};
  bool exists = stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  if (!exists && (!(folder & CSIDL_FLAG_CREATE) || !MakeFolders(dir))) return E_FAIL;
  std::u16string wide = platform::com::Utf8ToUtf16(dir);
  if (wide.size() >= MAX_PATH) return E_FAIL;
  std::copy(wide.begin(), wide.end(), path);
  path[wide.size()] = 0;
  return S_OK;
}

BOOL SHGetSpecialFolderPathW(HWND owner, LPWSTR path, int folder, BOOL create) {
  return SUCCEEDED(SHGetFolderPathW(owner, folder | (create ? CSIDL_FLAG_CREATE : 0), nullptr,
                                    SHGFP_TYPE_CURRENT, path));
}

HINSTANCE ShellExecuteW(HWND, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR directory,
                        INT) {
  if (verb && std::u16string_view(verb) != u"open") return Code(SE_ERR_NOASSOC);
  if (!file || !*file) return Code(SE_ERR_FNF);
  std::string target = platform::win32::ToNativePath(file);
  if (target[0] != '/' && directory && *directory) {
    target = platform::win32::ToNativePath(directory) + "/" + target;
  }
  struct stat st {};
  if (stat(target.c_str(), &st) != 0) return Code(errno == ENOTDIR ? SE_ERR_PNF : SE_ERR_FNF);

  std::string opener = Env("NUBRA_OPENER");
  if (opener.empty()) opener = "xdg-open";
  if (!OnPath(opener)) return Code(SE_ERR_NOASSOC);
  std::vector<std::string> args = {opener, target};
  if (parameters && *parameters) args.push_back(platform::com::Utf16ToUtf8(parameters));
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  pid_t pid = 0;
  if (posix_spawnp(&pid, opener.c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
    return Code(SE_ERR_NOASSOC);
  }
  // Not waited for by the caller; a detached reaper keeps the child from lingering as a zombie.
  std::thread([pid] {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }).detach();
  return Code(42);
}
