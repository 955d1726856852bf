#pragma once
// A UTF-8 text in another charset, through the C library's iconv.
#include <iconv.h>

#include <optional>
#include <string>

namespace testing_support {

// None when a character does not fit the charset.
inline std::optional<std::string> iconvFromUtf8(const std::string& utf8, const char* to) {
  iconv_t converter = ::iconv_open(to, "UTF-8");
  if (converter == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string out(utf8.size() * 4 + 16, '\0');
  char* in = const_cast<char*>(utf8.data());
  std::size_t inLeft = utf8.size();
  char* outAt = out.data();
  std::size_t outLeft = out.size();
  const bool ok = ::iconv(converter, &in, &inLeft, &outAt, &outLeft) != static_cast<size_t>(-1) &&
                  ::iconv(converter, nullptr, nullptr, &outAt, &outLeft) != static_cast<size_t>(-1);
  ::iconv_close(converter);
  if (!ok) return std::nullopt;
  out.resize(out.size() - outLeft);
  return out;
}

}  // namespace testing_support
