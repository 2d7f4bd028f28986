// Shared libraries opened on first use instead of linked into every process: a conversion of a
// local page should not pay at start-up for the network and SVG libraries and the dozens of
// libraries they pull in.
#pragma once

#include <initializer_list>
#include <string>

namespace platform::loader {

// Opens the first of names that loads (a soname, or a path as a fallback). On failure returns
// null and says why in error: every name tried and what the dynamic loader answered.
void* OpenLibrary(std::initializer_list<const char*> names, std::string& error);

// The address of symbol in library, or null with the reason appended to error.
void* FindSymbol(void* library, const char* symbol, std::string& error);

// Sets fn to symbol in library; false (and the reason in error) when it is missing.
template <typename Fn>
bool Bind(void* library, const char* symbol, Fn& fn, std::string& error) {
  fn = reinterpret_cast<Fn>(FindSymbol(library, symbol, error));
  return fn != nullptr;
}

}  // namespace platform::loader
