// Hooks for tests of the writer: a simulated drive, a simulated crash, a shorter lock wait.
// Process-wide; pass an empty function to restore the real behaviour.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace nbk::testing {

// Free bytes on the drive that holds folder; nullopt when unknown (the check then passes).
using FreeSpaceProbe = std::function<std::optional<std::uint64_t>(const std::string& folder)>;
void SetFreeSpaceProbe(FreeSpaceProbe probe);

// Called after each write to a new book file with the bytes written so far. Returning false
// makes that write fail (as a full disk would); a test may also end the process there.
using WriteHook = std::function<bool(std::uint64_t written)>;
void SetWriteHook(WriteHook hook);

// How long Open waits for another writer to release the book (default 120 s).
void SetLockTimeout(std::chrono::milliseconds timeout);

// The largest section payload OutputAll writes (default and upper bound: the format's 256 MiB),
// so that a test can reach the limit with small pages. 0 restores the default.
void SetSectionLimit(std::uint32_t bytes);

}  // namespace nbk::testing
