// Stored passwords, counted blocks, Base64 and MD5.
#include "commkit/session/encodings.h"

#include <cstring>
#include <random>

namespace {

// The scramble key: obfuscation only, as stored files rely on its value.
const char kScrambleKey[] = "Dv7#kQ2m!Rz9w$Lp4";
static_assert(sizeof kScrambleKey == 18, "a key of 17 characters");

bool SystemRandom(uint8_t* buffer, size_t count) {
  try {
    std::random_device source;
    for (size_t i = 0; i < count; ++i) buffer[i] = uint8_t(source());
    return true;
  } catch (...) {
    return false;
  }
}
}  // namespace
const EncodingHooks kDefaultEncodingHooks{SystemRandom};
EncodingHooks g_encodingHooks = kDefaultEncodingHooks;
namespace {

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

uint8_t Checksum(const uint8_t* data, size_t length) {
  uint32_t sum = 0;
  size_t i = 0;
  for (; i + 1 < length; i += 2) sum += uint32_t(data[i] | data[i + 1] << 8);
  if (i < length) sum += data[i];
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  while (sum >> 8) sum = (sum & 0xFF) + (sum >> 8);
  return uint8_t(~sum);
}

Block* Allocate(uint16_t length) {
  auto* block = static_cast<Block*>(BpSys().memAlloc(sizeof(Block)));
  if (!block) return nullptr;
  block->data = static_cast<uint8_t*>(BpSys().memAlloc(size_t(length) + 1));
  if (!block->data) {
    BpSys().memFree(block);
    return nullptr;
  }
  block->length = length;
  return block;
}

Block* Sealed(Block* block) {
  if (block) block->data[block->length] = Checksum(block->data, block->length);
  return block;
}

// RFC 1321.
struct Md5State {
  uint32_t a = 0x67452301, b = 0xefcdab89, c = 0x98badcfe, d = 0x10325476;
  void Chunk(const uint8_t* p) {
    static const uint32_t k[64] = {
        0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
        0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
        0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
        0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
        0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
        0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
        0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
        0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};
    static const int r[64] = {7,  12, 17, 22, 7,  12, 17, 22, 7,  12, 17, 22, 7,  12, 17, 22, 5,  9,  14, 20, 5,  9,
                              14, 20, 5,  9,  14, 20, 5,  9,  14, 20, 4,  11, 16, 23, 4,  11, 16, 23, 4,  11, 16, 23,
                              4,  11, 16, 23, 6,  10, 15, 21, 6,  10, 15, 21, 6,  10, 15, 21, 6,  10, 15, 21};
    uint32_t m[16];
    for (int i = 0; i < 16; ++i)
      m[i] = uint32_t(p[4 * i]) | uint32_t(p[4 * i + 1]) << 8 | uint32_t(p[4 * i + 2]) << 16 |
             uint32_t(p[4 * i + 3]) << 24;
    uint32_t aa = a, bb = b, cc = c, dd = d;
    for (int i = 0; i < 64; ++i) {
      uint32_t f;
      int g;
      if (i < 16) {
        f = (bb & cc) | (~bb & dd);
        g = i;
      } else if (i < 32) {
        f = (dd & bb) | (~dd & cc);
        g = (5 * i + 1) % 16;
      } else if (i < 48) {
        f = bb ^ cc ^ dd;
        g = (3 * i + 5) % 16;
      } else {
        f = cc ^ (bb | ~dd);
        g = (7 * i) % 16;
      }
      uint32_t t = dd;
      dd = cc;
      cc = bb;
      uint32_t x = aa + f + k[i] + m[g];
      bb = bb + (x << r[i] | x >> (32 - r[i]));
      aa = t;
    }
    a += aa;
    b += bb;
    c += cc;
    d += dd;
  }
};

}  // namespace

void ZrtScramblePassword(uint8_t field[kPasswordField]) {
  for (int i = 0; i < kPasswordField; ++i) field[i] ^= uint8_t(kScrambleKey[i % 17] | 0x80);
}

