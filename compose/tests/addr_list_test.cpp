#include "compose/addr_list.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

// A fake message of the open topic and fake service settings.
struct FakeServices {
  std::string topic = "net:comp/lang";
  std::vector<std::string> lines;
  size_t next = 0;
  bool readable = true;
  std::map<std::string, std::string> settings;
  std::string user = "demo";
};
FakeServices* g_fake = nullptr;

void FakeDomains(const char* service, char* first, char* second, size_t size) {
  std::string s = service;
  snprintf(first, size, "%s", s == "quorl" ? "@quorl.example.com" : s == "dvn" ? "@dravenet.example.com" : "");
  snprintf(second, size, "%s", s == "quorl" ? "@qx.example" : s == "dvn" ? "@forum.dravenet.example.com" : "");
}
const char* FakeSetting(const char* service, const char* key) {
  auto it = g_fake->settings.find(std::string(service) + "/" + key);
  return it == g_fake->settings.end() ? "" : it->second.c_str();
}
const char* FakeUser() { return g_fake->user.c_str(); }
const char* FakeTopic() { return g_fake->topic.c_str(); }
bool FakeOpen(long) {
  g_fake->next = 0;
  return g_fake->readable;
}
bool FakeLine(char* buffer, size_t size) {
  if (g_fake->next >= g_fake->lines.size()) return false;
  snprintf(buffer, size, "%s", g_fake->lines[g_fake->next++].c_str());
  return true;
}

class AddrList : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = g_addrListHooks;
    g_fake = &fake_;
    g_addrListHooks = {FakeDomains, FakeSetting, FakeUser, FakeTopic, FakeOpen, FakeLine};
  }
  void TearDown() override {
    g_addrListHooks = saved_;
    g_fake = nullptr;
  }
  static std::vector<std::string> Entries(CAddrList& list) {
    std::vector<std::string> out;
    for (int i = 0; i < list.Count(); ++i) out.push_back(std::string(list.At(i)->name) + "|" + list.At(i)->address);
    return out;
  }
  // Header lines of a message, each ended by CR LF, then the blank line.
  void Message(std::vector<std::string> lines) {
    fake_.lines.clear();
    for (auto& l : lines) fake_.lines.push_back(l + "\r\n");
    fake_.lines.push_back("\r\n");
    fake_.lines.push_back("To: body@not.header\r\n");
  }
  FakeServices fake_;
  AddrListHooks saved_;
};

using Want = std::vector<std::string>;

TEST_F(AddrList, ParseSplitsTypedTextWithEscapesParenthesesAndQuotes) {
  struct Case {
    const char* text;
    Want want;
  } cases[] = {
      {"a@x.com; Bob <b@y.org>", {"|a@x.com", "Bob|b@y.org"}},
      {"a@x.com;;  ;b@y.org;", {"|a@x.com", "|b@y.org"}},
      // The escaped ';' stays and the backslash goes: one piece less.
      {"odd\\;name@x.com; c@z.net", {"|odd;name@x.com", "|c@z.net"}},
      // Inside parentheses ';' does not separate; the brackets disappear.
      {"(Smith; Jo) <jo@x.com>; d@e.f", {"Smith; Jo|jo@x.com", "|d@e.f"}},
      {"\"Doe; John\" <jd@x.com>", {"Doe; John|jd@x.com"}},
      {"", {}},
  };
  for (const Case& c : cases) {
    CAddrList list;
    list.Parse(c.text, false);
    EXPECT_EQ(Entries(list), c.want) << c.text;
  }
}

TEST_F(AddrList, ParseAppendsOnlyWhenAskedAndCutsFieldsTo100) {
  CAddrList list;
  list.Parse("a@x.com", false);
  list.Parse("b@x.com", true);
  EXPECT_EQ(list.Count(), 2);
  list.Parse("c@x.com", false);
  EXPECT_EQ(Entries(list), Want({"|c@x.com"}));

  std::string longName(150, 'n');
  char name[200];
  snprintf(name, sizeof name, "%s", longName.c_str());
  EXPECT_EQ(list.AddEntry(name, "e@x.com"), 0);
  EXPECT_EQ(std::string(list.At(1)->name), longName.substr(0, 100));
  char tabbed[] = "Ann Lee\tann@x.com";
  list.AddEntry(tabbed, nullptr);
  EXPECT_EQ(Entries(list).back(), "Ann Lee|ann@x.com");
  char noAddress[] = "Name only\t";
  EXPECT_EQ(list.AddEntry(noAddress, nullptr), 1);
  // Line breaks never reach a field, so an entry always fits a header line.
  char broken[] = "Eve\r\nBcc: x@y";
  list.AddEntry(broken, "eve@x.com");
  EXPECT_EQ(Entries(list).back(), "EveBcc: x@y|eve@x.com");
}

