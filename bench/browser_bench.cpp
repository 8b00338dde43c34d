// The thread order and the thread list on topics of 100,000 messages in three
// shapes (all roots, random trees, one root with every other message replying
// to it), each beside std::sort of the same MsgIndexRecs by (comment-to,
// number): syn_scan from an empty Synopsis; open to first paint (logopen,
// PrepareThreadOrder, FillThreadList, the first WM_PAINT of a 40-row list);
// End with its repaint. The best of five rounds counts.
// Usage: browser_bench [messages] [directory]
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "browser/thread_list.h"
#include "browser/thread_order.h"
#include "browser/vlb.h"
#include "core/appstate.h"
#include "core/settings.h"
#include "core/ui_seams.h"
#include "msgbase/conf_list.h"
#include "msgbase/service_config.h"
#include "msgbase/topic_open.h"

namespace {

const char kFolder[] = "net:comp.bench/all";
constexpr int kListRows = 40;

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

int Quiet(HWND, const char* text, const char*, UINT) {
  std::fprintf(stderr, "box: %s\n", text);
  return IDOK;
}

// Parent of each message (0: a root) for one shape.
std::vector<long> Parents(int shape, long count) {
  std::vector<long> parents(static_cast<size_t>(count) + 1, 0);
  std::mt19937 random(1996);
  for (long i = 2; i <= count; ++i) {
    if (shape == 1) parents[i] = std::uniform_int_distribution<long>(0, i - 1)(random);  // 0 makes a new root
    if (shape == 2) parents[i] = 1;
  }
  return parents;
}

void WriteLog(const std::string& path, const std::vector<long>& parents) {
  FILE* out = std::fopen(path.c_str(), "wb");
  for (size_t i = 1; i < parents.size(); ++i) {
    std::string body = "From: poster" + std::to_string(i % 977) + "@example.com\r\nSubject: Topic " +
                       std::to_string(i / 7) + "\r\n\r\nShort text.\r\n";
    size_t size = 0;
    for (char c : body)
      if (c != '\r') ++size;
    std::string m = "==========\r\n" + std::string(kFolder) + " #" + std::to_string(i) + ", from poster" +
                    std::to_string(i % 977) + "@example.com, " + std::to_string(size) +
                    " chars, Tue, 5 Mar 1996 14:07:33 -0500\r\n";
    if (parents[i]) m += "Comment to " + std::to_string(parents[i]) + "\r\n";
    m += "----------\r\n" + body;
    std::fwrite(m.data(), 1, m.size(), out);
  }
  std::fclose(out);
}

double SortIndex() {
  std::vector<MsgIndexRec> records(static_cast<size_t>(LogCva.Count()));
  for (int i = 0; i < LogCva.Count(); ++i) std::memcpy(&records[i], LogCva.At(i), sizeof(MsgIndexRec));
  std::reverse(records.begin(), records.end());
  auto start = std::chrono::steady_clock::now();
  std::sort(records.begin(), records.end(), [](const MsgIndexRec& a, const MsgIndexRec& b) {
    int32_t ac = a.commentTo, bc = b.commentTo, an = a.number, bn = b.number;
    return ac != bc ? ac < bc : an < bn;
  });
  double s = Seconds(start);
  return records.size() > 1 && records[0].commentTo > records[1].commentTo ? -1 : s;
}

double Scan() {
  Synopsis.SetSize(0);
  auto start = std::chrono::steady_clock::now();
  int ok = syn_scan(0, 0, 0);
  double s = Seconds(start);
  return ok && Synopsis.Count() == LogCva.Count() ? s : -1;
}

HWND g_host;
double g_logopen;  // the message base's part of the last open
double g_prepare, g_fill;

// logopen through the first paint of the list.
double OpenToFirstPaint() {
  logclose();
  std::strcpy(g_topic.openName, kFolder);
  auto start = std::chrono::steady_clock::now();
  if (!logopen()) return -1;
  g_logopen = Seconds(start);
  auto mark = std::chrono::steady_clock::now();
  if (!PrepareThreadOrder()) return -1;
  g_prepare = Seconds(mark);
  mark = std::chrono::steady_clock::now();
  FillThreadList();
  g_fill = Seconds(mark);
  // The first paint sets the scroll bar; the rows come with the paint it asks for.
  UpdateWindow(g_browser.list);
  UpdateWindow(g_browser.list);
  return Seconds(start);
}

double EndAndRepaint() {
  VlbCommand(g_browser.list, kVlbSelectRow, 0, 0);
  VlbCommand(g_browser.list, kVlbSetTopRow, 0, 0);
  UpdateWindow(g_browser.list);
  auto start = std::chrono::steady_clock::now();
  SendMessageA(g_browser.list, WM_KEYDOWN, VK_END, 0);
  UpdateWindow(g_browser.list);
  double s = Seconds(start);
  LRESULT count = VlbCommand(g_browser.list, kVlbRowCount, 0, 0);
  return VlbCommand(g_browser.list, kVlbCaret, 0, 0) == count - 1 ? s : -1;
}

}  // namespace

