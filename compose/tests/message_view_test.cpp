// The message view on a real control: messages written here are imported by
// import32.exe into a news folder, opened with logopen and shown with
// BuildMessageDisplay; the view is read back from the control's lines and a
// screenshot of the host window is saved.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "compose/attachments.h"
#include "compose/message_view.h"
#include "compose/tests/mime_test_util.h"
#include "core/user_settings.h"
#include "msgbase/change_detect.h"
#include "msgbase/import_queue_file.h"
#include "msgbase/import_text.h"
#include "msgbase/tests/topic_fixture.h"
#include "tests/support/process.h"
#include "wrx/wrx.h"

namespace {

constexpr char kFolder[] = "net:comp.test/all";
constexpr char kDate[] = "Thu, 10 Dec 2026 14:00";

LRESULT CALLBACK HostProc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return DefWindowProcA(w, m, wp, lp); }

class MessageViewTest : public TopicFixture {
 protected:
  void SetUp() override {
    TopicFixture::SetUp();
    HINSTANCE instance = GetModuleHandleA(nullptr);
    RegisterWrxClass(instance);
    SetWrxSharedFlags(WRXF_SILENT);
    WNDCLASSA wc{};
    wc.lpfnWndProc = HostProc;
    wc.hInstance = instance;
    wc.lpszClassName = "ViewTestHost";
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    RegisterClassA(&wc);
    host_ = CreateWindowExA(0, "ViewTestHost", "view", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 640, 480, nullptr,
                            nullptr, instance, nullptr);
    ASSERT_TRUE(host_);
    g_user.headerMode = 1;
    g_user.autoDecode = 1;
    g_user.warnBeforeOverwrite = 1;
    g_user.multiPart = 1;
    lstrcpynA(g_user.decodePath, dir_.c_str(), sizeof g_user.decodePath);
  }
  void TearDown() override {
    g_importProgram = savedImportProgram_;
    if (control_) CloseWrx(control_, 0);
    DestroyWindow(host_);
    TopicFixture::TearDown();
  }

  // Imports the bodies (each a whole mail text) as messages 1, 2, ... of the folder.
  void Import(const std::vector<std::string>& bodies) {
    VirtualArray list("l", sizeof(ConfRec));
    FILE* f = std::fopen(Path("conf.ww").c_str(), "wb");
    ASSERT_TRUE(f);
    ASSERT_TRUE(WriteConfList(f, list, 0));
    std::fclose(f);
    std::string text = NewFolderPragma("comp.test", "all");
    for (const std::string& body : bodies) text += ImportMessageText({kFolder, 0, "ann@example.org", kDate, 0}, body);
    WriteWholeFile(Path("batch.tmp"), text);
    VirtualArray queue("q", sizeof(ImportQueueEntry));
    ImportQueueEntry e = {};
    lstrcpynA(e.path, Path("batch.tmp").c_str(), sizeof e.path);
    lstrcpynA(e.service, "net", sizeof e.service);
    lstrcpynA(e.kind, "messages", sizeof e.kind);
    queue.Append(&e);
    f = std::fopen(Path("import.dat").c_str(), "w+b");
    ASSERT_TRUE(f);
    ASSERT_TRUE(WriteImportQueue(f, queue));
    std::fclose(f);
    RunImport();
    ASSERT_EQ(rdconf(0), 1);
    lstrcpynA(g_topic.openName, kFolder, sizeof g_topic.openName);
    ASSERT_EQ(logopen(), 1) << ReadWholeFile(Path("import.log"));
    control_ = ResetMessageView(host_);
    ASSERT_TRUE(control_);
  }
  void RunImport() { ASSERT_NE(testproc::RunAndWait(IMPORT32_EXE, "import32.exe \"" + dir_ + "\""), -1); }
  // Each display on a view of its own, as a view window makes it.
  std::vector<std::string> Show(long number) {
    if (control_) CloseWrx(control_, 0);
    control_ = ResetMessageView(host_);
    EXPECT_TRUE(control_);
    BuildMessageDisplay(control_, false, true, number, false, false);
    std::vector<std::string> lines;
    char text[4100];
    // Rows wrapped at the window's width join up to the paragraph mark.
    std::string paragraph;
    for (long i = 0;; ++i) {
      int n = GetWrxLine(control_, i, text, sizeof text, nullptr, 0);
      if (n < 0) break;
      if (n > static_cast<int>(sizeof text) - 1) n = sizeof text - 1;  // the length is the whole line's
      bool ends = n == 0 || static_cast<unsigned char>(text[n - 1]) < ' ';
      while (n > 0 && static_cast<unsigned char>(text[n - 1]) < ' ') --n;
      paragraph.append(text, n);
      if (!ends) continue;
      lines.push_back(paragraph);
      paragraph.clear();
    }
    if (!paragraph.empty()) lines.push_back(paragraph);
    while (!lines.empty() && lines.back().empty()) lines.pop_back();
    while (!lines.empty() && lines.front().empty()) lines.erase(lines.begin());
    return lines;
  }
  void Screenshot(const char* name) {
    RedrawWindow(host_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    RECT r;
    GetClientRect(host_, &r);
    HDC screen = GetDC(host_);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, r.right, r.bottom);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, r.right, r.bottom, screen, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    BITMAPINFOHEADER bi{sizeof bi, r.right, r.bottom, 1, 24, BI_RGB};
    std::vector<char> pixels(((r.right * 3 + 3) & ~3) * r.bottom);
    GetDIBits(memory, bitmap, 0, r.bottom, pixels.data(), reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS);
    BITMAPFILEHEADER bf{0x4D42, static_cast<DWORD>(sizeof bf + sizeof bi + pixels.size()), 0, 0, sizeof bf + sizeof bi};
    std::string path = std::string(SCREENSHOT_DIR) + "/" + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f) {
      std::fwrite(&bf, sizeof bf, 1, f);
      std::fwrite(&bi, sizeof bi, 1, f);
      std::fwrite(pixels.data(), 1, pixels.size(), f);
      std::fclose(f);
    }
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(host_, screen);
  }

  HWND host_ = nullptr;
  HWND control_ = nullptr;
  ImportProgramSeam savedImportProgram_ = g_importProgram;
};

