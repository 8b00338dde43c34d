#include "core/folder_lookup.h"

#include <cstring>

VirtualArray* g_conferenceList = nullptr;

bool findconf(SmartPointer& pointer, const char* name) {
  VirtualArray* list = g_conferenceList;
  if (!list || !name || list->ElementSize() < CONF_RECORD_SIZE) {
    pointer.Detach();
    return false;
  }
  // The key is a record holding the name, compared by the array's own rule.
  unsigned char key[CONF_RECORD_SIZE] = {};
  std::strncpy(reinterpret_cast<char*>(key), name, CONF_NAME_SIZE - 1);
  int index = list->Find(key);
  if (index < 0) {
    pointer.Detach();
    return false;
  }
  return pointer.Seek(*list, index) != 0;
}
