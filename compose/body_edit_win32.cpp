// The body edit's subclass: the status panes 1500 ms after typing stops,
// autocorrect of each finished word, capitals at the start of sentences,
// overwrite mode and automatic indentation. The field edits share the typing
// aids.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "compose/compose.h"
#include "compose/editor_internal.h"
#include "compose/editor_text.h"
#include "core/appstate.h"
#include "core/text1252.h"
#include "core/user_settings.h"

namespace {

constexpr UINT_PTR kStatusTimer = 1;
constexpr UINT kStatusDelay = 1500;
constexpr uint32_t kExactCase = 0x200, kAutocorrectOff = 0x2000000, kSentenceCapitals = 0x4000000;

// One list for every editor, read on the first lookup.
AutoCorrectList g_autoCorrect;
bool g_bodyTimer = false;

EditorState* StateOfBody(HWND body) {
  return reinterpret_cast<EditorState*>(GetWindowLongPtrA(GetParent(body), GWLP_USERDATA));
}

LRESULT CallEdit(EditorState* s, HWND w, UINT m, WPARAM wp, LPARAM lp) {
  return CallWindowProcA(reinterpret_cast<WNDPROC>(s->bodyEditProc[1]), w, m, wp, lp);
}

bool LoadAutoCorrect() {
  if (g_autoCorrect.Loaded()) return true;
  std::string path = std::string(g_app.dataDir) + "autocorr.tlx";
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  std::string text;
  char chunk[4096];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) text.append(chunk, n);
  std::fclose(f);
  return g_autoCorrect.Load(text.data(), text.size());
}

