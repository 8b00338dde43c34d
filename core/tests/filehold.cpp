// Holds a file open with a given share mode for a while, then exits: the other
// process of the locking tests. Usage: filehold <path> <ms> <excl|denywrite|write>
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
  if (argc < 4) return 2;
  int share = _SH_DENYRW;
  if (!std::strcmp(argv[3], "denywrite")) share = _SH_DENYWR;
  int fd = _sopen(argv[1], _O_RDWR | _O_CREAT | _O_BINARY, share, _S_IREAD | _S_IWRITE);
  if (fd < 0) return 1;
  Sleep(static_cast<DWORD>(std::atoi(argv[2])));
  _close(fd);
  return 0;
}
