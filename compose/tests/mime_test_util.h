// Message fixtures for the view's tests: encoders and a few MIME builders.
#pragma once
#include <string>

inline std::string Base64Encode(const std::string& bytes, size_t lineLength) {
  static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string flat;
  size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    unsigned v = static_cast<unsigned char>(bytes[i]) << 16 | static_cast<unsigned char>(bytes[i + 1]) << 8 |
                 static_cast<unsigned char>(bytes[i + 2]);
    for (int k = 3; k >= 0; --k) flat += kAlphabet[(v >> (6 * k)) & 63];
  }
  if (i < bytes.size()) {
    unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    flat += kAlphabet[(v >> 18) & 63];
    flat += kAlphabet[(v >> 12) & 63];
    flat += i + 1 < bytes.size() ? kAlphabet[(v >> 6) & 63] : '=';
    flat += '=';
  }
  std::string out;
  for (size_t at = 0; at < flat.size(); at += lineLength) out += flat.substr(at, lineLength) + "\r\n";
  return out;
}

// Lines of 45 bytes each, as "M" lines, then the short rest, "`" and "end".
inline std::string UuencodeLines(const std::string& bytes) {
  auto c = [](unsigned v) { return static_cast<char>(v ? v + 32 : '`'); };
  std::string out;
  for (size_t at = 0; at < bytes.size(); at += 45) {
    std::string chunk = bytes.substr(at, 45);
    out += c(static_cast<unsigned>(chunk.size()));
    while (chunk.size() % 3) chunk += '\0';
    for (size_t i = 0; i < chunk.size(); i += 3) {
      unsigned v = static_cast<unsigned char>(chunk[i]) << 16 | static_cast<unsigned char>(chunk[i + 1]) << 8 |
                   static_cast<unsigned char>(chunk[i + 2]);
      for (int k = 3; k >= 0; --k) out += c((v >> (6 * k)) & 63);
    }
    out += "\r\n";
  }
  return out;
}

inline std::string Uuencode(const std::string& name, const std::string& bytes) {
  return "begin 644 " + name + "\r\n" + UuencodeLines(bytes) + "`\r\nend\r\n";
}

// Bytes that exercise every value, of a given length.
inline std::string Binary(size_t length, unsigned seed) {
  std::string out(length, '\0');
  for (size_t i = 0; i < length; ++i) out[i] = static_cast<char>((i * 131 + seed * 7 + (i >> 3)) & 0xFF);
  return out;
}
