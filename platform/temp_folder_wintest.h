// A folder of its own for a Wine test, in the system's temporary folder, removed with all it
// holds when the object goes. The program reads and writes its catalogue in the working
// folder, so a test usually enters the folder; the previous working folder comes back when
// the object goes.
#ifndef SAUCELINS_PLATFORM_TEMP_FOLDER_WINTEST_H
#define SAUCELINS_PLATFORM_TEMP_FOLDER_WINTEST_H

#include <windows.h>

#include <gtest/gtest.h>

#include <initializer_list>
#include <set>
#include <string>
#include <vector>

#include "platform/file_bytes_test.h"

namespace testfiles {

// The names of the entries of folder `dir`.
inline std::set<std::string> FilesIn(const std::string& dir) {
  std::set<std::string> names;
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = fd.cFileName;
    if (name != "." && name != "..") names.insert(name);
  } while (FindNextFileA(h, &fd));
  FindClose(h);
  return names;
}

inline std::set<std::string> FilesHere() { return FilesIn("."); }

// Removes folder `dir` with everything in it, read-only files included; false when something
// stayed (a file held open, most likely).
inline bool RemoveFolder(const std::string& dir) {
  // The names first: entries removed while a search runs could make it skip others.
  for (const std::string& name : FilesIn(dir)) {
    const std::string path = dir + "\\" + name;
    const DWORD attributes = GetFileAttributesA(path.c_str());
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
      RemoveFolder(path);
    else
      DeleteFileA(path.c_str());
  }
  return RemoveDirectoryA(dir.c_str()) != 0;
}

class TempFolder {
 public:
  // A new folder named from the first three letters of `prefix`, as GetTempFileName names
  // its files; Path() is empty when it could not be made.
  explicit TempFolder(const char* prefix) {
    char tmp[MAX_PATH], dir[MAX_PATH];
    if (!GetTempPathA(MAX_PATH, tmp) || !GetTempFileNameA(tmp, prefix, 0, dir)) return;
    DeleteFileA(dir);  // the name was taken by making an empty file of it
    if (CreateDirectoryA(dir, nullptr)) path_ = dir;
  }
  ~TempFolder() {
    Leave();
    if (!path_.empty() && !removed_ && !RemoveFolder(path_))
      ADD_FAILURE() << "cannot remove " << path_;
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& Path() const { return path_; }

  // Makes the folder the working folder until the object goes; false when it could not.
  bool Enter() {
    char cwd[MAX_PATH];
    if (path_.empty() || !GetCurrentDirectoryA(MAX_PATH, cwd) ||
        !SetCurrentDirectoryA(path_.c_str()))
      return false;
    if (previous_.empty()) previous_ = cwd;
    return true;
  }

  // Deletes the files named in `expected`, then the folder: false when anything else was
  // left in it (a file still open cannot be deleted either), which goes with the folder all
  // the same.
  bool RemoveExpecting(std::initializer_list<const char*> expected) {
    Leave();
    for (const char* name : expected) DeleteFileA((path_ + "\\" + name).c_str());
    const bool onlyThose = RemoveDirectoryA(path_.c_str()) != 0;
    if (!onlyThose && !RemoveFolder(path_)) ADD_FAILURE() << "cannot remove " << path_;
    removed_ = true;
    return onlyThose;
  }

 private:
  void Leave() {
    if (!previous_.empty() && !SetCurrentDirectoryA(previous_.c_str()))
      ADD_FAILURE() << "cannot go back to " << previous_;
    previous_.clear();
  }

  std::string path_;
  std::string previous_;
  bool removed_ = false;
};

}  // namespace testfiles

#endif
