#include "shelvarymanager/folders.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/com/com.h"

namespace shelvary {
namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::string(value) : std::string();
}

std::string WithoutTrailingSeparators(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// The install's shared data folder: NUBRA_COMMON_DIR, else the "share" folder beside the folder
// of the platform library.
std::string CommonFolder() {
  std::string common = Env("NUBRA_COMMON_DIR");
  if (!common.empty()) return WithoutTrailingSeparators(common);
  Dl_info info{};
  auto anchor = &platform::com::Utf16ToUtf8;
  if (::dladdr(reinterpret_cast<void*>(anchor), &info) != 0 && info.dli_fname != nullptr) {
    std::filesystem::path lib(info.dli_fname);
    return (lib.parent_path() / ".." / "share").lexically_normal().string();
  }
  return "share";
}

}  // namespace

std::string NativePath(const std::u16string& path) {
  std::string native = platform::com::Utf16ToUtf8(path);
  std::replace(native.begin(), native.end(), '\\', '/');
  return native;
}

std::string DocumentsFolder() {
  std::string docs = Env("XDG_DOCUMENTS_DIR");
  if (!docs.empty()) return WithoutTrailingSeparators(docs);
  std::string home = Env("HOME");
  if (home.empty()) return "";
  return WithoutTrailingSeparators(home) + "/Documents";
}

std::string DefaultSaveFolder() {
  std::string docs = DocumentsFolder();
  if (docs.empty()) return "";
  return (docs == "/" ? "" : docs) + "/EnjoyNubra";
}

std::string DesignsFolder() {
  return CommonFolder() + "/Vantor Shared/EnjoyNubra/Designs/";
}

std::string StandardDesign() {
  const std::string folder = DesignsFolder();
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    std::string name = entry.path().filename().string();
    if (name.size() > 4 && name.ends_with(".nbk") && entry.is_regular_file(ec)) {
      names.push_back(std::move(name));
    }
  }
  if (names.empty()) return "";
  return folder + *std::min_element(names.begin(), names.end());
}

}  // namespace shelvary
