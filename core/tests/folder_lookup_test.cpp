#include "core/folder_lookup.h"

#include <gtest/gtest.h>

#include <cstring>
#include <strings.h>

namespace {
int CompareNames(const void* a, const void* b) {
  return strcasecmp(static_cast<const char*>(a), static_cast<const char*>(b));
}
}  // namespace

TEST(FolderLookup, FindsByNameWithTheListsRule) {
  VirtualArray conferences("Conferences", CONF_RECORD_SIZE, CompareNames);
  SmartPointer pointer;
  g_conferenceList = nullptr;
  EXPECT_FALSE(findconf(pointer, "quorl:a/b"));  // no list yet

  g_conferenceList = &conferences;
  // Enough folders to span several chunks.
  for (int i = 0; i < 1000; ++i) {
    unsigned char record[CONF_RECORD_SIZE] = {};
    snprintf(reinterpret_cast<char*>(record), CONF_NAME_SIZE, "quorl:conf%04d/topic", i);
    record[152] = static_cast<unsigned char>(i & 0xFF);
    conferences.InsertSorted(record);
  }
  ASSERT_TRUE(findconf(pointer, "QUORL:conf0777/TOPIC"));
  EXPECT_STREQ(static_cast<const char*>(pointer.element), "quorl:conf0777/topic");
  EXPECT_EQ(static_cast<const unsigned char*>(pointer.element)[152], 777 & 0xFF);

  EXPECT_FALSE(findconf(pointer, "quorl:conf9999/topic"));
  EXPECT_FALSE(pointer.Bound());
  char longName[300];
  std::memset(longName, 'x', sizeof longName - 1);
  longName[sizeof longName - 1] = 0;
  EXPECT_FALSE(findconf(pointer, longName));
  g_conferenceList = nullptr;
}
