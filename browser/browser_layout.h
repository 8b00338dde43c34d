// Where the browser's panes go for a client size, a zoom mode and a split
// ratio. Portable arithmetic; the window applies it.
#pragma once

struct PaneRect {
  int x, y, width, height;
};

struct BrowserLayoutInput {
  int clientWidth, clientHeight;
  int zoomMode;     // 0 list and view, 1 list only, 2 view only
  bool composite;   // a composite folder shows the list only
  float ratio;      // share of the height for the list; outside 0 < r <= 1 read as 0.35
  int rowHeight;    // the list font's character height plus external leading
  int barHeight;    // the pane bar
  int stripHeight;  // the strip above the list
  bool maximised;
};

struct BrowserLayout {
  float ratio;  // the ratio used
  PaneRect list, bar, view;
  int halfPage;  // rows that fit in the list, halved
};

float CorrectSplitRatio(float ratio);
BrowserLayout ComputeBrowserLayout(const BrowserLayoutInput& in);
