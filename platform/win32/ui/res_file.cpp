// Reading a compiled resource file. Layouts are those of the Windows resource formats, all
// little-endian:
//   entry       DWORD data size, DWORD header size, type and name (each 0xFFFF + WORD ordinal
//               or a zero-terminated UTF-16 text), padding to 4, DWORD data version, WORD
//               memory flags, WORD language, DWORD version, DWORD characteristics; the data
//               follows the header and is padded to 4.
//   strings     block n (name n) holds the strings 16 * (n - 1) ... + 15, each a WORD length
//               and that many UTF-16 units.
//   DIALOGEX    WORD 1, WORD 0xFFFF, help id, extended style, style, item count, x, y, cx, cy,
//               menu, class, caption, [point size, weight, italic, charset, face with
//               DS_SETFONT]; items at 4-byte boundaries: help id, extended style, style, x, y,
//               cx, cy, DWORD id, class, text, WORD extra byte count and the extra bytes.
//   DIALOG      style, extended style, item count, x, y, cx, cy, menu, class, caption,
//               [point size, face]; items: style, extended style, x, y, cx, cy, WORD id,
//               class, text, extra.
//   MENU        WORD 0, WORD header size; items: WORD flags, WORD id (not for pop-ups), text;
//               MF_END (0x80) ends a level, MF_POPUP (0x10) opens one.
//   MENUEX      WORD 1, WORD offset of the items; items at 4-byte boundaries: DWORD type,
//               DWORD state, DWORD id, WORD flags (0x80 last, 0x01 pop-up), text, and for a
//               pop-up a DWORD help id at the next 4-byte boundary before its items.
//   group icon  WORD 0, WORD 1 (2 for cursors), WORD count, then 14-byte entries naming the
//               icon resources by ordinal.
#include "platform/win32/ui/res_file.h"

#include <algorithm>
#include <map>

namespace platform::ui {
namespace {

constexpr WORD kRtCursor = 1;
constexpr WORD kRtBitmap = 2;
constexpr WORD kRtIcon = 3;
constexpr WORD kRtMenu = 4;
constexpr WORD kRtDialog = 5;
constexpr WORD kRtString = 6;
constexpr WORD kRtGroupCursor = 12;
constexpr WORD kRtGroupIcon = 14;

constexpr int kMaxMenuDepth = 16;
constexpr LONG kMaxImageSide = 32768;
constexpr size_t kEntryFixedTail = 16;  // data version .. characteristics

struct Failure {
  std::string what;
  size_t offset;
};

// A cursor over one range of the file; a read past the range fails and leaves the cursor.
class Reader {
 public:
  Reader(std::span<const unsigned char> bytes, size_t fileOffset)
      : bytes_(bytes), base_(fileOffset) {}

  size_t FileOffset() const { return base_ + pos_; }
  size_t Position() const { return pos_; }
  size_t Remaining() const { return bytes_.size() - pos_; }

