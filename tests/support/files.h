// Whole-file reads and writes and the temporary directories tests make their
// fixtures in. Portable: the native and the Windows tests share them.
#pragma once
#include <string>

namespace testfs {

// The file's bytes; empty when it cannot be read.
std::string ReadWholeFile(const std::string& path);
// Replaces the file with bytes; false when any step failed.
bool WriteWholeFile(const std::string& path, const std::string& bytes);
// Adds bytes at the end of the file (made when missing).
bool AppendToFile(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);
bool MakeDirectory(const std::string& path);

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes. path() ends with the separator, so
// names join by concatenation as the data directory's do.
class TempDir {
 public:
  explicit TempDir(const char* tag = "test");
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string Path(const std::string& name) const { return path_ + name; }
  std::string Read(const std::string& name) const { return ReadWholeFile(Path(name)); }
  bool Write(const std::string& name, const std::string& bytes) const { return WriteWholeFile(Path(name), bytes); }
  bool Exists(const std::string& name) const { return FileExists(Path(name)); }
  bool MakeDir(const std::string& name) const { return MakeDirectory(Path(name)); }

 private:
  std::string path_;
};

}  // namespace testfs