int main(int argc, char** argv) {
  long count = argc > 1 ? std::atol(argv[1]) : 100000;
  char full[MAX_PATH];
  if (!GetFullPathNameA(argc > 2 ? argv[2] : ".", sizeof full, full, nullptr)) return 1;
  std::string dir = full;
  if (dir.back() != '\\' && dir.back() != '/') dir += '\\';
  g_ui.messageBox = Quiet;
  lstrcpynA(g_app.dataDir, dir.c_str(), sizeof g_app.dataDir);
  InitDefaults();
  g_hconf.warned = true;

  HINSTANCE instance = GetModuleHandleA(nullptr);
  RegisterVlbClass(instance);
  g_host = CreateWindowA("STATIC", "bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 700, 900, nullptr, nullptr,
                         instance, nullptr);
  g_browser.list = CreateWindowA("VLBCLASS", "TpBrowse", WS_CHILD | WS_VISIBLE | WS_VSCROLL, 0, 0, 680, 100, g_host,
                                 reinterpret_cast<HMENU>(kThreadListId), instance, nullptr);
  g_browser.threadFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  SendMessageA(g_browser.list, WM_SETFONT, reinterpret_cast<WPARAM>(g_browser.threadFont), 16);
  MoveWindow(g_browser.list, 0, 0, 680, kListRows * 16, TRUE);
  VlbCommand(g_browser.list, kVlbSetDrawCallback, 0, reinterpret_cast<LPARAM>(PaintThreadRow));
  g_browser.open = true;
  LoadStateIcons();
  MessageOrder = kOrderThreads;

  const char* names[] = {"all roots", "random trees", "one thread"};
  bool allMet = true;
  for (int shape = 0; shape < 3; ++shape) {
    std::string base = "browser_bench" + std::to_string(shape) + ".log";
    WriteLog(dir + base, Parents(shape, count));
    DeleteFileA((dir + "browser_bench" + std::to_string(shape) + ".ind").c_str());
    ConfRec rec = {};
    std::strcpy(rec.name, kFolder);
    std::strcpy(rec.baseName, base.c_str());
    Conferences.SetSize(0);
    Conferences.Append(&rec);
    if (OpenToFirstPaint() < 0) {  // the first open builds the index
      std::fprintf(stderr, "%s: cannot open\n", names[shape]);
      return 1;
    }
    double sort = 1e9, scan = 1e9, open = 1e9, end = 1e9, ofWhich = 0;
    for (int round = 0; round < 5; ++round) {
      double s = SortIndex(), c = Scan(), o = OpenToFirstPaint(), e = EndAndRepaint();
      if (s < 0 || c < 0 || o < 0 || e < 0) {
        std::fprintf(stderr, "%s: a step failed (sort %g scan %g open %g end %g)\n", names[shape], s, c, o, e);
        return 1;
      }
      sort = std::min(sort, s);
      scan = std::min(scan, c);
      if (o < open) ofWhich = g_logopen;
      if (std::getenv("BROWSER_BENCH_PARTS"))
        std::fprintf(stderr, "  logopen %.2f prepare %.2f fill %.2f ms\n", g_logopen * 1e3, g_prepare * 1e3,
                     g_fill * 1e3);
      open = std::min(open, o);
      end = std::min(end, e);
    }
    const bool met = scan <= 10 * sort && open <= 30 * sort && end <= sort;
    allMet = allMet && met;
    std::printf(
        "%-12s %ld messages: sort %.2f ms | syn_scan %.2f ms (%.1fx, goal 10x) | open to first paint %.2f ms (%.1fx, "
        "goal 30x; logopen %.2f ms of it) | End %.2f ms (%.2fx, goal 1x)%s\n",
        names[shape], count, sort * 1e3, scan * 1e3, scan / sort, open * 1e3, open / sort, ofWhich * 1e3, end * 1e3,
        end / sort, met ? "" : "  [goal missed]");
    logclose();
    ReleaseThreadOrder();
  }
  FreeStateIcons();
  DestroyWindow(g_host);
  return allMet ? 0 : 2;
}