  bool Skip(size_t n) {
    if (n > Remaining()) return false;
    pos_ += n;
    return true;
  }
  // To the next multiple of 4 from the start of the range; the end of the range counts as
  // aligned, since padding after the last item may be missing.
  bool Align4() {
    size_t pad = (4 - pos_ % 4) % 4;
    if (pad > Remaining()) pad = Remaining();
    pos_ += pad;
    return true;
  }
  bool Byte(BYTE* out) {
    if (Remaining() < 1) return false;
    *out = bytes_[pos_++];
    return true;
  }
  bool Word(WORD* out) {
    if (Remaining() < 2) return false;
    *out = static_cast<WORD>(bytes_[pos_] | bytes_[pos_ + 1] << 8);
    pos_ += 2;
    return true;
  }
  bool Short(short* out) {
    WORD w = 0;
    if (!Word(&w)) return false;
    *out = static_cast<short>(w);
    return true;
  }
  bool Dword(DWORD* out) {
    WORD lo = 0, hi = 0;
    if (Remaining() < 4) return false;
    Word(&lo);
    Word(&hi);
    *out = static_cast<DWORD>(lo) | static_cast<DWORD>(hi) << 16;
    return true;
  }
  // A zero-terminated UTF-16 text; the terminator must lie inside the range.
  bool Text(std::u16string* out) {
    std::u16string s;
    size_t start = pos_;
    for (;;) {
      WORD unit = 0;
      if (!Word(&unit)) {
        pos_ = start;
        return false;
      }
      if (unit == 0) break;
      s.push_back(static_cast<char16_t>(unit));
    }
    *out = std::move(s);
    return true;
  }
  // The name-or-ordinal form: 0xFFFF and an ordinal, or a text (an empty text is "none").
  bool NameOrOrdinal(std::u16string* text, WORD* ordinal, bool* isOrdinal) {
    if (Remaining() < 2) return false;
    WORD first = static_cast<WORD>(bytes_[pos_] | bytes_[pos_ + 1] << 8);
    if (first == 0xFFFF) {
      pos_ += 2;
      *isOrdinal = true;
      text->clear();
      return Word(ordinal);
    }
    *isOrdinal = false;
    *ordinal = 0;
    return Text(text);
  }

 private:
  std::span<const unsigned char> bytes_;
  size_t base_;
  size_t pos_ = 0;
};

std::u16string Decimal(unsigned value) {
  std::u16string s;
  do {
    s.insert(s.begin(), static_cast<char16_t>(u'0' + value % 10));
    value /= 10;
  } while (value);
  return s;
}

// The predefined control classes that a dialog item may name by ordinal.
bool ClassOfOrdinal(WORD ordinal, std::u16string* name) {
  static const char16_t* const kNames[] = {u"BUTTON",  u"EDIT",      u"STATIC",
                                           u"LISTBOX", u"SCROLLBAR", u"COMBOBOX"};
  if (ordinal < 0x80 || ordinal > 0x85) return false;
  *name = kNames[ordinal - 0x80];
  return true;
}

struct BitmapHeader {
  LONG width = 0, height = 0;  // height as stored: negative for top-down rows
  WORD bitCount = 0;
};

// Checks a device-independent bitmap: a known header, a sane size, and pixel rows (and the
// colour table) that fit in the data. An icon image's stored height covers its colour rows and
// then as many rows of its 1-bit mask.
bool CheckDib(std::span<const unsigned char> dib, bool icon, BitmapHeader* out, std::string* why) {
  Reader r(dib, 0);
  DWORD headerSize = 0;
  if (!r.Dword(&headerSize)) {
    *why = "bitmap header cut short";
    return false;
  }
  LONG width = 0, height = 0;
  WORD planes = 0, bitCount = 0;
  DWORD compression = 0, colorsUsed = 0;
  if (headerSize == 12) {  // the old core header
    WORD w = 0, h = 0;
    if (!r.Word(&w) || !r.Word(&h) || !r.Word(&planes) || !r.Word(&bitCount)) {
      *why = "bitmap header cut short";
      return false;
    }
    width = w;
    height = h;
  } else if (headerSize == 40 || headerSize == 52 || headerSize == 56 || headerSize == 108 ||
             headerSize == 124) {
    DWORD w = 0, h = 0, imageSize = 0, xppm = 0, yppm = 0;
    if (!r.Dword(&w) || !r.Dword(&h) || !r.Word(&planes) || !r.Word(&bitCount) ||
        !r.Dword(&compression) || !r.Dword(&imageSize) || !r.Dword(&xppm) || !r.Dword(&yppm) ||
        !r.Dword(&colorsUsed) || dib.size() < headerSize) {
      *why = "bitmap header cut short";
      return false;
    }
    width = static_cast<LONG>(w);
    height = static_cast<LONG>(h);
  } else {
    *why = "unknown bitmap header size " + std::to_string(headerSize);
    return false;
  }
  if (width <= 0 || width > kMaxImageSide || height == 0 || height > 2 * kMaxImageSide ||
      height < -kMaxImageSide || planes != 1) {
    *why = "bitmap size out of range";
    return false;
  }
  if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 &&
      bitCount != 32) {
    *why = "bitmap depth " + std::to_string(bitCount) + " unknown";
    return false;
  }
  // Compressed rows (RLE) cannot be sized in advance; only plain rows and bit-field masks.
  if (compression != 0 && compression != 3) {
    *why = "compressed bitmaps are not read";
    return false;
  }
  unsigned long long palette = colorsUsed;
  if (palette == 0 && bitCount <= 8) palette = 1ull << bitCount;
  if (palette > 256) {
    *why = "colour table too large";
    return false;
  }
  unsigned long long entry = headerSize == 12 ? 3 : 4;
  unsigned long long masks = (compression == 3 && headerSize == 40) ? 12 : 0;
  unsigned long long rowBytes = (static_cast<unsigned long long>(width) * bitCount + 31) / 32 * 4;
  unsigned long long rows = static_cast<unsigned long long>(height < 0 ? -height : height);
  unsigned long long pixels = rowBytes * rows;
  if (icon) {
    unsigned long long maskRow = (static_cast<unsigned long long>(width) + 31) / 32 * 4;
    pixels = (rowBytes + maskRow) * (rows / 2);
  }
  unsigned long long need = headerSize + masks + palette * entry + pixels;
  if (need > dib.size()) {
    *why = "bitmap pixels cut short";
    return false;
  }
  *out = BitmapHeader{width, height, bitCount};
  return true;
}

// An icon or cursor image: a DIB whose height covers colour and mask, or a PNG stream.
bool CheckIconImage(std::span<const unsigned char> image, std::string* why) {
  static const unsigned char kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (image.size() >= 8 && std::equal(kPng, kPng + 8, image.begin())) return true;
  BitmapHeader h;
  if (!CheckDib(image, true, &h, why)) return false;
  if (h.height <= 0 || h.height % 2 != 0) {
    *why = "icon image height does not cover a mask";
    return false;
  }
  return true;
}

class Parser {
 public:
  explicit Parser(std::span<const unsigned char> data) : data_(data) {}

