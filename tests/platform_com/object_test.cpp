// The COM object base: which pointer each identifier reaches, the identity of IUnknown from
// every interface, reference counts, narrowing, the atomic count and CreateObject.
#include "platform/com/object.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/com/bandhost.h"

namespace {

using platform::com::Answers;

int g_live = 0;

class Docked final
    : public platform::com::Object<Docked,
                                   Answers<IDockingWindow, IID_IDockingWindow, IID_IOleWindow>,
                                   Answers<IInputObject, IID_IInputObject>,
                                   Answers<IPersistStream, IID_IPersistStream, IID_IPersist>> {
 public:
  Docked() { ++g_live; }
  HRESULT GetWindow(HWND* out) override {
    *out = nullptr;
    return S_OK;
  }
  HRESULT ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  HRESULT ShowDW(BOOL) override { return S_OK; }
  HRESULT CloseDW(DWORD) override { return S_OK; }
  HRESULT ResizeBorderDW(LPCRECT, IUnknown*, BOOL) override { return E_NOTIMPL; }
  HRESULT UIActivateIO(BOOL, MSG*) override { return S_OK; }
  HRESULT HasFocusIO() override { return S_FALSE; }
  HRESULT TranslateAcceleratorIO(MSG*) override { return S_FALSE; }
  HRESULT GetClassID(CLSID*) override { return E_NOTIMPL; }
  HRESULT IsDirty() override { return S_FALSE; }
  HRESULT Load(IStream*) override { return S_OK; }
  HRESULT Save(IStream*, BOOL) override { return S_OK; }
  HRESULT GetSizeMax(ULARGE_INTEGER*) override { return E_NOTIMPL; }

 private:
  using Base =
      platform::com::Object<Docked, Answers<IDockingWindow, IID_IDockingWindow, IID_IOleWindow>,
                            Answers<IInputObject, IID_IInputObject>,
                            Answers<IPersistStream, IID_IPersistStream, IID_IPersist>>;
  friend Base;
  ~Docked() { --g_live; }
};

// Answers IInputObject only while it can take the focus.
class Keeper final
    : public platform::com::SharedObject<Keeper,
                                         Answers<IPersistStream, IID_IPersistStream, IID_IPersist>,
                                         Answers<IInputObject, IID_IInputObject>> {
 public:
  explicit Keeper(bool focusable) : focusable_(focusable) {}
  bool Offers(REFIID riid) const { return focusable_ || riid != IID_IInputObject; }
  HRESULT GetClassID(CLSID*) override { return E_NOTIMPL; }
  HRESULT IsDirty() override { return S_FALSE; }
  HRESULT Load(IStream*) override { return S_OK; }
  HRESULT Save(IStream*, BOOL) override { return S_OK; }
  HRESULT GetSizeMax(ULARGE_INTEGER*) override { return E_NOTIMPL; }
  HRESULT UIActivateIO(BOOL, MSG*) override { return S_OK; }
  HRESULT HasFocusIO() override { return S_FALSE; }
  HRESULT TranslateAcceleratorIO(MSG*) override { return S_FALSE; }

 private:
  bool focusable_;
};

TEST(ComObject, EachIdentifierReachesItsInterface) {
  auto* object = new Docked;
  void* const primary = static_cast<IDockingWindow*>(object);
  void* const input = static_cast<IInputObject*>(object);
  void* const persist = static_cast<IPersistStream*>(object);
  ASSERT_NE(primary, input);
  ASSERT_NE(input, persist);
  struct Case {
    const IID* iid;
    void* expected;  // null: E_NOINTERFACE
  };
  const Case cases[] = {
      {&IID_IUnknown, primary},   {&IID_IOleWindow, primary},       {&IID_IDockingWindow, primary},
      {&IID_IInputObject, input}, {&IID_IPersist, persist},         {&IID_IPersistStream, persist},
      {&IID_IDeskBand, nullptr},  {&IID_IObjectWithSite, nullptr},  {&IID_IDispatch, nullptr},
      {&IID_NULL, nullptr},       {&IID_IServiceProvider, nullptr},
  };
  // Asked through each of the object's interfaces, the answers are the same.
  for (IUnknown* via : {static_cast<IUnknown*>(static_cast<IDockingWindow*>(object)),
                        static_cast<IUnknown*>(static_cast<IInputObject*>(object)),
                        static_cast<IUnknown*>(static_cast<IPersistStream*>(object))}) {
    for (const Case& c : cases) {
      void* out = reinterpret_cast<void*>(0x1);  // garbage, which a failure must clear
      HRESULT hr = via->QueryInterface(*c.iid, &out);
      EXPECT_EQ(hr, c.expected ? S_OK : E_NOINTERFACE);
      EXPECT_EQ(out, c.expected);
      if (out) static_cast<IUnknown*>(out)->Release();
    }
  }
  EXPECT_EQ(object->Identity(), primary);
  EXPECT_EQ(static_cast<IInputObject*>(object)->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
  object->Release();
}

TEST(ComObject, CountsAndTheLastReleaseDeletes) {
  g_live = 0;
  auto* object = new Docked;
  EXPECT_EQ(g_live, 1);
  IInputObject* input = nullptr;
  ASSERT_EQ(object->QueryInterface(IID_IInputObject, reinterpret_cast<void**>(&input)), S_OK);
  EXPECT_EQ(input->AddRef(), 3u);
  EXPECT_EQ(input->Release(), 2u);
  EXPECT_EQ(static_cast<IPersistStream*>(object)->Release(), 1u);
  EXPECT_EQ(g_live, 1);
  EXPECT_EQ(input->Release(), 0u);  // through a second interface: the whole object goes
  EXPECT_EQ(g_live, 0);
}

TEST(ComObject, AnObjectMayNarrowWhatItAnswers) {
  for (bool focusable : {false, true}) {
    SCOPED_TRACE(focusable);
    ComPtr<IPersistStream> keeper = ComPtr<IPersistStream>::Attach(new Keeper(focusable));
    ComPtr<IInputObject> input;
    EXPECT_EQ(keeper.As(IID_IInputObject, &input), focusable ? S_OK : E_NOINTERFACE);
    EXPECT_EQ(static_cast<bool>(input), focusable);
    ComPtr<IPersist> persist;
    EXPECT_EQ(keeper.As(IID_IPersist, &persist), S_OK);
  }
}

TEST(ComObject, SharedCountsHoldAcrossThreads) {
  auto* keeper = new Keeper(true);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([keeper] {
      for (int i = 0; i < 20000; ++i) {
        keeper->AddRef();
        keeper->Release();
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(keeper->AddRef(), 2u);
  keeper->Release();
  EXPECT_EQ(keeper->Release(), 0u);
}

TEST(ComObject, CreateObjectGivesBackTheConstructionReference) {
  g_live = 0;
  IPersist* persist = nullptr;
  ASSERT_EQ(platform::com::CreateObject<Docked>(IID_IPersist, reinterpret_cast<void**>(&persist)),
            S_OK);
  EXPECT_EQ(g_live, 1);
  EXPECT_EQ(persist->Release(), 0u);
  EXPECT_EQ(g_live, 0);
  // A query the object does not answer leaves nothing alive.
  void* out = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(platform::com::CreateObject<Docked>(IID_IDeskBand, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(g_live, 0);
  EXPECT_EQ(platform::com::CreateObject<Docked>(IID_IUnknown, nullptr), E_POINTER);
  EXPECT_EQ(g_live, 0);
}

}  // namespace