const std::string kHeader =
    "From: Ann Smith <ann@example.org>\r\nNewsgroups: comp.test\r\nDate: Thu, 10 Dec 2026 14:00:00 +0000\r\n"
    "Message-ID: <m@example.org>\r\n";

TEST_F(MessageViewTest, ImportedMessagesShowWithTheirPartsAndFiles) {
  const std::string picture = Binary(4000, 7);
  const std::string data = Binary(1500, 8);
  std::string lines = UuencodeLines(data);
  size_t cut1 = 63 * 11, cut2 = 63 * 22;
  Import({
      kHeader + "Subject: Choices\r\nReply-To: desk@example.org\r\nMIME-Version: 1.0\r\n"
                "Content-Type: multipart/alternative; boundary=a\r\n\r\n"
                "--a\r\nContent-Type: text/plain\r\n\r\nPlain body.\r\n"
                "--a\r\nContent-Type: text/html\r\n\r\n<p>Rich body.</p>\r\n--a--\r\n",
      kHeader +
          "Subject: Photo\r\nMIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=m\r\n\r\n"
          "--m\r\nContent-Type: text/plain\r\n\r\nSee the photo.\r\n"
          "--m\r\nContent-Type: image/gif; name=\"photo\"\r\nContent-Transfer-Encoding: base64\r\n\r\n" +
          Base64Encode(picture, 100) + "--m--\r\n",
      kHeader + "Subject: Forwarded\r\nMIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=f\r\n\r\n"
                "--f\r\nContent-Type: message/rfc822\r\n\r\nFrom: Carl <carl@example.org>\r\nSubject: Inner\r\n\r\n"
                "Inner text.\r\n--f--\r\n",
      kHeader + "Subject: file.bin (1/3)\r\n\r\nbegin 644 file.bin\r\n" + lines.substr(0, cut1),
      kHeader + "Subject: file.bin (2/3)\r\n\r\n" + lines.substr(cut1, cut2 - cut1),
      kHeader + "Subject: file.bin (3/3)\r\n\r\n" + lines.substr(cut2) + "`\r\nend\r\n",
      kHeader + "Subject: Broken\r\nMIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=zz\r\n\r\n"
                "All of it shows.\r\n",
  });
  const std::string from = "From: Ann Smith <ann@example.org>";
  const std::string date = "Date: Thu, 10 Dec 2026 14:00:00 +0000";
  struct Case {
    long number;
    int mode;
    std::vector<std::string> expected;
  } cases[] = {
      {1,
       0,
       {from, "Newsgroups: comp.test", date, "Message-ID: <m@example.org>", "Subject: Choices",
        "Reply-To: desk@example.org", "MIME-Version: 1.0", "Content-Type: multipart/alternative; boundary=a", "",
        "Content-Type: text/html", "", "", "Rich body."}},
      {1,
       1,
       {from, "Newsgroups: comp.test", date, "Subject: Choices", "Reply-To: desk@example.org", "", "", "",
        "Rich body."}},
      {1, 2, {"Rich body."}},
      {2, 2, {"See the photo.", "", "[Attachment decoded to FILE://" + dir_ + "photo.gif]"}},
      {3, 2, {"____________________Quoted Message____________________", "Inner text."}},
      {3,
       1,
       {from, "Newsgroups: comp.test", date, "Subject: Forwarded", "",
        "____________________Quoted Message____________________", "From:  Carl <carl@example.org>", "Subject: Inner",
        "", "Inner text."}},
      {5, 2, {"[Attachment decoded to FILE://" + dir_ + "file.bin]"}},
      {7, 2, {"All of it shows."}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.number) + " mode " + std::to_string(c.mode));
    g_user.headerMode = c.mode;
    g_savedNames.Clear();
    EXPECT_EQ(Show(c.number), c.expected);
  }
  EXPECT_EQ(ReadWholeFile(Path("photo.gif")), picture);
  EXPECT_EQ(ReadWholeFile(Path("file.bin")), data);
  g_user.headerMode = 1;
  Show(2);
  Screenshot("message_view.bmp");
}

