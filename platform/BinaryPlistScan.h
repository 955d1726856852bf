#pragma once
// A look at a binary property list before libplist 2.2 reads it: that version aborts the
// process (a failed assert) when a dictionary key it decoded from UTF-16 holds a NUL
// character, so such input must never reach it.
#include <string_view>

namespace platform {

// True when some UTF-16 string object of the binary property list holds a U+0000 unit.
// Structural damage is not judged here (libplist refuses it); such input gives false.
bool binaryPlistHasUtf16Nul(std::string_view bytes);

}  // namespace platform
