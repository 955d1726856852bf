// The names under which the natives are exported.
//
// A 32-bit JVM looks a native up by its decorated standard-call name,
// "_Java_<class>_<method>@<argument bytes>", which is how a Windows compiler exports a __stdcall
// function. MinGW's linker drops the leading underscore of every exported symbol and so would
// export "Java_<class>_<method>@<bytes>". On i686 each native is therefore given its decorated
// name as its symbol, and a second symbol with one more underscore tells the linker the name to
// export. The byte count is checked against the declaration that javac generated, so the name
// cannot drift from the argument frame. x86_64 has one calling convention and exports the plain
// JNI names.
#pragma once

#include "com_norq_pelora_fileassociation_w32_WindowsRegisterHelper.h"

#define VONDRA_NATIVE(method) Java_com_norq_pelora_fileassociation_w32_WindowsRegisterHelper_##method
#define VONDRA_QUOTE(text) VONDRA_QUOTE_EXPANDED(text)
#define VONDRA_QUOTE_EXPANDED(text) #text

#if defined(__i386__)

namespace vondra {

// Bytes a __stdcall function takes off the stack: every argument fills whole 4-byte slots.
template <class Result, class... Arguments>
constexpr int stdcallArgumentBytes(Result(__stdcall*)(Arguments...)) {
  return (0 + ... + static_cast<int>((sizeof(Arguments) + 3) / 4 * 4));
}

}  // namespace vondra

#define VONDRA_DECORATED(method, bytes) "_" VONDRA_QUOTE(VONDRA_NATIVE(method)) "@" #bytes

#define VONDRA_EXPORT(method, bytes)                                                     \
  extern "C" JNIEXPORT decltype(VONDRA_NATIVE(method)) VONDRA_NATIVE(method)             \
      __asm__(VONDRA_DECORATED(method, bytes));                                          \
  static_assert(vondra::stdcallArgumentBytes(&VONDRA_NATIVE(method)) == (bytes),         \
                "the decorated name of " #method " must carry its argument bytes");      \
  __asm__(".globl _" VONDRA_DECORATED(method, bytes) "\n\t.set _" VONDRA_DECORATED(      \
      method, bytes) ", " VONDRA_DECORATED(method, bytes))

#else

#define VONDRA_EXPORT(method, bytes) static_assert((bytes) > 0)

#endif