extern "C" {

void BP_CALL PasswordToHex(const char* password, char* out) {
  if (!out) return;
  uint8_t field[kPasswordField] = {};
  for (int i = 0; password && i < kPasswordField && password[i]; ++i) field[i] = uint8_t(password[i]);
  ZrtScramblePassword(field);
  static const char kDigits[] = "0123456789ABCDEF";
  for (int i = 0; i < kPasswordField; ++i) {
    out[2 * i] = kDigits[field[i] >> 4];
    out[2 * i + 1] = kDigits[field[i] & 15];
  }
  out[2 * kPasswordField] = 0;
}

void BP_CALL PasswordFromHex(const char* text, char* out) {
  if (!out) return;
  out[0] = 0;
  // A text of fewer than 48 digits has no stored password to read.
  if (!text || std::strlen(text) < 2 * kPasswordField) return;
  uint8_t field[kPasswordField + 1] = {};
  for (int i = 0; i < kPasswordField; ++i) {
    auto digit = [](char c) { return uint8_t(c < 'A' ? c - 48 : c - 55); };
    field[i] = uint8_t(digit(text[2 * i]) << 4 | (digit(text[2 * i + 1]) & 15));
  }
  ZrtScramblePassword(field);
  field[kPasswordField] = 0;
  std::memcpy(out, field, kPasswordField + 1);
}

}  // extern "C"

Block* BlockRandom(uint16_t) {
  uint16_t length = 0;
  uint8_t draw[4];
  while (length < 64) {
    if (!g_encodingHooks.randomBytes(draw, sizeof draw)) return nullptr;
    length = uint16_t((uint32_t(draw[0]) | uint32_t(draw[1]) << 8 | uint32_t(draw[2]) << 16) % 513);
  }
  Block* block = Allocate(length);
  if (!block) return nullptr;
  for (uint16_t i = 0; i < length; ++i) {
    if (!g_encodingHooks.randomBytes(draw, 2)) {
      BlockFree(block);
      return nullptr;
    }
    block->data[i] = uint8_t((uint32_t(draw[0]) | uint32_t(draw[1]) << 8) % 255);
  }
  return Sealed(block);
}

Block* BlockFromBytes(const uint8_t* bytes, uint16_t length) {
  if (!bytes && length) return nullptr;
  Block* block = Allocate(length);
  if (block && length) std::memcpy(block->data, bytes, length);
  return Sealed(block);
}

Block* BlockConcat(const Block* a, const Block* b) {
  if (!a || !b || uint32_t(a->length) + b->length > 0xFFFF) return nullptr;
  Block* block = Allocate(uint16_t(a->length + b->length));
  if (!block) return nullptr;
  if (a->length) std::memcpy(block->data, a->data, a->length);
  if (b->length) std::memcpy(block->data + a->length, b->data, b->length);
  return Sealed(block);
}

Block* BlockNew(uint16_t length) { return Sealed(Allocate(length)); }

void BlockFree(Block* block) {
  if (!block) return;
  BpSys().memFree(block->data);
  BpSys().memFree(block);
}

uint8_t BlockCheck(const Block* block) { return block ? Checksum(block->data, block->length) : 0; }

char* BlockToBase64(const Block* block, uint16_t lineLength) {
  if (!block) return nullptr;
  size_t n = size_t(block->length) + 1;
  size_t chars = (n + 2) / 3 * 4;
  size_t breaks = lineLength ? (chars - 1) / lineLength : 0;
  auto* text = static_cast<char*>(BpSys().memAlloc(chars + breaks + 1));
  if (!text) return nullptr;
  size_t out = 0, onLine = 0;
  auto put = [&](char c) {
    if (lineLength && onLine == lineLength) {
      text[out++] = '\r';
      onLine = 0;
    }
    text[out++] = c;
    ++onLine;
  };
  const uint8_t* d = block->data;
  for (size_t i = 0; i < n; i += 3) {
    uint32_t group = uint32_t(d[i]) << 16 | (i + 1 < n ? uint32_t(d[i + 1]) << 8 : 0) | (i + 2 < n ? d[i + 2] : 0);
    put(kAlphabet[group >> 18]);
    put(kAlphabet[(group >> 12) & 63]);
    put(i + 1 < n ? kAlphabet[(group >> 6) & 63] : '=');
    put(i + 2 < n ? kAlphabet[group & 63] : '=');
  }
  text[out] = 0;
  return text;
}

