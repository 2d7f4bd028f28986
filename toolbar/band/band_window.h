// The band window's class, registered once per module and unregistered at process detach.
#pragma once

namespace toolbar {
inline constexpr char16_t kBandWindowClass[] = u"QuivBookToolBarEvalClass";
}
