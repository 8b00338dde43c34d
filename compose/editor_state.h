// The record of one editor window: its controls, the flags of its mode, its
// fields and recipient lists. The window keeps its address in its first
// window long. Portable: the handles are the window layer's opaque types.
#pragma once
#include <cstdint>

#include "compose/addr_list.h"
#include "core/str_list.h"

struct HWND__;
struct HBRUSH__;
typedef HWND__* EditorWindow;

// Editor modes (nType).
enum EditorMode : int32_t {
  EDITOR_POST = 1,
  EDITOR_REPLY = 2,
  EDITOR_MAIL = 3,
  EDITOR_REPLY_BY_MAIL = 4,
  EDITOR_FAX = 5,
  EDITOR_NOTES = 6,
  EDITOR_EDIT_ACTION = 11,
  EDITOR_PLAIN_FILE = 24,
  EDITOR_REOPEN = 40,
};

struct EditorState {
  EditorWindow window{};
  EditorWindow serviceLabel{};
  EditorWindow serviceBox{};  // 3029
  EditorWindow toLabel{};     // button 3015, or a static for a fax
  EditorWindow toEdit{};      // 3001
  EditorWindow ccLabel{};
  EditorWindow ccEdit{};  // 3002 (a fax: the number)
  EditorWindow bccLabel{};
  EditorWindow bccEdit{};  // 14738
  EditorWindow subjectLabel{};
  EditorWindow subjectEdit{};       // 3003
  EditorWindow optionsButton{};     // 4331
  EditorWindow attachButton{};      // 3026
  EditorWindow quoteButton{};       // 3018
  EditorWindow okButton{};          // 3004
  EditorWindow holdButton{};        // 1315
  EditorWindow cancelButton{};      // 3006
  EditorWindow helpButton{};        // 1159
  EditorWindow originatorButton{};  // 3017
  EditorWindow bodyEdit{};          // 3000
  EditorWindow statusPane[3]{};     // line:column, insert mode, wrap
  EditorWindow statusPane4{};       // custom headers; mail and news only
  EditorWindow attachPane{};
  EditorWindow focusControl{};
  EditorWindow privateBox{};  // 4249
  EditorWindow urgentBox{};   // 14747
  EditorWindow receiptBox{};  // 14742
  HBRUSH__* faceBrush{};
  HBRUSH__* windowBrush{};
  int32_t bInsert{};
  int32_t bAttributed{};
  int32_t bWordWrap{};
  int32_t bFaxing{};
  int32_t bMailing{};
  int32_t bSay{};
  int32_t bComment{};
  int32_t bReply{};
  int32_t bDvnSay{};
  int32_t bDvnComment{};
  int32_t bNews{};
  int32_t bEditAction{};
  int32_t bReopened{};
  int32_t bSendAsShown{};
  int32_t bSendToSelf{};
  int32_t bPlainFile{};
  int32_t bSizing{};
  char** actionBody{};      // mode 11: where the edited body goes back
  CStrList* actionLines{};  // mode 11: the edited action's block lines
  CAddrList senderForms;
  int32_t layout[5]{};  // base unit x, half y, control height (x2), 8 x
  int32_t nWrapChars{};
  int32_t charWidth{};
  int32_t wrapWidth{};
  int32_t nType{};
  int32_t bChanged{};
  char szService[10]{};
  char szReferences[4096]{};
  char szFolders[4096]{};
  char szSubject[4096]{};
  CAddrList To;
  CAddrList Cc;
  CAddrList Bcc;
  char szFaxName[200]{};
  char szFaxNumber[200]{};
  char szMergeFile[260]{};
  char szRealname[200]{};
  char szEmail[204]{};
  int32_t nComment{};
  char szImportance[20]{};
  char szSensitivity[20]{};
  char szCustomHeaders[4096]{};
  char* bodyText{};  // from a block or file, shown at creation, then freed
  CStrList Attachments;
  int32_t bReceipt{};
  int32_t bMime{};
  void* fieldEditProc[2]{};  // the subclass and the edit class's own
  void* bodyEditProc[2]{};

  // Cleared handles and flags, the creation defaults of every mode.
  EditorState();
  ~EditorState();
  EditorState(const EditorState&) = delete;
  EditorState& operator=(const EditorState&) = delete;
};