  std::optional<ResourceFile> Run(std::string* error) {
    if (!ReadAll()) {
      if (error) *error = failure_.what + " at offset " + std::to_string(failure_.offset);
      return std::nullopt;
    }
    return std::move(file_);
  }

 private:
  struct Entry {
    bool typeIsOrdinal = false, nameIsOrdinal = false;
    WORD type = 0, name = 0;
    size_t offset = 0;  // of the data in the file
    std::span<const unsigned char> bytes;
  };

  bool Fail(std::string what, size_t offset) {
    failure_ = Failure{std::move(what), offset};
    return false;
  }

  bool ReadAll() {
    size_t at = 0;
    bool first = true;
    while (at < data_.size()) {
      Entry e;
      if (!ReadEntry(at, &e)) return false;
      if (first) {
        // The marker that opens every 32-bit resource file: an empty entry of type 0, name 0.
        if (!e.typeIsOrdinal || e.type != 0 || !e.nameIsOrdinal || e.name != 0 || !e.bytes.empty())
          return Fail("not a 32-bit resource file (no marker entry)", 0);
        first = false;
      } else if (e.typeIsOrdinal && e.nameIsOrdinal && !Take(e)) {
        return false;
      }
      size_t end = e.offset + e.bytes.size();
      at = end + (4 - end % 4) % 4;
    }
    if (first) return Fail("empty file", 0);
    return ResolveGroups();
  }

