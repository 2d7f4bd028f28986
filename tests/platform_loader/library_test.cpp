// Libraries opened on first use: what a missing library or symbol reports, and that libcurl
// stays out of a process until the first transfer asks for it.
#include "platform/loader/library.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "platform/inet/curl_api.h"
#include "tests/support/lazy_library.h"

namespace {

using platform::loader::Bind;
using platform::loader::OpenLibrary;

TEST(LoaderTest, MissingLibrariesAreNamedInTheError) {
  struct Case {
    const char* what;
    std::initializer_list<const char*> names;
    std::vector<std::string> inError;
  };
  const Case cases[] = {
      {"one missing", {"libnb-missing-one.so.1"}, {"libnb-missing-one.so.1"}},
      {"every candidate tried",
       {"libnb-missing-one.so.1", "/nonexistent/libnb-missing-two.so.2"},
       {"libnb-missing-one.so.1", "/nonexistent/libnb-missing-two.so.2"}},
      {"nothing to try", {}, {"no library"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string error;
    EXPECT_EQ(OpenLibrary(c.names, error), nullptr);
    for (const std::string& part : c.inError)
      EXPECT_NE(error.find(part), std::string::npos) << error;
  }
}

TEST(LoaderTest, FallsBackToTheNextCandidateAndBindsSymbols) {
  std::string error;
  void* library = OpenLibrary({"libnb-missing-one.so.1", "libm.so.6"}, error);
  ASSERT_NE(library, nullptr) << error;
  double (*cosine)(double) = nullptr;
  ASSERT_TRUE(Bind(library, "cos", cosine, error)) << error;
  EXPECT_DOUBLE_EQ(cosine(0.0), 1.0);

  void (*missing)() = nullptr;
  EXPECT_FALSE(Bind(library, "nb_no_such_function", missing, error));
  EXPECT_EQ(missing, nullptr);
  EXPECT_NE(error.find("nb_no_such_function"), std::string::npos) << error;
}

// libcurl comes into the process with the first use, not with the platform library.
TEST(LoaderTest, DISABLED_CurlProbe) {
  ASSERT_FALSE(lazy_test::Mapped(NB_CURL_SONAME)) << "linked in";
  std::string error;
  const platform::inet::CurlApi* api = platform::inet::Curl(error);
  ASSERT_NE(api, nullptr) << error;
  EXPECT_STREQ(api->easyStrerror(CURLE_OK), "No error");
  EXPECT_TRUE(lazy_test::Mapped(NB_CURL_SONAME)) << "not loaded by its first use";
}
TEST(LoaderTest, CurlLoadedAtFirstUseOnly) {
  EXPECT_EQ(lazy_test::RunProbe("LoaderTest.DISABLED_CurlProbe"), 0);
}

}  // namespace