// The word that ends at the caret, corrected in place: only the word is
// replaced, never the whole body.
void CorrectWordBeforeCaret(HWND body) {
  if (g_user.dictionaryOptions & kAutocorrectOff) return;
  DWORD start = 0, end = 0;
  SendMessageA(body, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  if (start != end || start == 0) return;
  long line = static_cast<long>(SendMessageA(body, EM_LINEFROMCHAR, start, 0));
  long first = static_cast<long>(SendMessageA(body, EM_LINEINDEX, line, 0));
  char text[1024];
  *reinterpret_cast<WORD*>(text) = sizeof text - 1;
  long length = static_cast<long>(SendMessageA(body, EM_GETLINE, line, reinterpret_cast<LPARAM>(text)));
  text[length < 0 ? 0 : length] = 0;
  long caret = static_cast<long>(start) - first;
  if (caret <= 0 || caret > length) return;
  long wordStart = caret;
  while (wordStart > 0 && IsAlnum1252(static_cast<unsigned char>(text[wordStart - 1]))) --wordStart;
  int wordLength = static_cast<int>(caret - wordStart);
  if (wordLength <= 0 || wordLength > 63 || !LoadAutoCorrect()) return;
  char word[64 + 64];
  std::memcpy(word, text + wordStart, static_cast<size_t>(wordLength));
  word[wordLength] = 0;
  int change = g_autoCorrect.CorrectWord(word, wordLength, (g_user.dictionaryOptions & kExactCase) != 0);
  if (change == AUTOCORRECT_NO_CHANGE) return;
  SendMessageA(body, EM_SETSEL, first + wordStart, start);
  SendMessageA(body, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(word));
}

// Upper-cases the first letter of the sentence the caret ends; only that
// letter is replaced.
void CapitaliseSentence(HWND edit) {
  DWORD start = 0, end = 0;
  SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  if (start != end || start == 0) return;
  std::string text(static_cast<size_t>(start) + 1, '\0');
  text.resize(static_cast<size_t>(GetWindowTextA(edit, &text[0], static_cast<int>(start) + 1)));
  long letter = SentenceCapital(text.c_str(), text.size());
  if (letter < 0) return;
  char upper[2] = {static_cast<char>(ToUpper1252(static_cast<unsigned char>(text[static_cast<size_t>(letter)]))), 0};
  SendMessageA(edit, EM_SETSEL, static_cast<WPARAM>(letter), letter + 1);
  SendMessageA(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(upper));
  SendMessageA(edit, EM_SETSEL, start, start);
}

// Enter with "Auto Indent": the new line starts like the caret's line.
bool IndentNewLine(EditorState* s, HWND body) {
  if (!g_user.autoIndent || !s->bInsert) return false;
  DWORD start = 0, end = 0;
  SendMessageA(body, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  if (start == 0) return false;
  if (start != end) SendMessageA(body, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(""));
  std::string text = EditorBodyText(s);
  size_t blanks = 0;
  std::string indent = AutoIndentBreak(text.c_str(), start, &blanks);
  SendMessageA(body, EM_SETSEL, start, start + blanks);
  SendMessageA(body, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(indent.c_str()));
  return true;
}

void RestartTimer(HWND body) {
  if (g_bodyTimer) KillTimer(body, kStatusTimer);
  SetTimer(body, kStatusTimer, kStatusDelay, nullptr);
  g_bodyTimer = true;
}

void OnTimer(EditorState* s, HWND body) {
  KillTimer(body, kStatusTimer);
  g_bodyTimer = false;
  if (ActiveEditorWindow() == s->window) RefreshEditorStatus(s);
}

}  // namespace

void ApplyTypingAids(HWND edit, unsigned char c) {
  bool printable = c >= ' ' && c != 127;
  if (!printable || IsAlnum1252(c)) return;
  CorrectWordBeforeCaret(edit);
  if (g_user.dictionaryOptions & kSentenceCapitals) CapitaliseSentence(edit);
}

bool TypeOverwriting(EditorState* s, HWND body, unsigned char c) {
  bool printable = c >= ' ' && c != 127;
  if (printable && !s->bInsert) {
    DWORD start = 0, end = 0;
    SendMessageA(body, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    if (start == end) {
      int length = GetWindowTextLengthA(body);
      // A line break counts as one character.
      if (static_cast<int>(start) < length) {
        std::string all(static_cast<size_t>(length) + 1, '\0');
        GetWindowTextA(body, &all[0], length + 1);
        end = start + (all[start] == '\r' && all[start + 1] == '\n' ? 2 : 1);
      }
      SendMessageA(body, EM_SETSEL, start, end);
    }
    char text[2] = {static_cast<char>(c), 0};
    SendMessageA(body, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text));
    return true;
  }
  return false;
}

namespace {

bool OnChar(EditorState* s, HWND body, WPARAM ch) {
  unsigned char c = static_cast<unsigned char>(ch);
  ApplyTypingAids(body, c);
  if (TypeOverwriting(s, body, c)) return true;
  if (c == '\r') return IndentNewLine(s, body);
  return false;
}

LRESULT CALLBACK BodyEditProc(HWND body, UINT message, WPARAM wParam, LPARAM lParam) {
  EditorState* s = StateOfBody(body);
  if (!s || !s->bodyEditProc[1]) return DefWindowProcA(body, message, wParam, lParam);
  switch (message) {
    case WM_SETFOCUS:
    case WM_KEYUP:
    case WM_LBUTTONUP: RestartTimer(body); break;
    case WM_TIMER:
      if (wParam == kStatusTimer) OnTimer(s, body);
      break;
    case WM_CHAR:
      if (OnChar(s, body, wParam)) return 0;
      break;
    case WM_RBUTTONUP: {
      POINT at = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      ClientToScreen(body, &at);
      EditorPopupMenu(s, at);
      return 0;
    }
    default: break;
  }
  return CallEdit(s, body, message, wParam, lParam);
}

}  // namespace

void SubclassBodyEdit(EditorState* s) {
  s->bodyEditProc[0] = reinterpret_cast<void*>(BodyEditProc);
  s->bodyEditProc[1] =
      reinterpret_cast<void*>(SetWindowLongPtrA(s->bodyEdit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(BodyEditProc)));
}

void ReloadAutoCorrect() { g_autoCorrect.Clear(); }
