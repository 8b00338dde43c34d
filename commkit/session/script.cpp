// The login-script interpreter. Scripts are read in 512-byte blocks and
// never held whole; jumps seek in the file. A statement is parsed and run in
// one pass; while a forward label is searched for, statements are parsed
// with no effect. The first error ends the run.
#include "commkit/session/script.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "commkit/session/encodings.h"

namespace {

constexpr unsigned kBlock = 512;
constexpr size_t kNameLength = 31;
constexpr size_t kMaxString = 255;
constexpr int kMaxPatterns = 25;
// Eight frames fit the stack of 16 words; the eighth nested gosub is refused,
// as the error's text has always said ("more than 7 nested subroutines").
constexpr int kMaxGosub = 7;
constexpr int kMaxCallDepth = 8;
constexpr int kMaxExpressionDepth = 200;
constexpr uint32_t kPollEvery = 64;

enum Tok : int {
  kBad = 0,
  kEnd = 1,
  kIdent = 2,
  kGlobal = 3,
  kInt = 4,
  kStr = 5,
  kComma = 6,
  kColon = 7,
  kSemi = 8,
  kLParen = 9,
  kRParen = 10,
  kEq = 11,
  kNe = 12,
  kLt = 13,
  kLe = 14,
  kGt = 15,
  kGe = 16,
  kAmp = 17,
  kPlus = 18,
  kMinus = 19,
  kStar = 20,
  kSlash = 21,
  kQuestion = 22,
  kBang = 23,
  kOr = 24,
  kAnd = 25,
  kNot = 26,
  kGoto = 27,
  kGosub = 28,
  kReturn = 29,
  kIf = 30,
  kWait = 31,
  kUntil = 32,
  kSend = 33,
  kSendi = 34,
  kSendm = 35,
  kShow = 36,
  kInit = 37,
  kReset = 38,
  kOn = 39,
  kCancel = 40,
  kExit = 41,
  kDefine = 42,
  kIfndef = 43,
  kCall = 44,
  kListNetStart = 45,
  kListNetEnd = 46,
  kListValStart = 47,
  kListValEnd = 48,
  kEncode = 49,
  kApprove = 50,
};

const char* const kTokenNames[] = {
    "bad token",
    "end-of-script",
    "identifier",
    "global symbol",
    "integer constant",
    "string constant",
    "','",
    "':'",
    "';'",
    "'('",
    "')'",
    "'='",
    "'<>'",
    "'<'",
    "'<='",
    "'>'",
    "'>='",
    "'&'",
    "'+'",
    "'-'",
    "'*'",
    "'/'",
    "'?'",
    "'!'",
    "'or'",
    "'and'",
    "'not'",
    "'goto'",
    "'gosub'",
    "'return'",
    "'if'",
    "'wait'",
    "'until'",
    "'send'",
    "'sendi'",
    "'sendm'",
    "'show'",
    "'init'",
    "'reset'",
    "'on'",
    "'cancel'",
    "'exit'",
    "'define'",
    "'ifndef'",
    "'call'",
    "'!+N'",
    "'!-N'",
    "'!+V'",
    "'!-V'",
    "'encode'",
    "'approve'",
};

struct Keyword {
  const char* text;
  int token;
};
const Keyword kKeywords[] = {
    {"or", kOr},         {"and", kAnd},       {"not", kNot},         {"goto", kGoto},     {"gosub", kGosub},
    {"return", kReturn}, {"if", kIf},         {"wait", kWait},       {"until", kUntil},   {"send", kSend},
    {"sendi", kSendi},   {"sendm", kSendm},   {"show", kShow},       {"init", kInit},     {"reset", kReset},
    {"on", kOn},         {"cancel", kCancel}, {"exit", kExit},       {"define", kDefine}, {"ifndef", kIfndef},
    {"call", kCall},     {"encode", kEncode}, {"approve", kApprove},
};

bool IsLetter(int c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(int c) { return c >= '0' && c <= '9'; }

std::string Format1(const std::string& format, const std::string& a) {
  std::string out;
  size_t at = format.find("%s");
  if (at == std::string::npos) return format;
  out = format.substr(0, at) + a + format.substr(at + 2);
  return out;
}

// Ends a run from anywhere inside the interpreter; caught by Run.
struct Stop {
  int code;
};

struct Value {
  int type = kSymInteger;
  int16_t number = 0;
  std::string text;
};

Value Int(int v) {
  Value value;
  value.number = int16_t(uint16_t(unsigned(v)));
  return value;
}
Value Str(std::string s) {
  Value value;
  value.type = kSymString;
  value.text = std::move(s);
  return value;
}

struct BlockDeleter {
  void operator()(Block* b) const { BlockFree(b); }
};
using BlockPtr = std::unique_ptr<Block, BlockDeleter>;

// One script file being run.
struct ScriptFile {
  void* handle = nullptr;
  std::string name;
  uint32_t offset = 0;  // next byte to read
  uint16_t line = 1;
  uint8_t buffer[kBlock] = {};
  uint32_t bufferStart = 0;
  unsigned bufferCount = 0;
  bool bufferValid = false;
  uint32_t gosub[kMaxGosub][2] = {};
  int gosubDepth = 0;
  std::map<std::string, ScriptSymbol> locals;
  std::string cancelLabel;
  bool skipping = false;
  std::string skipLabel;
};

class Interpreter {
 public:
  Interpreter(ScriptContext& context, const ScriptHost& host, std::string directory)
      : c_(context), host_(host), directory_(std::move(directory)) {}

  // Runs one file; the caller's Arg variables are set up in `args`.
  void RunFile(const std::string& name, std::map<std::string, ScriptSymbol>* args, int depth);

 private:
  // Reading.
  int Peek();
  void Consume();
  void Lex();
  void LexName(int first);
  void LexString();
  void LexComment();
  void SeekTo(uint32_t offset, uint16_t line);

  // Errors.
  [[noreturn]] void Fail(unsigned id, const std::string& a = std::string(), const std::string& b = std::string());
  [[noreturn]] void FailText(const std::string& text);
  void Expect(int token);
  bool Live() const { return !f_->skipping; }

  // Symbols.
  ScriptSymbol& Symbol(const std::string& name);
  void Assign(ScriptSymbol& symbol, const Value& value);

  // Statements.
  void Statement();
  void Jump(const std::string& label);
  std::string LabelName();
  void WaitStatement();
  void CallStatement();
  void SecureStatement(bool approve);

  // Expressions.
  Value Expression();
  Value OrLevel();
  Value AndLevel();
  Value NotLevel();
  Value Comparison();
  Value Concatenation();
  Value Additive();
  Value Multiplicative();
  Value Primary();
  void NeedInts(const Value& a, const Value& b);
  BlockPtr DecodeOperand(const Value& value, int* status);

  ScriptContext& c_;
  const ScriptHost& host_;
  std::string directory_;
  ScriptFile* f_ = nullptr;
  int depth_ = 0;
  int expressionDepth_ = 0;
  int operators_ = 0;  // operators applied: 0 after a lone variable
  ScriptSymbol* lastVariable_ = nullptr;

  int tok_ = kEnd;
  int16_t tokNumber_ = 0;
  std::string tokText_;
  uint32_t tokOffset_ = 0;
  uint16_t tokLine_ = 1;
  uint16_t statementLine_ = 1;  // errors name the line their statement starts on
  uint16_t errorLine_ = 0;      // or this one, for a token out of place
};

int Interpreter::Peek() {
  for (;;) {
    if (!f_->bufferValid || f_->offset < f_->bufferStart || f_->offset >= f_->bufferStart + f_->bufferCount) {
      int n = host_.files.readAt(f_->handle, f_->offset, f_->buffer, kBlock);
      if (n < 0) throw Stop{kScriptReadError};
      f_->bufferStart = f_->offset;
      f_->bufferCount = unsigned(n);
      f_->bufferValid = true;
      if (n == 0) return -1;
    }
    uint8_t c = f_->buffer[f_->offset - f_->bufferStart];
    if (c < 32 && c != '\t' && c != '\n') {
      ++f_->offset;
      continue;
    }
    return c;
  }
}

void Interpreter::Consume() {
  if (Peek() == '\n') ++f_->line;
  ++f_->offset;
}

void Interpreter::SeekTo(uint32_t offset, uint16_t line) {
  f_->offset = offset;
  f_->line = line;
  Lex();
}

void Interpreter::LexComment() {
  std::string text;
  for (int c = Peek(); c != -1 && c != '\n'; c = Peek()) {
    if (text.size() < 81) text += char(c);
    Consume();
  }
  if (!Live()) return;
  size_t at = text.find("command");
  if (at != std::string::npos) host_.commandNotice(host_.context, text.substr(at + 7));
}

void Interpreter::LexName(int first) {
  std::string name(1, char(first));
  for (int c = Peek(); IsLetter(c) || IsDigit(c) || c == '_'; c = Peek()) {
    if (name.size() < kNameLength) name += char(c);
    Consume();
  }
  tokText_ = name;
  for (const Keyword& k : kKeywords) {
    if (name == k.text) {
      tok_ = k.token;
      return;
    }
  }
  tok_ = first == '%' ? kGlobal : kIdent;
}

void Interpreter::LexString() {
  std::string text;
  for (;;) {
    int c = Peek();
    if (c == -1 || c == '\n') break;
    Consume();
    if (c == '"') break;
    if (c == '^') {
      int next = Peek();
      if (next >= 64 && next <= 95) {
        Consume();
        c = next - 64;
      } else if (next != -1 && next != '\n') {
        Consume();
        text += '^';
        c = next;
      }
    }
    if (text.size() >= kMaxString) {
      errorLine_ = f_->line;
      FailText("String constant longer than 255 characters");
    }
    text += char(c);
  }
  tok_ = kStr;
  tokText_ = text;
}

void Interpreter::Lex() {
  tokText_.clear();
  tokNumber_ = 0;
  for (;;) {
    int c = Peek();
    if (c == ' ' || c == '\t' || c == '\n') {
      Consume();
      continue;
    }
    tokOffset_ = f_->offset;
    tokLine_ = f_->line;
    if (c == -1) {
      tok_ = kEnd;
      return;
    }
    Consume();
    if (c == '!') {
      int sign = Peek();
      if (sign == '+' || sign == '-') {
        Consume();
        int kind = Peek();
        if (kind == 'N' || kind == 'V') {
          Consume();
          while (IsDigit(Peek())) Consume();
          tok_ =
              kind == 'N' ? (sign == '+' ? kListNetStart : kListNetEnd) : (sign == '+' ? kListValStart : kListValEnd);
          return;
        }
      }
      LexComment();
      continue;
    }
    if (IsLetter(c) || c == '%') return LexName(c);
    if (IsDigit(c)) {
      long value = c - '0';
      while (IsDigit(Peek())) {
        if (value < 100000) value = value * 10 + (Peek() - '0');
        Consume();
      }
      tok_ = kInt;
      tokNumber_ = int16_t(uint16_t(value > 65535 ? 65535 : value));
      return;
    }
    switch (c) {
      case '"': return LexString();
      case '<':
        if (Peek() == '=') {
          Consume();
          tok_ = kLe;
        } else if (Peek() == '>') {
          Consume();
          tok_ = kNe;
        } else {
          tok_ = kLt;
        }
        return;
      case '>':
        if (Peek() == '=') {
          Consume();
          tok_ = kGe;
        } else {
          tok_ = kGt;
        }
        return;
      case ',': tok_ = kComma; return;
      case ':': tok_ = kColon; return;
      case ';': tok_ = kSemi; return;
      case '(': tok_ = kLParen; return;
      case ')': tok_ = kRParen; return;
      case '=': tok_ = kEq; return;
      case '&': tok_ = kAmp; return;
      case '+': tok_ = kPlus; return;
      case '-': tok_ = kMinus; return;
      case '*': tok_ = kStar; return;
      case '/': tok_ = kSlash; return;
      case '?': tok_ = kQuestion; return;
      default: errorLine_ = f_->line; Fail(989);
    }
  }
}

void Interpreter::FailText(const std::string& text) {
  char head[64];
  std::snprintf(head, sizeof head, "%u", unsigned(errorLine_ ? errorLine_ : statementLine_));
  std::string message = ScriptText(990);
  // "Error in %s at line %u: %s", filled in order.
  std::string out;
  size_t i = 0;
  int field = 0;
  while (i < message.size()) {
    if (message[i] == '%' && i + 1 < message.size() && (message[i + 1] == 's' || message[i + 1] == 'u')) {
      out += field == 0 ? f_->name : field == 1 ? std::string(head) : text;
      ++field;
      i += 2;
    } else {
      out += message[i++];
    }
  }
  c_.errorText = out;
  throw Stop{kScriptFailed};
}

void Interpreter::Fail(unsigned id, const std::string& a, const std::string& b) {
  std::string text = ScriptText(id);
  if (id == 991) {
    text = Format1(Format1(text, a), b);
  } else if (id == 975 || id == 976 || id == 988) {
    text = Format1(text, a);
  }
  FailText(text);
}

void Interpreter::Expect(int token) {
  if (tok_ != token) {
    errorLine_ = tokLine_;
    Fail(991, kTokenNames[tok_], kTokenNames[token]);
  }
  Lex();
}

ScriptSymbol& Interpreter::Symbol(const std::string& name) {
  if (!name.empty() && name[0] == '%') return c_.globals_[name];
  return f_->locals[name];
}

void Interpreter::Assign(ScriptSymbol& symbol, const Value& value) {
  if (symbol.type == kSymLabel) Fail(977);
  symbol.type = value.type;
  symbol.number = value.number;
  symbol.text = value.type == kSymString ? value.text : std::string();
}

std::string Interpreter::LabelName() {
  if (tok_ != kIdent && tok_ != kGlobal) Fail(991, kTokenNames[tok_], kTokenNames[kIdent]);
  std::string name = tokText_;
  const ScriptSymbol& s = Symbol(name);
  if (s.type != kSymLabel && s.type != kSymUndefined) Fail(980);
  Lex();
  return name;
}

void Interpreter::Jump(const std::string& label) {
  ScriptSymbol& s = Symbol(label);
  if (s.type == kSymLabel) return SeekTo(s.offset, s.line);
  if (s.type != kSymUndefined) Fail(980);
  f_->skipping = true;
  f_->skipLabel = label;
}

void Interpreter::RunFile(const std::string& name, std::map<std::string, ScriptSymbol>* args, int depth) {
  ScriptFile file;
  size_t slash = name.find_last_of("\\/:");
  file.name = slash == std::string::npos ? name : name.substr(slash + 1);
  std::string path = directory_;
  if (!path.empty() && path.back() != '\\' && path.back() != '/') path += '\\';
  path += file.name;
  file.handle = host_.files.open(path.c_str());
  if (!file.handle) throw Stop{kScriptBadFile};
  if (args) file.locals = *args;
  ScriptFile* outer = f_;
  int outerDepth = depth_;
  f_ = &file;
  depth_ = depth;
  struct Closer {
    const ScriptHost& host;
    void* handle;
    ~Closer() { host.files.close(handle); }
  } closer{host_, file.handle};
  try {
    Lex();
    while (tok_ != kEnd) Statement();
    if (file.skipping) {
      errorLine_ = file.line;
      Fail(976, file.skipLabel);
    }
  } catch (...) {
    // The caller's file is back in force for its own error reports.
    if (outer) {
      if (args) *args = file.locals;
    }
    throw;
  }
  if (args) *args = file.locals;
  f_ = outer;
  depth_ = outerDepth;
}

void Interpreter::Statement() {
  statementLine_ = tokLine_;
  if (++c_.statements % kPollEvery == 0 && host_.poll(host_.context)) {
    c_.exitCode = 2;  // the value of %Cancel: the client stopped the logon
    throw Stop{kScriptRanOut};
  }
  switch (tok_) {
    case kSemi: Lex(); return;
    case kListNetStart:
    case kListNetEnd:
    case kListValStart:
    case kListValEnd: Lex(); return;
    case kIdent:
    case kGlobal: {
      std::string name = tokText_;
      Lex();
      if (tok_ == kColon) {
        Lex();
        ScriptSymbol& s = Symbol(name);
        if (s.type == kSymLabel && s.offset != tokOffset_) Fail(973);
        if (s.type != kSymLabel && s.type != kSymUndefined && Live()) Fail(973);
        if (s.type == kSymUndefined || s.type == kSymLabel) {
          s.type = kSymLabel;
          s.offset = tokOffset_;
          s.line = tokLine_;
        }
        if (f_->skipping && f_->skipLabel == name) f_->skipping = false;
        return;
      }
      Expect(kEq);
      Value v = Expression();
      Expect(kSemi);
      if (Live()) Assign(Symbol(name), v);
      return;
    }
    case kDefine:
    case kIfndef: {
      bool onlyNew = tok_ == kIfndef;
      Lex();
      if (tok_ != kGlobal) Fail(978);
      std::string name = tokText_;
      Lex();
      Expect(kEq);
      Value v = Expression();
      Expect(kSemi);
      if (!Live()) return;
      ScriptSymbol& s = Symbol(name);
      if (onlyNew && s.type != kSymUndefined) return;
      Assign(s, v);
      return;
    }
    case kGoto: {
      Lex();
      std::string label = LabelName();
      Expect(kSemi);
      if (Live()) Jump(label);
      return;
    }
    case kGosub: {
      Lex();
      std::string label = LabelName();
      Expect(kSemi);
      if (!Live()) return;
      if (f_->gosubDepth >= kMaxGosub) Fail(979);
      f_->gosub[f_->gosubDepth][0] = tokOffset_;
      f_->gosub[f_->gosubDepth][1] = tokLine_;
      ++f_->gosubDepth;
      Jump(label);
      return;
    }
    case kReturn: {
      Lex();
      Expect(kSemi);
      if (!Live()) return;
      if (f_->gosubDepth == 0) Fail(974);
      --f_->gosubDepth;
      SeekTo(f_->gosub[f_->gosubDepth][0], uint16_t(f_->gosub[f_->gosubDepth][1]));
      return;
    }
    case kIf: {
      Lex();
      Value v = Expression();
      if (Live() && v.type != kSymInteger) Fail(982);
      Expect(kGoto);
      std::string label = LabelName();
      Expect(kSemi);
      if (Live() && v.number != 0) Jump(label);
      return;
    }
    case kWait: return WaitStatement();
    case kOn: {
      Lex();
      Expect(kCancel);
      Expect(kGoto);
      std::string label = LabelName();
      Expect(kSemi);
      if (Live()) f_->cancelLabel = label;
      return;
    }
    case kSend:
    case kSendi:
    case kSendm:
    case kShow: {
      int kind = tok_ == kSend    ? kScriptSendRaw
                 : tok_ == kSendi ? kScriptSendChecked
                 : tok_ == kSendm ? kScriptSendControl
                                  : kScriptShow;
      Lex();
      Value v = Expression();
      Expect(kSemi);
      if (!Live()) return;
      host_.send(host_.context, kind, v.type == kSymString ? v.text : std::to_string(v.number));
      return;
    }
    case kInit: {
      Lex();
      Value port = Expression();
      Expect(kComma);
      Value speed = Expression();
      Expect(kSemi);
      if (!Live()) return;
      if (port.type != kSymString) Fail(982);
      long bps =
          speed.type == kSymInteger ? long(uint16_t(speed.number)) : std::strtol(speed.text.c_str(), nullptr, 10);
      int opened = host_.init(host_.context, port.text, bps);
      Assign(Symbol("%_init"), Int(opened > 0 ? 1 : 0));
      return;
    }
    case kReset:
      Lex();
      Expect(kSemi);
      if (Live()) host_.reset(host_.context);
      return;
    case kExit: {
      Lex();
      Value v = Expression();
      Expect(kSemi);
      if (!Live()) return;
      if (v.type != kSymInteger || v.number < 0) Fail(986);
      c_.exitCode = uint8_t(v.number);
      throw Stop{-1};  // ends this file only
    }
    case kCall: return CallStatement();
    case kEncode: return SecureStatement(false);
    case kApprove: return SecureStatement(true);
    default: Fail(975, kTokenNames[tok_]);
  }
}

void Interpreter::WaitStatement() {
  Lex();
  std::vector<std::string> patterns;
  std::vector<std::string> labels;
  if (tok_ != kUntil) {
    for (;;) {
      if (int(patterns.size()) == kMaxPatterns) Fail(983);
      std::string text;
      if (tok_ == kStr) {
        text = tokText_;
      } else if (tok_ == kIdent || tok_ == kGlobal) {
        const ScriptSymbol& s = Symbol(tokText_);
        if (Live() && s.type != kSymString) Fail(985);
        text = s.text;
      } else {
        Fail(984);
      }
      Lex();
      Expect(kGoto);
      patterns.push_back(text);
      labels.push_back(LabelName());
      if (tok_ != kComma) break;
      Lex();
    }
  }
  Expect(kUntil);
  Value units = Expression();
  std::string cancel;
  if (tok_ == kOn) {
    Lex();
    Expect(kCancel);
    Expect(kGoto);
    cancel = LabelName();
  }
  Expect(kSemi);
  if (!Live()) return;
  if (units.type != kSymInteger) Fail(982);
  std::vector<const char*> pointers;
  for (const std::string& p : patterns) pointers.push_back(p.c_str());
  std::string scanned;
  int got = host_.wait(host_.context, pointers.data(), int(pointers.size()),
                       uint16_t(units.number < 0 ? 0 : units.number), &scanned);
  if (scanned.size() > kMaxString) scanned.erase(0, scanned.size() - kMaxString);
  Assign(Symbol("%Scanned"), Str(scanned));
  if (got > 0 && got <= int(labels.size())) return Jump(labels[size_t(got - 1)]);
  if (got < 0) {
    if (cancel.empty()) cancel = f_->cancelLabel;
    if (cancel.empty()) {
      c_.exitCode = 2;
      throw Stop{kScriptRanOut};
    }
    Jump(cancel);
  }
}

void Interpreter::CallStatement() {
  Lex();
  Value name = Expression();
  std::vector<Value> values;
  std::vector<ScriptSymbol*> plain;
  ScriptSymbol* resultVariable = nullptr;
  if (tok_ == kLParen) {
    Lex();
    for (;;) {
      operators_ = 0;
      lastVariable_ = nullptr;
      values.push_back(Expression());
      plain.push_back(operators_ == 0 ? lastVariable_ : nullptr);
      if (tok_ != kComma) break;
      Lex();
    }
    Expect(kRParen);
    if (tok_ == kColon) {
      Lex();
      if (tok_ != kIdent && tok_ != kGlobal) Fail(977);
      resultVariable = &Symbol(tokText_);
      Lex();
    }
  }
  Expect(kSemi);
  if (!Live()) return;
  if (name.type != kSymString || name.text.empty()) Fail(981);
  if (depth_ + 1 >= kMaxCallDepth) FailText("Script calls nested too deep");
  std::map<std::string, ScriptSymbol> args;
  for (size_t i = 0; i < values.size(); ++i) {
    ScriptSymbol& a = args["Arg" + std::to_string(i + 1)];
    a.type = values[i].type;
    a.number = values[i].number;
    a.text = values[i].text;
  }
  ScriptFile* caller = f_;
  int callerDepth = depth_;
  uint8_t savedExit = c_.exitCode;
  uint16_t savedLine = statementLine_;
  // The called file lexes with the same reader: the caller's next token
  // comes back afterwards.
  int savedTok = tok_;
  int16_t savedNumber = tokNumber_;
  std::string savedText = tokText_;
  uint32_t savedOffset = tokOffset_;
  uint16_t savedTokLine = tokLine_;
  c_.exitCode = 0;
  try {
    RunFile(name.text, &args, depth_ + 1);
  } catch (const Stop& stop) {
    if (stop.code == kScriptBadFile) {
      f_ = caller;
      depth_ = callerDepth;
      statementLine_ = savedLine;
      Fail(981);
    }
    if (stop.code != -1) throw;
  }
  f_ = caller;
  depth_ = callerDepth;
  statementLine_ = savedLine;
  tok_ = savedTok;
  tokNumber_ = savedNumber;
  tokText_ = savedText;
  tokOffset_ = savedOffset;
  tokLine_ = savedTokLine;
  for (size_t i = 0; i < plain.size(); ++i) {
    if (!plain[i] || plain[i]->type == kSymLabel) continue;
    const ScriptSymbol& back = args["Arg" + std::to_string(i + 1)];
    if (back.type == kSymInteger || back.type == kSymString) {
      plain[i]->type = back.type;
      plain[i]->number = back.number;
      plain[i]->text = back.text;
    }
  }
  if (resultVariable) Assign(*resultVariable, Int(c_.exitCode));
  c_.exitCode = savedExit;
}

BlockPtr Interpreter::DecodeOperand(const Value& value, int* status) {
  uint32_t got = 0;
  BlockPtr block(BlockFromBase64(value.text.c_str(), &got));
  if (!block) {
    if (got == kBase64NoText) throw Stop{kScriptNoMemory};
    *status = int(got);
  }
  return block;
}

void Interpreter::SecureStatement(bool approve) {
  Lex();
  Value e[4];
  int operands = approve ? 4 : 3;
  for (int i = 0; i < operands; ++i) {
    e[i] = Expression();
    Expect(kComma);
  }
  if (tok_ != kIdent && tok_ != kGlobal) Fail(977);
  std::string variable = tokText_;
  Lex();
  Expect(kSemi);
  if (!Live()) return;
  for (int i = 0; i < operands; ++i)
    if (e[i].type != kSymString) Fail(987);
  ScriptSymbol& out = Symbol(variable);
  if (out.type != (approve ? kSymInteger : kSymString)) Fail(977);

  int status = 0;
  BlockPtr a = DecodeOperand(e[0], &status);
  BlockPtr b = a ? DecodeOperand(e[1], &status) : nullptr;
  BlockPtr d = (a && b && approve) ? DecodeOperand(e[3], &status) : nullptr;
  if (!a || !b || (approve && !d)) {
    Assign(Symbol("%SLFailure"), Int(status));
    if (approve) Assign(out, Int(0));
    return;
  }
  BlockPtr z(BlockNew(48));
  // The password as the session keeps it: two 0xFF bytes at each end.
  std::string password = e[2].text.size() >= 4 ? e[2].text.substr(2, e[2].text.size() - 4) : std::string();
  std::vector<uint8_t> wide;
  for (char ch : password) {
    wide.push_back(0);
    wide.push_back(uint8_t(std::toupper(static_cast<unsigned char>(ch))));
  }
  BlockPtr wideBlock(BlockFromBytes(wide.data(), uint16_t(wide.size())));
  if (!z || !wideBlock) throw Stop{kScriptNoMemory};
  uint8_t digest[16];
  BlockDigest(wideBlock.get(), digest);
  BlockPtr k(BlockFromBytes(digest, 16));
  if (!k) throw Stop{kScriptNoMemory};
  auto join = [](std::initializer_list<const Block*> parts) {
    BlockPtr all(BlockNew(0));
    for (const Block* p : parts) {
      if (!all) return all;
      all.reset(BlockConcat(all.get(), p));
    }
    return all;
  };
  if (!approve) {
    BlockPtr all = join({k.get(), z.get(), a.get(), b.get(), k.get()});
    if (!all) throw Stop{kScriptNoMemory};
    BlockDigest(all.get(), digest);
    BlockPtr answer(BlockFromBytes(digest, 16));
    char* text = answer ? BlockToBase64(answer.get(), 76) : nullptr;
    if (!text) throw Stop{kScriptNoMemory};
    std::string result = text;
    BpSys().memFree(text);
    Assign(out, Str(result));
    return;
  }
  BlockPtr all = join({k.get(), z.get(), b.get(), a.get(), k.get()});
  if (!all) throw Stop{kScriptNoMemory};
  BlockDigest(all.get(), digest);
  bool match = d->length == 16 && std::memcmp(d->data, digest, 16) == 0;
  Assign(out, Int(match ? 1 : 0));
  if (!match) return;
  BlockPtr keyParts = join({k.get(), z.get(), a.get(), k.get(), b.get()});
  if (!keyParts) throw Stop{kScriptNoMemory};
  BlockDigest(keyParts.get(), digest);
  host_.sessionKey(host_.context, digest);
}

// Expressions.

Value Interpreter::Expression() {
  if (++expressionDepth_ > kMaxExpressionDepth) Fail(986);
  Value v = OrLevel();
  --expressionDepth_;
  return v;
}

void Interpreter::NeedInts(const Value& a, const Value& b) {
  if (Live() && (a.type != kSymInteger || b.type != kSymInteger)) Fail(982);
  ++operators_;
}

Value Interpreter::OrLevel() {
  Value v = AndLevel();
  while (tok_ == kOr) {
    Lex();
    Value r = AndLevel();
    NeedInts(v, r);
    v = Int(v.number != 0 || r.number != 0);
  }
  return v;
}

Value Interpreter::AndLevel() {
  Value v = NotLevel();
  while (tok_ == kAnd) {
    Lex();
    Value r = NotLevel();
    NeedInts(v, r);
    v = Int(v.number != 0 && r.number != 0);
  }
  return v;
}

Value Interpreter::NotLevel() {
  if (tok_ != kNot) return Comparison();
  Lex();
  if (++expressionDepth_ > kMaxExpressionDepth) Fail(986);
  Value v = NotLevel();
  --expressionDepth_;
  NeedInts(v, v);
  return Int(v.number == 0);
}

Value Interpreter::Comparison() {
  Value v = Concatenation();
  while (tok_ >= kEq && tok_ <= kGe) {
    int op = tok_;
    Lex();
    Value r = Concatenation();
    ++operators_;
    if (!Live()) {
      v = Int(0);
      continue;
    }
    if (v.type != r.type) Fail(982);
    int order = v.type == kSymInteger ? (v.number < r.number   ? -1
                                         : v.number > r.number ? 1
                                                               : 0)
                                      : std::strcmp(v.text.c_str(), r.text.c_str());
    bool result = op == kEq   ? order == 0
                  : op == kNe ? order != 0
                  : op == kLt ? order < 0
                  : op == kLe ? order <= 0
                  : op == kGt ? order > 0
                              : order >= 0;
    v = Int(result);
  }
  return v;
}

Value Interpreter::Concatenation() {
  Value v = Additive();
  while (tok_ == kAmp) {
    Lex();
    Value r = Additive();
    ++operators_;
    if (!Live()) continue;
    if (v.type != kSymString || r.type != kSymString) Fail(982);
    if (v.text.size() + r.text.size() > kMaxString) FailText("String longer than 255 characters");
    v.text += r.text;
  }
  return v;
}

Value Interpreter::Additive() {
  bool negate = false;
  if (tok_ == kMinus) {
    Lex();
    negate = true;
  }
  Value v = Multiplicative();
  if (negate) {
    NeedInts(v, v);
    v = Int(-int(v.number));
  }
  while (tok_ == kPlus || tok_ == kMinus) {
    int op = tok_;
    Lex();
    Value r = Multiplicative();
    NeedInts(v, r);
    v = Int(op == kPlus ? int(v.number) + r.number : int(v.number) - r.number);
  }
  return v;
}

Value Interpreter::Multiplicative() {
  Value v = Primary();
  while (tok_ == kStar || tok_ == kSlash) {
    int op = tok_;
    Lex();
    Value r = Primary();
    NeedInts(v, r);
    if (!Live()) continue;
    if (op == kStar) {
      v = Int(int(v.number) * r.number);
    } else {
      if (r.number == 0) FailText("Division by zero");
      v = Int(int(v.number) / r.number);
    }
  }
  return v;
}

Value Interpreter::Primary() {
  switch (tok_) {
    case kInt: {
      Value v = Int(tokNumber_);
      Lex();
      return v;
    }
    case kStr: {
      Value v = Str(tokText_);
      Lex();
      return v;
    }
    case kIdent:
    case kGlobal: {
      ScriptSymbol& s = Symbol(tokText_);
      Lex();
      lastVariable_ = &s;
      if (!Live()) return Int(0);
      if (s.type == kSymInteger) return Int(s.number);
      if (s.type == kSymString) return Str(s.text);
      Fail(977);
    }
    case kLParen: {
      Lex();
      Value v = Expression();
      Expect(kRParen);
      ++operators_;
      return v;
    }
    default: errorLine_ = tokLine_; Fail(988, kTokenNames[tok_]);
  }
}

void* StdioOpen(const char* name) { return std::fopen(name, "rb"); }
int StdioReadAt(void* file, uint32_t offset, void* buffer, unsigned count) {
  FILE* f = static_cast<FILE*>(file);
  if (std::fseek(f, long(offset), SEEK_SET) != 0) return -1;
  size_t n = std::fread(buffer, 1, count, f);
  if (n < count && std::ferror(f)) return -1;
  return int(n);
}
void StdioClose(void* file) {
  if (file) std::fclose(static_cast<FILE*>(file));
}

int IdleWait(void*, const char* const*, int, uint16_t, std::string*) { return 0; }
void IdleSend(void*, int, const std::string&) {}
int IdleInit(void*, const std::string&, long) { return 1; }
void IdleReset(void*) {}
int IdlePoll(void*) { return 0; }
void IdleCommand(void*, const std::string&) {}
void IdleKey(void*, const uint8_t*) {}

bool GlobalName(const std::string& name) { return name.size() > 1 && name[0] == '%'; }

}  // namespace

ScriptFileOps ScriptStdioFiles() { return ScriptFileOps{StdioOpen, StdioReadAt, StdioClose}; }

ScriptHost ScriptIdleHost() {
  return ScriptHost{nullptr,  IdleWait,    IdleSend, IdleInit,          IdleReset,
                    IdlePoll, IdleCommand, IdleKey,  ScriptStdioFiles()};
}

int ScriptContext::Run(const ScriptHost& host, const std::string& directory, const std::string& name) {
  errorText.clear();
  exitCode = 0;
  stopCode = kScriptRanOut;
  Interpreter interpreter(*this, host, directory);
  try {
    interpreter.RunFile(name, nullptr, 0);
  } catch (const Stop& stop) {
    stopCode = stop.code < 0 ? kScriptRanOut : stop.code;
  } catch (const std::bad_alloc&) {
    stopCode = kScriptNoMemory;
  }
  return stopCode;
}

bool ScriptContext::SetString(const std::string& name, const std::string& text) {
  if (!GlobalName(name)) return false;
  ScriptSymbol& s = globals_[name];
  if (s.type == kSymLabel) return false;
  s.type = kSymString;
  s.text = text.substr(0, kMaxString);
  return true;
}

bool ScriptContext::SetSecret(const std::string& name, const std::string& text) {
  std::string marker("\xFF\xFF");
  return SetString(name, marker + text.substr(0, kMaxString - 4) + marker);
}

bool ScriptContext::SetInt(const std::string& name, int16_t value) {
  if (!GlobalName(name)) return false;
  ScriptSymbol& s = globals_[name];
  if (s.type == kSymLabel) return false;
  s.type = kSymInteger;
  s.number = value;
  s.text.clear();
  return true;
}

int ScriptContext::GetInt(const std::string& name, int32_t* value) const {
  if (!value) return 793;
  auto it = globals_.find(name);
  if (it == globals_.end() || it->second.type == kSymUndefined) return 786;
  if (it->second.type != kSymInteger) return 777;
  *value = it->second.number;
  return 0;
}

int ScriptContext::GetString(const std::string& name, std::string* text) const {
  auto it = globals_.find(name);
  if (it == globals_.end() || it->second.type == kSymUndefined) return 786;
  if (it->second.type != kSymString) return 776;
  *text = it->second.text;
  return 0;
}

// The embedded lists are read line by line.
namespace {

bool ReadLines(const ScriptFileOps& files, const std::string& path, std::vector<std::string>* lines) {
  void* file = files.open(path.c_str());
  if (!file) return false;
  std::string text;
  char buffer[kBlock];
  uint32_t offset = 0;
  for (;;) {
    int n = files.readAt(file, offset, buffer, kBlock);
    if (n <= 0) break;
    text.append(buffer, size_t(n));
    offset += uint32_t(n);
  }
  files.close(file);
  size_t at = 0;
  while (at <= text.size()) {
    size_t end = text.find('\n', at);
    std::string line = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
    std::string clean;
    for (char ch : line)
      if (uint8_t(ch) >= 32 || ch == '\t') clean += ch;
    lines->push_back(clean);
    if (end == std::string::npos) break;
    at = end + 1;
  }
  return true;
}

std::string Trim(const std::string& s) {
  size_t a = s.find_first_not_of(" \t"), b = s.find_last_not_of(" \t");
  return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

// A string constant starting at `at` (its opening quote): its text, with the
// "^" escapes of the language.
bool QuotedText(const std::string& line, size_t at, std::string* out) {
  if (at >= line.size() || line[at] != '"') return false;
  out->clear();
  for (size_t i = at + 1; i < line.size(); ++i) {
    char c = line[i];
    if (c == '"') return true;
    if (c == '^' && i + 1 < line.size() && line[i + 1] >= 64 && line[i + 1] <= 95) c = char(line[++i] - 64);
    *out += c;
  }
  return true;
}

}  // namespace

int ScriptReadNetworkList(const ScriptFileOps& files, const std::string& path, std::vector<ScriptNetworkEntry>* entries,
                          int* directNumber) {
  std::vector<std::string> lines;
  if (!ReadLines(files, path, &lines)) return 774;
  size_t i = 0;
  for (; i < lines.size(); ++i) {
    std::string t = Trim(lines[i]);
    if (t.compare(0, 3, "!+N") != 0) continue;
    if (t.size() > 3 && IsDigit(t[3])) return 780;
    break;
  }
  if (i == lines.size()) return 779;
  std::string direct = ScriptText(849);
  for (++i; i < lines.size(); ++i) {
    std::string t = Trim(lines[i]);
    if (t.compare(0, 3, "!-N") == 0) return 0;
    if (t.empty()) continue;
    size_t p = 0;
    if (!IsLetter(t[0])) return 787;
    while (p < t.size() && (IsLetter(t[p]) || IsDigit(t[p]) || t[p] == '_')) ++p;
    while (p < t.size() && (t[p] == ' ' || t[p] == '\t')) ++p;
    if (p >= t.size() || t[p] != '=') return 787;
    ++p;
    while (p < t.size() && (t[p] == ' ' || t[p] == '\t')) ++p;
    if (p >= t.size() || !IsDigit(t[p])) return 777;
    int number = 0;
    while (p < t.size() && IsDigit(t[p])) {
      if (number < 100000) number = number * 10 + (t[p] - '0');
      ++p;
    }
    size_t bang = t.find('!', p);
    if (bang == std::string::npos) return 787;
    std::string display;
    if (!QuotedText(t, t.find_first_not_of(" \t", bang + 1), &display)) return 787;
    if (display == direct) {
      if (directNumber) *directNumber = number;
      continue;
    }
    entries->push_back(ScriptNetworkEntry{display, number});
  }
  return 0;
}

int ScriptReadValueList(const ScriptFileOps& files, const std::string& path, std::vector<std::string>* values) {
  std::vector<std::string> lines;
  if (!ReadLines(files, path, &lines)) return 774;
  size_t i = 0;
  while (i < lines.size() && Trim(lines[i]).compare(0, 3, "!+V") != 0) ++i;
  if (i == lines.size()) return 779;
  for (++i; i < lines.size(); ++i) {
    std::string t = Trim(lines[i]);
    if (t.compare(0, 3, "!-V") == 0) return 0;
    if (t.empty() || t[0] != '!') continue;
    std::string text;
    if (QuotedText(t, t.find_first_not_of(" \t", 1), &text)) values->push_back(text);
  }
  return 778;
}
