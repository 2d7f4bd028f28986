// BSTR, VARIANT, SAFEARRAY, GUID text and ComPtr: the ownership rules the system relies on.
#include <gtest/gtest.h>

#include <thread>

#include "platform/com/com.h"
#include "tests/platform_com/counted.h"

namespace {

using nbtest::Counted;

// {12345678-9ABC-DEF0-0123-456789ABCDEF}
constexpr GUID kSample = {
    0x12345678, 0x9ABC, 0xDEF0, {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}};

TEST(GuidText, StringFromGUID2WritesBracedUpperCase) {
  OLECHAR buf[39];
  std::fill(std::begin(buf), std::end(buf), u'#');  // an unwritten slot would show
  ASSERT_EQ(StringFromGUID2(kSample, buf, 39), 39);
  EXPECT_EQ(std::u16string(buf), u"{12345678-9ABC-DEF0-0123-456789ABCDEF}");
  EXPECT_EQ(StringFromGUID2(kSample, buf, 38), 0) << "38 characters cannot hold the terminator";
}

TEST(GuidText, StringFromIIDIsFreedWithCoTaskMemFree) {
  LPOLESTR text = nullptr;
  ASSERT_EQ(StringFromIID(IID_IDispatch, &text), S_OK);
  EXPECT_EQ(std::u16string(text), u"{00020400-0000-0000-C000-000000000046}");
  CoTaskMemFree(text);
  EXPECT_EQ(StringFromIID(IID_IDispatch, nullptr), E_POINTER);
}

TEST(GuidText, CLSIDFromStringRoundTripsAndRejectsOtherShapes) {
  CLSID parsed{};
  ASSERT_EQ(CLSIDFromString(u"{12345678-9abc-def0-0123-456789abcdef}", &parsed), S_OK);
  EXPECT_TRUE(IsEqualGUID(parsed, kSample)) << "lower-case hex is accepted";

  const char16_t* rejects[] = {
      u"12345678-9ABC-DEF0-0123-456789ABCDEF",     // no braces
      u"{12345678-9ABC-DEF0-0123-456789ABCDEF",    // no closing brace
      u"{12345678-9ABC-DEF0-0123-456789ABCDEF}x",  // trailing text
      u"{12345678-9ABC-DEF0-0123_456789ABCDEF}",   // wrong separator
      u"{1234567G-9ABC-DEF0-0123-456789ABCDEF}",   // not hex
      u"",
  };
  for (const char16_t* text : rejects) {
    SCOPED_TRACE(platform::com::Utf16ToUtf8(text));
    CLSID g = kSample;
    EXPECT_EQ(CLSIDFromString(text, &g), E_INVALIDARG);
  }
}

TEST(Bstr, LengthPrefixedAndZeroTerminated) {
  const char16_t with_zero[] = {u'a', 0, u'b'};
  BSTR b = SysAllocStringLen(with_zero, 3);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(SysStringLen(b), 3u) << "an embedded zero does not end a BSTR";
  EXPECT_EQ(SysStringByteLen(b), 6u);
  EXPECT_EQ(b[1], 0);
  EXPECT_EQ(b[2], u'b');
  EXPECT_EQ(b[3], 0) << "terminator after the counted characters";
  SysFreeString(b);

  BSTR zeros = SysAllocStringLen(nullptr, 4);
  ASSERT_NE(zeros, nullptr);
  EXPECT_EQ(SysStringLen(zeros), 4u);
  for (int i = 0; i <= 4; ++i) EXPECT_EQ(zeros[i], 0);
  SysFreeString(zeros);

  EXPECT_EQ(SysAllocString(static_cast<const OLECHAR*>(nullptr)), nullptr);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  SysFreeString(nullptr);  // must be harmless
}

TEST(Bstr, OwnerFreesWhatItHoldsWhenReused) {
  BStr s(u"first");
  EXPECT_EQ(s.Str(), u"first");
  BSTR* slot = &s;  // as an out parameter: the old string is freed, the slot is empty
  EXPECT_EQ(*slot, nullptr);
  *slot = SysAllocString(u"second");
  EXPECT_EQ(s.Length(), 6u);
  BStr moved(std::move(s));
  EXPECT_FALSE(s);
  EXPECT_EQ(moved.Str(), u"second");
}

TEST(Variant, ClearReleasesWhatItOwns) {
  bool destroyed = false;
  auto* obj = new Counted(&destroyed);
  {
    ScopedVariant v;
    v.vt = VT_DISPATCH;
    v.pdispVal = obj;  // takes the creator's reference
  }
  EXPECT_TRUE(destroyed);

  VARIANT s;
  VariantInit(&s);
  s.vt = VT_BSTR;
  s.bstrVal = SysAllocString(u"text");
  EXPECT_EQ(VariantClear(&s), S_OK);
  EXPECT_EQ(s.vt, VT_EMPTY);
  EXPECT_EQ(VariantClear(nullptr), E_INVALIDARG);
}

TEST(Variant, CopyDuplicatesStringsAndAddRefsInterfaces) {
  auto* obj = new Counted;
  ScopedVariant a, b;
  a.vt = VT_DISPATCH;
  a.pdispVal = obj;
  ASSERT_EQ(VariantCopy(&b, &a), S_OK);
  EXPECT_EQ(obj->Refs(), 2u);

  ScopedVariant s, t;
  s.vt = VT_BSTR;
  s.bstrVal = SysAllocString(u"copy me");
  ASSERT_EQ(VariantCopy(&t, &s), S_OK);
  EXPECT_NE(t.bstrVal, s.bstrVal) << "a copied BSTR is a new allocation";
  EXPECT_EQ(std::u16string(t.bstrVal), u"copy me");
}

TEST(SafeArray, OneElementVariantVectorOwnsItsString) {
  SAFEARRAY* sa = SafeArrayCreateVector(VT_VARIANT, 0, 1);
  ASSERT_NE(sa, nullptr);
  LONG lo = -1, hi = -1;
  EXPECT_EQ(SafeArrayGetLBound(sa, 1, &lo), S_OK);
  EXPECT_EQ(SafeArrayGetUBound(sa, 1, &hi), S_OK);
  EXPECT_EQ(lo, 0);
  EXPECT_EQ(hi, 0);
  EXPECT_EQ(SafeArrayGetLBound(sa, 2, &lo), E_INVALIDARG);

  VARIANT* items = nullptr;
  ASSERT_EQ(SafeArrayAccessData(sa, reinterpret_cast<void**>(&items)), S_OK);
  EXPECT_EQ(items[0].vt, VT_EMPTY) << "elements start empty";
  items[0].vt = VT_BSTR;
  items[0].bstrVal = SysAllocString(u"<p>page</p>");
  EXPECT_EQ(SafeArrayDestroy(sa), E_UNEXPECTED) << "locked arrays are not destroyed";
  ASSERT_EQ(SafeArrayUnaccessData(sa), S_OK);
  EXPECT_EQ(SafeArrayUnaccessData(sa), E_UNEXPECTED) << "unbalanced unlock";
  // The sanitizer build reports a leak if the element string is not freed here.
  EXPECT_EQ(SafeArrayDestroy(sa), S_OK);
  EXPECT_EQ(SafeArrayCreateVector(VT_DISPATCH, 0, 1), nullptr) << "unsupported element type";
}

TEST(ComPtrTest, OwnsExactlyOneReference) {
  auto* obj = new Counted;  // refs 1: the test's
  {
    ComPtr<IDispatch> a(obj);
    EXPECT_EQ(obj->Refs(), 2u);
    ComPtr<IDispatch> b = a;
    EXPECT_EQ(obj->Refs(), 3u);
    ComPtr<IDispatch> c = std::move(b);
    EXPECT_EQ(obj->Refs(), 3u) << "a move transfers, it does not AddRef";
    EXPECT_FALSE(b);
    a = c;  // same object: still one reference each
    EXPECT_EQ(obj->Refs(), 3u);
    c = nullptr;
    EXPECT_EQ(obj->Refs(), 2u);
    ComPtr<IUnknown> unk;
    ASSERT_EQ(a.As(IID_IUnknown, &unk), S_OK);
    EXPECT_EQ(obj->Refs(), 3u);
    ComPtr<IClassFactory> none;
    EXPECT_EQ(a.As(IID_IClassFactory, &none), E_NOINTERFACE);
    EXPECT_FALSE(none);
  }
  EXPECT_EQ(obj->Refs(), 1u);
  auto attached = ComPtr<IDispatch>::Attach(obj);  // adopts the test's reference
  EXPECT_EQ(obj->Refs(), 1u);
  IDispatch* raw = attached.Detach();
  EXPECT_EQ(raw->Release(), 0u);
}

TEST(CoInitializeTest, CountsPerThread) {
  ASSERT_EQ(CoInitializeCount(), 0);
  EXPECT_EQ(CoInitialize(nullptr), S_OK);
  EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
  int other_first = -1;
  std::thread([&] {
    other_first = CoInitialize(nullptr);
    CoUninitialize();
  }).join();
  EXPECT_EQ(other_first, S_OK) << "another thread has its own count";
  EXPECT_EQ(CoInitializeCount(), 2);
  CoUninitialize();
  CoUninitialize();
  CoUninitialize();  // one too many is ignored
  EXPECT_EQ(CoInitializeCount(), 0);
  EXPECT_EQ(CoInitialize(nullptr), S_OK);
  CoUninitialize();
}

}  // namespace
