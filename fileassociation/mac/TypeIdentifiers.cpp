#include "fileassociation/mac/TypeIdentifiers.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>

namespace macassoc::TypeIdentifiers {
namespace {

using TableRow = std::pair<std::string_view, std::string_view>;

constexpr auto kPublicIdentifiers = std::to_array<TableRow>({
    // documents
    {"odt", "org.oasis-open.opendocument.text"},
    {"ott", "org.oasis-open.opendocument.text-template"},
    {"docx", "org.openxmlformats.wordprocessingml.document"},
    {"rtf", "public.rtf"},
    // spreadsheets
    {"ods", "org.oasis-open.opendocument.spreadsheet"},
    {"ots", "org.oasis-open.opendocument.spreadsheet-template"},
    {"xlsx", "org.openxmlformats.spreadsheetml.sheet"},
    {"csv", "public.comma-separated-values-text"},
    {"tsv", "public.tab-separated-values-text"},
    // presentations
    {"odp", "org.oasis-open.opendocument.presentation"},
    {"otp", "org.oasis-open.opendocument.presentation-template"},
    {"pptx", "org.openxmlformats.presentationml.presentation"},
    // text
    {"txt", "public.plain-text"},
    {"text", "public.plain-text"},
    {"xml", "public.xml"},
    {"json", "public.json"},
    // web
    {"html", "public.html"},
    {"htm", "public.html"},
    {"xhtml", "public.xhtml"},
    {"xht", "public.xhtml"},
    // images
    {"jpg", "public.jpeg"},
    {"jpeg", "public.jpeg"},
    {"jpe", "public.jpeg"},
    {"png", "public.png"},
    {"tif", "public.tiff"},
    {"tiff", "public.tiff"},
    {"svg", "public.svg-image"},
    {"heic", "public.heic"},
});

// Lower-case letters and digits: characters every identifier may hold.
constexpr std::string_view kDynamicAlphabet = "abcdefghkmnpqrstuvwxyz0123456789";
constexpr std::string_view kDynamicPrefix = "dyn.a";

std::string asciiLowerCase(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  });
  return lower;
}

// Base-32 of the bytes, five bits per character, most significant first, no padding.
std::string base32(std::string_view bytes) {
  std::string encoded;
  std::uint32_t buffer = 0;
  int bits = 0;
  for (unsigned char byte : bytes) {
    buffer = (buffer << 8) | byte;
    bits += 8;
    while (bits >= 5) {
      bits -= 5;
      encoded += kDynamicAlphabet[(buffer >> bits) & 0x1F];
    }
    buffer &= (1u << bits) - 1;
  }
  if (bits > 0) encoded += kDynamicAlphabet[(buffer << (5 - bits)) & 0x1F];
  return encoded;
}

}  // namespace

std::string preferredIdentifierForExtension(std::string_view extension) {
  std::string lower = asciiLowerCase(extension);
  for (const auto& [tag, identifier] : kPublicIdentifiers) {
    if (tag == lower) return std::string(identifier);
  }
  return std::string(kDynamicPrefix) + base32(lower);
}

}  // namespace macassoc::TypeIdentifiers
