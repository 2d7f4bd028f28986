#include "shelvarymanager/folders.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/win32/file.h"
#include "platform/win32/shell.h"

namespace shelvary {
namespace {

// A shell folder as a native path, without a trailing separator; "" when there is none.
std::string ShellFolder(int csidl) {
  WCHAR path[MAX_PATH + 1] = {};
  if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return "";
  std::string native = NativePath(path);
  while (native.size() > 1 && native.back() == '/') native.pop_back();
  return native;
}

}  // namespace

std::string NativePath(const std::u16string& path) {
  return platform::win32::ToNativePath(path);
}

std::string DocumentsFolder() {
  return ShellFolder(CSIDL_PERSONAL | CSIDL_FLAG_CREATE);
}

std::string DefaultSaveFolder() {
  std::string docs = DocumentsFolder();
  if (docs.empty()) return "";
  return (docs == "/" ? "" : docs) + "/EnjoyNubra";
}

std::string DesignsFolder() {
  return ShellFolder(CSIDL_PROGRAM_FILES_COMMON) + "/Vantor Shared/EnjoyNubra/Designs/";
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
