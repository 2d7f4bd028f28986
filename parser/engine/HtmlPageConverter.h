// The converter of one AddPage call: configured, run once through AddDocument (or
// LoadAndAddDocument) and deleted by CNBParser::AddPage. That is all a caller sees.
//
// Behind it is the state of the conversion (the book, the page and text block being filled, the
// document's address for relative references, the comment markers, the anchors of internal
// links, the book's cached images) and its steps, spread over the engine's sources by subject
// (document entry, walker, text blocks, element handlers, links, images, loading). They are
// protected so that the engine's tests can reach them through a subclass; nothing outside the
// library sees this class.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "contracts/NBKCreator.h"
#include "parser/style/StyleReader.h"
#include "platform/mshtml/element_views.h"
#include "platform/mshtml/mshtml.h"

class CInternetSession;
class CLinkAnchor;
class PageBudget;

// The scheme prefix ("http://") of a service type of the URL parser; empty for unknown types.
std::u16string SchemePrefix(DWORD serviceType);

// A run of text as it is gathered: one blank kept on each side where it had blanks or tabs,
// nothing for a run of blanks and tabs only, no-break spaces as blanks.
std::u16string NormalizeRun(std::u16string run);
// NormalizeRun on the part of s from from on, in place; what stands before it is left alone.
void NormalizeTail(std::u16string& s, std::size_t from);

// The tags the element handlers tell apart; kBlock stands for the blocks without a role of
// their own.
enum class ElementTag : unsigned char {
  kOther,
  kBlock,
  kOl,
  kUl,
  kLi,
  kHr,
  kNoscript,
  kTemplate,
  kA,
  kBr,
  kI,
  kImg,
  kTr,
  kTh,
  kTd,
  kRuby,
  kRb,
  kEndRb,
  kRt,
  kRp
};

class CHtmlPageConverter {
 public:
  CHtmlPageConverter();
  virtual ~CHtmlPageConverter();
  CHtmlPageConverter(const CHtmlPageConverter&) = delete;
  CHtmlPageConverter& operator=(const CHtmlPageConverter&) = delete;

  // Configuration, right after construction.
  void SetBook(CNBKBook* book) { m_pBook = book; }
  void SetToc(CNBKTocObject* toc) { m_pToc = toc; }
  void SetTocTitle(const unsigned short* title);
  void SetMaxDepth(int depth) { m_nMaxDepth = depth; }
  void SetSession(CInternetSession* session) { m_pSession = session; }
  void SetStartComment(const std::u16string& s) { m_strStartComment = s; }
  void SetEndComment(const std::u16string& s) { m_strEndComment = s; }
  void SetStartExceptComment(const std::u16string& s) { m_strStartExceptComment = s; }
  void SetEndExceptComment(const std::u16string& s) { m_strEndExceptComment = s; }
  void SetDivID(const std::u16string& s) { m_strDivID = s; }
  void SetCacheDir(const std::u16string& s) { m_strCacheDir = s; }
  void SetImageNames(std::vector<std::u16string>* names) { m_pImageNames = names; }
  void SetImageStreams(std::vector<CNBKImageStreamObject*>* streams) { m_pImageStreams = streams; }
  // The page's bounds and progress (not owned); NULL: no bounds, nothing told.
  void SetBudget(PageBudget* budget) { m_pBudget = budget; }

  // Document entry: one page (made on the first call) with its table-of-contents entry, the
  // document and its frames converted onto it. -1 when depth is above the maximum, doc is NULL
  // or its address cannot be had or parsed; else 0.
  int AddDocument(IHTMLDocument2* doc, int depth);
  // Loads an address into a document of its own and converts it (the page loading code).
  int LoadAndAddDocument(const unsigned short* url, int depth);

  // The marker comments as configured; the walker's comment test reads them.
  std::u16string m_strStartComment;
  std::u16string m_strEndComment;
  std::u16string m_strStartExceptComment;
  std::u16string m_strEndExceptComment;

 protected:
  // Document and frames.
  int ConvertDocumentTree(IHTMLDocument2* doc, int depth);
  int ConvertDocument(IHTMLDocument2* doc);
  void ReAddStyleSheets(IHTMLDocument2* doc);
  void ConvertBodyChildren(IHTMLElement* body);
  void ConvertDivsById(IHTMLElement* body);
  void FinishOpenTextBlock();

  // The walker: the element and its subtree, honouring the marker comments. -1 for a NULL node,
  // -2 for a node that is no element; else 0.
  int WalkNode(IDispatch* node);

  // What the handlers read of one element, read once for its start and its end: its second
  // interface, its style, the model's views when it lends them, and its tag.
  struct ElementFacts {
    ComPtr<IHTMLElement2> element2;
    ComPtr<IElementViews> views;
    CElementStyle style;
    ElementTag tag = ElementTag::kOther;
    bool tagRead = false;
    bool tagFailed = false;
    // Reads the tag at the first call; false when the element gives none.
    bool ReadTag(IHTMLElement* element);
  };

