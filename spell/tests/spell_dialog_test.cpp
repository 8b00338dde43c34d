// The spell check of a real editor window and the dictionary editor, driven
// by messages: the dialogs run modeless through the dialog seam, each with a
// script that answers it as a user would.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "compose/compose.h"
#include "core/user_settings.h"
#include "msgbase/tests/topic_fixture.h"
#include "resources/spell_ids.h"
#include "shell/commands_hooks.h"
#include "shell/shell_state.h"
#include "spell/spell_front_win32.h"
#include "spell/tests/spell_fixtures.h"
#include "tests/support/editor_frame.h"
#include "tests/support/files.h"
#include "tests/support/window_fixture.h"

namespace {

using testfs::ReadWholeFile;

const std::vector<std::string> kWords = {"a",      "is",      "it",   "the",     "this",    "test", "of",      "line",
                                         "quoted", "meeting", "here", "results", "checker", "end",  "receive", "wrong"};

using Script = std::function<void(HWND dialog)>;
std::vector<Script> s_scripts;
size_t s_dialogsRun = 0;
int s_optionsPage = -1;

// Runs a dialog modeless and hands it to the next script; a dialog its
// script leaves open is closed, and the test fails.
INT_PTR ScriptedDialog(HINSTANCE module, const char* name, HWND owner, DLGPROC proc, LPARAM param) {
  HWND dialog = CreateDialogParamA(module, name, owner, proc, param);
  EXPECT_TRUE(dialog) << name;
  if (!dialog) return -1;
  ShowWindow(dialog, SW_SHOW);
  size_t index = s_dialogsRun++;
  if (IsWindowVisible(dialog) && index < s_scripts.size()) s_scripts[index](dialog);
  if (IsWindowVisible(dialog)) {
    ADD_FAILURE() << name << " is still open after its script";
    SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  }
  INT_PTR result =
      std::strcmp(name, IDD_CHECK_SPELLING) == 0 ? reinterpret_cast<CheckDialogState*>(param)->result : IDOK;
  DestroyWindow(dialog);
  return result;
}

void Click(HWND dialog, int id) {
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

std::string Text(HWND window) {
  int n = GetWindowTextLengthA(window);
  std::string text(static_cast<size_t>(n) + 1, '\0');
  text.resize(static_cast<size_t>(GetWindowTextA(window, &text[0], n + 1)));
  return text;
}

std::string Item(HWND dialog, int id) { return Text(GetDlgItem(dialog, id)); }

// The rows of a list box, or of a combo box when combo is set.
std::vector<std::string> ListRows(HWND dialog, int id, bool combo = false) {
  HWND list = GetDlgItem(dialog, id);
  std::vector<std::string> rows;
  for (LRESULT i = 0, n = SendMessageA(list, combo ? CB_GETCOUNT : LB_GETCOUNT, 0, 0); i < n; ++i) {
    char row[200] = "";
    if (SendMessageA(list, combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN, i, 0) < static_cast<LRESULT>(sizeof row))
      SendMessageA(list, combo ? CB_GETLBTEXT : LB_GETTEXT, i, reinterpret_cast<LPARAM>(row));
    rows.push_back(row);
  }
  return rows;
}

class SpellCheckDialog : public TopicFixture {
 protected:
  void SetUp() override {
    TopicFixture::SetUp();
    lstrcpynA(g_app.userName, "demo", sizeof g_app.userName);
    WriteFileText(Path("sornamc.tlx"), "#LID 1033 1 1\nPelmora\n");
    PackLexicon(kWords, Path("sornam1.clx"));
    savedUser_ = g_user;
    savedPlacement_ = g_windowPlacements[22];
    g_user.dictionary1 = 1033;
    g_user.dictionary2 = g_user.dictionary3 = g_user.dictionary4 = 0;
    g_user.dictionaryOptions = 0x481c784;  // the default word: skips quoted lines
    lstrcpyA(g_spellLexicons.autocorrect, "autocorr.tlx");
    lstrcpyA(g_spellLexicons.ignore, "ignore.tlx");
    lstrcpyA(g_spellLexicons.suggest, "suggest.tlx");
    savedHooks_ = g_editorSpellHooks;
    InstallSpellHooks();
    g_ui.dialogBox = ScriptedDialog;
    s_scripts.clear();
    s_dialogsRun = 0;
    Recorded().answer = IDOK;

    ASSERT_TRUE(host_.Create("SpellTestFrame"));
    frame_ = host_.frame();
  }
  void TearDown() override {
    closeSORN();
    host_.Destroy();
    g_editorSpellHooks = savedHooks_;
    g_user = savedUser_;
    g_windowPlacements[22] = savedPlacement_;
    g_commandHooks = kCommandHookDefaults;
    TopicFixture::TearDown();
  }
  // A new mail with the subject and a typed body.
  HWND Editor(const char* subject, const char* body) {
    HWND editor = NewMailTo(nullptr, nullptr);
    EXPECT_TRUE(editor) << (Recorded().boxes.empty() ? "" : Recorded().boxes.back());
    if (!editor) return nullptr;
    SetWindowTextA(GetDlgItem(editor, 3003), subject);
    HWND bodyEdit = GetDlgItem(editor, 3000);
    SendMessageA(bodyEdit, EM_SETSEL, 0, -1);
    SendMessageA(bodyEdit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(body));
    return editor;
  }
  // The editor's Spell Check command as it reaches the spell module.
  int SpellCheck(HWND editor) { return g_editorSpellHooks.checkEditor(editor); }

  testwin::EditorFrame host_;
  HWND frame_ = nullptr;
  UserMainSettings savedUser_;
  WindowPlacement savedPlacement_{};
  EditorSpellHooks savedHooks_;
};

TEST_F(SpellCheckDialog, ReportsATypedMisspellingAndReplaceTakesTheSuggestion) {
  HWND editor = Editor("Re: Teh meeting", "This is a tset of the checker.\r\n> quoted wrnog line\r\n");
  ASSERT_TRUE(editor);
  HWND body = GetDlgItem(editor, 3000);
  s_scripts.push_back([&](HWND dialog) {
    EXPECT_EQ(Item(dialog, IDC_SPELL_CASE), "Not in Dictionary:");
    EXPECT_EQ(Item(dialog, IDC_SPELL_WORD), "tset");
    EXPECT_EQ(Item(dialog, IDC_SPELL_CHANGE_TO), "test");
    std::vector<std::string> suggestions = ListRows(dialog, IDC_SPELL_SUGGESTIONS);
    ASSERT_FALSE(suggestions.empty());
    EXPECT_EQ(suggestions[0], "test");
    DWORD start = 0, end = 0;
    SendMessageA(body, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 10u) << "the word is selected in the editor";
    EXPECT_EQ(end, 14u);
    EXPECT_EQ(ListRows(dialog, IDC_SPELL_ADD_TO, true),
              std::vector<std::string>({"Ignore", "Suggestion", "AutoCorrect"}));
    RedrawWindow(frame_, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
    RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
    testwin::PumpUntil([] { return false; }, 400);
    EXPECT_TRUE(testwin::SaveWindowPng(frame_, std::string(SCREENSHOT_DIR) + "/check_spelling.png"));
    Click(dialog, IDC_SPELL_REPLACE);
  });
  SendMessageA(editor, WM_COMMAND, 1449, 0);  // the editor's Spell Check command
  EXPECT_EQ(s_dialogsRun, 1u) << "the reply's subject and the quoted line are not asked about";
  EXPECT_EQ(Text(body), "This is a test of the checker.\r\n> quoted wrnog line\r\n");
  EXPECT_EQ(Text(GetDlgItem(editor, 3003)), "Re: Teh meeting");
  ASSERT_FALSE(Recorded().boxes.empty());
  EXPECT_EQ(Recorded().boxes.back(), "Spell check complete");
  EXPECT_FALSE(SpellSessionOpen());
}

TEST_F(SpellCheckDialog, StopInTheSubjectSkipsTheBodyAndTheDialogKeepsItsPlace) {
  HWND editor = Editor("Teh meeting", "a tset here");
  ASSERT_TRUE(editor);
  g_windowPlacements[22] = {40, 30, CW_USEDEFAULT, CW_USEDEFAULT, 1};
  s_scripts.push_back([](HWND dialog) {
    EXPECT_EQ(Item(dialog, IDC_SPELL_WORD), "Teh");
    RECT r;
    GetWindowRect(dialog, &r);
    EXPECT_EQ(r.left, 40);
    EXPECT_EQ(r.top, 30);
    SetWindowPos(dialog, nullptr, 70, 60, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    Click(dialog, IDC_SPELL_STOP);
  });
  EXPECT_EQ(SpellCheck(editor), -1002);
  EXPECT_EQ(s_dialogsRun, 1u);
  EXPECT_EQ(Text(GetDlgItem(editor, 3000)), "a tset here");
  EXPECT_EQ(g_windowPlacements[22].left, 70) << "saved in the window settings";
  EXPECT_EQ(g_windowPlacements[22].top, 60);
}

TEST_F(SpellCheckDialog, ReplaceAllInTheSubjectCorrectsTheBodyWithoutAsking) {
  HWND editor = Editor("tset results", "a tset here, tset.");
  ASSERT_TRUE(editor);
  s_scripts.push_back([](HWND dialog) {
    EXPECT_EQ(Item(dialog, IDC_SPELL_WORD), "tset");
    Click(dialog, IDC_SPELL_REPLACE_ALL);
  });
  SpellCheck(editor);
  EXPECT_EQ(s_dialogsRun, 1u);
  EXPECT_EQ(Text(GetDlgItem(editor, 3003)), "test results");
  EXPECT_EQ(Text(GetDlgItem(editor, 3000)), "a test here, test.");
}

TEST_F(SpellCheckDialog, DoubledWordsOfferDeleteADoubleClickedSuggestionReplacesAndOptionsOpensItsPage) {
  HWND editor = Editor("Re: x", "the the tset here");
  ASSERT_TRUE(editor);
  g_commandHooks.DoOptions = [](int page) { s_optionsPage = page; };
  s_scripts.push_back([](HWND dialog) {
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_SPELL_OPTIONS))) << "an options dialog is there";
    Click(dialog, IDC_SPELL_OPTIONS);
    EXPECT_EQ(s_optionsPage, 4) << "the spelling page";
    EXPECT_EQ(Item(dialog, IDC_SPELL_CASE), "Doubled word:");
    EXPECT_EQ(Item(dialog, IDC_SPELL_WORD), "the");
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_SPELL_DELETE)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_SPELL_REPLACE)));
    Click(dialog, IDC_SPELL_DELETE);
    ASSERT_EQ(Item(dialog, IDC_SPELL_WORD), "tset");
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_SPELL_DELETE)));
    std::vector<std::string> suggestions = ListRows(dialog, IDC_SPELL_SUGGESTIONS);
    ASSERT_GE(suggestions.size(), 2u);
    ASSERT_EQ(suggestions[1], "the");
    SendDlgItemMessageA(dialog, IDC_SPELL_SUGGESTIONS, LB_SETCURSEL, 1, 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_SPELL_SUGGESTIONS, LBN_DBLCLK), 0);
  });
  SpellCheck(editor);
  EXPECT_EQ(s_dialogsRun, 1u);
  EXPECT_EQ(Text(GetDlgItem(editor, 3000)), "the the here");
}

