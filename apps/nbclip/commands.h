// The subcommands of nbclip. Each takes the arguments after its name and returns the exit
// status (0 success, 1 failure, 2 bad arguments). To add one: write it in its own .cpp file,
// declare it here and add a line to the table in main.cpp.
#pragma once

#include <span>
#include <string_view>

namespace nbclip {

using Args = std::span<const std::string_view>;

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

int RunDump(Args args);
int RunConvert(Args args);
int RunView(Args args);
int RunRegister(Args args);
int RunUnregister(Args args);
int RunToolbar(Args args);
// The toolbar's buttons, pressed in the browser window (toolbar_commands.cpp, shell.cpp).
int RunAdd(Args args);
int RunOpen(Args args);
int RunHelp(Args args);
int RunBooks(Args args);
int RunShell(Args args);
// The browser extension's host and its installation (native_host.cpp, install_extension.cpp).
int RunNativeHost(Args args);
int RunInstallExtension(Args args);

}  // namespace nbclip
