// Log-in merge of the user folder file with conf.ww, and the conference list
// write, each against std::sort of the same records (in a shuffled order) by
// precomputed keys, all measured in one run. Prints the ratios; the goal is a
// merge within 2x of the sort. Fails when the merge gives a wrong list.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/appstate.h"
#include "core/fileio.h"
#include "core/resstr.h"
#include "core/folder_names.h"
#include "core/settings.h"
#include "core/ui_seams.h"
#include "core/user_settings.h"
#include "msgbase/conf_list.h"
#include "msgbase/user_folders.h"
#include "bench/bench_clock.h"

namespace {
constexpr int kFolders = 16000;
constexpr int kRounds = 5;

// The best of kRounds runs; `first` (when given) gets the first run's time,
// which pays for the process's first touch of the memory it uses.
template <typename F>
double Best(F run, double* first = nullptr) {
  double best = 1e30;
  for (int i = 0; i < kRounds; ++i) {
    double t0 = Now();
    run();
    double t = Now() - t0;
    if (i == 0 && first) *first = t;
    best = std::min(best, t);
  }
  return best;
}

ConfRec Folder(int i) {
  ConfRec rec = {};
  std::snprintf(rec.name, sizeof rec.name, "%s:conf%04d/S%d_topic", i % 3 ? "quorl" : "dvn", i / 8, i % 8 + 5);
  std::snprintf(rec.baseName, sizeof rec.baseName, "q\\f%05d.log", i);
  rec.first = 1;
  rec.last = 100 + i;
  rec.readMark = 50;
  rec.order = -1;
  return rec;
}

void WriteFile(const std::string& path, const std::string& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}
}  // namespace

int main() {
  g_ui.messageBox = [](HWND, const char* text, const char*, UINT) {
    std::printf("box: %s\n", text);
    return IDOK;
  };
  g_ui.setStatusText = [](const char*) {};
  char base[MAX_PATH];
  GetTempPathA(sizeof base, base);
  std::snprintf(g_app.dataDir, sizeof g_app.dataDir, "%splconfbench%lu\\", base, GetCurrentProcessId());
  CreateDirectoryA(g_app.dataDir, nullptr);
  InitDefaults();
  std::strcpy(g_main.messagePathExpanded, g_app.dataDir);
  std::strcpy(g_app.userName, "bench");
  std::string dir = g_app.dataDir;

  std::vector<ConfRec> folders;
  for (int i = 0; i < kFolders; ++i) folders.push_back(Folder(i));
  std::sort(folders.begin(), folders.end(),
            [](const ConfRec& a, const ConfRec& b) { return CompareConfEntries(&a, &b) < 0; });

  // conf.ww with newer numbers than the user's copy, so every entry is updated.
  std::string conf(10, '\0');
  conf[4] = conf[5] = '\xff';
  uint32_t n = kFolders;
  std::memcpy(&conf[6], &n, 4);
  for (ConfRec rec : folders) {
    rec.last += 5;
    conf.append(reinterpret_cast<const char*>(&rec), sizeof rec);
  }
  WriteFile(dir + "conf.ww", conf);
  std::string usr("Version5.00");
  usr.resize(20, '\0');
  char field[21] = {};
  std::strcpy(field, "bench");
  nibbleswap(field);
  usr.append(field, 20);
  usr.append(20, '\0');
  usr.append(reinterpret_cast<const char*>(&n), 4);
  for (const ConfRec& rec : folders) usr.append(reinterpret_cast<const char*>(&rec), sizeof rec);
  WriteFile(dir + "bench.usr", usr);

  // The reference: std::sort of the same records by keys made beforehand,
  // dealt in a shuffled order (a reversed or sorted input is an easy case).
  struct Keyed {
    std::string key;
    ConfRec rec;
  };
  std::vector<Keyed> keyed;
  for (int i = kFolders - 1; i >= 0; --i) {
    std::string key = folders[i].name;
    for (char& c : key) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    keyed.push_back({key, folders[i]});
  }
  std::shuffle(keyed.begin(), keyed.end(), std::mt19937(20261211));
  std::vector<Keyed> work;
  double sortTime = Best([&] {
    work = keyed;
    std::sort(work.begin(), work.end(), [](const Keyed& a, const Keyed& b) { return a.key < b.key; });
  });
  double copyTime = Best([&] { work = keyed; });
  sortTime = std::max(sortTime - copyTime, 1e-9);

  // The program's window layer is up long before a log-in; its start-up under
  // Wine (the first cursor call) is not the merge's.
  BeginWait();
  EndWait();
  double firstMerge = 0;
  double mergeTime = Best(
      [&] {
        if (!rduconf()) std::printf("rduconf failed\n");
      },
      &firstMerge);
  // The merge alone, on lists already in memory.
  VirtualArray mine("bench user", sizeof(ConfRec), CompareConfEntries);
  VirtualArray catalogue("bench conf", sizeof(ConfRec), CompareConfEntries);
  VirtualArray out("bench out", sizeof(ConfRec), CompareConfEntries);
  out.KeepBlocksWhenEmptied(true);  // as rduconf keeps the blocks of "Conferences"
  for (const ConfRec& rec : folders) mine.Append(&rec);
  for (const ConfRec& rec : folders) {
    ConfRec newer = rec;
    newer.last += 5;
    catalogue.Append(&newer);
  }
  UserMergeContext context = {"bench", 0, false, nullptr};
  double mergeOnly = Best([&] {
    out.SetSize(0);
    MergeUserFolders(mine, catalogue, out, context);
  });
  // The merged list: every folder, in order, with the catalogue's newer range.
  int wrong = 0;
  if (Conferences.Count() != kFolders) {
    std::printf("merged %d folders, expected %d\n", Conferences.Count(), kFolders);
    ++wrong;
  }
  for (int i = 0; !wrong && i < kFolders; ++i) {
    const ConfRec* rec = static_cast<const ConfRec*>(Conferences.At(i));
    if (lstrcmpiA(rec->name, folders[i].name) != 0 || rec->last != folders[i].last + 5) {
      std::printf("merged folder %d is %s (last %ld), expected %s (last %ld)\n", i, rec->name,
                  static_cast<long>(rec->last), folders[i].name, static_cast<long>(folders[i].last + 5));
      ++wrong;
    }
  }
  if (!rdconf(0)) std::printf("rdconf failed: %s\n", g_app.dataDir);
  double writeTime = Best([&] {
    if (!wtconf()) std::printf("wtconf failed\n");
  });

  std::printf("folders: %d\n", kFolders);
  std::printf("std::sort of shuffled records with precomputed keys: %.2f ms\n", sortTime * 1000);
  std::printf("rduconf (read .usr + conf.ww, merge): %.2f ms  ratio %.2f\n", mergeTime * 1000, mergeTime / sortTime);
  std::printf("first rduconf of the process: %.2f ms  ratio %.2f\n", firstMerge * 1000, firstMerge / sortTime);
  std::printf("merge alone (lists in memory): %.2f ms  ratio %.2f\n", mergeOnly * 1000, mergeOnly / sortTime);
  std::printf("wtconf (sort, write, replace, marker): %.2f ms  ratio %.2f\n", writeTime * 1000, writeTime / sortTime);
  for (const char* name : {"conf.ww", "confnew.ww", "bench.usr"}) DeleteFileA((dir + name).c_str());
  RemoveDirectoryA(g_app.dataDir);
  return wrong ? 1 : 0;
}
