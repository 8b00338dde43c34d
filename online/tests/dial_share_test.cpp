#include "online/dial_share.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

bool Lookup(const char* service, DialSettings* out) {
  static const std::map<std::string, DialSettings> settings = {
      {"quorl", {1, "Home", "ann"}}, {"dvn", {1, "Home", "ann"}},    {"net", {1, "Alpha", "ann"}},
      {"cix", {0, "Home", "ann"}},   {"msmail", {1, "Home", "ann"}},
  };
  auto found = settings.find(service);
  if (found == settings.end()) return false;
  *out = found->second;
  return true;
}

TEST(DialShare, ListOrderedByDialKey) {
  // Dialling services first, equal keys together; the rest keep their order.
  EXPECT_EQ(OptimiseDialList("cix;quorl;msmail;net;dvn;close", false, Lookup), "net;dvn;quorl;cix;msmail;close");
  EXPECT_EQ(OptimiseDialList("cix;quorl;msmail;net;dvn;close", true, Lookup), "cix;quorl;msmail;net;dvn;close");
  EXPECT_EQ(OptimiseDialList("quorl", false, Lookup), "quorl");
  EXPECT_EQ(OptimiseDialList("", false, Lookup), "");
}

TEST(DialShare, KeepsTheLineForTheNextService) {
  DialShareState state;
  state.sharingAllowed = true;
  EXPECT_EQ(DialShareSuffixFor(&state, "dvn", "dvn;quorl;net", Lookup), " /nodisconnect");
  EXPECT_EQ(DialShareSuffixFor(&state, "quorl", "quorl;net", Lookup), " /disconnect");
  EXPECT_EQ(DialShareSuffixFor(&state, "net", "net", Lookup), "");
  DialShareState off;
  EXPECT_EQ(DialShareSuffixFor(&off, "dvn", "dvn;quorl", Lookup), "");
}

}  // namespace
