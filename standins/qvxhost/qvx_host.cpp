// The stand-in host's protocol side.
#include "standins/qvxhost/qvx_host.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "commkit/bp/bp_engine.h"
#include "commkit/qvx/qvx_codec.h"

namespace {

constexpr uint8_t ACK = 6, ESC = 27;
constexpr uint32_t kEnqRepeatMs = 1000;

std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i >= line.size()) break;
    std::string word;
    if (line[i] == '"') {
      word += '"';
      for (++i; i < line.size() && line[i] != '"'; ++i) {
        if (line[i] == '\\' && i + 1 < line.size()) {
          char next = line[++i];
          word += next == 'r' ? '\r' : next == 'n' ? '\n' : next;
        } else {
          word += line[i];
        }
      }
      ++i;
    } else {
      while (i < line.size() && line[i] != ' ' && line[i] != '\t') word += line[i++];
    }
    words.push_back(word);
  }
  return words;
}

std::vector<std::string> SplitActions(const std::string& text) {
  std::vector<std::string> actions;
  std::string current;
  bool quoted = false;
  for (char c : text) {
    if (c == '"') quoted = !quoted;
    if (c == ';' && !quoted) {
      actions.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  actions.push_back(current);
  return actions;
}

std::string Hex(const uint8_t* bytes, size_t n) {
  std::string text;
  char two[4];
  for (size_t i = 0; i < n; ++i) {
    std::snprintf(two, sizeof two, "%02x", bytes[i]);
    text += two;
  }
  return text;
}

bool Passed(uint32_t deadline) { return int32_t(BpSys().ticks() - deadline) >= 0; }

}  // namespace

QvxHost::QvxHost(void* port) : port_(port) {}

QvxHost::~QvxHost() { BpDestroy(e_); }

bool QvxHost::Load(const std::string& script, std::string* error) {
  size_t at = 0;
  int number = 0;
  while (at < script.size()) {
    size_t end = script.find('\n', at);
    std::string line = script.substr(at, end == std::string::npos ? std::string::npos : end - at);
    at = end == std::string::npos ? script.size() : end + 1;
    ++number;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    std::vector<std::string> w = Words(line);
    if (w.empty() || w[0][0] == '#') continue;
    if (w[0] == "logon" && w.size() == 3) {
      logon_ = true;
      user_ = w[1];
      password_ = w[2];
      phase_ = Phase::kHostName;
    } else if (w[0] == "start" && w.size() == 2) {
      startAnswer_ = w[1];
    } else if (w[0] == "on" && w.size() >= 3) {
      size_t actions = line.find(w[2], line.find(w[1], 2) + w[1].size()) + w[2].size();
      rules_[{atoi(w[1].c_str()), atoi(w[2].c_str())}].push_back(line.substr(actions));
    } else {
      if (error) *error = "line " + std::to_string(number) + ": " + line;
      return false;
    }
  }
  return true;
}

void QvxHost::WriteRaw(const std::vector<uint8_t>& bytes) {
  for (uint8_t b : bytes) BpSys().port.bufferByte(port_, b);
  BpSys().port.flushBuffer(port_);
}

void QvxHost::Prompt(const std::string& text, Phase next) {
  WriteRaw(std::vector<uint8_t>(text.begin(), text.end()));
  phase_ = next;
  line_.clear();
}

// The logon dialogue, a line at a time; the ESC-I answer has no line end, so
// it is complete when the digits after its last "+" give its checksum.
void QvxHost::Dialogue(uint8_t c) {
  c &= 0x7F;
  if (phase_ == Phase::kEscI && c != '\r') {
    line_ += char(c);
    return CheckEscI();
  }
  if (c == '\n') return;
  if (c != '\r') {
    line_ += char(c);
    return;
  }
  std::string text = line_;
  line_.clear();
  if (phase_ == Phase::kEscI && text != "/LOG") return;
  if (text == "/LOG" || text == "/off") {
    log.push_back("logoff");
    return Prompt("\r\nHost Name: ", Phase::kHostName);
  }
  switch (phase_) {
    case Phase::kHostName: log.push_back("host " + text); return Prompt("\r\nUser ID: ", Phase::kUserId);
    case Phase::kUserId: log.push_back("user " + text); return Prompt("\r\nPassword: ", Phase::kPassword);
    case Phase::kPassword:
      if (text != password_) {
        log.push_back("password bad");
        return Prompt("\r\nInvalid\r\nUser ID: ", Phase::kUserId);
      }
      log.push_back("password ok");
      escIAsked_ = 1;
      return Prompt(std::string("\r\n") + char(ESC) + "I", Phase::kEscI);
    case Phase::kCapabilities: {
      log.push_back("capabilities " + text);
      int first = text.size() > 1 ? std::atoi(text.c_str() + 1) : 0;
      if (first <= 0) return Prompt("\r\nHost Name: ", Phase::kHostName);
      std::string selection =
          std::string(1, char(ESC)) + "[>" + std::to_string(first) + ";" + std::to_string(first) + "p";
      return Prompt(selection, Phase::kStartLine);
    }
    default: return;
  }
}

void QvxHost::CheckEscI() {
  size_t plus = line_.rfind('+');
  if (plus == std::string::npos || plus + 1 >= line_.size()) return;
  std::string digits = line_.substr(plus + 1);
  if (digits.find_first_not_of("0123456789") != std::string::npos) return;
  unsigned sum = 0;
  for (size_t i = 0; i <= plus; ++i) sum = (sum + uint8_t(line_[i])) & 0xFFFF;
  std::string expected = std::to_string(sum);
  if (digits == expected) {
    log.push_back("esci " + line_.substr(0, plus + 1) + " ok");
    return Prompt(std::string(1, char(ESC)) + "[>0q", Phase::kCapabilities);
  }
  if (digits.size() < expected.size()) return;
  log.push_back("esci bad");
  if (++escIAsked_ > 3) return Prompt("\r\nHost Name: ", Phase::kHostName);
  Prompt(std::string(1, char(ESC)) + "I", Phase::kEscI);
}

void QvxHost::Feed(uint8_t c) {
  if (phase_ == Phase::kStartLine) return StartLine(c);
  if (phase_ >= Phase::kHostName) return Dialogue(c);
  if (phase_ != Phase::kLink || !e_) return;
  if (!BpFeed(e_, c)) return;
  uint16_t length = 0;
  uint8_t* p = nullptr;
  while (e_ && BpTakePacket(e_, 1, &length, &p)) {
    if (!(e_->options & kOptSeparateSeq) && e_->outstanding) {
      // In shared-sequence mode a packet from the client acknowledges ours.
      const BpSlot& newest = e_->send[(e_->sendNext + kBpSlots - 1) % kBpSlots];
      uint16_t saved = e_->state;
      e_->state = 1;
      BpFeed(e_, '0' + newest.seq);
      e_->state = saved;
    }
    if (length && p[0] == '+') {
      Negotiate(p, length);
    } else if (length && (p[0] == 'M' || p[0] == 'L')) {
      assembling_.insert(assembling_.end(), p + 1, p + length);
      if (p[0] == 'L') {
        std::vector<uint8_t> message = std::move(assembling_);
        assembling_.clear();
        BpPutBuffer(e_, p);
        p = nullptr;
        OnMessage(message);
      }
    }
    if (p && e_) BpPutBuffer(e_, p);
  }
}

void QvxHost::StartLine(uint8_t c) {
  line_ += char(c & 0x7F);
  if ((c & 0x7F) != '\r') return;
  size_t hash = line_.rfind('#'), semi = line_.find(';', hash == std::string::npos ? 0 : hash);
  if (hash == std::string::npos || semi == std::string::npos) {
    line_.clear();
    return;
  }
  std::string body = line_.substr(hash, semi - hash + 1);
  unsigned sum = 0;
  for (char ch : body) sum += uint8_t(ch);
  unsigned sent = unsigned(strtoul(line_.c_str() + semi + 1, nullptr, 10));
  log.push_back("start " + body + " " + std::to_string(sent));
  line_.clear();
  int numbers[6] = {};
  std::sscanf(body.c_str(), "#%d,%d,%d,%d,%d,%d;", &numbers[0], &numbers[1], &numbers[2], &numbers[3], &numbers[4],
              &numbers[5]);
  strings8_ = numbers[4] & 1;
  chars8_ = numbers[4] & 2;
  if (sent != sum || startAnswer_ == "nak") {
    log.push_back("nak");
    WriteRaw({NAK});
    return;
  }
  if (startAnswer_ == "query") return WriteRaw({ESC, '[', '>'});
  if (startAnswer_ == "silent") {
    phase_ = Phase::kSilent;
    return;
  }
  WriteRaw({ACK});
  phase_ = Phase::kLink;
  StartTransport();
}

// ENQ opens the transport; it is repeated until the client's "+" comes, so
// a client still closing the old transport cannot swallow it.
void QvxHost::StartTransport() {
  BpDestroy(e_);
  e_ = BpCreate();
  BpInit(e_, nullptr, 1, port_);
  e_->options |= kOptFullDuplex;
  outbox_.clear();
  assembling_.clear();
  awaitingPlus_ = true;
  nextEnq_ = BpSys().ticks();
  linkUp = false;
}

void QvxHost::Negotiate(const uint8_t* p, unsigned length) {
  uint8_t q[18] = {};
  std::memcpy(q, p, std::min<size_t>(length, 18));
  e_->method = uint8_t(std::min<int>(q[4], 2));
  unsigned size = std::max(129u, std::min<unsigned>(e_->packetSize, 128u * q[3] + 1));
  e_->packetSize = e_->pendingPacketSize = uint16_t(size);
  unsigned w = std::min<unsigned>(q[2] ? q[2] : 1, e_->windowSize);
  e_->windowSize = uint16_t(std::max(1u, w));
  if (q[6] && (e_->options & kOptFullDuplex)) e_->options |= kOptSeparateSeq;
  e_->options &= uint16_t(~kOptPlusUnacked);
  e_->pendingOptions = 0;
  e_->quoteMode = 4;
  awaitingPlus_ = false;
  linkUp = true;
  log.push_back("link");
  auto deferred = std::move(deferred_);
  deferred_.clear();
  for (const auto& [action, request] : deferred) RunAction(action, request.first, request.second);
}

void QvxHost::OnMessage(const std::vector<uint8_t>& m) {
  if (m.size() < 2) {
    log.push_back("short message");
    return;
  }
  uint8_t cls = m[0], function = m[1];
  log.push_back(std::to_string(cls) + " " + std::to_string(function) + " " + Hex(m.data() + 2, m.size() - 2));
  if (logon_ && (function == 3 || function == 7)) {
    // The client ends the link: the host is back at its first prompt.
    log.push_back("stop");
    BpDestroy(e_);
    e_ = nullptr;
    linkUp = false;
    return Prompt("\r\nHost Name: ", Phase::kHostName);
  }
  if (restartPending_ && function == 1 && m.size() > 2 && m[2] == 12) {
    restartPending_ = false;
    log.push_back("restart");
    StartTransport();
    nextEnq_ = BpSys().ticks() + 300;
    return;
  }
  auto rule = rules_.find({cls, function});
  if (rule == rules_.end() || rule->second.empty()) return;
  std::string turn = rule->second.front();
  if (rule->second.size() > 1) rule->second.pop_front();
  for (const std::string& action : SplitActions(turn)) {
    // What follows a restart goes out on the new transport.
    if (restartPending_)
      deferred_.push_back({action, {cls, function}});
    else
      RunAction(action, cls, function);
  }
}

bool QvxHost::Fields(const std::vector<std::string>& w, size_t from, std::vector<uint8_t>& out) {
  uint8_t buffer[4096];
  qvx::Writer writer;
  qvx::Begin(writer, buffer, sizeof buffer);
  for (size_t i = from; i < w.size(); ++i) {
    const std::string& f = w[i];
    if (f[0] == '"') {
      std::string text = f.substr(1);
      if (strings8_)
        qvx::WriteString8(writer, text.c_str());
      else
        qvx::WriteText6(writer, text.c_str(), chars8_);
    } else if (f.size() > 2 && f[1] == ':') {
      const char* value = f.c_str() + 2;
      unsigned long n = strtoul(value, nullptr, 0);
      switch (f[0]) {
        case 'w': qvx::WriteWord(writer, uint16_t(n)); break;
        case 'l': qvx::WriteLong(writer, uint32_t(n)); break;
        case 's': qvx::WriteShortNumber(writer, uint16_t(n)); break;
        case 'x':
          for (size_t k = 0; value[k] && value[k + 1]; k += 2)
            qvx::WriteByte(writer, uint8_t(strtoul(std::string(value + k, 2).c_str(), nullptr, 16)));
          break;
        default: return false;
      }
    } else {
      qvx::WriteByte(writer, uint8_t(strtoul(f.c_str(), nullptr, 0)));
    }
  }
  out.insert(out.end(), buffer, buffer + writer.length);
  return true;
}

void QvxHost::RunAction(const std::string& action, uint8_t cls, uint8_t function) {
  std::vector<std::string> w = Words(action);
  if (w.empty()) return;
  const std::string& verb = w[0];
  if (verb == "send" && w.size() >= 3) {
    std::vector<uint8_t> m = {w[1] == "*" ? cls : uint8_t(atoi(w[1].c_str())), uint8_t(atoi(w[2].c_str()))};
    if (Fields(w, 3, m)) Queue(m);
  } else if (verb == "ack") {
    Queue({cls, 1, function});
  } else if (verb == "fail") {
    std::vector<uint8_t> m = {cls, 2, function};
    if (Fields(w, 1, m)) Queue(m);
  } else if (verb == "restart") {
    Queue({cls, 12});
    restartPending_ = true;
  } else if (verb == "stream" && w.size() >= 5) {
    long count = atol(w[1].c_str());
    size_t bytes = size_t(atol(w[2].c_str()));
    for (long i = 0; i < count; ++i) {
      std::vector<uint8_t> m(std::max<size_t>(bytes, 2), uint8_t(i));
      m[0] = uint8_t(atoi(w[3].c_str()));
      m[1] = uint8_t(atoi(w[4].c_str()));
      Queue(m);
    }
  } else if (verb == "close") {
    hangUp = true;
  } else {
    log.push_back("unknown action: " + action);
  }
}

void QvxHost::Queue(const std::vector<uint8_t>& message) {
  size_t piece = std::max<size_t>(e_ ? e_->packetSize : 1025, 2) - 1, offset = 0;
  do {
    size_t n = std::min(piece, message.size() - offset);
    std::vector<uint8_t> p;
    p.push_back(offset + n < message.size() ? 'M' : 'L');
    p.insert(p.end(), message.begin() + long(offset), message.begin() + long(offset + n));
    outbox_.push_back(std::move(p));
    offset += n;
  } while (offset < message.size());
}

void QvxHost::Tick() {
  if (logon_ && !greeted_) {
    greeted_ = true;
    Prompt("\r\nHost Name: ", Phase::kHostName);
  }
  if (phase_ != Phase::kLink || !e_) return;
  if (awaitingPlus_) {
    if (Passed(nextEnq_)) {
      WriteRaw({ENQ});
      e_->state = 9;
      nextEnq_ = BpSys().ticks() + kEnqRepeatMs;
    }
    return;
  }
  BpCheckAckTimer(e_);
  while (!outbox_.empty() && BpSendPacket(e_, outbox_.front().data(), unsigned(outbox_.front().size())))
    outbox_.pop_front();
}