  bool ReadEntry(size_t at, Entry* e) {
    Reader r(data_.subspan(at), at);
    DWORD dataSize = 0, headerSize = 0;
    if (!r.Dword(&dataSize) || !r.Dword(&headerSize))
      return Fail("resource entry header cut short", at);
    if (headerSize < 8 + 4 + kEntryFixedTail || headerSize % 4 != 0 ||
        headerSize > data_.size() - at)
      return Fail("resource header size " + std::to_string(headerSize) + " invalid", at);
    if (dataSize > data_.size() - at - headerSize)
      return Fail("resource data runs past the end of the file", at);
    Reader header(data_.subspan(at + 8, headerSize - 8), at + 8);
    std::u16string typeText, nameText;
    if (!header.NameOrOrdinal(&typeText, &e->type, &e->typeIsOrdinal) ||
        !header.NameOrOrdinal(&nameText, &e->name, &e->nameIsOrdinal) || !header.Align4() ||
        header.Remaining() < kEntryFixedTail)
      return Fail("resource type or name runs past its header", at);
    e->offset = at + headerSize;
    e->bytes = data_.subspan(e->offset, dataSize);
    return true;
  }

  bool Take(const Entry& e) {
    switch (e.type) {
      case kRtString:
        return TakeStrings(e);
      case kRtDialog:
        return TakeDialog(e);
      case kRtMenu:
        return TakeMenu(e);
      case kRtBitmap:
        return TakeBitmap(e);
      case kRtIcon:
      case kRtCursor:
        (e.type == kRtIcon ? icons_ : cursors_)[e.name] = e;
        return true;
      case kRtGroupIcon:
      case kRtGroupCursor:
        groups_.push_back(e);
        return true;
      default:
        return true;  // versions, manifests, toolbars, ...: not kept
    }
  }

  bool TakeStrings(const Entry& e) {
    if (e.name == 0 || e.name > 4096) return Fail("string block number out of range", e.offset);
    Reader r(e.bytes, e.offset);
    UINT firstId = (static_cast<UINT>(e.name) - 1) * 16;
    for (UINT i = 0; i < 16; ++i) {
      WORD length = 0;
      if (!r.Word(&length) || length > r.Remaining() / 2)
        return Fail("string block cut short", r.FileOffset());
      std::u16string text;
      for (WORD k = 0; k < length; ++k) {
        WORD unit = 0;
        r.Word(&unit);
        text.push_back(static_cast<char16_t>(unit));
      }
      if (!text.empty()) file_.strings.emplace_back(firstId + i, std::move(text));
    }
    return true;
  }

  bool TakeDialog(const Entry& e) {
    Reader r(e.bytes, e.offset);
    DialogTemplate d;
    WORD version = 0, signature = 0;
    bool extended = e.bytes.size() >= 4 && r.Word(&version) && r.Word(&signature) && version == 1 &&
                    signature == 0xFFFF;
    if (!extended) r = Reader(e.bytes, e.offset);
    DWORD helpId = 0;
    WORD count = 0;
    bool ok = extended ? r.Dword(&helpId) && r.Dword(&d.exStyle) && r.Dword(&d.style)
                       : r.Dword(&d.style) && r.Dword(&d.exStyle);
    ok = ok && r.Word(&count) && r.Short(&d.x) && r.Short(&d.y) && r.Short(&d.cx) && r.Short(&d.cy);
    std::u16string menu, cls;
    WORD ordinal = 0;
    bool isOrdinal = false;
    ok = ok && r.NameOrOrdinal(&menu, &ordinal, &isOrdinal) &&
         r.NameOrOrdinal(&cls, &ordinal, &isOrdinal) && r.Text(&d.caption);
    if (ok && (d.style & DS_SETFONT)) {
      WORD weight = 0;
      BYTE italic = 0, charset = 0;
      ok = r.Word(&d.pointSize) &&
           (!extended || (r.Word(&weight) && r.Byte(&italic) && r.Byte(&charset))) &&
           r.Text(&d.fontName);
    } else {
      d.fontName.clear();
    }
    if (!ok) return Fail("dialog header cut short", r.FileOffset());
    for (WORD i = 0; i < count; ++i) {
      r.Align4();
      DialogItemTemplate item;
      DWORD id = 0;
      WORD shortId = 0;
      ok = extended ? r.Dword(&helpId) && r.Dword(&item.exStyle) && r.Dword(&item.style)
                    : r.Dword(&item.style) && r.Dword(&item.exStyle);
      ok = ok && r.Short(&item.x) && r.Short(&item.y) && r.Short(&item.cx) && r.Short(&item.cy) &&
           (extended ? r.Dword(&id) : r.Word(&shortId));
      if (!ok) return Fail("dialog item cut short", r.FileOffset());
      item.id = extended ? static_cast<int>(id) : static_cast<short>(shortId);
      size_t classAt = r.FileOffset();
      if (!r.NameOrOrdinal(&item.windowClass, &ordinal, &isOrdinal))
        return Fail("dialog item class cut short", classAt);
      if (isOrdinal && !ClassOfOrdinal(ordinal, &item.windowClass))
        return Fail("dialog item class ordinal " + std::to_string(ordinal) + " unknown", classAt);
      if (!isOrdinal && item.windowClass.empty())
        return Fail("dialog item without a class", classAt);
      // A text given by ordinal names a resource (the image of a picture control).
      if (!r.NameOrOrdinal(&item.text, &ordinal, &isOrdinal))
        return Fail("dialog item text cut short", r.FileOffset());
      if (isOrdinal) item.text = u"#" + Decimal(ordinal);
      WORD extra = 0;
      if (!r.Word(&extra) || !r.Skip(extra))
        return Fail("dialog item creation data cut short", r.FileOffset());
      d.items.push_back(std::move(item));
    }
    file_.dialogs.emplace_back(e.name, std::move(d));
    return true;
  }

