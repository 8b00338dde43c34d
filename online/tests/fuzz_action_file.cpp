// Reads any bytes as an action file: nothing crashes, the rewritten file reads
// back to the same file, and the ghost reader copes with the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "online/action_file.h"
#include "online/ghosts.h"
#include "online/outbasket_order.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* service = size > 0 && (data[0] & 1) ? "dvn" : "cix";
  ActionList list;
  std::string problems;
  ParseActionFile(reinterpret_cast<const char*>(data), size, service, &list, &problems);
  for (OutbasketAction& action : list.records) DescribeAction(&action);
  std::string once = WriteActionFile(list, service);
  ActionList again;
  std::string later;
  ParseActionFile(once.data(), once.size(), service, &again, &later);
  std::string twice = WriteActionFile(again, service);
  if (once != twice || !later.empty()) abort();
  OrderActions(&list);
  std::vector<GhostEntry> ghosts;
  ParseBscEntries(reinterpret_cast<const char*>(data), size, service, &ghosts);
  return 0;
}
