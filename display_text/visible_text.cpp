#include "visible_text.h"

#include <cstddef>
#include <cstdint>

namespace display_text {
namespace {

bool Continuation(uint8_t byte) { return (byte & 0xC0) == 0x80; }

}  // namespace

size_t Utf8SequenceLength(std::string_view text, size_t at) {
  auto byte = [&](size_t i) { return static_cast<uint8_t>(text[at + i]); };
  uint8_t lead = byte(0);
  size_t length;
  uint8_t low = 0x80, high = 0xBF;  // allowed range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (text.size() - at < length) return 0;
  if (byte(1) < low || byte(1) > high) return 0;
  for (size_t i = 2; i < length; ++i)
    if (!Continuation(byte(i))) return 0;
  return length;
}

namespace {

void AppendEscaped(std::string& out, uint8_t byte) {
  static constexpr char kDigits[] = "0123456789abcdef";
  out += "\\x";
  out += kDigits[byte >> 4];
  out += kDigits[byte & 0x0F];
}

}  // namespace

std::string VisibleText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t at = 0; at < text.size();) {
    auto byte = static_cast<uint8_t>(text[at]);
    if (byte < 0x80) {
      if (byte < 0x20 || byte == 0x7F) {
        AppendEscaped(out, byte);
      } else if (byte == '\\') {
        out += "\\\\";
      } else {
        out += static_cast<char>(byte);
      }
      ++at;
      continue;
    }
    size_t length = Utf8SequenceLength(text, at);
    if (length == 0) {
      AppendEscaped(out, byte);
      ++at;
      continue;
    }
    // U+0080..U+009F: some terminals take these as controls (U+009B starts
    // a control sequence).
    bool c1 = byte == 0xC2 && static_cast<uint8_t>(text[at + 1]) <= 0x9F;
    for (size_t i = 0; i < length; ++i) {
      if (c1) {
        AppendEscaped(out, static_cast<uint8_t>(text[at + i]));
      } else {
        out += text[at + i];
      }
    }
    at += length;
  }
  return out;
}

bool IsWellFormedUtf8(std::string_view text) {
  for (size_t at = 0; at < text.size();) {
    if (static_cast<uint8_t>(text[at]) < 0x80) {
      ++at;
      continue;
    }
    size_t length = Utf8SequenceLength(text, at);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

std::string ModuleTextAsUtf8(std::string_view text) {
  if (IsWellFormedUtf8(text)) return std::string(text);
  std::string out;
  out.reserve(text.size() * 2);
  for (char c : text) {
    auto byte = static_cast<uint8_t>(c);
    if (byte < 0x80) {
      out += c;
    } else {
      out += static_cast<char>(0xC0 | byte >> 6);
      out += static_cast<char>(0x80 | (byte & 0x3F));
    }
  }
  return out;
}

}  // namespace display_text