  bool TakeMenu(const Entry& e) {
    Reader r(e.bytes, e.offset);
    WORD version = 0, offset = 0;
    if (!r.Word(&version) || !r.Word(&offset) || !r.Skip(offset))
      return Fail("menu header cut short", e.offset);
    MenuTemplate menu;
    bool ok = false;
    if (version == 0)
      ok = MenuItems(r, 0, &menu.items);
    else if (version == 1)
      ok = MenuExItems(r, 0, &menu.items);
    else
      return Fail("menu version " + std::to_string(version) + " unknown", e.offset);
    if (!ok) return false;
    file_.menus.emplace_back(e.name, std::move(menu));
    return true;
  }

  bool MenuItems(Reader& r, int depth, std::vector<MenuItemTemplate>* out) {
    constexpr WORD kEnd = 0x80;
    if (depth > kMaxMenuDepth) return Fail("menu nested too deeply", r.FileOffset());
    for (;;) {
      MenuItemTemplate item;
      WORD flags = 0, id = 0;
      if (!r.Word(&flags) || (!(flags & MF_POPUP) && !r.Word(&id)) || !r.Text(&item.text))
        return Fail("menu item cut short", r.FileOffset());
      item.id = id;
      item.flags = flags & (MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_SEPARATOR);
      if (flags & MF_POPUP) {
        item.flags |= MF_POPUP;
        if (!MenuItems(r, depth + 1, &item.popup)) return false;
      } else if (id == 0 && item.text.empty()) {
        item.flags |= MF_SEPARATOR;
      }
      out->push_back(std::move(item));
      if (flags & kEnd) return true;
    }
  }

  bool MenuExItems(Reader& r, int depth, std::vector<MenuItemTemplate>* out) {
    constexpr WORD kLast = 0x80;
    constexpr WORD kPopup = 0x01;
    if (depth > kMaxMenuDepth) return Fail("menu nested too deeply", r.FileOffset());
    for (;;) {
      r.Align4();
      MenuItemTemplate item;
      DWORD type = 0, state = 0, id = 0, helpId = 0;
      WORD flags = 0;
      if (!r.Dword(&type) || !r.Dword(&state) || !r.Dword(&id) || !r.Word(&flags) ||
          !r.Text(&item.text))
        return Fail("menu item cut short", r.FileOffset());
      item.id = id;
      item.flags = (type & MF_SEPARATOR) | (state & (MF_GRAYED | MF_DISABLED | MF_CHECKED));
      if (flags & kPopup) {
        r.Align4();
        if (!r.Dword(&helpId)) return Fail("menu pop-up cut short", r.FileOffset());
        item.flags |= MF_POPUP;
        if (!MenuExItems(r, depth + 1, &item.popup)) return false;
      }
      out->push_back(std::move(item));
      if (flags & kLast) return true;
    }
  }

