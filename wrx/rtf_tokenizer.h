// The RTF reader's input layer, portable: bytes in, words out. It keeps the
// push-back stack of the reader, the group nesting (at most 50 open groups)
// and turns hex pairs and \bin data into what they stand for. Numeric
// parameters are clamped to 32 bits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace rtf {

enum class TokenKind : uint8_t {
  kEnd,         // the input is used up
  kGroupOpen,   // {
  kGroupClose,  // }
  kControl,     // \word with an optional parameter, or a control symbol (\~ \- \_ \* ...)
  kText,        // one byte of text (also from a hex pair \'hh)
  kBinary,      // \binN: the N bytes that follow, whole (fewer at the end of the input)
  kError,       // too many open groups, or a close without an open group
};

struct Token {
  TokenKind kind = TokenKind::kEnd;
  std::string word;  // control word or symbol, without the backslash
  bool hasParam = false;
  int32_t param = 0;
  uint8_t byte = 0;                           // kText
  bool fromHex = false;                       // kText from \'hh
  size_t binaryOffset = 0, binaryLength = 0;  // kBinary: where the bytes lie in the input
};

constexpr int kMaxGroups = 50;

class Tokenizer {
 public:
  Tokenizer(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  // The next word (GetRtfWord). Group depth follows the braces read.
  Token Next();
  // Hands a token back; the next Next() returns it again.
  void PushBack(const Token& t) { pushed_.push_back(t); }
  int depth() const { return depth_; }
  size_t offset() const { return pos_; }
  const uint8_t* data() const { return data_; }
  // Skips the rest of the current group (the group whose open brace was the
  // last one read), through its close brace.
  void SkipGroup();

 private:
  int Peek() const { return pos_ < size_ ? data_[pos_] : -1; }
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
  int depth_ = 0;
  std::vector<Token> pushed_;
};

}  // namespace rtf