TEST_F(AddrList, FromReplyHeadersInInternetMode) {
  Message({"Path: a!b", "From: Ann Lee <ann@x.com>", "Reply-To: lists@x.com,", " Bob <bob@y.org> ,", "\tcarl@z.net",
           "To: All", "Cc: (Smith, Jo) jo@x.com, \"Doe, J\" <jd@x.com>", "From: Second <two@x.com>"});
  CAddrList list;
  EXPECT_EQ(list.FromReplyHeaders(7, "From:", "net", false), 0);
  // Every occurrence of the header is taken; nothing after the empty line.
  EXPECT_EQ(Entries(list), Want({"Ann Lee|ann@x.com", "Second|two@x.com"}));
  list.FromReplyHeaders(7, "Reply-To:", "net", false);
  EXPECT_EQ(Entries(list), Want({"|lists@x.com", "Bob|bob@y.org", "|carl@z.net"}));
  list.FromReplyHeaders(7, "To:", "net", false);
  EXPECT_EQ(list.Count(), 0);
  // In a header only ',' separates, and the parenthesised piece keeps its
  // brackets into the address parser.
  list.FromReplyHeaders(7, "CC:", "net", false);
  ASSERT_EQ(list.Count(), 2);
  EXPECT_TRUE(strstr(list.At(0)->address, "jo@x.com") || strstr(list.At(0)->name, "(Smith, Jo)"))
      << list.At(0)->name << "|" << list.At(0)->address;
  EXPECT_EQ(Entries(list)[1], "Doe, J|jd@x.com");

  fake_.readable = false;
  EXPECT_EQ(list.FromReplyHeaders(7, "From:", "net", false), 1);
}

TEST_F(AddrList, FromReplyHeadersInServiceModeForDravenetForums) {
  fake_.topic = "dvn:cooking/bread";
  Message({"From: 76543,210", "To: sysop", "Cc: Jo Baker 12345,67", " 22222,33"});
  CAddrList list;
  // Target net: the comma form becomes the point form at the Dravenet domain.
  list.FromReplyHeaders(1, "From:", "net", false);
  EXPECT_EQ(Entries(list), Want({"|76543.210@dravenet.example.com"}));
  // Target dvn: the comma form comes back.
  list.FromReplyHeaders(1, "From:", "dvn", false);
  EXPECT_EQ(Entries(list), Want({"|76543,210"}));
  list.FromReplyHeaders(1, "To:", "net", false);
  EXPECT_EQ(list.Count(), 0);
  // A continued header yields the addresses of all its lines.
  list.FromReplyHeaders(1, "Cc:", "dvn", false);
  EXPECT_EQ(Entries(list), Want({"Jo Baker|12345,67", "|22222,33"}));

  // A member name in a forum gets the short domain.
  Message({"From: Mary Smith [mary]"});
  list.FromReplyHeaders(1, "From:", "net", false);
  EXPECT_EQ(Entries(list), Want({"Mary Smith|mary@forum.dravenet.example.com"}));
}

TEST_F(AddrList, FromReplyHeadersSwitchesModesOnTheMarkers) {
  // In a Dravenet folder "Received:" switches to Internet mode, where ','
  // separates addresses.
  fake_.topic = "dvn:mail/in";
  Message({"Received: by gateway", "From: a@x.com, b@y.org"});
  CAddrList list;
  list.FromReplyHeaders(1, "From:", "net", false);
  EXPECT_EQ(Entries(list), Want({"|a@x.com", "|b@y.org"}));

  // In a news folder a bracketed From and "From: INTERNET:" are service form.
  fake_.topic = "net:comp/lang";
  Message({"From: Jo Doe [12345,67]"});
  list.FromReplyHeaders(1, "From:", "net", false);
  EXPECT_EQ(Entries(list), Want({"Jo Doe|12345.67@dravenet.example.com"}));
  Message({"From: INTERNET:jd@x.com"});
  list.FromReplyHeaders(1, "From:", "net", false);
  EXPECT_EQ(Entries(list), Want({"|jd@x.com"}));
}

