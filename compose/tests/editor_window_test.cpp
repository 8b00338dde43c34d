// The editor window driven by messages: a reply to a news message imported by
// import32.exe, sent to the outbasket and read back; the checks before
// sending; a screenshot of the reply.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "browser/browser_state.h"
#include "compose/compose.h"
#include "compose/message_block.h"
#include "core/appstate.h"
#include "msgbase/change_detect.h"
#include "msgbase/import_queue.h"
#include "msgbase/import_text.h"
#include "msgbase/tests/topic_fixture.h"
#include "shell/shell_state.h"
#include "tests/support/window_fixture.h"

namespace {

constexpr char kFolder[] = "net:comp.test/all";

LRESULT CALLBACK FrameProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  return DefFrameProcA(w, g_shell.mdiClient, m, wp, lp);
}

std::string FileText(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return "";
  std::string out;
  char b[4096];
  size_t n;
  while ((n = std::fread(b, 1, sizeof b, f)) > 0) out.append(b, n);
  std::fclose(f);
  return out;
}

std::string Text(HWND w) {
  if (!w) return "<none>";
  int n = GetWindowTextLengthA(w);
  std::string t(static_cast<size_t>(n) + 1, '\0');
  t.resize(static_cast<size_t>(GetWindowTextA(w, &t[0], n + 1)));
  return t;
}

// What the screen shows of a window, children included (printing a window
// draws only its own client area here).
bool SaveScreenOf(HWND window, const std::string& path) {
  RECT r;
  GetWindowRect(window, &r);
  int width = r.right - r.left, height = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  SelectObject(memory, old);
  DWORD size = ((static_cast<DWORD>(width) * 3 + 3) & ~3u) * static_cast<DWORD>(height);
  BITMAPFILEHEADER file = {};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof info.bmiHeader;
  file.bfSize = file.bfOffBits + size;
  FILE* out = std::fopen(path.c_str(), "wb");
  bool ok = out && std::fwrite(&file, sizeof file, 1, out) == 1 &&
            std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out) == 1 && std::fwrite(bits, 1, size, out) == size;
  if (out) std::fclose(out);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return ok;
}

