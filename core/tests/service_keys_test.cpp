#include "core/service_keys.h"

#include "core/folder_names.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(ServiceKeys, GetService) {
  struct Case {
    const char* name;
    const char* key;
  } cases[] = {
      {"quorl:conf/topic", "quorl"},
      {"quorlnew:x/y", "quorlnew"},  // 8 characters: still a key
      {"abcdefghijkl:x/y", ""},      // colon after a 12-letter word
      {"abcdefghi:x", ""},           // 9 characters are too many
      {"conf/topic", ""},
      {":x", ""},
  };
  for (const Case& c : cases) {
    char key[SERVICE_KEY_MAX + 1] = "old";
    getservice(key, c.name);
    EXPECT_STREQ(key, c.key) << c.name;
  }
  for (const char* address : {"CSI:12345", "csi:x", "x400:c=gb;a=x", "X400:y"}) {
    char key[SERVICE_KEY_MAX + 1] = "old";
    getservice(key, address);
    EXPECT_STREQ(key, "old") << address;
  }
  char key[SERVICE_KEY_MAX + 1] = "old";
  getservice(key, nullptr);
  EXPECT_STREQ(key, "old");
}

TEST(ServiceKeys, StripService) {
  struct Case {
    const char* name;
    const char* stripped;
  } cases[] = {
      {"net:comp.lang.c", "comp.lang.c"},
      {"quorl:conf/topic", "conf/topic"},
      {"conf/topic", "conf/topic"},
      {">quorl:conf/topic", ">quorl:conf/topic"},
      {"CSI:12345", "CSI:12345"},
      {"x400:c=gb", "x400:c=gb"},
      {"Meeting notes: 12 May", "Meeting notes: 12 May"},  // not a key
  };
  for (const Case& c : cases) {
    char name[64];
    std::strcpy(name, c.name);
    EXPECT_STREQ(stripservice(name), c.stripped) << c.name;
  }
}

TEST(ServiceKeys, FeatureMasks) {
  struct Case {
    const char* key;
    unsigned long mask;
  } cases[] = {
      {"dvn", 0xBF9},    {"net", 0x68},     {"internet", 0x68},  {"tbbs", 0x2211},  {"quorl", 0x3FC7},
      {"caucus", 0x211}, {"msmail", 0x211}, {"exchange", 0x211}, {"ccmail", 0x211}, {"quorlnews", 0x211},
      {"ouc", 0x42},     {"oud", 0x42},     {"bix", 0x741},      {"local", 0x3243}, {"remote", 0x3203},
      {"fenwold", 0x68}, {"QUORL", 0x3FC7}, {"dvn2", 0xBF9},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ServiceFeatures(c.key), c.mask) << c.key;
    EXPECT_EQ(g_serviceFeatures, c.mask) << c.key;
  }
  // Resumes: the conferencing services keep them, the Internet does not.
  EXPECT_TRUE(ServiceFeatures("quorl") & FEATURE_RESUMES);
  EXPECT_TRUE(ServiceFeatures("ouc") & FEATURE_RESUMES);
  EXPECT_FALSE(ServiceFeatures("net") & FEATURE_RESUMES);
  g_folderNameSettings.serviceAliases = "work=quorl";
  EXPECT_EQ(ServiceFeatures("work"), 0x3FC7u);
  g_folderNameSettings = FolderNameSettings();
}

TEST(ServiceKeys, StringFormsKeepNamesOfAnyLength) {
  const std::string longName = "net:" + std::string(300, 'g');
  struct Case {
    std::string name, key, rest;
  } cases[] = {
      {"dvn:forum/topic", "dvn", "forum/topic"},
      {"notes/local", "", "notes/local"},
      {longName, "net", std::string(300, 'g')},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ServiceKeyOf(c.name.c_str()), c.key) << c.name;
    EXPECT_EQ(WithoutServiceKey(c.name.c_str()), c.rest) << c.name;
  }
  EXPECT_EQ(WithoutServiceKey(nullptr), "");
}