  bool TakeBitmap(const Entry& e) {
    BitmapHeader h;
    std::string why;
    if (!CheckDib(e.bytes, false, &h, &why)) return Fail(why, e.offset);
    if (h.height > kMaxImageSide) return Fail("bitmap size out of range", e.offset);
    ResourceImage image;
    image.type = IMAGE_BITMAP;
    image.id = e.name;
    image.width = h.width;
    image.height = h.height < 0 ? -h.height : h.height;
    image.bitCount = h.bitCount;
    image.bits.assign(e.bytes.begin(), e.bytes.end());
    file_.images.push_back(std::move(image));
    return true;
  }

  // Groups name their images by ordinal, and the images may come before or after them.
  bool ResolveGroups() {
    for (const Entry& g : groups_) {
      bool cursor = g.type == kRtGroupCursor;
      Reader r(g.bytes, g.offset);
      WORD reserved = 0, kind = 0, count = 0;
      if (!r.Word(&reserved) || !r.Word(&kind) || !r.Word(&count))
        return Fail("icon group header cut short", g.offset);
      if (reserved != 0 || kind != (cursor ? 2 : 1) || count == 0)
        return Fail("icon group header invalid", g.offset);
      ResourceImage image;
      image.type = cursor ? IMAGE_CURSOR : IMAGE_ICON;
      image.id = g.name;
      image.imageCount = count;
      for (WORD i = 0; i < count; ++i) {
        size_t at = r.FileOffset();
        int width = 0, height = 0;
        WORD planes = 0, bitCount = 0, id = 0;
        DWORD bytes = 0;
        if (cursor) {
          WORD w = 0, h = 0;
          if (!r.Word(&w) || !r.Word(&h)) return Fail("icon group entry cut short", at);
          width = w;
          height = h / 2;  // stored with the mask
        } else {
          BYTE w = 0, h = 0, colours = 0, pad = 0;
          if (!r.Byte(&w) || !r.Byte(&h) || !r.Byte(&colours) || !r.Byte(&pad))
            return Fail("icon group entry cut short", at);
          width = w ? w : 256;
          height = h ? h : 256;
        }
        if (!r.Word(&planes) || !r.Word(&bitCount) || !r.Dword(&bytes) || !r.Word(&id))
          return Fail("icon group entry cut short", at);
        auto& images = cursor ? cursors_ : icons_;
        auto found = images.find(id);
        if (found == images.end())
          return Fail("icon group names a missing image " + std::to_string(id), at);
        std::span<const unsigned char> data = found->second.bytes;
        if (cursor) {
          if (data.size() < 4) return Fail("cursor image cut short", found->second.offset);
          data = data.subspan(4);  // the hot spot
        }
        std::string why;
        if (!CheckIconImage(data, &why)) return Fail(why, found->second.offset);
        if (i == 0) {
          image.width = width;
          image.height = height;
          image.bitCount = bitCount;
          image.bits.assign(data.begin(), data.end());
        }
      }
      file_.images.push_back(std::move(image));
    }
    return true;
  }

  std::span<const unsigned char> data_;
  ResourceFile file_;
  Failure failure_;
  std::map<WORD, Entry> icons_, cursors_;
  std::vector<Entry> groups_;
};

}  // namespace

std::optional<ResourceFile> ParseResourceFile(std::span<const unsigned char> data,
                                              std::string* error) {
  return Parser(data).Run(error);
}

}  // namespace platform::ui