TEST_F(AddrList, QualifyAddressesBetweenServiceAndInternetForms) {
  struct Case {
    const char* address;
    const char* source;
    const char* target;
    const char* want;
  } cases[] = {
      {"joe", "quorl", "net", "joe@quorl.example.com"},
      {"joe@QX.example", "net", "quorl", "joe"},
      {"joe@quorl.example.com", "net", "quorl", "joe"},
      {"76543,210", "dvn", "net", "76543.210@dravenet.example.com"},
      {"76543.210@Dravenet.example.com", "net", "dvn", "76543,210"},
      {"76543,210", "dvn", "dvn", "76543,210"},
      {"a@b.c", "net", "net", "a@b.c"},
  };
  for (const Case& c : cases) {
    CAddrList list;
    list.AddEntry(nullptr, c.address);
    char name[] = "";
    list.Clear();
    list.AddEntry(name, c.address);
    list.QualifyAddresses(c.source, c.target);
    EXPECT_STREQ(list.At(0)->address, c.want) << c.address << " " << c.source << "->" << c.target;
  }
}

TEST_F(AddrList, RemoveDuplicatesKeepsTheFirstAndClearsTheOtherList) {
  CAddrList to, cc;
  to.Parse("a@x.com; B@X.com; Ann <A@X.COM>; b@x.com", false);
  to.RemoveDuplicates(nullptr);
  EXPECT_EQ(Entries(to), Want({"|a@x.com", "|B@X.com"}));
  cc.Parse("c@x.com; b@x.com", false);
  to.RemoveDuplicates(&cc);
  EXPECT_EQ(Entries(cc), Want({"|c@x.com"}));
  EXPECT_EQ(to.Count(), 2);
}

TEST_F(AddrList, RemoveOwnAddressesPerService) {
  fake_.settings["quorl/Name"] = "me";
  fake_.settings["dvn/Name"] = "111,22";
  fake_.settings["dvn/Personal Address"] = "MeMyself";
  fake_.settings["net/Email Address"] = "me@qx.example";
  struct Case {
    const char* service;
    const char* text;
    Want left;
  } cases[] = {
      {"quorl", "ME; me@qx.example; me@quorl.example.com; you", {"|you"}},
      {"dvn", "111,22; 111.22@dravenet.example.com; memyself; MeMyself@dravenet.example.com; x@y", {"|x@y"}},
      {"net", "me@qx.example; ME@quorl.example.com; other@x.com", {"|other@x.com"}},
      {"local", "demo; bob", {"|bob"}},
      {"net", "Blind,Copy.Receiver; blind.copy.receiver@dravenet.example.com; z@z", {"|z@z"}},
  };
  for (const Case& c : cases) {
    CAddrList list;
    list.Parse(c.text, false);
    list.RemoveOwnAddresses(c.service);
    EXPECT_EQ(Entries(list), c.left) << c.service << ": " << c.text;
  }
}

TEST_F(AddrList, DisplayFormsAndHeaderLines) {
  EXPECT_STREQ(FormatAddressDisplay("", "a@b", false), "a@b");
  EXPECT_STREQ(FormatAddressDisplay("Jo", "12345,67", true), "Jo [12345,67]");
  EXPECT_STREQ(FormatAddressDisplay("Jo", "jo@x", true), "Jo <jo@x>");
  EXPECT_STREQ(FormatAddressDisplay("Jo", "12345,67", false), "Jo <12345,67>");

  CAddrList list;
  list.Parse("Ann <ann@x.com>; bob@y.org", false);
  char joined[100];
  list.JoinDisplay(joined, sizeof joined);
  EXPECT_STREQ(joined, "Ann <ann@x.com>;bob@y.org");
  EXPECT_EQ(list.FindAddress("BOB@y.org"), 1);
  EXPECT_EQ(list.FindAddress("nobody"), -1);

  char buffer[256] = "";
  FILE* f = fmemopen(buffer, sizeof buffer, "w");
  list.WriteHeaderLines(f, "CC");
  fclose(f);
  EXPECT_STREQ(buffer, "CC: Ann\tann@x.com\r\nCC: bob@y.org\r\n");

  list.ReadText("Ann <ann@x.com>;bob@y.org;(x;y)", false);
  EXPECT_EQ(list.Count(), 4);  // no parentheses rule in a control's text
}

}  // namespace
