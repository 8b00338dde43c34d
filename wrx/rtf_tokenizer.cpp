#include "wrx/rtf_tokenizer.h"

#include <cctype>
#include <climits>

namespace rtf {

namespace {

int HexValue(int c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

Token Tokenizer::Next() {
  if (!pushed_.empty()) {
    Token t = pushed_.back();
    pushed_.pop_back();
    return t;
  }
  Token t;
  for (;;) {
    const int c = Peek();
    if (c < 0) return t;  // kEnd
    ++pos_;
    if (c == '\r' || c == '\n' || c == 0) continue;  // line ends carry nothing in RTF
    if (c == '{') {
      if (depth_ >= kMaxGroups) {
        t.kind = TokenKind::kError;
        return t;
      }
      ++depth_;
      t.kind = TokenKind::kGroupOpen;
      return t;
    }
    if (c == '}') {
      if (depth_ <= 0) {
        t.kind = TokenKind::kError;
        return t;
      }
      --depth_;
      t.kind = TokenKind::kGroupClose;
      return t;
    }
    if (c != '\\') {
      t.kind = TokenKind::kText;
      t.byte = uint8_t(c);
      return t;
    }
    const int d = Peek();
    if (d < 0) return t;
    ++pos_;
    if (d == '\'') {
      const int h1 = HexValue(Peek());
      if (h1 < 0) continue;  // a broken pair stands for nothing
      ++pos_;
      const int h2 = HexValue(Peek());
      if (h2 >= 0) ++pos_;
      t.kind = TokenKind::kText;
      t.byte = uint8_t(h2 >= 0 ? h1 * 16 + h2 : h1);
      t.fromHex = true;
      return t;
    }
    if (!isalpha(d)) {
      // A control symbol; \{ \} \\ are text. A line end after a backslash is \par.
      if (d == '{' || d == '}' || d == '\\') {
        t.kind = TokenKind::kText;
        t.byte = uint8_t(d);
        return t;
      }
      t.kind = TokenKind::kControl;
      t.word = (d == '\r' || d == '\n') ? "par" : std::string(1, char(d));
      return t;
    }
    t.kind = TokenKind::kControl;
    t.word.assign(1, char(d));
    while (isalpha(Peek()) && t.word.size() < 32) t.word.push_back(char(data_[pos_++]));
    while (isalpha(Peek())) ++pos_;  // an overlong word is cut, not split
    bool negative = false;
    if (Peek() == '-') {
      negative = true;
      ++pos_;
    }
    if (isdigit(Peek())) {
      long long value = 0;
      while (isdigit(Peek())) {
        if (value < 10'000'000'000LL) value = value * 10 + (data_[pos_] - '0');
        ++pos_;
      }
      if (negative) value = -value;
      t.hasParam = true;
      t.param = value > INT32_MAX ? INT32_MAX : value < INT32_MIN ? INT32_MIN : int32_t(value);
    }
    if (Peek() == ' ') ++pos_;  // the delimiting blank belongs to the word
    if (t.word == "bin" && t.hasParam) {
      // Exactly N bytes of data follow: they are not RTF.
      const size_t n = t.param > 0 ? size_t(t.param) : 0;
      t.kind = TokenKind::kBinary;
      t.binaryOffset = pos_;
      t.binaryLength = n < size_ - pos_ ? n : size_ - pos_;
      pos_ += t.binaryLength;
    }
    return t;
  }
}

void Tokenizer::SkipGroup() {
  const int target = depth_ - 1;
  while (depth_ > target) {
    const Token t = Next();
    if (t.kind == TokenKind::kEnd || t.kind == TokenKind::kError) return;
  }
}

}  // namespace rtf
