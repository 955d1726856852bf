#include "platform/XmlPlistWriter.h"

#include <charconv>
#include <cmath>
#include <string_view>

#include "platform/LibplistInputCheck.h"
#include "platform/PlistDateText.h"

namespace platform {
namespace {

constexpr std::string_view kHeader =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
    "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
    "<plist version=\"1.0\">\n";
constexpr size_t kBase64LineLength = 68;

bool isXmlChar(char32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
         (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// True when the text is valid UTF-8 made only of characters an XML document may hold.
bool isXmlText(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3
                                   : (lead >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || i + length > text.size()) return false;
    char32_t c = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      c = (c << 6) | (next & 0x3F);
    }
    const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < smallest[length] || !isXmlChar(c)) return false;
    i += length;
  }
  return true;
}

class Writer {
 public:
  bool value(const PlistValue& item, int depth) {
    if (depth > kMaxPlistNesting) return false;
    switch (item.type()) {
      case PlistValue::Type::String:
        return text("string", *item.asString(), depth);
      case PlistValue::Type::Integer:
        return line(depth, "<integer>" + std::to_string(*item.asInteger()) + "</integer>");
      case PlistValue::Type::UnsignedInteger:
        return line(depth, "<integer>" + std::to_string(*item.asUnsignedInteger()) + "</integer>");
      case PlistValue::Type::Real:
        return line(depth, "<real>" + realText(*item.asReal()) + "</real>");
      case PlistValue::Type::Boolean:
        return line(depth, *item.asBoolean() ? "<true/>" : "<false/>");
      case PlistValue::Type::Date: {
        const auto date = dateToXmlText(*item.asDate());
        return date && line(depth, "<date>" + *date + "</date>");
      }
      case PlistValue::Type::Data:
        return data(*item.asData(), depth);
      case PlistValue::Type::Array:
        return array(*item.asArray(), depth);
      case PlistValue::Type::Dictionary:
        return dictionary(*item.asDictionary(), depth);
    }
    return false;
  }

  std::string& out() { return out_; }

 private:
  bool line(int depth, std::string_view content) {
    out_.append(static_cast<size_t>(depth), '\t');
    out_ += content;
    out_ += '\n';
    return true;
  }

  bool text(std::string_view element, std::string_view content, int depth) {
    if (!isXmlText(content)) return false;
    std::string escaped;
    for (char c : content) {
      switch (c) {
        case '&': escaped += "&amp;"; break;
        case '<': escaped += "&lt;"; break;
        case '>': escaped += "&gt;"; break;
        case '\r': escaped += "&#13;"; break;
        default: escaped += c;
      }
    }
    return line(depth, "<" + std::string(element) + ">" + escaped + "</" + std::string(element) + ">");
  }

  // The shortest text that reads back as the same double; "-0.0", "inf", "-inf", "nan" kept.
  static std::string realText(double number) {
    if (std::isnan(number)) return "nan";
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, number);
    std::string text(buffer, result.ptr);
    if (text == "-0") return "-0.0";
    return text;
  }

  bool data(const PlistData& bytes, int depth) {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string encoded;
    for (size_t i = 0; i < bytes.size(); i += 3) {
      const size_t n = std::min<size_t>(3, bytes.size() - i);
      std::uint32_t group = bytes[i] << 16;
      if (n > 1) group |= bytes[i + 1] << 8;
      if (n > 2) group |= bytes[i + 2];
      for (size_t k = 0; k < 4; ++k) {
        encoded += k <= n ? kAlphabet[(group >> (18 - 6 * k)) & 0x3F] : '=';
      }
    }
    line(depth, "<data>");
    for (size_t at = 0; at < encoded.size(); at += kBase64LineLength) {
      line(depth, std::string_view(encoded).substr(at, kBase64LineLength));
    }
    return line(depth, "</data>");
  }

  bool array(const PlistArray& items, int depth) {
    if (items.empty()) return line(depth, "<array/>");
    line(depth, "<array>");
    for (const PlistValue& item : items) {
      if (!value(item, depth + 1)) return false;
    }
    return line(depth, "</array>");
  }

  bool dictionary(const PlistDictionary& items, int depth) {
    if (items.empty()) return line(depth, "<dict/>");
    line(depth, "<dict>");
    for (const auto& [key, item] : items) {
      if (!text("key", key, depth + 1) || !value(item, depth + 1)) return false;
    }
    return line(depth, "</dict>");
  }

  std::string out_;
};

}  // namespace

std::optional<std::string> toXmlPlist(const PlistValue& value) {
  Writer writer;
  writer.out() = kHeader;
  if (!writer.value(value, 0)) return std::nullopt;
  writer.out() += "</plist>\n";
  return std::move(writer.out());
}

}  // namespace platform
