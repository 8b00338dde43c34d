// The spell check of an editor and the dictionary editor's entry: the
// program's settings turned into a session, the texts handed to the dialog.
#include "spell/spell_front_win32.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "compose/compose.h"
#include "core/appstate.h"
#include "core/debuglog.h"
#include "core/resstr.h"
#include "core/ui_seams.h"
#include "core/user_settings.h"
#include "resources/spell_ids.h"
#include "spell/sorn.h"

namespace {

constexpr int kCheckRoom = 10240;  // what the corrections may add to a text
constexpr int kEditorSubject = 3003;
constexpr int kEditorBody = 3000;

SpellOpenSettings CurrentSettings() {
  SpellOpenSettings settings;
  settings.options = g_user.dictionaryOptions;
  settings.language = static_cast<uint16_t>(g_user.dictionary1 ? g_user.dictionary1 : 1033);
  settings.autoCorrectPath = g_spellLexicons.autocorrect;
  settings.ignorePath = g_spellLexicons.ignore;
  settings.suggestPath = g_spellLexicons.suggest;
  const uint32_t languages[] = {g_user.dictionary1, g_user.dictionary2, g_user.dictionary3, g_user.dictionary4};
  settings.mainCount = BuildMainLexiconList(languages, 4, settings.mainNames);
  return settings;
}

int Box(HWND owner, const char* text, UINT style) { return g_ui.messageBox(owner, text, "Check Spelling", style); }

std::string WindowText(HWND window) {
  int n = GetWindowTextLengthA(window);
  std::string text(static_cast<size_t>(n) + 1, '\0');
  text.resize(static_cast<size_t>(GetWindowTextA(window, &text[0], n + 1)));
  return text;
}

// One text through the dialog; its text put back when the check changed it.
int CheckWindowText(HWND edit, char* buffer, uint32_t size) {
  std::string before = WindowText(edit);
  uint32_t length = static_cast<uint32_t>(std::min<size_t>(before.size(), size - 1));
  std::memcpy(buffer, before.data(), length);
  int result = CheckText(edit, 0, buffer, length, size - 1);
  if (result >= 0) {
    buffer[result] = 0;
    if (before != buffer) SetWindowTextA(edit, buffer);
  }
  return result;
}

int CheckEditor(HWND editor) {
  HWND body = GetDlgItem(editor, kEditorBody);
  if (!body) return 0;
  return SpellCheckWindow(GetDlgItem(editor, kEditorSubject), body);
}

void LogToDebugLog(const char* text) { DebugLog(text); }

}  // namespace

int16_t openSORN() { return OpenSpellSession(CurrentSettings()); }

int CheckText(HWND edit, uint32_t offset, char* text, uint32_t length, uint32_t size) {
  CheckDialogState state;
  state.edit = edit;
  state.offset = offset;
  int16_t block = BeginCheckWalk(state.walk, text, length, size, g_user.dictionaryOptions);
  if (block < 0) return block;
  // A text with nothing to ask about needs no dialog.
  int16_t first = NextSpellingQuestion(state.walk);
  INT_PTR result = first < 0 ? first : 0;
  if (first >= 0 && first != SORN_END_OF_BLOCK)
    result = g_ui.dialogBox(StringModule(), IDD_CHECK_SPELLING, GetAncestor(edit, GA_ROOT), CheckBlockDlg,
                            reinterpret_cast<LPARAM>(&state));
  uint32_t newLength = WalkLength(state.walk);
  EndCheckWalk(state.walk);
  // Read again, as the dictionary editor may have changed the file.
  CloseUserDictionary(DICT_IGNORE);
  OpenUserDictionary(DICT_IGNORE, CurrentSettings());
  return result < 0 ? static_cast<int>(result) : static_cast<int>(newLength);
}

int SpellCheckWindow(HWND subject, HWND body) {
  size_t longest = static_cast<size_t>(GetWindowTextLengthA(body));
  if (subject) longest = std::max(longest, static_cast<size_t>(GetWindowTextLengthA(subject)));
  uint32_t size = static_cast<uint32_t>(longest + kCheckRoom);
  char* buffer = static_cast<char*>(std::malloc(size));
  if (!buffer) {
    Box(GetAncestor(body, GA_ROOT), "Out of memory", MB_OK | MB_ICONEXCLAMATION);
    return 4403;
  }
  SetCurrentDirectoryA(g_app.dataDir);
  // AutoCorrect stays out: the editor corrects as the user types.
  uint32_t options = g_user.dictionaryOptions;
  g_user.dictionaryOptions |= kSpellNoAutoCorrect;
  int16_t opened = openSORN();
  g_user.dictionaryOptions = options;
  if (opened < 0) {
    closeSORN();
    std::free(buffer);
    char text[160];
    wsprintfA(text, "The spelling dictionaries could not be opened (error %d).", opened);
    Box(GetAncestor(body, GA_ROOT), text, MB_OK | MB_ICONEXCLAMATION);
    return opened;
  }
  int result = 0;
  if (subject && SubjectIsChecked(WindowText(subject).c_str())) {
    setstatus("Spell checking the message...");
    result = CheckWindowText(subject, buffer, size);
  }
  if (result != -1000 && result != -1002) {
    setstatus("Spell checking the message...");
    result = CheckWindowText(body, buffer, size);
  }
  closeSORN();
  std::free(buffer);
  setstatus("");
  Box(GetAncestor(body, GA_ROOT), "Spell check complete", MB_OK | MB_ICONINFORMATION);
  return result;
}

int FillSuggestions(const char* word, HWND listBox) {
  SendMessageA(listBox, LB_RESETCONTENT, 0, 0);
  char buffer[1025];
  int16_t scores[16];
  int16_t count = SORN_Suggest(g_sorn.session, word, 0xFFFF, buffer, sizeof buffer, scores, 16);
  if (count <= 0) return 0;
  int listed = SelectSuggestions(scores, count);
  const char* p = buffer;
  for (int i = 0; i < listed; ++i, p += std::strlen(p) + 1)
    SendMessageA(listBox, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(p));
  return listed;
}

void EditLexicon(HWND owner, SpellDictionary which, bool keepOpen) {
  SpellOpenSettings settings = CurrentSettings();
  if (!SpellSessionOpen()) {
    SetCurrentDirectoryA(g_app.dataDir);
    if (OpenSpellSession(settings) < 0) {
      closeSORN();
      return;
    }
  }
  if (which == DICT_AUTOCORRECT && g_sorn.autoCorrect < 0) OpenUserDictionary(DICT_AUTOCORRECT, settings);
  LexiconDialogState state;
  state.which = which;
  state.lexicon = UserDictionaryId(which);
  if (state.lexicon >= 0)
    g_ui.dialogBox(StringModule(), IDD_EDIT_LEXICON, owner, EditLexDlg, reinterpret_cast<LPARAM>(&state));
  CloseUserDictionary(which);
  if (!keepOpen)
    closeSORN();
  else if (which != DICT_AUTOCORRECT)
    OpenUserDictionary(which, settings);
}

void InstallSpellHooks() {
  g_spellFrontHooks.debugLog = LogToDebugLog;
  g_editorSpellHooks.checkEditor = CheckEditor;
}