Block* BlockFromBase64(const char* text, uint32_t* status) {
  uint32_t ignored;
  if (!status) status = &ignored;
  *status = kBase64NoText;
  if (!text) return nullptr;
  size_t count = 0;
  for (const char* p = text; *p; ++p) {
    char c = *p;
    if (uint8_t(c) & 0x80) return *status = kBase64Malformed, nullptr;
    if (IsSpace(c) || c == '.') continue;
    if (Base64Value(c) < 0 && c != '=') return *status = kBase64Malformed, nullptr;
    ++count;
  }
  if (count < 1 || count > 1000 || count % 4) return *status = kBase64Malformed, nullptr;

  uint8_t bytes[750];
  size_t length = 0;
  uint32_t group = 0;
  int inGroup = 0;
  const char* p = text;
  for (; *p; ++p) {
    if (IsSpace(*p)) continue;
    if (*p == '.') break;
    if (*p == '=') {
      if (inGroup < 2) return *status = kBase64Malformed, nullptr;
      if (inGroup == 2) {
        const char* next = p + 1;
        while (IsSpace(*next)) ++next;
        if (*next != '=') return *status = kBase64Malformed, nullptr;
        p = next;
      }
      ++p;
      break;
    }
    group = group << 6 | uint32_t(Base64Value(*p));
    if (++inGroup == 4) {
      bytes[length++] = uint8_t(group >> 16);
      bytes[length++] = uint8_t(group >> 8);
      bytes[length++] = uint8_t(group);
      group = 0;
      inGroup = 0;
    }
  }
  // The partial group a padding ended.
  if (inGroup == 2) bytes[length++] = uint8_t(group >> 4);
  if (inGroup == 3) {
    bytes[length++] = uint8_t(group >> 10);
    bytes[length++] = uint8_t(group >> 2);
  }
  // After the data: white space, one optional ".", white space.
  while (*p && IsSpace(*p)) ++p;
  if (*p == '.') ++p;
  while (*p && IsSpace(*p)) ++p;
  if (*p || length < 1) return *status = kBase64Malformed, nullptr;

  uint16_t dataLength = uint16_t(length - 1);
  if (bytes[dataLength] != Checksum(bytes, dataLength)) return *status = kBase64BadCheck, nullptr;
  Block* block = BlockFromBytes(bytes, dataLength);
  if (!block) return *status = kBase64NoText, nullptr;
  *status = kBase64Ok;
  return block;
}

void BlockDigest(const Block* block, uint8_t digest[16]) {
  if (block) Md5(block->data, block->length, digest);
}

void Md5(const uint8_t* data, size_t length, uint8_t digest[16]) {
  Md5State state;
  size_t whole = length / 64 * 64;
  for (size_t i = 0; i < whole; i += 64) state.Chunk(data + i);
  uint8_t tail[128] = {};
  size_t rest = length - whole;
  if (rest) std::memcpy(tail, data + whole, rest);
  tail[rest] = 0x80;
  size_t tailLength = rest < 56 ? 64 : 128;
  uint64_t bits = uint64_t(length) * 8;
  for (int i = 0; i < 8; ++i) tail[tailLength - 8 + i] = uint8_t(bits >> (8 * i));
  for (size_t i = 0; i < tailLength; i += 64) state.Chunk(tail + i);
  uint32_t words[4] = {state.a, state.b, state.c, state.d};
  for (int i = 0; i < 16; ++i) digest[i] = uint8_t(words[i / 4] >> (8 * (i % 4)));
}
