// The message view on the rich-text control: the walk's output table bound to
// a control, the open topic's reader and the user's settings.
#include "compose/message_view.h"
#include "compose/viewer_html.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "core/appstate.h"
#include "core/resstr.h"
#include "core/ui_seams.h"
#include "core/system_helpers.h"
#include "core/text1252.h"
#include "core/user_settings.h"
#include "msgbase/conf_list.h"
#include "msgbase/msg_fields.h"
#include "msgbase/topic_open.h"
#include "wrx/wrx.h"

namespace {

void InsertPlainLine(HWND control, const char* line, bool) {
  std::string text = line;
  for (char& c : text)
    if (static_cast<unsigned char>(c) < ' ') c = ' ';
  text += "\r\n";
  WrxInsertString(control, text.c_str(), -1, -1, 0);
}
void RtfAsItStands(HWND control, const char* text, size_t size) {
  std::string rtf(text, size);
  size_t at = 0;
  while (at < rtf.size()) {
    size_t end = rtf.find('\n', at);
    if (end == std::string::npos) end = rtf.size();
    std::string line = rtf.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    InsertPlainLine(control, line.c_str(), false);
    at = end + 1;
  }
}
void NoHost(HWND, HWND) {}
bool PictureNotPlaced(HWND, const char*) { return false; }
long NextByNumber(long number) { return number < g_topic.last ? number + 1 : 0; }
int AskOverwriteOfFrame(const char* path, bool* never) { return AskOverwrite(GetActiveWindow(), path, never); }

// One build: lines wait here until something else must go into the control,
// so a walk that starts again can take back what it added.
struct ViewBuild {
  HWND control;
  bool noColonQuotes;
  std::vector<std::string> pending;
  long flushed = 0;  // lines already in the control
};

ViewBuild& Of(void* context) { return *static_cast<ViewBuild*>(context); }

void Flush(ViewBuild& b) {
  for (const std::string& line : b.pending)
    g_messageViewHooks.markupMessageText(b.control, line.c_str(), b.noColonQuotes);
  b.flushed += static_cast<long>(b.pending.size());
  b.pending.clear();
}
void ShowText(void* c, const char* line, bool) { Of(c).pending.emplace_back(line); }
void ShowNotice(void* c, const char* text) {
  // A notice may hold line breaks of its own; each becomes a line.
  std::string t = text;
  while (!t.empty() && (t.back() == '\n' || t.back() == '\r')) t.pop_back();
  size_t at = 0;
  do {
    size_t end = t.find('\n', at);
    if (end == std::string::npos) end = t.size();
    std::string line = t.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    Of(c).pending.push_back(line);
    at = end + 1;
  } while (at <= t.size() && at < t.size());
}
long Position(void* c) { return Of(c).flushed + static_cast<long>(Of(c).pending.size()); }
void ClearFrom(void* c, long position) {
  ViewBuild& b = Of(c);
  long keep = position - b.flushed;
  if (keep < 0) keep = 0;  // what reached the control stays
  if (keep < static_cast<long>(b.pending.size())) b.pending.resize(keep);
}
bool RenderHtml(void* c, const char* path) {
  Flush(Of(c));
  return g_messageViewHooks.htmlRead(Of(c).control, path);
}
void InsertRtf(void* c, const char* text, size_t size) {
  Flush(Of(c));
  g_messageViewHooks.insertWrxRtf(Of(c).control, text, size);
}
bool PlacePicture(void* c, const char* path) {
  Flush(Of(c));
  return g_messageViewHooks.placePicture(Of(c).control, path);
}
int AskOverwriteHook(void*, const char* path, bool* never) { return g_messageViewHooks.askOverwrite(path, never); }
bool AskSaveAs(void* c, char* path, size_t size) {
  char chosen[MAX_PATH];
  lstrcpynA(chosen, path, sizeof chosen);
  const char* ext = std::strrchr(chosen, '.');
  std::string filter = std::string("*") + (ext ? ext : ".*");
  filter = filter + '\0' + filter + '\0' + '\0';
  if (!PromptSaveFileName(GetParent(Of(c).control), "Save As", chosen, filter.c_str(), ext ? ext + 1 : ""))
    return false;
  lstrcpynA(path, chosen, static_cast<int>(size));
  return true;
}
void StoreWarning(void*, int answer) {
  g_user.warnBeforeOverwrite = static_cast<uint32_t>(answer);
  SaveSettings();
}
void Status(void*, const char* text) { setstatus(text); }
void Progress(void*, int percent) {
  g_viewProgress = percent;
  if (g_ui.setStatusText) {
    char text[32];
    std::snprintf(text, sizeof text, "%d%%", percent);
    g_ui.setStatusText(text);
  }
}
bool Cancelled(void*) { return g_viewCancel; }

// The walk reads the open topic's reader; looking at another message puts it back.
struct ReaderPlace {
  long offset = msgtell(g_logReader);
  long remaining = g_logReader.remaining;
  ~ReaderPlace() {
    msgseek(g_logReader, offset);
    g_logReader.remaining = remaining;
  }
};
bool SubjectOf(long number, char* out, size_t size) {
  if (!scanmsg(number)) return false;
  MessageFields fields{};
  GetMessageFields(g_logReader, FolderKindFromName(g_topic.openName), fields);
  lstrcpynA(out, fields.subject, static_cast<int>(size));
  return fields.subject[0] != 0;
}
bool MessageSubject(void*, long number, char* out, size_t size) {
  ReaderPlace place;
  return SubjectOf(number, out, size);
}
long FindSubject(void*, const char* subject) {
  ReaderPlace place;
  char seen[200];
  int steps = 0;
  for (long n = g_topic.first; n > 0 && steps < 1000000; n = g_messageViewHooks.nextInViewOrder(n), ++steps)
    if (SubjectOf(n, seen, sizeof seen) && SameText1252(seen, subject)) return n;
  return 0;
}
long OpenMessage(void*, long number) { return scanmsg(number) ? g_logReader.remaining : -1; }

MimeOptions ViewOptions(long number) {
  MimeOptions o;
  o.headerMode = static_cast<int>(g_user.headerMode);
  bool unread = number <= 0 || !(getmsghdr(number, 1)->flags & kMsgRead);
  o.decode = g_user.autoDecode || (g_user.decodeUnreadOnly && unread);
  o.avoidHtml = g_user.avoidHtml != 0;
  o.multiPart = g_user.multiPart != 0;
  o.viewInline = g_user.viewInline != 0;
  o.warnBeforeOverwrite = static_cast<int>(g_user.warnBeforeOverwrite);
  o.decodePath = g_user.decodePath[0] ? g_user.decodePath : g_app.dataDir;
  if (!o.decodePath.empty() && o.decodePath.back() != '\\' && o.decodePath.back() != '/') o.decodePath += '\\';
  o.tempDir = g_app.dataDir;
  return o;
}

}  // namespace