TEST_F(SpellCheckDialog, AddTakesChangeToForPairDictionariesAndRefusesAnEmptyOne) {
  HWND editor = Editor("Re: x", "tset zorblax");
  ASSERT_TRUE(editor);
  std::string request = "Please enter \"word:replacement\" for this dictionary.";
  s_scripts.push_back([&](HWND dialog) {
    ASSERT_EQ(Item(dialog, IDC_SPELL_WORD), "tset");
    SendDlgItemMessageA(dialog, IDC_SPELL_ADD_TO, CB_SETCURSEL, 1, 0);  // Suggestion
    SetDlgItemTextA(dialog, IDC_SPELL_CHANGE_TO, "");
    Click(dialog, IDC_SPELL_ADD);
    ASSERT_FALSE(Recorded().boxes.empty());
    EXPECT_EQ(Recorded().boxes.back(), request);
    EXPECT_EQ(Item(dialog, IDC_SPELL_WORD), "tset") << "the question stays";
    SetDlgItemTextA(dialog, IDC_SPELL_CHANGE_TO, "test");
    Click(dialog, IDC_SPELL_ADD);
    EXPECT_EQ(Item(dialog, IDC_SPELL_WORD), "zorblax");
    SendDlgItemMessageA(dialog, IDC_SPELL_ADD_TO, CB_SETCURSEL, 0, 0);  // Ignore
    Click(dialog, IDC_SPELL_ADD);
  });
  SpellCheck(editor);
  EXPECT_NE(ReadWholeFile(Path("suggest.tlx")).find("tset:test"), std::string::npos)
      << ReadWholeFile(Path("suggest.tlx"));
  EXPECT_NE(ReadWholeFile(Path("ignore.tlx")).find("zorblax"), std::string::npos);
  EXPECT_EQ(Text(GetDlgItem(editor, 3000)), "tset zorblax") << "adding changes no text";
}

