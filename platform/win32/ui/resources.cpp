// The resource table: what modules declared, found by module handle and identifier.
#include "platform/win32/ui/resources.h"

#include <algorithm>
#include <map>
#include <mutex>

#include "platform/win32/ui/internal.h"
#include "platform/win32/ui/res_file.h"

namespace platform::ui {
namespace {

using Key = std::pair<HINSTANCE, UINT>;

struct Image {
  int width = 0, height = 0;
};

struct Registry {
  std::mutex m;
  std::map<Key, std::u16string> strings;
  std::map<Key, std::shared_ptr<const DialogTemplate>> dialogs;
  std::map<Key, std::shared_ptr<const MenuTemplate>> menus;
  std::map<std::pair<Key, UINT>, Image> images;
};

Registry& R() {
  static Registry* r = new Registry;
  return *r;
}

// Integer identifiers, and names of the form "#123"; other names were never declared.
bool IdOf(LPCWSTR name, UINT* id) {
  if (!name) return false;
  if (IS_INTRESOURCE(name)) {
    *id = static_cast<UINT>(reinterpret_cast<ULONG_PTR>(name));
    return true;
  }
  if (name[0] != u'#' || name[1] == 0) return false;
  UINT value = 0;
  for (LPCWSTR p = name + 1; *p; ++p) {
    if (*p < u'0' || *p > u'9' || value > 0xFFFF) return false;
    value = value * 10 + static_cast<UINT>(*p - u'0');
  }
  *id = value;
  return value <= 0xFFFF;
}

template <typename Map>
void EraseModule(Map& map, HINSTANCE module) {
  for (auto it = map.begin(); it != map.end();) {
    if (it->first.first == module)
      it = map.erase(it);
    else
      ++it;
  }
}

}  // namespace

void RegisterStringTable(HINSTANCE module,
                         const std::vector<std::pair<UINT, std::u16string>>& strings) {
  auto& r = R();
  std::lock_guard lock(r.m);
  for (const auto& [id, text] : strings) r.strings[{module, id}] = text;
}

void RegisterDialogTemplate(HINSTANCE module, UINT id, DialogTemplate dialog) {
  auto& r = R();
  std::lock_guard lock(r.m);
  r.dialogs[{module, id}] = std::make_shared<const DialogTemplate>(std::move(dialog));
}

void RegisterMenuTemplate(HINSTANCE module, UINT id, MenuTemplate menu) {
  auto& r = R();
  std::lock_guard lock(r.m);
  r.menus[{module, id}] = std::make_shared<const MenuTemplate>(std::move(menu));
}

void RegisterImageResource(HINSTANCE module, UINT id, UINT type, int width, int height) {
  auto& r = R();
  std::lock_guard lock(r.m);
  r.images[{{module, id}, type}] = Image{width, height};
}

BOOL RegisterResourceFile(HINSTANCE module, const void* data, size_t size, std::string* error) {
  if (!data && size) return FALSE;
  auto file = ParseResourceFile({static_cast<const unsigned char*>(data), size}, error);
  if (!file) return FALSE;
  RegisterStringTable(module, file->strings);
  for (auto& [id, dialog] : file->dialogs) RegisterDialogTemplate(module, id, std::move(dialog));
  for (auto& [id, menu] : file->menus) RegisterMenuTemplate(module, id, std::move(menu));
  for (const auto& image : file->images)
    RegisterImageResource(module, image.id, image.type, image.width, image.height);
  return TRUE;
}

void UnregisterResources(HINSTANCE module) {
  auto& r = R();
  std::lock_guard lock(r.m);
  EraseModule(r.strings, module);
  EraseModule(r.dialogs, module);
  EraseModule(r.menus, module);
  for (auto it = r.images.begin(); it != r.images.end();) {
    if (it->first.first.first == module)
      it = r.images.erase(it);
    else
      ++it;
  }
}

namespace detail {

std::shared_ptr<const DialogTemplate> FindDialog(HINSTANCE module, LPCWSTR name) {
  UINT id = 0;
  if (!IdOf(name, &id)) return nullptr;
  auto& r = R();
  std::lock_guard lock(r.m);
  auto it = r.dialogs.find({module, id});
  return it == r.dialogs.end() ? nullptr : it->second;
}

std::shared_ptr<const MenuTemplate> FindMenu(HINSTANCE module, LPCWSTR name) {
  UINT id = 0;
  if (!IdOf(name, &id)) return nullptr;
  auto& r = R();
  std::lock_guard lock(r.m);
  auto it = r.menus.find({module, id});
  return it == r.menus.end() ? nullptr : it->second;
}

bool FindString(HINSTANCE module, UINT id, std::u16string* out) {
  auto& r = R();
  std::lock_guard lock(r.m);
  auto it = r.strings.find({module, id});
  if (it == r.strings.end()) return false;
  *out = it->second;
  return true;
}

bool FindImage(HINSTANCE module, UINT id, UINT type, int* width, int* height) {
  auto& r = R();
  std::lock_guard lock(r.m);
  auto it = r.images.find({{module, id}, type});
  if (it == r.images.end()) return false;
  *width = it->second.width;
  *height = it->second.height;
  return true;
}

// The pointer form (cch 0) hands out the table's own text, which stays put until the module
// declares that string again.
const std::u16string* StringSlot(HINSTANCE module, UINT id) {
  auto& r = R();
  std::lock_guard lock(r.m);
  auto it = r.strings.find({module, id});
  return it == r.strings.end() ? nullptr : &it->second;
}

}  // namespace detail
}  // namespace platform::ui

int LoadStringW(HINSTANCE inst, UINT id, LPWSTR buf, int cch) {
  using namespace platform::ui::detail;
  if (!buf || cch < 0) return 0;
  if (cch == 0) {
    const std::u16string* slot = StringSlot(inst, id);
    *reinterpret_cast<LPCWSTR*>(buf) = slot ? slot->c_str() : nullptr;
    return slot ? static_cast<int>(slot->size()) : 0;
  }
  std::u16string text;
  if (!FindString(inst, id, &text)) {
    buf[0] = 0;
    return 0;
  }
  int n = std::min(static_cast<int>(text.size()), cch - 1);
  std::copy_n(text.data(), n, buf);
  buf[n] = 0;
  return n;
}
