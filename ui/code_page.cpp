#include "ui/code_page.h"

#include <array>

namespace {

// 0x80 to 0x9F differ from Latin-1; the five holes (0x81, 0x8D, 0x8F, 0x90,
// 0x9D) are mapped to the C1 controls of the same number, as Windows does.
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

char16_t Decode(unsigned char byte) {
  if (byte >= 0x80 && byte <= 0x9F) return kHigh[byte - 0x80];
  return byte;
}

}  // namespace

std::optional<char> ToCodePage(QChar ch) {
  const char16_t u = ch.unicode();
  if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) return static_cast<char>(u);
  for (std::size_t i = 0; i < kHigh.size(); ++i) {
    if (kHigh[i] == u) return static_cast<char>(0x80 + i);
  }
  return std::nullopt;
}

std::string ToCodePage(const QString& text) {
  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(text.size()));
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar ch = text.at(i);
    // A character beyond the Basic Multilingual Plane is one unknown character,
    // not two.
    if (ch.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) ++i;
    bytes += ToCodePage(ch).value_or('?');
  }
  return bytes;
}

QChar FromCodePage(char byte) { return QChar(Decode(static_cast<unsigned char>(byte))); }

QString FromCodePage(const std::string& text) {
  QString result;
  result.reserve(static_cast<qsizetype>(text.size()));
  for (const char byte : text) result += FromCodePage(byte);
  return result;
}
