// The style sheet of a control window (wrx_styles.cpp): the fixed items, the
// edited item, and applying styles to fonts and paragraphs.
#pragma once

#include "wrx/wrx_block.h"
#include "wrx/wrx_stylemodel.h"

// Makes items 0 "Normal" and 1 "Default Paragraph Font" when the table lacks
// them (a new window, or a document that brought none).
void EnsureDefaultStyles(WrxWindow* w);
// A free item id (cleared), the table grown when full; -1 with error 113.
int NewStyleSlot(WrxWindow* w);
wrxstyle::WrxStyle GetStyle(const WrxWindow* w, int id);  // an empty item for a bad id
void PutStyle(WrxWindow* w, int id, const wrxstyle::WrxStyle& s);
// The font id that results from putting a font under another style; a
// picture id comes back unchanged with the style only recorded.
int ApplyStyleToFont(WrxWindow* w, int fontId, int styleId);
int ApplyCharStyleToFont(WrxWindow* w, int fontId, int styleId, int unused, int32_t line);
// While an item is edited, the font commands change it instead of the text.
int EditedStyleFace(WrxWindow* w, const char* face, int repaint);
int EditedStyleSize(WrxWindow* w, int pointSize, int repaint);
int EditedStyleBits(WrxWindow* w, DWORD bits, int on, int repaint);
// While a paragraph style is edited, the paragraph commands change the item:
// its values as a paragraph record, and back.
bool EditingParaStyle(const WrxWindow* w);
wrxfmt::WrxParaRecord EditedStylePara(const WrxWindow* w);
void SetEditedStylePara(WrxWindow* w, const wrxfmt::WrxParaRecord& p);
