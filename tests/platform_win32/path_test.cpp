// Path helpers, as the toolbar and the book dialog combine folders and names.
#include "platform/win32/path.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/com/com.h"
#include "platform/win32/file.h"

namespace {

struct Case {
  std::u16string in;
  std::u16string out;
};

TEST(Paths, RemoveFileSpec) {
  const Case cases[] = {
      {u"/opt/nubra/lib/libToolBar4N.so", u"/opt/nubra/lib"},
      {u"C:\\dir\\file.txt", u"C:\\dir"},
      {u"dir\\sub\\", u"dir\\sub"},
      {u"\\file", u"\\"},
      {u"file", u""},
      {u"/", u"/"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(platform::com::Utf16ToUtf8(c.in));
    WCHAR buf[MAX_PATH];
    std::copy(c.in.begin(), c.in.end(), buf);
    buf[c.in.size()] = 0;
    PathRemoveFileSpecW(buf);
    EXPECT_EQ(std::u16string(buf), c.out);
  }
}

TEST(Paths, CombineAndAppend) {
  struct Join {
    std::u16string dir, file, combined;
  };
  const Join joins[] = {
      {u"/opt/nubra/lib", u"ToolbarForNubra.chm", u"/opt/nubra/lib\\ToolbarForNubra.chm"},
      {u"/share/Designs\\", u"standard", u"/share/Designs\\standard"},
      {u"/share/Designs\\", u"/home/u/my.nbk", u"/home/u/my.nbk"},  // absolute stays as it is
      {u"/a/b", u"..\\c", u"/a/c"},
      {u"/a/./b", u"", u"/a/b"},
      {u"", u"x", u"x"},
  };
  for (const Join& j : joins) {
    SCOPED_TRACE(platform::com::Utf16ToUtf8(j.dir + u" + " + j.file));
    WCHAR out[MAX_PATH];
    ASSERT_EQ(PathCombineW(out, j.dir.c_str(), j.file.c_str()), out);
    EXPECT_EQ(std::u16string(out), j.combined);
  }

  // The designs folder: common + "\Vantor Shared\EnjoyNubra\" + "Designs\".
  WCHAR folder[MAX_PATH] = u"/usr/share";
  ASSERT_TRUE(PathAppendW(folder, u"\\Vantor Shared\\EnjoyNubra\\"));
  ASSERT_TRUE(PathAppendW(folder, u"Designs\\"));
  EXPECT_EQ(std::u16string(folder), u"/usr/share\\Vantor Shared\\EnjoyNubra\\Designs\\");
  EXPECT_EQ(platform::win32::ToNativePath(folder), "/usr/share/Vantor Shared/EnjoyNubra/Designs/");

  std::u16string tooLong(MAX_PATH - 5, u'a');
  WCHAR out[MAX_PATH];
  EXPECT_EQ(PathCombineW(out, tooLong.c_str(), u"abcdef"), nullptr);
  EXPECT_EQ(out[0], 0);
  std::copy(tooLong.begin(), tooLong.end(), folder);
  folder[tooLong.size()] = 0;
  EXPECT_FALSE(PathAppendW(folder, u"abcdef"));
  EXPECT_EQ(std::u16string(folder), tooLong) << "a failed append leaves the path alone";
}

TEST(Paths, FileNameAndExtension) {
  struct Parts {
    std::u16string path, name, ext;
  };
  const Parts cases[] = {
      {u"C:\\docs\\EnjoyNubra\\FBJPNP0305090704.nbk", u"FBJPNP0305090704.nbk", u".nbk"},
      {u"/home/u/book.NBK", u"book.NBK", u".NBK"},
      {u"/home/u.d/book", u"book", u""},
      {u"dir\\sub\\", u"sub\\", u""},
      {u"archive.tar.gz", u"archive.tar.gz", u".gz"},
      {u"name. with space", u"name. with space", u""},
  };
  for (const Parts& c : cases) {
    SCOPED_TRACE(platform::com::Utf16ToUtf8(c.path));
    EXPECT_EQ(std::u16string(PathFindFileNameW(c.path.c_str())), c.name);
    EXPECT_EQ(std::u16string(PathFindExtensionW(c.path.c_str())), c.ext);
  }
}

TEST(Paths, ExistenceAndFolders) {
  WCHAR temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  EXPECT_TRUE(PathFileExistsW(temp));
  EXPECT_TRUE(PathIsDirectoryW(temp));
  std::u16string missing = std::u16string(temp) + u"no\\such\\thing";
  EXPECT_FALSE(PathFileExistsW(missing.c_str()));
  EXPECT_FALSE(PathIsDirectoryW(missing.c_str()));
  WCHAR dir[MAX_PATH] = u"/x";
  PathAddBackslashW(dir);
  PathAddBackslashW(dir);
  EXPECT_EQ(std::u16string(dir), u"/x\\");
}

}  // namespace