TEST_F(MessageViewTest, PartialsJoinAndRemovedAttachmentsLeaveTheRestParsing) {
  g_importProgram.start = [](const char*, UINT) -> UINT { return 33; };
  std::string enclosed = "From: Eve <eve@example.org>\r\nSubject: Big\r\n\r\n";
  std::vector<std::string> chunks(3);
  for (int i = 0; i < 30; ++i) chunks[i / 10] += "Line " + std::to_string(i) + " of the long text.\r\n";
  chunks[0] = enclosed + chunks[0];
  std::vector<std::string> bodies;
  for (int k = 1; k <= 3; ++k)
    bodies.push_back(kHeader + "Subject: Big (part " + std::to_string(k) +
                     ")\r\nMIME-Version: 1.0\r\nContent-Type: message/partial; id=\"p1@x\";\r\n number=" +
                     std::to_string(k) + "; total=3\r\n\r\n" + chunks[k - 1]);
  const std::string zip = Binary(700, 9);
  bodies.push_back(kHeader +
                   "Subject: Zip\r\nMIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=z\r\n\r\n"
                   "--z\r\nContent-Type: text/plain\r\n\r\nKept text.\r\n"
                   "--z\r\nContent-Type: application/zip; name=a.zip\r\nContent-Transfer-Encoding: base64\r\n\r\n" +
                   Base64Encode(zip, 76) + "--z--\r\n");
  Import(bodies);

  EXPECT_EQ(ReassemblePartials(), 1);
  RunImport();
  logclose();
  ASSERT_EQ(logopen(), 1);
  ASSERT_EQ(g_topic.last, 5);
  g_user.headerMode = 1;
  std::vector<std::string> joined = Show(5);
  ASSERT_GE(joined.size(), 33u);
  EXPECT_EQ(joined[0], "From: Eve <eve@example.org>");
  EXPECT_EQ(joined[1], "Subject: Big");
  EXPECT_EQ(joined[3], "Line 0 of the long text.");
  EXPECT_EQ(joined.back(), "Line 29 of the long text.");

  // Remove the saved attachment: the stored message keeps its text and parses.
  g_user.headerMode = 2;
  g_savedNames.Clear();
  EXPECT_EQ(Show(4), (std::vector<std::string>{"Kept text.", "", "[Attachment decoded to FILE://" + dir_ + "a.zip]"}));
  EXPECT_EQ(ReadWholeFile(Path("a.zip")), zip);
  ASSERT_TRUE(DecodeAttachments(4, true));
  RunImport();
  logclose();
  ASSERT_EQ(logopen(), 1);
  std::string stored;
  ASSERT_TRUE(StoredMessageText(4, &stored));
  EXPECT_EQ(stored.find(Base64Encode(zip, 76).substr(0, 76)), std::string::npos);
  EXPECT_NE(stored.find("Subject: Zip"), std::string::npos);
  g_savedNames.Clear();
  EXPECT_EQ(Show(4), (std::vector<std::string>{"Kept text.", "[Attachment decoded to FILE://" + dir_ + "a.zip]"}));
}

}  // namespace