TEST_F(SpellCheckDialog, AWordAddedThroughEditDictTakesEffectAtOnce) {
  HWND editor = Editor("Re: x", "tset here");
  ASSERT_TRUE(editor);
  s_scripts.push_back([](HWND dialog) {
    ASSERT_EQ(Item(dialog, IDC_SPELL_WORD), "tset");
    SendDlgItemMessageA(dialog, IDC_SPELL_ADD_TO, CB_SETCURSEL, 0, 0);  // Ignore
    Click(dialog, IDC_SPELL_EDIT_DICT);
  });
  s_scripts.push_back([](HWND lexicon) {
    EXPECT_EQ(Text(lexicon), "Edit Ignore dictionary");
    SetDlgItemTextA(lexicon, IDC_LEX_WORD, "tset");
    Click(lexicon, IDC_LEX_ADD);
    EXPECT_EQ(ListRows(lexicon, IDC_LEX_LIST), std::vector<std::string>({"tset"}));
    Click(lexicon, IDC_LEX_CLOSE);
  });
  SpellCheck(editor);
  EXPECT_EQ(s_dialogsRun, 2u) << "the check ends once the word is in the dictionary";
  EXPECT_NE(ReadWholeFile(Path("ignore.tlx")).find("tset"), std::string::npos);
  EXPECT_EQ(Text(GetDlgItem(editor, 3000)), "tset here");
}

