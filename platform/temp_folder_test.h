// A folder of its own for a native test, under /tmp, removed with all it holds when the object
// goes. The program reads and writes its catalogue in the working folder, so a test usually
// enters the folder; the previous working folder comes back when the object goes.
#ifndef SAUCELINS_PLATFORM_TEMP_FOLDER_TEST_H
#define SAUCELINS_PLATFORM_TEMP_FOLDER_TEST_H

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>
#include <system_error>

#include "platform/file_bytes_test.h"

namespace testfiles {

class TempFolder {
 public:
  // /tmp/<name>.XXXXXX; Path() is empty when it could not be made.
  explicit TempFolder(const std::string& name = "saucelins") {
    std::string pattern = "/tmp/" + name + ".XXXXXX";
    if (mkdtemp(&pattern[0])) path_ = pattern;
  }
  ~TempFolder() {
    if (!previous_.empty() && chdir(previous_.c_str()) != 0)
      ADD_FAILURE() << "cannot go back to " << previous_;
    if (path_.empty()) return;
    namespace fs = std::filesystem;
    std::error_code error;
    // A test may have taken the owner's rights away to see a write refused.
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, error);
    fs::remove_all(path_, error);
    if (error) ADD_FAILURE() << "cannot remove " << path_ << ": " << error.message();
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& Path() const { return path_; }

  // Makes the folder the working folder until the object goes; false when it could not.
  bool Enter() {
    char cwd[4096];
    if (path_.empty() || !getcwd(cwd, sizeof cwd) || chdir(path_.c_str()) != 0) return false;
    if (previous_.empty()) previous_ = cwd;
    return true;
  }

 private:
  std::string path_;
  std::string previous_;
};

// The names of the working folder's entries.
inline std::set<std::string> FilesHere() {
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator("."))
    names.insert(e.path().filename().string());
  return names;
}

}  // namespace testfiles

#endif
