#include "compose/viewer_html.h"

#include "wrx/html/html.h"
#include "wrx/wrx.h"

bool ViewerHtmlSetup(HWND control, HWND host) {
  WrxFieldRec* field = new WrxFieldRec();
  field->size = sizeof(WrxFieldRec);
  if (GetWrxField(control, field)) HtmlSetKeyColor(field->backColor);
  delete field;
  if (!HtmlAttach(control, host)) {
    DestroyWindow(control);
    return false;
  }
  return true;
}

bool ViewerHtmlRead(HWND control, const char* path) {
  // The view's host answers none of the reader's messages: no pictures (the
  // ALT text shows) and no form submission.
  if (!HtmlIsAttached(control) && !ViewerHtmlSetup(control, GetParent(control))) return false;
  return HtmlRead(control, 0, path, nullptr, 0, nullptr) != 0;
}
