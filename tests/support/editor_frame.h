// The frame the editor's window tests open editors in: an MDI frame with its
// client in g_shell.mdiClient and the editor's class ("Bramblewick")
// registered, as the program's frame has them. The frame keeps the commands
// it receives, so tests see what an editor passes on to it. Header-only: the
// tests that use it link the editor themselves.
#pragma once
#include <windows.h>

#include <algorithm>
#include <vector>

#include "compose/compose.h"
#include "core/user_settings.h"
#include "shell/shell_state.h"

namespace testwin {

class EditorFrame {
 public:
  // Registers the classes and makes the frame (760 by 560, shown) and its
  // client; false when either could not be made.
  bool Create(const char* frameClass) {
    // Editors remember their places; each test starts from none and leaves
    // the table as it found it.
    std::copy(g_windowPlacements, g_windowPlacements + WINDOW_KIND_COUNT, savedPlacements_);
    std::fill(g_windowPlacements, g_windowPlacements + WINDOW_KIND_COUNT,
              WindowPlacement{CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, 1});
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA wc{};
    wc.lpfnWndProc = FrameProc;
    wc.hInstance = instance;
    wc.lpszClassName = frameClass;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
    RegisterClassA(&wc);
    WNDCLASSA ec{};
    ec.lpfnWndProc = EditorClassProcedure();
    ec.hInstance = instance;
    ec.lpszClassName = "Bramblewick";
    ec.hCursor = LoadCursor(nullptr, IDC_ARROW);
    RegisterClassA(&ec);
    frame_ = CreateWindowExA(0, frameClass, "frame", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE, 0, 0, 760, 560,
                             nullptr, nullptr, instance, nullptr);
    if (!frame_) return false;
    SetWindowLongPtrA(frame_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    CLIENTCREATESTRUCT ccs{nullptr, 50000};
    g_shell.mdiClient = CreateWindowExA(0, "MDICLIENT", nullptr, WS_CHILD | WS_CLIPCHILDREN | WS_VISIBLE, 0, 0, 740,
                                        500, frame_, nullptr, instance, &ccs);
    return g_shell.mdiClient != nullptr;
  }

  void Destroy() {
    if (frame_) DestroyWindow(frame_);
    frame_ = nullptr;
    g_shell.mdiClient = nullptr;
    std::copy(savedPlacements_, savedPlacements_ + WINDOW_KIND_COUNT, g_windowPlacements);
  }

  HWND frame() const { return frame_; }
  // The ids of the WM_COMMAND messages the frame received, in order.
  std::vector<int>& commands() { return commands_; }

 private:
  static LRESULT CALLBACK FrameProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<EditorFrame*>(GetWindowLongPtrA(w, GWLP_USERDATA));
    if (m == WM_COMMAND && self) self->commands_.push_back(LOWORD(wp));
    return DefFrameProcA(w, g_shell.mdiClient, m, wp, lp);
  }

  HWND frame_ = nullptr;
  std::vector<int> commands_;
  WindowPlacement savedPlacements_[WINDOW_KIND_COUNT]{};
};

}  // namespace testwin
