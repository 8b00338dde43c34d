#include "core/system_helpers.h"

#include <commdlg.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "core/appstate.h"
#include "core/fileio.h"
#include "core/paths.h"
#include "core/service_dirs.h"
#include "core/settings.h"
#include "core/user_settings.h"

namespace {

BOOL RunFileDialog(OPENFILENAMEA* dialog, bool save) {
  return save ? GetSaveFileNameA(dialog) : GetOpenFileNameA(dialog);
}

// The structure size of the dialogs that every shell since Windows 95 knows.
constexpr DWORD kOpenFileNameSize = 76;
constexpr int kFileBuffer = 256;

bool IsDirectory(const char* path) {
  DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The initial directory and file name of a dialog from its initial path.
void SplitInitialPath(const char* path, char* directory, char* file) {
  directory[0] = file[0] = 0;
  if (!path || !path[0]) return;
  if (IsDirectory(path)) {
    lstrcpynA(directory, path, MAX_PATH);
    return;
  }
  const char* slash = std::strrchr(path, '\\');
  if (!slash) {
    lstrcpynA(file, path, kFileBuffer);
    return;
  }
  size_t dirLength = static_cast<size_t>(slash - path);
  if (dirLength >= MAX_PATH) dirLength = MAX_PATH - 1;
  std::memcpy(directory, path, dirLength);
  directory[dirLength] = 0;
  lstrcpynA(file, slash + 1, kFileBuffer);
}

bool RunDialog(HWND owner, const char* title, char* path, const char* filter, const char* defaultExtension, DWORD flags,
               bool save, bool hook) {
  char savedDirectory[MAX_PATH];
  GetCurrentDirectoryA(sizeof savedDirectory, savedDirectory);
  char directory[MAX_PATH], file[kFileBuffer], dialogTitle[kFileBuffer] = "";
  SplitInitialPath(path, directory, file);

  OPENFILENAMEA ofn;
  std::memset(&ofn, 0, sizeof ofn);
  ofn.lStructSize = kOpenFileNameSize;
  ofn.hwndOwner = owner;
  ofn.hInstance = g_app.instance;
  ofn.lpstrFilter = filter;
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file;
  ofn.nMaxFile = kFileBuffer;
  ofn.lpstrFileTitle = dialogTitle;
  ofn.nMaxFileTitle = kFileBuffer;
  ofn.lpstrInitialDir = directory[0] ? directory : nullptr;
  ofn.lpstrTitle = title;
  ofn.lpstrDefExt = defaultExtension;
  ofn.Flags = flags;
  if (hook) {
    ofn.Flags |= OFN_ENABLEHOOK | OFN_ENABLETEMPLATE;
    ofn.lpfnHook = FileOpenHook;
    ofn.lpTemplateName = "FILEOPEN";
  }
  BOOL chosen = g_systemHelperHooks.runFileDialog(&ofn, save);
  SetCurrentDirectoryA(savedDirectory);
  if (!chosen) return false;
  // A multiple selection is the directory, a zero and the names.
  size_t length = std::strlen(file);
  if (length < kFileBuffer && file[length + 1] && (flags & OFN_ALLOWMULTISELECT))
    std::memcpy(path, file, kFileBuffer);
  else
    lstrcpynA(path, file, kFileBuffer);
  return true;
}

bool HasExplorerDialogs() {
  OSVERSIONINFOA version = {sizeof version};
  return GetVersionExA(&version) && version.dwMajorVersion >= 4;
}

}  // namespace

SystemHelperHooks g_systemHelperHooks = {RunFileDialog};

UINT_PTR CALLBACK FileOpenHook(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    ShowWindow(GetDlgItem(dialog, IDC_FILEOPEN_ERASE_AFTER), SW_HIDE);
    if (HaveNet()) {
      CheckRadioButton(dialog, IDC_FILEOPEN_MIME, IDC_FILEOPEN_UUENCODE,
                       g_user.mime ? IDC_FILEOPEN_MIME : IDC_FILEOPEN_UUENCODE);
    } else {
      for (int id : {IDC_FILEOPEN_ENCODE_GROUP, IDC_FILEOPEN_MIME, IDC_FILEOPEN_UUENCODE})
        ShowWindow(GetDlgItem(dialog, id), SW_HIDE);
    }
    return 1;
  }
  if (message == WM_NOTIFY && reinterpret_cast<NMHDR*>(lParam)->code == CDN_FILEOK && HaveNet())
    g_user.mime = IsDlgButtonChecked(dialog, IDC_FILEOPEN_MIME) == BST_CHECKED;
  return 0;
}