MessageViewHooks g_messageViewHooks = {InsertPlainLine,  ViewerHtmlRead, RtfAsItStands,      NoHost,
                                       PictureNotPlaced, NextByNumber,   AskOverwriteOfFrame};
SavedNames g_savedNames;
int g_viewProgress = 0;
bool g_viewCancel = false;
bool g_viewSource = false;

void SetMessageFonts(HWND control, bool print) {
  const FontTableEntry& text = g_fonts[9];
  const FontTableEntry& fixed = g_fonts[10];
  const FontTableEntry& face = g_user.fixedFont ? fixed : text;
  for (int id = 1; id <= 9; ++id) {
    char current[64] = "";
    int size = 0;
    DWORD style = 0;
    if (!GetWrxFontInfo(control, id, current, &size, &style)) size = face.size;
    COLORREF colour = 0, back = 0;
    GetWrxFontColors(control, id, &colour, &back);
    SetWrxFont(control, id, 0, face.face[0] ? face.face : "Arial", size ? size : 10, style & ~2u, colour, back, 0, 0);
  }
  auto set = [&](int id, const FontTableEntry& e) {
    SetWrxFont(control, id, 0, e.face[0] ? e.face : "Arial", e.size ? e.size : 10, 0, e.textColour, e.backColour, 0, 0);
  };
  set(10, face);
  set(13, fixed);
  set(16, fixed);
  set(17, face);
  set(18, face);
  const FontTableEntry& base = print ? g_fonts[18] : face;
  DWORD style = 0;
  if (base.style & 1) style |= 2;
  if (base.style & 2) style |= 4;
  if (base.style & 4) style |= 1;
  if (base.style & 8) style |= 8;
  SelectWrxText(control, 0, -1, 99999999, -1, 0);
  SetWrxDefaultFont(control, base.face[0] ? base.face : "Arial", base.size ? base.size : 10, style, base.textColour, 0);
  DeselectWrxText(control, 0);
}