class EditorWindow : public TopicFixture {
 protected:
  void SetUp() override {
    TopicFixture::SetUp();
    lstrcpynA(g_app.userName, "demo", sizeof g_app.userName);
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA wc{};
    wc.lpfnWndProc = FrameProc;
    wc.hInstance = instance;
    wc.lpszClassName = "EditorTestFrame";
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
    RegisterClassA(&wc);
    WNDCLASSA ec{};
    ec.lpfnWndProc = EditorClassProcedure();
    ec.hInstance = instance;
    ec.lpszClassName = "Bramblewick";
    ec.hCursor = LoadCursor(nullptr, IDC_ARROW);
    RegisterClassA(&ec);
    frame_ = CreateWindowExA(0, "EditorTestFrame", "frame", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE, 0, 0,
                             760, 560, nullptr, nullptr, instance, nullptr);
    CLIENTCREATESTRUCT ccs{nullptr, 50000};
    g_shell.mdiClient = CreateWindowExA(0, "MDICLIENT", nullptr, WS_CHILD | WS_CLIPCHILDREN | WS_VISIBLE, 0, 0, 740,
                                        500, frame_, nullptr, instance, &ccs);
    ASSERT_TRUE(g_shell.mdiClient);
    savedStart_ = g_importProgram;
    g_importProgram.start = [](const char*, UINT) -> UINT { return 33; };
  }
  void TearDown() override {
    g_importProgram = savedStart_;
    DestroyWindow(frame_);
    g_shell.mdiClient = nullptr;
    TopicFixture::TearDown();
  }
  void RunImport() {
    std::string command = "import32.exe \"" + dir_ + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(CreateProcessA(IMPORT32_EXE, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    WaitForSingleObject(pi.hProcess, INFINITE);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
  void ImportNews(const std::string& extraHeader = "") {
    VirtualArray list("l", sizeof(ConfRec));
    FILE* f = std::fopen(Path("conf.ww").c_str(), "wb");
    ASSERT_TRUE(f);
    ASSERT_TRUE(WriteConfList(f, list, 0));
    std::fclose(f);
    std::string text = NewFolderPragma("comp.test", "all") +
                       ImportMessageText({kFolder, 0, "ann@example.org", "Thu, 10 Dec 2026 14:00", 0},
                                         "From: \"Lee, Ann\" <ann@example.org>\r\nSubject: Bread recipes\r\n"
                                         "Message-ID: <m1@example.org>\r\nNewsgroups: comp.test.all\r\n" +
                                             extraHeader +
                                             "\r\n"
                                             "Knead the dough.\r\nLet it rise.\r\n");
    f = std::fopen(Path("seed.tmp").c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
    ASSERT_TRUE(QueueImport("net", Path("seed.tmp").c_str(), "messages", 0));
    RunImport();
    ASSERT_EQ(rdconf(0), 1);
    lstrcpynA(g_topic.openName, kFolder, sizeof g_topic.openName);
    ASSERT_EQ(logopen(), 1) << FileText(Path("import.log"));
    g_browser.currentMessage = g_topic.first;
    CreateDirectoryA(Path("net").c_str(), nullptr);
  }
  HWND frame_ = nullptr;
  ImportProgramSeam savedStart_;
};

TEST_F(EditorWindow, ReplyQuotesTheMessageAndOkAppendsABlockToTheOutbasket) {
  ImportNews();
  HWND editor = ReplyToMessage(nullptr);
  ASSERT_TRUE(editor);
  EditorState* s = ActiveEditorState();
  ASSERT_TRUE(s);
  EXPECT_EQ(s->nType, EDITOR_REPLY);
  EXPECT_TRUE(s->bNews);
  EXPECT_STREQ(s->szFolders, "comp.test.all");
  EXPECT_STREQ(s->szReferences, "<m1@example.org>");
  EXPECT_EQ(Text(s->subjectEdit), "Re: Bread recipes");
  std::string body = Text(s->bodyEdit);
  EXPECT_EQ(
      body.rfind("In article <m1@example.org>, Ann Lee wrote:\r\n> Knead the dough.\r\n> Let it rise.\r\n>\r\n", 0), 0u)
      << body;
  EXPECT_EQ(Text(s->statusPane[1]), "INS");
  EXPECT_EQ(Text(s->statusPane[2]), "WRAP");
  SendMessageA(s->bodyEdit, EM_SETSEL, -1, -1);
  SendMessageA(s->bodyEdit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>("Thanks, it works."));
  SetForegroundWindow(frame_);
  RedrawWindow(frame_, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
  testwin::PumpUntil([] { return false; }, 500);
  EXPECT_TRUE(SaveScreenOf(frame_, std::string(SCREENSHOT_DIR) + "/editor_reply.bmp"));

  SendMessageA(editor, WM_COMMAND, MAKEWPARAM(3004, BN_CLICKED), 0);
  ASSERT_TRUE(testwin::PumpUntil([&] { return !IsWindow(editor); })) << "the editor stays open";
  std::string bsc = FileText(Path("net\\net.bsc"));
  std::string head = ";-; id:\tdemo type:\tedit\r\n";
  ASSERT_EQ(bsc.rfind(head, 0), 0u) << bsc;
  EditorState back;
  FILE* f = std::fopen(Path("net\\net.bsc").c_str(), "rb");
  std::fseek(f, static_cast<long>(head.size()), SEEK_SET);
  ASSERT_EQ(ReadDraft(&back, f, nullptr, nullptr), 0);
  std::fclose(f);
  EXPECT_EQ(back.nType, EDITOR_REPLY);
  EXPECT_STREQ(back.szSubject, "Re: Bread recipes");
  ASSERT_TRUE(back.bodyText);
  EXPECT_NE(std::string(back.bodyText).find("> Let it rise.\r\n>\r\nThanks, it works."), std::string::npos);
}

TEST_F(EditorWindow, HoldWritesAHeldEntryAndChecksStopBadSends) {
  ImportNews();
  HWND editor = NewMessage(nullptr);
  ASSERT_TRUE(editor);
  EditorState* s = ActiveEditorState();
  ASSERT_TRUE(s);
  EXPECT_EQ(s->nType, EDITOR_POST);
  // No subject: refused, the editor stays.
  SetWindowTextA(s->bodyEdit, "Hello all");
  Recorded().boxes.clear();
  SendMessageA(editor, WM_COMMAND, MAKEWPARAM(1315, BN_CLICKED), 0);
  testwin::PumpPending();
  ASSERT_EQ(Recorded().boxes.size(), 1u);
  EXPECT_EQ(Recorded().boxes[0], "You cannot post a message without a subject.");
  EXPECT_TRUE(IsWindow(editor));
  SetWindowTextA(s->subjectEdit, "Greetings");
  SendMessageA(editor, WM_COMMAND, MAKEWPARAM(1315, BN_CLICKED), 0);
  ASSERT_TRUE(testwin::PumpUntil([&] { return !IsWindow(editor); }));
  EXPECT_EQ(FileText(Path("net\\net.bsc")).rfind(";#; id:\tdemo type:\tedit\r\nMessageStart: 1.0\r\n", 0), 0u);

  // Local mail to someone with no user file.
  HWND mail = OpenEditor(EDITOR_MAIL, nullptr, "nobody?subject=x%20y?attach=C:\\f?service=local", 0);
  ASSERT_TRUE(mail);
  s = ActiveEditorState();
  EXPECT_EQ(Text(s->subjectEdit), "x y");
  EXPECT_EQ(s->Attachments.count(), 1);
  SetWindowTextA(s->bodyEdit, "hi");
  Recorded().boxes.clear();
  SendMessageA(mail, WM_COMMAND, MAKEWPARAM(3004, BN_CLICKED), 0);
  testwin::PumpPending();
  ASSERT_EQ(Recorded().boxes.size(), 1u);
  EXPECT_EQ(Recorded().boxes[0], "There is no local mail user called 'nobody'; Please re-edit the message");
  EXPECT_TRUE(IsWindow(mail));
}

TEST_F(EditorWindow, FollowupToPosterTurnsTheReplyIntoMailToTheAuthor) {
  ImportNews("Followup-To: poster\r\n");
  Recorded().answer = IDYES;
  HWND editor = ReplyToMessage(nullptr);
  ASSERT_TRUE(editor);
  ASSERT_EQ(Recorded().boxes.size(), 1u);
  EXPECT_NE(Recorded().boxes[0].find("has Followup-To: set"), std::string::npos);
  EditorState* s = ActiveEditorState();
  EXPECT_EQ(s->nType, EDITOR_REPLY_BY_MAIL);
  EXPECT_TRUE(s->bReply && s->bMailing && !s->bNews);
  EXPECT_EQ(Text(s->toEdit), "Lee, Ann <ann@example.org>");
  EXPECT_EQ(Text(editor), "Replying by mail");
  EXPECT_STREQ(s->szReferences, "<m1@example.org>");
}

TEST_F(EditorWindow, SignaturesFallBackToTheServiceAndEndANewMessage) {
  ImportNews();
  SaveSig("net", "-- \r\nAnn, C:\\new\\table");
  SaveSig("net:other/group", "other");
  char sig[320];
  EXPECT_STREQ(GetSig(kFolder, sig), "-- \r\nAnn, C:\\new\\table");
  EXPECT_STREQ(GetSig("net:other/group", sig), "other");
  SaveSig("net:other/group", "");
  EXPECT_STREQ(GetSig("net:other/group", sig), "-- \r\nAnn, C:\\new\\table");
  HWND editor = NewMessage(nullptr);
  ASSERT_TRUE(editor);
  EditorState* s = ActiveEditorState();
  EXPECT_EQ(Text(s->bodyEdit), "\r\n-- \r\nAnn, C:\\new\\table");
  DWORD start = 1, end = 1;
  SendMessageA(s->bodyEdit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 0u);
}

TEST_F(EditorWindow, TypedWordsAreAutocorrectedAndThePanesFollowTheCaret) {
  ImportNews();
  FILE* f = std::fopen(Path("autocorr.tlx").c_str(), "wb");
  std::fputs("LEX 1 2 2\r\nadn:and\r\nteh:the\r\n", f);
  std::fclose(f);
  HWND editor = NewMessage(nullptr);
  ASSERT_TRUE(editor);
  EditorState* s = ActiveEditorState();
  SetWindowTextA(s->bodyEdit, "");
  SetFocus(s->bodyEdit);
  for (char c : std::string("teh cat adn dog.")) SendMessageA(s->bodyEdit, WM_CHAR, static_cast<unsigned char>(c), 0);
  EXPECT_EQ(Text(s->bodyEdit), "the cat and dog.");
  // Overwrite mode replaces the character after the caret.
  SendMessageA(editor, WM_COMMAND, 1990, 0);
  SendMessageA(s->bodyEdit, EM_SETSEL, 4, 4);
  SendMessageA(s->bodyEdit, WM_CHAR, 'b', 0);
  EXPECT_EQ(Text(s->bodyEdit), "the bat and dog.");
  SendMessageA(s->bodyEdit, WM_KEYUP, VK_RIGHT, 0);
  ASSERT_TRUE(testwin::PumpUntil([&] { return Text(s->statusPane[0]) == "1:6"; }, 4000)) << Text(s->statusPane[0]);
  EXPECT_EQ(Text(s->statusPane[1]), "OVR");
  SendMessageA(editor, WM_COMMAND, 1990, 0);
  // The list is read again after the reload command.
  f = std::fopen(Path("autocorr.tlx").c_str(), "wb");
  std::fputs("LEX 1 2 1\r\ncta:cat\r\n", f);
  std::fclose(f);
  SendMessageA(editor, WM_COMMAND, 1472, 0);
  int end = GetWindowTextLengthA(s->bodyEdit);
  SendMessageA(s->bodyEdit, EM_SETSEL, end, end);
  for (char c : std::string(" cta teh ")) SendMessageA(s->bodyEdit, WM_CHAR, static_cast<unsigned char>(c), 0);
  EXPECT_EQ(Text(s->bodyEdit), "the bat and dog. cat teh ");
}

}  // namespace