TEST_F(SpellCheckDialog, DictionaryEditorAddsDeletesAndClearsPairs) {
  s_scripts.push_back([&](HWND dialog) {
    EXPECT_EQ(Text(dialog), "Edit AutoCorrect dictionary");
    SetDlgItemTextA(dialog, IDC_LEX_WORD, "teh");
    Click(dialog, IDC_LEX_ADD);
    ASSERT_FALSE(Recorded().boxes.empty());
    EXPECT_EQ(Recorded().boxes.back(), "Please enter \"word:replacement\" for this dictionary.");
    for (const char* entry : {"teh:the", "recieve:receive"}) {
      SetDlgItemTextA(dialog, IDC_LEX_WORD, entry);
      Click(dialog, IDC_LEX_ADD);
    }
    EXPECT_EQ(ListRows(dialog, IDC_LEX_LIST), std::vector<std::string>({"recieve:receive", "teh:the"}));
    std::string file = ReadWholeFile(Path("autocorr.tlx"));
    EXPECT_NE(file.find("teh:the"), std::string::npos) << file;
    RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
    testwin::PumpUntil([] { return false; }, 300);
    EXPECT_TRUE(testwin::SaveWindowPng(dialog, std::string(SCREENSHOT_DIR) + "/edit_dictionary.png"));

    SendDlgItemMessageA(dialog, IDC_LEX_LIST, LB_SETCURSEL, 1, 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_LEX_LIST, LBN_SELCHANGE), 0);
    EXPECT_EQ(Item(dialog, IDC_LEX_WORD), "teh:the");
    Click(dialog, IDC_LEX_DELETE);
    EXPECT_EQ(ListRows(dialog, IDC_LEX_LIST), std::vector<std::string>({"recieve:receive"}));
    Recorded().answer = IDNO;
    Click(dialog, IDC_LEX_CLEAR);
    EXPECT_EQ(ListRows(dialog, IDC_LEX_LIST).size(), 1u) << "No keeps the words";
    Recorded().answer = IDYES;
    Click(dialog, IDC_LEX_CLEAR);
    EXPECT_TRUE(ListRows(dialog, IDC_LEX_LIST).empty());
    Click(dialog, IDC_LEX_CLOSE);
  });
  SetCurrentDirectoryA(dir_.c_str());
  EditLexicon(frame_, DICT_AUTOCORRECT, false);
  EXPECT_EQ(s_dialogsRun, 1u);
  EXPECT_FALSE(SpellSessionOpen());
  EXPECT_EQ(ReadWholeFile(Path("autocorr.tlx")).find("recieve"), std::string::npos);
}

}  // namespace