HWND ResetMessageView(HWND parent) {
  g_savedNames.Clear();
  WrxArgList args{};
  RECT r{};
  GetClientRect(parent, &r);
  args.width = r.right;
  args.height = r.bottom;
  args.wordWrap = 1;
  args.vScroll = 1;
  args.readOnly = 1;
  args.inputKind = 'B';
  args.bufferHandle = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 1);
  args.bufferSize = 0;
  args.lineDelimiter = 13;
  args.instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(parent, GWLP_HINSTANCE));
  args.parent = parent;
  args.style = WRX_WORDWRAP | WRX_VSCROLL | WRX_READONLY | WRX_ARGLIST;
  lstrcpynA(args.typeface, "Arial", sizeof args.typeface);
  args.pointSize = 12;
  HWND control = CreateWrxWindow(&args);
  if (!control) return nullptr;
  g_messageViewHooks.attachHost(control, parent);
  WrxFieldRec field{};
  field.size = sizeof field;
  if (!GetWrxField(control, &field)) {
    DestroyWindow(control);
    return nullptr;
  }
  field.linkByDoubleClick = 1;
  SetWrxField(control, &field);
  return control;
}

void BuildMessageDisplay(HWND control, bool noColonQuotes, bool ownHeader, long number, bool append, bool copy) {
  if (!IsWindow(control)) return;
  MimeOptions options = ViewOptions(number);
  bool quiet = append || copy;
  if (number > 0 && !scanmsg(number)) return;
  if (!quiet) {
    // An empty document from an empty buffer, which stays ours.
    HGLOBAL empty = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 1);
    SetWrxBuffer(control, empty, 0, nullptr, 0);
    if (empty) GlobalFree(empty);
    BeginWait();
  }
  SetWrxCursorPos(control, 0, 0, 0);
  WrxSetCharStyle(control, 512, 1, 0);
  SetMessageFonts(control, append);
  options.appendAlign = append;

  ViewBuild build{control, noColonQuotes, {}, 0};
  if (append && number > 0) {
    char line[300];
    MsgIndexRec* rec = getmsghdr(number, 1);
    std::snprintf(line, sizeof line, "Message:\t%s #%ld", g_topic.openName, number);
    std::string text = line;
    if (rec && rec->commentTo > 0) text += " (reply to " + std::to_string(rec->commentTo) + ")";
    build.pending.push_back(text);
    int slot = msgindex(number, 1);
    auto* index = slot >= 0 ? static_cast<IndexRec*>(IndexArray.At(slot)) : nullptr;
    MessageHeader header;
    if (!ownHeader && index &&
        ReadMessageStartAt(g_logReader, static_cast<long>(index->logOffset), &header) == number) {
      std::string author = header.author;
      if (!author.empty() && author.back() == ',') author.pop_back();
      build.pending.push_back("From:\t\t" + author);
      time_t when = index->date;
      char date[100] = "";
      if (std::tm* t = when ? std::localtime(&when) : nullptr) std::strftime(date, sizeof date, "%#c", t);
      build.pending.push_back(std::string("Date:\t\t") + date);
    }
    if (!scanmsg(number)) return;
  }
  MimeWalk walk;
  walk.reader = &g_logReader;
  walk.remaining = number > 0 ? g_logReader.remaining : LONG_MAX;
  walk.number = number;
  walk.ownHeader = ownHeader;
  walk.source = g_viewSource;
  walk.options = options;
  walk.saved = &g_savedNames;
  MimeOutput out = MakeMimeOutput(&build);
  out.text = ShowText;
  out.notice = ShowNotice;
  out.position = Position;
  out.clearFrom = ClearFrom;
  out.renderHtml = RenderHtml;
  out.insertRtf = InsertRtf;
  out.placePicture = PlacePicture;
  out.askOverwrite = AskOverwriteHook;
  out.askSaveAs = AskSaveAs;
  out.storeWarning = StoreWarning;
  out.status = Status;
  out.progress = quiet ? MakeMimeOutput(nullptr).progress : Progress;
  out.cancelled = Cancelled;
  out.messageSubject = MessageSubject;
  out.findSubject = FindSubject;
  out.openMessage = OpenMessage;
  walk.out = out;
  walk.remaining = number > 0 ? g_logReader.remaining : walk.remaining;
  long result = WalkMessage(walk);
  if (result > 0 && scanmsg(result)) {
    // Part 1 of a split posting lies in another message: show from there, once.
    ClearFrom(&build, 0);
    walk.number = result;
    walk.remaining = g_logReader.remaining;
    walk.followed = true;
    walk.options = options;
    result = WalkMessage(walk);
  }
  if (result == WALK_CANCELLED) {
    // The build stops where it stands: what was read so far stays.
    Flush(build);
    if (!quiet) EndWait();
    return;
  }
  Flush(build);
  WrxRewrap(control);
  SetWrxCursorPos(control, 0, 0, 0);
  InvalidateRect(control, nullptr, TRUE);
  if (!quiet) {
    g_viewProgress = 0;
    EndWait();
  }
}
