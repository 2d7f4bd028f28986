// A page converter over the recording writer and the fake document model.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "contracts/NBKCreator.h"
#include "parser/engine/HtmlPageConverter.h"
#include "tests/parser/FakeDom.h"
#include "tests/parser/RecordingWriter.h"

namespace testing_parser {

using Calls = std::vector<std::string>;
using fakedom::Comment;
using fakedom::El;

// The calls that show the layout of a page (text, commands, blocks, rules, links, images).
inline const std::vector<std::string> kLayout = {
    "AddText",    "AddCommand", ".Write",    "AddBlock",     "SetLocation", "AddRuledLine",
    "TextButton", "SetJumpTo",  "PlotImage", "CreateObject", "ImageStream"};

// The converter with the internals the engine's tests look at or drive directly.
class InspectableConverter : public CHtmlPageConverter {
 public:
  using CHtmlPageConverter::AddImage;
  using CHtmlPageConverter::CloseTextBlock;
  using CHtmlPageConverter::FindCachedImage;
  using CHtmlPageConverter::OpenTextBlock;
  using CHtmlPageConverter::WalkNode;

  using CHtmlPageConverter::m_linkAnchors;
  using CHtmlPageConverter::m_nDepth;
  using CHtmlPageConverter::m_pPage;
  using CHtmlPageConverter::m_pTextBlock;
  using CHtmlPageConverter::m_pTextObject;
  using CHtmlPageConverter::m_strCacheDir;
  using CHtmlPageConverter::m_strObject;
  using CHtmlPageConverter::m_strScheme;
  using CHtmlPageConverter::m_strServer;
  using CHtmlPageConverter::m_styleReader;
};

struct Markers {
  std::u16string start, end, exceptStart, exceptEnd;
};

class ConverterTest : public testing::Test {
 protected:
  void SetUp() override {
    recording::Reset();
    fakedom::ResetReferences();
    book_ = std::make_unique<CNBKBook>();
    Fresh();
  }
  void Fresh() {
    conv_ = std::make_unique<InspectableConverter>();
    conv_->SetBook(book_.get());
    conv_->SetImageNames(&names_);
    conv_->SetImageStreams(&streams_);
  }
  void SetMarkers(const Markers& m) {
    conv_->SetStartComment(m.start);
    conv_->SetEndComment(m.end);
    conv_->SetStartExceptComment(m.exceptStart);
    conv_->SetEndExceptComment(m.exceptEnd);
  }
  // Converts the document at depth 0 and checks what every conversion must leave behind.
  int Convert(fakedom::DocSpec spec) {
    doc_ = fakedom::Doc(std::move(spec));
    int r = conv_->AddDocument(fakedom::AsDocument(doc_), 0);
    EXPECT_EQ(conv_->m_styleReader.Depth(), 0u) << "style stack out of step with the nesting";
    EXPECT_EQ(fakedom::OutstandingReferences(), 0) << "interfaces not released exactly once";
    EXPECT_TRUE(conv_->m_linkAnchors.empty());
    return r;
  }
  Calls Layout() const { return recording::Only(kLayout); }

  std::unique_ptr<CNBKBook> book_;
  std::unique_ptr<InspectableConverter> conv_;
  std::vector<std::u16string> names_;
  std::vector<CNBKImageStreamObject*> streams_;
  std::shared_ptr<fakedom::Document> doc_;
};

}  // namespace testing_parser
