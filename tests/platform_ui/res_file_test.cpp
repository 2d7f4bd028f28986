// The compiled resource file reader: the formats windres writes (data/formats.rc), malformed
// files rejected with their reason, and the tables filled from a file.
#include "platform/win32/ui/res_file.h"

#include <fstream>
#include <iterator>

#include "tests/platform_ui/recorder.h"

using platform::ui::ParseResourceFile;
using platform::ui::ResourceFile;

namespace {

using Bytes = std::vector<unsigned char>;

Bytes ReadFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Put16(Bytes& b, unsigned v) {
  b.push_back(static_cast<unsigned char>(v));
  b.push_back(static_cast<unsigned char>(v >> 8));
}
void Put32(Bytes& b, unsigned v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}
void PutText(Bytes& b, std::u16string_view s) {
  for (char16_t c : s) Put16(b, c);
  Put16(b, 0);
}
void Pad4(Bytes& b) {
  while (b.size() % 4) b.push_back(0);
}

// One entry named by ordinals, with its data padded to 4 bytes.
Bytes Entry(unsigned type, unsigned name, const Bytes& data) {
  Bytes b;
  Put32(b, static_cast<unsigned>(data.size()));
  Put32(b, 32);
  Put16(b, 0xFFFF);
  Put16(b, type);
  Put16(b, 0xFFFF);
  Put16(b, name);
  for (int i = 0; i < 4; ++i) Put32(b, i == 1 ? 0x04111030 : 0);  // flags and language
  b.insert(b.end(), data.begin(), data.end());
  Pad4(b);
  return b;
}

Bytes File(std::initializer_list<Bytes> entries) {
  Bytes b = Entry(0, 0, {});
  for (const Bytes& e : entries) b.insert(b.end(), e.begin(), e.end());
  return b;
}

// A string block of strings 16 * (block - 1) ...; texts beyond those given are empty.
Bytes Strings(std::initializer_list<std::u16string_view> texts) {
  Bytes b;
  size_t n = 0;
  for (auto t : texts) {
    Put16(b, static_cast<unsigned>(t.size()));
    for (char16_t c : t) Put16(b, c);
    ++n;
  }
  for (; n < 16; ++n) Put16(b, 0);
  return b;
}

// A DIALOGEX header without font, claiming count items, followed by the items given.
Bytes DialogEx(unsigned count, const Bytes& items) {
  Bytes b;
  Put16(b, 1);
  Put16(b, 0xFFFF);
  Put32(b, 0);           // help id
  Put32(b, 0);           // extended style
  Put32(b, 0x80C80000);  // style, no DS_SETFONT
  Put16(b, count);
  for (int i = 0; i < 4; ++i) Put16(b, 10);
  Put16(b, 0);  // no menu
  Put16(b, 0);  // no class
  PutText(b, u"D");
  Pad4(b);
  b.insert(b.end(), items.begin(), items.end());
  return b;
}

Bytes DialogExItem(unsigned classOrdinal) {
  Bytes b;
  for (int i = 0; i < 3; ++i) Put32(b, i == 2 ? 0x50000000 : 0);
  for (int i = 0; i < 4; ++i) Put16(b, 5);
  Put32(b, 42);
  Put16(b, 0xFFFF);
  Put16(b, classOrdinal);
  PutText(b, u"x");
  Put16(b, 0);
  return b;
}

// A 24-bit bitmap header for width x height followed by bytes bytes of pixels.
Bytes Bitmap(int width, int height, unsigned bits, size_t bytes) {
  Bytes b;
  Put32(b, 40);
  Put32(b, static_cast<unsigned>(width));
  Put32(b, static_cast<unsigned>(height));
  Put16(b, 1);
  Put16(b, bits);
  for (int i = 0; i < 6; ++i) Put32(b, 0);
  b.resize(b.size() + bytes);
  return b;
}

const std::u16string* StringOf(const ResourceFile& file, UINT id) {
  for (const auto& [sid, text] : file.strings)
    if (sid == id) return &text;
  return nullptr;
}

TEST(ResourceFile, ReadsTheFormatsWindresWrites) {
  Bytes data = ReadFile(NB_FORMATS_RES);
  ASSERT_FALSE(data.empty());
  std::string error;
  auto file = ParseResourceFile(data, &error);
  ASSERT_TRUE(file) << error;

  // Strings at both ends of their blocks.
  const std::pair<UINT, const char16_t*> strings[] = {
      {1, u"one"}, {15, u"fifteen"}, {16, u"sixteen"}, {65535, u"last"}};
  for (const auto& [id, text] : strings) {
    SCOPED_TRACE(id);
    ASSERT_NE(StringOf(*file, id), nullptr);
    EXPECT_EQ(*StringOf(*file, id), text);
  }
  EXPECT_EQ(StringOf(*file, 2), nullptr) << "an empty slot is no string";

  // The old dialog template: a WORD identifier per item, no weight or charset in the font.
  ASSERT_EQ(file->dialogs.size(), 1u);
  const auto& [dialogId, d] = file->dialogs[0];
  EXPECT_EQ(dialogId, 100u);
  EXPECT_EQ(d.caption, u"古い形式");
  EXPECT_EQ(d.fontName, u"Tahoma");
  EXPECT_EQ(d.pointSize, 8);
  EXPECT_EQ((std::vector<short>{d.x, d.y, d.cx, d.cy}), (std::vector<short>{10, 20, 120, 60}));
  ASSERT_EQ(d.items.size(), 3u);
  EXPECT_EQ(d.items[0].windowClass, u"STATIC");
  EXPECT_EQ(d.items[0].text, u"ラベル");
  EXPECT_EQ(d.items[1].windowClass, u"EDIT");
  EXPECT_EQ(d.items[1].id, 6);
  EXPECT_EQ(d.items[2].windowClass, u"SYSLISTVIEW32") << "windres writes class names in capitals";
  EXPECT_EQ(d.items[2].style, 0x50010001u);

  ASSERT_EQ(file->menus.size(), 2u);
  for (const auto& [id, menu] : file->menus) {
    SCOPED_TRACE(id);
    ASSERT_FALSE(menu.items.empty());
    const auto& popup = menu.items[0];
    EXPECT_TRUE(popup.flags & MF_POPUP);
    ASSERT_EQ(popup.popup.size(), id == 200 ? 4u : 3u);
    EXPECT_TRUE(popup.popup[1].flags & MF_SEPARATOR);
    if (id == 200) {  // MENUEX: states, a nested pop-up
      EXPECT_EQ(popup.text, u"ファイル");
      EXPECT_EQ(popup.popup[0].id, 201u);
      EXPECT_EQ(popup.popup[2].flags & (MF_GRAYED | MF_DISABLED), MF_GRAYED | MF_DISABLED);
      ASSERT_EQ(popup.popup[3].popup.size(), 1u);
      EXPECT_EQ(popup.popup[3].popup[0].id, 204u);
      EXPECT_TRUE(popup.popup[3].popup[0].flags & MF_CHECKED);
    } else {  // MENU: a menu bar of a pop-up and a plain item
      EXPECT_TRUE(popup.popup[0].flags & MF_CHECKED);
      EXPECT_TRUE(popup.popup[2].flags & MF_GRAYED);
      ASSERT_EQ(menu.items.size(), 2u);
      EXPECT_EQ(menu.items[1].id, 303u);
      EXPECT_EQ(menu.items[1].text, u"Top");
    }
  }
}

TEST(ResourceFile, RefusesMalformedFiles) {
  Bytes noMarker = Entry(6, 1, Strings({u"a"}));
  Bytes shortHeader = File({});
  Put32(shortHeader, 0);
  Put32(shortHeader, 8);
  Bytes pastEnd = File({Entry(6, 1, Strings({u"a"}))});
  pastEnd.resize(pastEnd.size() - 8);
  Bytes longString = Strings({u"abc"});
  longString[0] = 200;
  Bytes unterminatedName = File({});
  Put32(unterminatedName, 0);
  Put32(unterminatedName, 32);
  for (int i = 0; i < 12; ++i) Put16(unterminatedName, u'A');
  Bytes nested;  // MENU: twenty pop-ups inside each other
  Put32(nested, 0);
  for (int i = 0; i < 20; ++i) {
    Put16(nested, MF_POPUP | 0x80);
    PutText(nested, u"p");
  }
  Bytes unended;
  Put32(unended, 0);
  Put16(unended, 0);
  Put16(unended, 7);
  PutText(unended, u"no end");
  Bytes group;  // one icon, named 5, which the file does not hold
  for (unsigned v : {0u, 1u, 1u}) Put16(group, v);
  for (int i = 0; i < 4; ++i) group.push_back(16);
  Put16(group, 1);
  Put16(group, 32);
  Put32(group, 100);
  Put16(group, 5);

  struct Case {
    const char* what;
    Bytes data;
    const char* reason;
  };
  const Case cases[] = {
      {"empty", {}, "empty file"},
      {"no marker entry", noMarker, "marker"},
      {"header size below the minimum", shortHeader, "header size"},
      {"data past the end", pastEnd, "past the end"},
      {"type name without terminator", unterminatedName, "type or name"},
      {"string block 0", File({Entry(6, 0, Strings({u"a"}))}), "block number"},
      {"string longer than its block", File({Entry(6, 1, longString)}), "string block cut short"},
      {"dialog with fewer items than it claims",
       File({Entry(5, 1, DialogEx(2, DialogExItem(0x80)))}), "dialog item cut short"},
      {"dialog item of an unknown class ordinal",
       File({Entry(5, 1, DialogEx(1, DialogExItem(0x90)))}), "class ordinal"},
      {"menu nested too deeply", File({Entry(4, 1, nested)}), "nested too deeply"},
      {"menu without its last item", File({Entry(4, 1, unended)}), "menu item cut short"},
      {"bitmap pixels cut short", File({Entry(2, 1, Bitmap(100, 100, 24, 300))}), "cut short"},
      {"bitmap of an unknown depth", File({Entry(2, 1, Bitmap(4, 4, 7, 64))}), "depth"},
      {"bitmap of zero width", File({Entry(2, 1, Bitmap(0, 4, 24, 64))}), "size out of range"},
      {"icon group naming a missing image", File({Entry(14, 1, group)}), "missing image"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string error;
    EXPECT_FALSE(ParseResourceFile(c.data, &error));
    EXPECT_NE(error.find(c.reason), std::string::npos) << error;
  }
}

TEST(ResourceFile, SkipsWhatItDoesNotKeep) {
  Bytes named = File({});  // a string block named by text, which no identifier reaches
  Bytes data = Strings({u"x"});
  Put32(named, static_cast<unsigned>(data.size()));
  Put32(named, 40);
  Put16(named, 0xFFFF);
  Put16(named, 6);
  PutText(named, u"NAME");  // 10 bytes, then 2 of padding
  Put16(named, 0);
  for (int i = 0; i < 4; ++i) Put32(named, 0);
  named.insert(named.end(), data.begin(), data.end());
  Bytes withVersion = File({Entry(16, 1, Bytes(12, 0xAB)), Entry(6, 1, Strings({u"kept"}))});

  auto a = ParseResourceFile(named);
  ASSERT_TRUE(a);
  EXPECT_TRUE(a->strings.empty());
  auto b = ParseResourceFile(withVersion);
  ASSERT_TRUE(b);
  ASSERT_EQ(b->strings.size(), 1u);
  EXPECT_EQ(b->strings[0], (std::pair<UINT, std::u16string>{0, u"kept"}));
}

// Every cut of a real file is read or refused; none is read past its end (the sanitizer build
// checks that).
TEST(ResourceFile, EveryCutIsReadOrRefused) {
  Bytes data = ReadFile(NB_FORMATS_RES);
  ASSERT_FALSE(data.empty());
  size_t accepted = 0;
  for (size_t n = 0; n < data.size(); ++n) {
    Bytes cut(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(n));
    std::string error;
    if (ParseResourceFile(cut, &error))
      ++accepted;
    else
      EXPECT_FALSE(error.empty()) << n;
  }
  EXPECT_LT(accepted, data.size() / 4) << "most cuts end inside an entry";
}

TEST(ResourceFile, FillsTheTablesOfAModule) {
  HINSTANCE module = uitest::TestModule(11);
  Bytes data = ReadFile(NB_FORMATS_RES);
  ASSERT_TRUE(platform::ui::RegisterResourceFile(module, data.data(), data.size()));
  WCHAR buf[32];
  EXPECT_EQ(LoadStringW(module, 65535, buf, 32), 4);
  EXPECT_EQ(std::u16string(buf), u"last");
  HMENU menu = LoadMenuW(module, MAKEINTRESOURCEW(200));
  ASSERT_NE(menu, nullptr);
  HMENU popup = GetSubMenu(menu, 0);
  ASSERT_NE(popup, nullptr);
  EXPECT_EQ(GetMenuItemCount(popup), 4);
  EXPECT_EQ(GetMenuItemID(popup, 0), 201u);
  DestroyMenu(menu);

  Bytes broken = data;
  broken.resize(broken.size() - 3);
  HINSTANCE other = uitest::TestModule(12);
  std::string error;
  EXPECT_FALSE(platform::ui::RegisterResourceFile(other, broken.data(), broken.size(), &error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(LoadStringW(other, 1, buf, 32), 0) << "a refused file declares nothing";
  platform::ui::UnregisterResources(module);
}

}  // namespace
