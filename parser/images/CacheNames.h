// Names under which fetched images are remembered for a book, and the cache files that hold
// their bytes. The cache name is a key only, never a file name.
#pragma once

#include <string>

// cacheDir + "__cash[depth]" + address with \ * ? " < > | : as @ and / % & as +.
std::u16string ImageCacheName(const std::u16string& cacheDir, int depth,
                              const std::u16string& address);
// cacheDir + "__cash[depth]index%05d.tmp" of the (negative) search result of a new image, so
// the first image of a book at depth 0 is "__cash[0]index-0001.tmp".
std::u16string ImageCacheFile(const std::u16string& cacheDir, int depth, int missingIndex);