char* pendingtmpname(char* out, size_t size) {
  if (size == 0) return out;
  out[0] = 0;
  char directory[MAX_PATH];
  if (!JoinPath(directory, sizeof directory, {g_main.messagePath, "pending"})) return out;
  if (filetime(directory) == static_cast<time_t>(-1)) makedir(directory);
  // 100000 names; give up rather than loop for ever in a full directory.
  for (int attempt = 0; attempt < 200000; ++attempt) {
    unsigned draw = (static_cast<unsigned>(std::rand()) << 15) ^ static_cast<unsigned>(std::rand());
    int number = static_cast<int>(draw % 100000);
    char name[16], candidate[MAX_PATH];
    snprintf(name, sizeof name, "msw%05d.tmp", number);
    if (!JoinPath(candidate, sizeof candidate, {directory, name}) || std::strlen(candidate) >= size) return out;
    if (filetime(candidate) == static_cast<time_t>(-1)) {
      std::strcpy(out, candidate);
      return out;
    }
  }
  return out;
}

double DiskFree() {
  typedef BOOL(WINAPI * FreeSpaceEx)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);
  OSVERSIONINFOA version = {sizeof version};
  GetVersionExA(&version);
  bool hasEx = version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS ||
               (version.dwPlatformId == VER_PLATFORM_WIN32_NT && (version.dwBuildNumber & 0xFFFF) >= 1000);
  if (hasEx) {
    HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
    FARPROC found = kernel ? GetProcAddress(kernel, "GetDiskFreeSpaceEx") : nullptr;
    if (!found && kernel) found = GetProcAddress(kernel, "GetDiskFreeSpaceExA");
    ULARGE_INTEGER available, total, totalFree;
    if (found && reinterpret_cast<FreeSpaceEx>(reinterpret_cast<void*>(found))(nullptr, &available, &total, &totalFree))
      return static_cast<double>(available.QuadPart);
  }
  DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
  if (!GetDiskFreeSpaceA(nullptr, &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters)) return 0;
  return static_cast<double>(freeClusters) * sectorsPerCluster * bytesPerSector;
}

void TrimWorkingSet() {
  SetProcessWorkingSetSize(GetCurrentProcess(), static_cast<SIZE_T>(-1), static_cast<SIZE_T>(-1));
}

int GetWheelScrollLines() {
  UINT lines = 0;
  if (!SystemParametersInfoA(SPI_GETWHEELSCROLLLINES, 0, &lines, 0)) return 3;
  return static_cast<int>(lines);
}

void FreeLib(HMODULE module) {
  if (module) FreeLibrary(module);
}

int SendDlgUser0(HWND dialog, int item, WPARAM value) {
  SendDlgItemMessageA(dialog, item, WM_USER, value, 0);
  return 1;
}

int SendDlgUser2(HWND dialog, int item, WPARAM value) {
  SendDlgItemMessageA(dialog, item, WM_USER + 2, value, 0);
  return 1;
}

bool PromptOpenFileName(HWND owner, const char* title, char* path, const char* filter, bool hook) {
  return RunDialog(owner, title, path, filter, nullptr,
                   OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_EXPLORER, false, hook);
}

bool PromptAttachFileName(HWND owner, const char* title, char* path) {
  DWORD flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
  if (HasExplorerDialogs()) flags |= OFN_EXPLORER | OFN_ALLOWMULTISELECT;
  return RunDialog(owner, title, path, nullptr, nullptr, flags, false, false);
}

bool PromptSaveFileName(HWND owner, const char* title, char* path, const char* filter, const char* defaultExtension) {
  return RunDialog(owner, title, path, filter, defaultExtension, OFN_HIDEREADONLY | OFN_PATHMUSTEXIST, true, false);
}
