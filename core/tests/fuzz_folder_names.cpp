// Feeds arbitrary folder names to the name rules and service-key functions.
#include "core/folder_names.h"
#include "core/service_keys.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  text = text.c_str();
  size_t half = text.size() / 2;
  std::string a = text.substr(0, half), b = text.substr(half);
  g_folderNameSettings.serviceAliases = b.c_str();
  sameservice(a.c_str(), b.c_str());
  ismailfolder(text.c_str());
  isnewsfolder(text.c_str());
  IsDvnLibraryFolder(text.c_str());
  ServiceFeatures(a.c_str());
  g_folderNameSettings.serviceAliases = nullptr;
  std::string copy = text;
  FixNameCase(copy.data());
  copy = text;
  firstpart(copy.data());
  copy = text;
  droppart(copy.data());
  copy = text;
  stripservice(copy.data());
  char key[SERVICE_KEY_MAX + 1] = "";
  getservice(key, text.c_str());
  char local[40];
  std::string head = text.substr(0, sizeof local - 1);
  head.copy(local, head.size());
  local[head.size()] = 0;
  MakeLocalFolderName(local, sizeof local);
  copy = text;
  copy.resize(copy.size() + 8);
  setext(copy.data(), ".ind", copy.size() + 1);
  nibbleswap(copy.data());
  return 0;
}
