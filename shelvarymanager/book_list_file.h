// The book list's file: its XML form, loading, atomic saving, setting a damaged file aside, and
// the lock that keeps two writers apart.
//
// The form (UTF-8):
//   <?xml version="1.0" encoding="UTF-8"?>
//   <ShelvaryList version="1">
//     <Book title="..." titleRead="..." author="..." authorRead="..." bookID="..."
//           nbkFile="..." designFile="..."/>
//   </ShelvaryList>
// Books are in list order. A missing attribute reads as empty; unknown elements and attributes
// are ignored, so a later version can add to the form.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "contracts/ShelvaryManager.h"
#include "platform/files/files.h"

namespace shelvary {

using BookList = std::vector<CShelvaryInfo>;

std::string SerializeBookList(const BookList& books);

enum class ParseStatus {
  kOk,
  kEmpty,    // nothing but white space: a list nobody has written yet
  kDamaged,  // not XML, or not a book list
};
struct ParseResult {
  ParseStatus status = ParseStatus::kEmpty;
  BookList books;
  std::string error;  // what is wrong, for kDamaged
};
ParseResult ParseBookList(std::string_view bytes);

// The system calls a save makes, so that a test can make any of them fail.
using FileOps = platform::files::FileCalls;

enum class LoadStatus { kOk, kEmpty, kMissing, kDamaged, kIoError };
struct LoadResult {
  LoadStatus status = LoadStatus::kMissing;
  BookList books;
  std::string error;
};
LoadResult LoadBookListFile(const std::string& path);

// Writes the list beside the file, flushes it and renames it over the file: afterwards the file
// holds the old list or the new one, never a part. Returns false (errno set) on failure, having
// removed what it wrote beside.
bool SaveBookListFile(const std::string& path, const BookList& books,
                      FileOps& ops = FileOps::System());

// Renames the file to "<path>.damaged-<UTC time>", adding "-1", "-2", ... rather than replacing
// anything already there. Returns the new name, or "" when the file could not be moved.
std::string MoveAside(const std::string& path);

// The file a list path names: a symbolic link is followed, so that saving (a rename over the
// path) updates the file the user linked to instead of replacing the link.
std::string ResolveListPath(const std::string& path);

// Creates the folders of path (not the last component). Failure is left to the caller's next
// step to notice.
void CreateParentFolders(const std::string& path);

// An exclusive lock on "<list path>.lock", held for the object's life. Waits up to timeoutMs
// for another holder to let go.
class FileLock : public platform::files::FileLock {
 public:
  explicit FileLock(const std::string& listPath, int timeoutMs = 10000)
      : platform::files::FileLock(listPath + ".lock", std::chrono::milliseconds(timeoutMs)) {}
};

}  // namespace shelvary