  // Element handlers, before and after an element's children; the end is given what the start
  // read into facts.
  int StartElement(IDispatch* node, IHTMLElement* element, ElementFacts& facts);
  int EndElement(IDispatch* node, IHTMLElement* element, ElementFacts& facts);
  int BeginInlineStyle(IHTMLElement* element);
  // Whether the element's inner text holds anything but white space.
  static bool HasShownText(IHTMLElement* element);
  int AddHorizontalRule(IDispatch* node, const CElementStyle& style);

  // Text runs and text blocks. A run is gathered as the page shows it: with its container's
  // white-space preserved (blanks as no-break spaces, which are never trimmed), else collapsed.
  // The run is lent by views when given, else read from element through getAdjacentText.
  void CollectAdjacentText(IElementViews* views, IHTMLElement2* element, AdjacentPlace where,
                           bool preserve = false);
  void FlushPendingText();
  // Adds text to the open text object: a blank between two pieces of text on a line, none at
  // the start or end of a block or line; each line feed as the line-break command.
  void AppendText(const std::u16string& text);
  // The line-break command; the next text starts a line.
  void AddLineBreak();
  // A table row is a line of its own: the line written, and the next text starts a line.
  void EndTableRowLine();
  // Before an inline image or a button that follows text: the blank owed to the text before.
  void PayOwedBlank();
  // withMargin: the element's top margin sets the page location first (its first block).
  int OpenTextBlock(IHTMLCurrentStyle* style, bool withMargin = true);
  int OpenTextBlock(const CElementStyle& style, bool withMargin = true);
  int CloseTextBlock();
  // Loose text before a block, a rule or the end of an element: a block of its own, in its
  // place, with the style of the element it stands in: ownStyle, the top record's computed
  // style, or NULL for the enclosing record's.
  void PlaceLooseText(const CElementStyle& ownStyle);
  // Every block placed on the page goes through here, so that targets waiting for a block
  // (names and ids met where no text block was open) land on it.
  void PlaceBlock(CNBKBlockObject* block);

  // Internal links.
  CLinkAnchor* FindOrCreateAnchor(const std::u16string& name);
  void DeleteAnchors();
  void HandleAnchor(IDispatch* node);
  // An element's id (any element) or an A's name: a target at the next block placed.
  void MarkTarget(const std::u16string& name);
  // Targets still waiting at the end of a document go to the last block placed.
  void SettlePendingTargets();
  // The link address without the document's own address (or its downloaded copy's) in front.
  // A view into href.
  std::u16string_view StripOwnAddress(std::u16string_view href) const;

  // Images.
  int AddImage(IDispatch* node, IHTMLElement* element);
  // The alternative text of an image that could not be placed, as text in its place.
  void AddAltText(IHTMLElement* element);
  int FindCachedImage(const std::u16string& cacheName) const;
  int IsImageAlone(IHTMLElement* element);
  IHTMLElement* FindEnclosingBlock(IHTMLElement* element);
  void PlaceImage(CNBKImageObject* image, CNBKImageBlock* block, IHTMLElement* element);

  std::u16string m_strDivID;
  std::u16string m_strTocTitle;
  CStyleReader m_styleReader;
  std::u16string m_strPendingText;
  std::u16string m_strPiece;  // AppendText's, kept for its storage
  CNBKTocObject* m_pToc = nullptr;
  std::u16string m_strObject;
  std::u16string m_strServer;
  CNBKTextObject* m_pTextObject = nullptr;
  CNBKBlockObject* m_pTextBlock = nullptr;
  CNBKBook* m_pBook = nullptr;
  CInternetSession* m_pSession = nullptr;
  CNBKPageObject* m_pPage = nullptr;
  std::vector<CLinkAnchor*> m_linkAnchors;
  std::unordered_map<std::u16string, CLinkAnchor*> m_anchorIndex;
  std::u16string m_strScheme;
  ComPtr<IHTMLStyleSheetsCollection> m_pStyleSheets;
  std::u16string m_strCacheDir = u"cash\\";
  BOOL m_bOutputOn = 0;
  BOOL m_bInExcept = 0;
  int m_nDepth = 0;
  std::vector<CNBKImageStreamObject*>* m_pImageStreams = nullptr;
  std::vector<std::u16string>* m_pImageNames = nullptr;
  int m_nCodePage = 0;
  int m_nMaxDepth = 0;
  PageBudget* m_pBudget = nullptr;
  // Whether the page being converted is a local file: only such a page may reach local files.
  bool FromLocalFile() const { return m_strScheme == u"file://"; }

  // Text flow of the open text object: a blank is owed before the next text on the line, and
  // whether the line (or block) has nothing yet.
  bool m_bBlankOwed = false;
  bool m_bAtLineStart = true;
  // Above 0 inside content that is not shown (display:none, hidden, NOSCRIPT, TEMPLATE).
  int m_nHiddenDepth = 0;
  // The lists open around the walk, for the markers of their items, and the marker of an item
  // that has not met its first text yet.
  struct ListLevel {
    bool ordered = false;
    long next = 1;
  };
  std::vector<ListLevel> m_lists;
  std::u16string m_strItemMarker;
  // Targets that wait for the next block placed, and the last block placed.
  std::vector<CLinkAnchor*> m_pendingTargets;
  CNBKBlockObject* m_pLastBlock = nullptr;
  // Images placed so far (block or inline), so the caller can tell whether one was.
  int m_nImagesPlaced = 0;
};
