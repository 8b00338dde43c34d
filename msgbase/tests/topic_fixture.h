// A data directory with folders in the conference list and no topic open; at
// the end the open topic, if any, is closed and every global put back.
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "msgbase/conf_list.h"
#include "msgbase/service_config.h"
#include "msgbase/tests/conf_test_util.h"
#include "msgbase/tests/msgbase_test_dir.h"
#include "msgbase/topic_open.h"

class TopicFixture : public DataDirTest {
 protected:
  void SetUp() override {
    DataDirTest::SetUp();
    g_topic = OpenTopicState();
    g_topicOpenHooks = kDefaultTopicOpenHooks;
    g_hconf.warned = true;  // the fixtures have no service configuration files
    Conferences.SetSize(0);
  }
  void TearDown() override {
    logclose();
    g_topic = OpenTopicState();
    CurrentFolder.Detach();
    Conferences.SetSize(0);
    g_topicOpenHooks = kDefaultTopicOpenHooks;
    DataDirTest::TearDown();
  }
  void AddFolder(const char* name, const char* base, uint32_t flags) {
    ConfRec rec = MakeConf(name, base, 0, 0, flags);
    rec.readMark = 0;
    rec.waiting = 0;
    Conferences.Append(&rec);
  }
};

// A log as a scrambled folder stores it.
inline std::string Scrambled(std::string bytes) {
  for (char& c : bytes) c = static_cast<char>(((c & 0x0F) << 4) | ((c >> 4) & 0x0F));
  return bytes;
}
