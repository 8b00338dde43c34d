// Rewrites "<data>cix.bsc" again and again from two action files in turn,
// until it is killed: the outbasket test kills it in the middle of a save.
// Arguments: the data directory (without its last backslash), the two action
// files.
#include <cstdio>
#include <string>

#include "core/appstate.h"
#include "online/outbasket.h"

int main(int argc, char** argv) {
  if (argc < 4) return 2;
  snprintf(g_app.dataDir, sizeof g_app.dataDir, "%s\\", argv[1]);
  ActionList lists[2];
  for (int k = 0; k < 2; k++) {
    FILE* file = fopen(argv[2 + k], "rb");
    if (!file) return 3;
    std::string bytes;
    char block[65536];
    size_t got;
    while ((got = fread(block, 1, sizeof block, file)) > 0) bytes.append(block, got);
    fclose(file);
    ParseActionFile(bytes.data(), bytes.size(), "cix", &lists[k]);
  }
  // The test waits for this mark rather than reading the file while it is written.
  std::string mark = std::string(g_app.dataDir) + "saving";
  for (unsigned n = 0;; n++) {
    SaveOutbasketFile(&lists[n % 2], "cix");
    if (n == 1) fclose(fopen(mark.c_str(), "wb"));
  }
}
