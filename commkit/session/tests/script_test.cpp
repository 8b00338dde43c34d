// The login-script language on scripts held in memory, with a fake line that
// records what the script sends and answers its waits from a list.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "commkit/session/encodings.h"
#include "commkit/session/script.h"

namespace {

std::map<std::string, std::string> g_files;
struct OpenFile {
  std::string text;
};

void* MemOpen(const char* name) {
  auto it = g_files.find(name);
  return it == g_files.end() ? nullptr : new OpenFile{it->second};
}
int MemReadAt(void* file, uint32_t offset, void* buffer, unsigned count) {
  const std::string& t = static_cast<OpenFile*>(file)->text;
  if (offset >= t.size()) return 0;
  size_t n = std::min<size_t>(count, t.size() - offset);
  std::memcpy(buffer, t.data() + offset, n);
  return int(n);
}
void MemClose(void* file) { delete static_cast<OpenFile*>(file); }

struct FakeLine {
  std::vector<std::string> sent;
  std::deque<int> waitResults;
  std::vector<int> waitCounts;
  std::vector<uint16_t> waitUnits;
  std::string scanned = "seen";
  int polls = 0;
  int stopAfterPolls = -1;
  std::vector<std::string> commands;
  uint8_t key[16] = {};
  bool keySet = false;
};
FakeLine* g_line;

int Wait(void*, const char* const*, int count, uint16_t units, std::string* scanned) {
  g_line->waitCounts.push_back(count);
  g_line->waitUnits.push_back(units);
  *scanned = g_line->scanned;
  if (g_line->waitResults.empty()) return 0;
  int r = g_line->waitResults.front();
  g_line->waitResults.pop_front();
  return r;
}
void Send(void*, int kind, const std::string& text) {
  static const char* const names[] = {"send", "sendi", "sendm", "show"};
  g_line->sent.push_back(std::string(names[kind]) + " " + text);
}
int Init(void*, const std::string& port, long speed) {
  g_line->sent.push_back("init " + port + " " + std::to_string(speed));
  return port == "COM1" ? 1 : 0;
}
void Reset(void*) { g_line->sent.push_back("reset"); }
int Poll(void*) { return ++g_line->polls == g_line->stopAfterPolls; }
void Command(void*, const std::string& text) { g_line->commands.push_back(text); }
void Key(void*, const uint8_t key[16]) {
  std::memcpy(g_line->key, key, 16);
  g_line->keySet = true;
}

struct Script : ::testing::Test {
  FakeLine line;
  ScriptContext context;
  ScriptHost host{};
  void SetUp() override {
    g_line = &line;
    g_files.clear();
    host =
        ScriptHost{nullptr, Wait, Send, Init, Reset, Poll, Command, Key, ScriptFileOps{MemOpen, MemReadAt, MemClose}};
  }
  int Run(const std::string& text, const std::string& name = "test.scr") {
    g_files["dir\\" + name] = text;
    return context.Run(host, "dir", name);
  }
  int16_t Int(const std::string& name) {
    int32_t v = -999;
    EXPECT_EQ(context.GetInt(name, &v), 0) << name;
    return int16_t(v);
  }
  std::string Text(const std::string& name) {
    std::string v = "(unset)";
    EXPECT_EQ(context.GetString(name, &v), 0) << name;
    return v;
  }
};

TEST_F(Script, ExpressionsFollowTheLanguagesRules) {
  ASSERT_EQ(Run("%a = \"ABC\" = \"abc\";\n%b = \"abc\" < \"abd\";\n%c = 7 / 2;\n%d = 2 + 3 * 4;\n"
                "%e = -2 * 3;\n%f = (1 or 0) and not 0;\n%g = \"x\" & \"y\" & \"z\";\n%h = 32767 + 1;\n"
                "%i = 3 <> 4;\n%j = 5 >= 5;\n%k = 10 - 2 - 3;\n"),
            kScriptRanOut)
      << context.errorText;
  EXPECT_EQ(Int("%a"), 0);
  EXPECT_EQ(Int("%b"), 1);
  EXPECT_EQ(Int("%c"), 3);
  EXPECT_EQ(Int("%d"), 14);
  EXPECT_EQ(Int("%e"), -6);
  EXPECT_EQ(Int("%f"), 1);
  EXPECT_EQ(Text("%g"), "xyz");
  EXPECT_EQ(Int("%h"), -32768);  // 16 bits
  EXPECT_EQ(Int("%i"), 1);
  EXPECT_EQ(Int("%j"), 1);
  EXPECT_EQ(Int("%k"), 5);
}

TEST_F(Script, CaretEscapesInStringConstants) {
  ASSERT_EQ(Run("send \"AT^M\";\nsend \"^1\";\nsend \"a^[b\";\n"), kScriptRanOut) << context.errorText;
  EXPECT_EQ(line.sent, (std::vector<std::string>{"send AT\r", "send ^1",
                                                 "send a\x1b"
                                                 "b"}));
}

TEST_F(Script, SendsOfEveryKindAndIntegersAsDecimal) {
  ASSERT_EQ(Run("send 42;\nsendi \"AB\";\nsendm \"x~\";\nshow \"Dialling\";\n"), kScriptRanOut);
  EXPECT_EQ(line.sent, (std::vector<std::string>{"send 42", "sendi AB", "sendm x~", "show Dialling"}));
}

TEST_F(Script, ForwardGotoSkipsWhatLiesBetween) {
  ASSERT_EQ(Run("goto later;\nsend \"skipped\";\n%x = 1 / 0;\nbad = \"a\" + 1;\nlater:\nsend \"after\";\n"),
            kScriptRanOut)
      << context.errorText;
  EXPECT_EQ(line.sent, (std::vector<std::string>{"send after"}));
}

TEST_F(Script, BackwardGotoLoopsAndCountsDown) {
  ASSERT_EQ(Run("n = 3;\ntop:\nsend n;\nn = n - 1;\nif n > 0 goto top;\n"), kScriptRanOut) << context.errorText;
  EXPECT_EQ(line.sent, (std::vector<std::string>{"send 3", "send 2", "send 1"}));
}

TEST_F(Script, GosubReturnsAndSevenLevelsAreTheLimit) {
  std::string seven = "gosub a1;\nexit 0;\n";
  for (int i = 1; i <= 7; ++i) {
    seven += "a" + std::to_string(i) + ":\n";
    seven += i < 7 ? "gosub a" + std::to_string(i + 1) + ";\n" : "send \"deep\";\n";
    seven += "return;\n";
  }
  ASSERT_EQ(Run(seven), kScriptRanOut) << context.errorText;
  EXPECT_EQ(line.sent, (std::vector<std::string>{"send deep"}));

  std::string eight = "gosub a1;\nexit 0;\n";
  for (int i = 1; i <= 8; ++i) eight += "a" + std::to_string(i) + ":\ngosub a" + std::to_string(i + 1) + ";\nreturn;\n";
  eight += "a9:\nreturn;\n";
  ASSERT_EQ(Run(eight), kScriptFailed);
  EXPECT_NE(context.errorText.find("Gosub stack overflow"), std::string::npos) << context.errorText;
}

TEST_F(Script, WaitTakesTheMatchedPatternsLabelAndKeepsWhatWasScanned) {
  line.waitResults = {2, 0, -1};
  ASSERT_EQ(Run("on cancel goto gone;\n"
                "wait \"one\" goto a, \"two\" goto b until 50;\nexit 9;\n"
                "a: exit 8;\n"
                "b: send %Scanned;\n"
                "wait \"x\" goto a until 3;\nsend \"timed out\";\n"
                "wait until 1;\nexit 7;\n"
                "gone: exit 2;\n"),
            kScriptRanOut)
      << context.errorText;
  EXPECT_EQ(line.sent, (std::vector<std::string>{"send seen", "send timed out"}));
  EXPECT_EQ(context.exitCode, 2);
  EXPECT_EQ(line.waitCounts, (std::vector<int>{2, 1, 0}));
  EXPECT_EQ(line.waitUnits, (std::vector<uint16_t>{50, 3, 1}));
}

TEST_F(Script, WaitHoldsTwentyFivePatternsAndNoMore) {
  auto wait = [](int n) {
    std::string s = "p = \"var\";\nwait ";
    for (int i = 0; i < n; ++i) s += std::string(i ? ", " : "") + (i % 2 ? "p" : "\"x\"") + " goto done";
    return s + " until 1;\ndone:\n";
  };
  ASSERT_EQ(Run(wait(25)), kScriptRanOut) << context.errorText;
  EXPECT_EQ(line.waitCounts.back(), 25);
  ASSERT_EQ(Run(wait(26)), kScriptFailed);
  EXPECT_NE(context.errorText.find("Too many patterns in wait statement"), std::string::npos);
}

TEST_F(Script, InitResetAndExitCodes) {
  ASSERT_EQ(Run("init \"COM1\", \"9600\";\n%a = %_init;\ninit \"COM9\", 2400;\n%b = %_init;\nreset;\nexit 3;\n"),
            kScriptRanOut);
  EXPECT_EQ(Int("%a"), 1);
  EXPECT_EQ(Int("%b"), 0);
  EXPECT_EQ(line.sent, (std::vector<std::string>{"init COM1 9600", "init COM9 2400", "reset"}));
  EXPECT_EQ(context.exitCode, 3);
}

TEST_F(Script, DefineIfndefAndGlobalsOutliveTheRun) {
  ASSERT_EQ(Run("define %a = 1;\nifndef %a = 2;\nifndef %b = \"b\";\n"), kScriptRanOut);
  ASSERT_EQ(Run("%c = %a + 1;\n"), kScriptRanOut) << context.errorText;
  EXPECT_EQ(Int("%a"), 1);
  EXPECT_EQ(Text("%b"), "b");
  EXPECT_EQ(Int("%c"), 2);
}

TEST_F(Script, CallPassesArgumentsAndGetsThemBack) {
  g_files["dir\\sub.scr"] = "Arg1 = Arg1 & \"!\";\nArg2 = Arg2 * 2;\nexit 5;\n";
  ASSERT_EQ(Run("s = \"hi\";\nn = 4;\ncall \"sub.scr\" (s, n + 1) : r;\n%s = s;\n%n = n;\n%r = r;\n"), kScriptRanOut)
      << context.errorText;
  EXPECT_EQ(Text("%s"), "hi!") << context.errorText;
  EXPECT_EQ(Int("%n"), 4);  // an expression is not handed back
  EXPECT_EQ(Int("%r"), 5);
  EXPECT_EQ(context.exitCode, 0);
}

TEST_F(Script, CommentsWithCommandReachTheClient) {
  ASSERT_EQ(Run("! plain comment\n! command RUN this\nsend \"x\"; ! trailing\n"), kScriptRanOut);
  EXPECT_EQ(line.commands, (std::vector<std::string>{" RUN this"}));
  EXPECT_EQ(line.sent.size(), 1u);
}

// Each error number's text, with the line it names.
TEST_F(Script, EveryErrorGivesItsTextAndLine) {
  struct Case {
    const char* script;
    const char* text;
  } cases[] = {
      {"a:\nsend 1;\na:\n", "line 3: Identifier is already defined"},
      {"return;\n", "line 1: Gosub stack underflow"},
      {";\n)\n", "line 2: Found ')' at start of statement"},
      {"goto nowhere;\nsend 1;\n", "Label nowhere not found"},
      {"a:\na = 1;\n", "line 2: Invalid variable"},
      {"x = y;\n", "line 1: Invalid variable"},
      {"define x = 1;\n", "line 1: Expecting global symbol"},
      {"x = 1;\ngoto x;\n", "line 2: Invalid label"},
      {"call 5;\n", "line 1: Invalid script name"},
      {"call \"missing.scr\";\n", "line 1: Invalid script name"},
      {"x = \"a\" + 1;\n", "line 1: Incompatible operand"},
      {"if \"a\" goto l;\nl:\n", "line 1: Incompatible operand"},
      {"wait 5 goto l until 1;\nl:\n", "line 1: Expecting string constant or symbol"},
      {"n = 1;\nwait n goto l until 1;\nl:\n", "line 2: Invalid wait pattern"},
      {"exit -1;\n", "line 1: Invalid expression"},
      {"x = 1 / 0;\n", "line 1: Division by zero"},
      {"encode 1, \"a\", \"b\", v;\n", "line 1: Invalid operand"},
      {"x = ;\n", "line 1: Found ';' when expecting primary"},
      {"x = 1 $ 2;\n", "line 1: Invalid character"},
      {"x = 1\n\ny = 2;\n", "line 3: Found identifier when expecting ';'"},
      {"GOTO later;\nlater:\n", "line 1: Found identifier when expecting '='"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Run(c.script, "logon.scr"), kScriptFailed) << c.script;
    EXPECT_EQ(context.errorText.rfind("Error in logon.scr at ", 0), 0u) << context.errorText;
    EXPECT_NE(context.errorText.find(c.text), std::string::npos) << c.script << " gave " << context.errorText;
  }
}

TEST_F(Script, ErrorOnLineTwelveNamesTheScript) {
  std::string text;
  for (int i = 1; i < 12; ++i) text += "! line " + std::to_string(i) + "\n";
  text += "return;\n";
  ASSERT_EQ(Run(text, "logon.scr"), kScriptFailed);
  EXPECT_EQ(context.errorText, "Error in logon.scr at line 12: Gosub stack underflow");
}

TEST_F(Script, LongStringsAreRefused) {
  std::string s256(256, 'a');
  EXPECT_EQ(Run("x = \"" + s256 + "\";\n"), kScriptFailed);
  EXPECT_NE(context.errorText.find("longer than 255"), std::string::npos);
  std::string s200(200, 'b');
  EXPECT_EQ(Run("x = \"" + s200 + "\";\ny = x & x;\n"), kScriptFailed);
  EXPECT_NE(context.errorText.find("line 2"), std::string::npos);
  EXPECT_EQ(Run("x = \"" + std::string(255, 'c') + "\";\n"), kScriptRanOut);
}

TEST_F(Script, BrokenScriptsEndWithAnErrorOrByTheClientsAbort) {
  line.stopAfterPolls = 3;
  EXPECT_EQ(Run("top:\ngoto top;\n"), kScriptRanOut);
  EXPECT_EQ(context.exitCode, 2);  // as cancelled
  EXPECT_EQ(line.polls, 3);

  line.stopAfterPolls = -1;
  std::string deep = "x = " + std::string(10000, '(') + "1" + std::string(10000, ')') + ";\n";
  EXPECT_EQ(Run(deep), kScriptFailed);
  std::string nots = "x = ";
  for (int i = 0; i < 10000; ++i) nots += "not ";
  EXPECT_EQ(Run(nots + "1;\n"), kScriptFailed);
  std::string ifs;
  for (int i = 0; i < 10000; ++i) ifs += "if 1 goto l" + std::to_string(i) + ";\nl" + std::to_string(i) + ":\n";
  EXPECT_EQ(Run(ifs), kScriptRanOut) << context.errorText;
  EXPECT_EQ(Run("send \"unterminated\nsend \"next\";\n"), kScriptFailed);
  EXPECT_EQ(Run(std::string("send \"a\0b\";\n", 13)), kScriptRanOut);
  EXPECT_EQ(context.Run(host, "dir", "absent.scr"), kScriptBadFile);
}

TEST_F(Script, CallsNestOnlySoDeep) {
  g_files["dir\\self.scr"] = "call \"self.scr\";\n";
  EXPECT_EQ(Run("call \"self.scr\";\n"), kScriptFailed);
  EXPECT_NE(context.errorText.find("nested too deep"), std::string::npos) << context.errorText;
}

TEST_F(Script, VariablesOfTheSessionApi) {
  EXPECT_FALSE(context.SetString("NoPercent", "x"));
  EXPECT_TRUE(context.SetSecret("%Password", "pw"));
  EXPECT_EQ(Text("%Password"), "\xFF\xFFpw\xFF\xFF");
  EXPECT_TRUE(context.SetInt("%N", 7));
  std::string text;
  int32_t value;
  EXPECT_EQ(context.GetString("%N", &text), 776);
  EXPECT_EQ(context.GetInt("%Password", &value), 777);
  EXPECT_EQ(context.GetInt("%Nope", &value), 786);
}

TEST_F(Script, EmbeddedListsReadWithoutRunning) {
  g_files["lists.scr"] =
      "! networks\n!+N\nDravenetNet = 1; ! \"Dravenet\"\nTelenet = 2; ! \"Telenet\"\nDirect = 9; ! \"Direct\"\n!-N\n"
      "!+V\n! \"first value\"\n! \"second\"\n!-V\nsend \"x\";\n";
  std::vector<ScriptNetworkEntry> nets;
  int direct = 0;
  ASSERT_EQ(ScriptReadNetworkList(host.files, "lists.scr", &nets, &direct), 0);
  ASSERT_EQ(nets.size(), 2u);
  EXPECT_EQ(nets[0].name, "Dravenet");
  EXPECT_EQ(nets[1].number, 2);
  EXPECT_EQ(direct, 9);
  std::vector<std::string> values;
  ASSERT_EQ(ScriptReadValueList(host.files, "lists.scr", &values), 0);
  EXPECT_EQ(values, (std::vector<std::string>{"first value", "second"}));

  struct Case {
    const char* text;
    int error;
  } cases[] = {{"send 1;\n", 779},
               {"!+N3\n!-N\n", 780},
               {"!+N\n= 3; ! \"x\"\n!-N\n", 787},
               {"!+N\nA = ; ! \"x\"\n!-N\n", 777},
               {"!+N\nA = 1;\n!-N\n", 787}};
  for (const Case& c : cases) {
    g_files["bad.scr"] = c.text;
    nets.clear();
    EXPECT_EQ(ScriptReadNetworkList(host.files, "bad.scr", &nets, &direct), c.error) << c.text;
  }
  g_files["bad.scr"] = "!+V\n! \"open\"\n";
  EXPECT_EQ(ScriptReadValueList(host.files, "bad.scr", &values), 778);
  EXPECT_EQ(ScriptReadNetworkList(host.files, "absent.scr", &nets, &direct), 774);
}

// The secure logon's answers against digests that md5sum computes over the
// same bytes.
std::string Md5Sum(const std::vector<uint8_t>& bytes) {
  char name[] = "/tmp/pelmora_mdXXXXXX";
  int fd = mkstemp(name);
  FILE* f = fdopen(fd, "wb");
  if (!bytes.empty()) fwrite(bytes.data(), 1, bytes.size(), f);
  fclose(f);
  std::string out;
  FILE* pipe = popen((std::string("md5sum ") + name).c_str(), "r");
  char chunk[128];
  size_t n;
  while (pipe && (n = fread(chunk, 1, sizeof chunk, pipe)) > 0) out.append(chunk, n);
  if (pipe) pclose(pipe);
  std::remove(name);
  return out.substr(0, 32);
}
std::vector<uint8_t> FromHex(const std::string& hex) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) out.push_back(uint8_t(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return out;
}
std::string Base64Of(const std::vector<uint8_t>& data) {
  Block* b = BlockFromBytes(data.data(), uint16_t(data.size()));
  char* text = BlockToBase64(b, 76);
  std::string s = text;
  BpSys().memFree(text);
  BlockFree(b);
  return s;
}
std::vector<uint8_t> Cat(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

TEST_F(Script, EncodeAndApproveMatchMd5sum) {
  std::vector<uint8_t> a = {1, 2, 3, 4, 5}, b = {'h', 'o', 's', 't', 0xFE};
  std::vector<uint8_t> wide = {0, 'S', 0, 'E', 0, 'C', 0, 'R', 0, 'E', 0, 'T'};  // "secret", upper case
  std::vector<uint8_t> k = FromHex(Md5Sum(wide)), z(48, 0);
  std::vector<uint8_t> answer = FromHex(Md5Sum(Cat({k, z, a, b, k})));
  std::vector<uint8_t> hostProof = FromHex(Md5Sum(Cat({k, z, b, a, k})));
  std::vector<uint8_t> key = FromHex(Md5Sum(Cat({k, z, a, k, b})));
  context.SetSecret("%Password", "secret");
  std::string run = "v = \"\";\nencode \"" + Base64Of(a) + "\", \"" + Base64Of(b) + "\", %Password, v;\n%v = v;\n" +
                    "ok = 5;\napprove \"" + Base64Of(a) + "\", \"" + Base64Of(b) + "\", %Password, \"" +
                    Base64Of(hostProof) + "\", ok;\n%ok = ok;\n" + "bad = 5;\napprove \"" + Base64Of(a) + "\", \"" +
                    Base64Of(b) + "\", %Password, \"" + Base64Of(answer) + "\", bad;\n%bad = bad;\n";
  ASSERT_EQ(Run(run), kScriptRanOut) << context.errorText;
  EXPECT_EQ(Text("%v"), Base64Of(answer));
  EXPECT_EQ(Int("%ok"), 1);
  EXPECT_EQ(Int("%bad"), 0);
  ASSERT_TRUE(line.keySet);
  EXPECT_EQ(std::vector<uint8_t>(line.key, line.key + 16), key);
}

TEST_F(Script, SecureLogonOperandsThatDoNotDecode) {
  context.SetSecret("%Password", "pw");
  ASSERT_EQ(Run("v = \"\";\nencode \"*bad*\", \"AAAA\", %Password, v;\n%f = %SLFailure;\n"
                "ok = 1;\napprove \"AAAA\", \"AAAA\", %Password, \"AAAA\", ok;\n%g = %SLFailure;\n%ok = ok;\n"
                "n = 1;\nencode \"AAAA\", \"AAAA\", %Password, n;\n"),
            kScriptFailed);
  EXPECT_EQ(Int("%f"), 2);
  EXPECT_EQ(Int("%g"), 3);  // "AAAA" is three zero bytes: the check byte is wrong
  EXPECT_EQ(Int("%ok"), 0);
  EXPECT_NE(context.errorText.find("line 9: Invalid variable"), std::string::npos) << context.errorText;
}

}  // namespace
