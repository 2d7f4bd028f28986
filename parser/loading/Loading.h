// Loading a page from an address into a document of its own, and telling which character set
// its bytes are in. CHtmlPageConverter::LoadAndAddDocument (declared with the converter) is
// built on these; the converter passes its m_nCodePage where a code is read or set.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "parser/facade/PageLoading.h"
#include "platform/com/types.h"

class CFile;
class CHttpFile;
class CStdioFile;
struct IHTMLDocument2;

// The character set of a downloaded page, as the converter keeps it in m_nCodePage.
using CharsetCode = int;
constexpr CharsetCode kCharsetUnknown = 0;
constexpr CharsetCode kCharsetShiftJis = 1;
constexpr CharsetCode kCharsetEucJp = 2;
constexpr CharsetCode kCharsetJis = 3;
constexpr CharsetCode kCharsetUnicode = 16;  // UTF-16, little-endian as on the reader's PCs
constexpr CharsetCode kCharsetUtf8 = 17;

// The code of a charset name ("Shift_JIS", "euc-jp", "UTF-8", ...), found by the words it
// contains after upper-casing; 0 when none is recognised (also for NULL or an empty name).
CharsetCode CharsetCodeFromName(const unsigned short* name);
CharsetCode CharsetCodeFromName(std::u16string_view name);

// The code of the charset named in an HTTP response's Content-Type header; 0 when the header
// is absent or names none; -1 when no file is given.
CharsetCode CharsetCodeFromHttpHeader(CHttpFile* file);

// The charset name declared in one chunk of a page (taken as text), or nothing when the
// chunk holds no "charset"/"CHARSET" at a position above 0 followed by a name. Both
// `content="text/html; charset=EUC-JP"` and `<meta charset="utf-8">` are read.
std::optional<std::u16string> CharsetNameInChunk(std::u16string_view chunk);

// Byte converters to Shift_JIS. Both read a zero-terminated byte string and write a
// zero-terminated one; out must hold 2 * strlen(in) + 1 bytes. Returns the bytes written
// without the terminator.
std::size_t EucToShiftJis(char* out, const char* in);
std::size_t JisToShiftJis(char* out, const char* in);

// The page's bytes as text, decoded by its charset code (anything unknown as the system ANSI
// code page). Decoding stops at the first zero byte (zero character for UTF-16); a UTF-8 page
// loses its line feeds.
std::u16string DecodePage(std::string_view bytes, CharsetCode code);

// A page read into memory larger than this is refused. NUBRA_PAGE_MAX_BYTES overrides the
// default of 32 MiB.
std::size_t MaxPageBytes();

// Copies source into the cache file in chunks of 8192 bytes; while codePage is 0, each chunk
// (taken as system ANSI text) is searched by itself for a charset name, and a name sets
// codePage to its code. Returns 0; -1 when there is no source, when a read fails (after the
// message box "Failed") or when the page is larger than MaxPageBytes() (after a message box
// that says so); NBP_ERR_PAGE_CUT when the cache file cannot be written whole.
int CopyToCache(CFile& cache, CStdioFile* source, int& codePage);

// A new document (design mode on, so nothing of the page runs) holding the cache file's text
// decoded by codePage; NULL when no document can be made. Owned by the caller.
IHTMLDocument2* CreateDocumentFromFile(CFile& cache, int codePage);

// Reads the whole cache file, decodes it by codePage and writes it into doc with one writeln.
// -1 for no document, else 0.
int WriteFileToDocument(CFile& cache, IHTMLDocument2* doc, int codePage);
