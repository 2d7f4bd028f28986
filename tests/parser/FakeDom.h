// A small document model for the engine's unit tests: trees built in code, with exactly the
// text runs, computed styles and attributes a test gives, and reference counts that a test can
// check for balance after a conversion.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/mshtml/mshtml.h"

namespace fakedom {

class Element;
using Props = std::map<std::string, std::string>;

// A child of an element: a run of text or an element.
struct Item {
  Item(const char* text) : text(text) {}
  Item(std::string t) : text(std::move(t)) {}
  Item(std::shared_ptr<Element> e) : element(std::move(e)) {}
  std::string text;
  std::shared_ptr<Element> element;
};

// tag: upper case ("P"); props: attributes ("id", "href", "src", "name", "size") and computed
// style properties by their CSS names ("font-size", "color", "display", ...). Unlike the real
// model, a style property the test does not give reads as unset, neither inherited nor initial
// (display excepted: it defaults by tag); a test gives what the engine must see.
std::shared_ptr<Element> El(const std::string& tag, Props props, std::vector<Item> children);
std::shared_ptr<Element> El(const std::string& tag, std::vector<Item> children = {});
// A comment whose text is "<!--" + inside + "-->".
std::shared_ptr<Element> Comment(const std::string& inside);

class Document;
struct DocSpec {
  std::string url = "http://example.com/dir/page.html";
  std::string title = "Title";
  std::vector<Item> body;
  std::vector<std::string> styleSheets;  // hrefs as written
  std::vector<std::shared_ptr<Document>> frames;
  bool framesFail = false;
  int styleSheetFalseCount = 0;  // createStyleSheet answers S_FALSE this many times
};
std::shared_ptr<Document> Doc(DocSpec spec);
// Shows frame in one more frame of doc (a document may show itself).
void AddFrame(const std::shared_ptr<Document>& doc, const std::shared_ptr<Document>& frame);
IHTMLElement* AsElement(const std::shared_ptr<Element>& element);
IHTMLDocument2* AsDocument(const std::shared_ptr<Document>& doc);
// The addresses given to createStyleSheet, in order.
const std::vector<std::string>& CreatedStyleSheets(const std::shared_ptr<Document>& doc);

// A computed style with these properties ("int:0x123" gives a VT_I4 value); lives as long as
// the test program.
IHTMLCurrentStyle* Styled(Props props);

// References taken and not given back, over every object made since the last reset.
long OutstandingReferences();
void ResetReferences();

}  // namespace fakedom
