// Conversions between the picture forms the control keeps: packed DIBs,
// device bitmaps made for a display (with an own palette for true colour on
// 8-bit displays) and metafiles carried as global blocks of their bits.
#pragma once

#include "wrx/wrx_block.h"

// The display depth is asked through here, so that both the palette path
// (8 bits) and the direct path can be run on any display.
struct WrxPictureHooks {
  int (*displayBits)(HDC dc);  // planes x bits per pixel
};
extern WrxPictureHooks g_wrxPictureHooks;
extern const WrxPictureHooks kDefaultWrxPictureHooks;

// A new picture entry owning the DIB, its device bitmap made for the
// window's display; its id, or -1 (the entry given back).
int StoreDibPicture(WrxWindow* w, wrxdib::Dib&& dib);
// A new picture holding a 24-bit DIB of the bitmap; its id, or -1.
int Bitmap2DIB(WrxWindow* w, HBITMAP bitmap);
// A new picture from a packed DIB (checked against the block's size before
// anything is allocated); its id, or -1. The block stays the caller's.
int ExtractDIB(WrxWindow* w, HGLOBAL packed);
// Makes the picture's device bitmap for `dc`, counts its colours, builds its
// own palette when the display needs one, and sizes it for the screen.
// 1 (also for an id that is no picture), 0 on error.
int DIB2Bitmap(WrxWindow* w, HDC dc, int id);
// A metafile drawing the picture's DIB 1:1, for writers that carry
// metafiles; the picture itself stays as it is. 0 on error.
HMETAFILE DibToMetafile(WrxWindow* w, int id);
// A metafile from a global block of its bits; the block is freed on success
// and kept (0 returned) when it holds no metafile.
HMETAFILE MetafileFromBlock(HGLOBAL block);
// The metafile's bits in a new global block (one byte more than the bits);
// the metafile is deleted on success and kept (0 returned) on failure.
HGLOBAL MetafileToBlock(HMETAFILE metafile);
// The bytes of a metafile's bits block (the size its header gives), 0 when
// the block holds no metafile.
size_t MetafileBlockBytes(HGLOBAL block);
