// What the catalogue fuzz targets share: a private working folder (the program's files have
// fixed names in the current directory) and whole-file access.
//
// Run a target from a scratch copy of its corpus (libFuzzer adds new inputs to the first
// folder); the target works in a folder of its own, and makes the folders named on its
// command line absolute first:
//   cp -r fuzz/corpus/index /tmp/index_corpus
//   build/fuzz/index_fuzz -max_total_time=30 -artifact_prefix=crashes/ /tmp/index_corpus
#ifndef SAUCELINS_FUZZ_FUZZ_FOLDER_H
#define SAUCELINS_FUZZ_FUZZ_FOLDER_H

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace fuzzfolder {

[[noreturn]] inline void Fail(const char* target, const char* what) {
  std::fprintf(stderr, "%s: %s\n", target, what);
  std::abort();
}

inline void Check(bool ok, const char* target, const char* what) {
  if (!ok) Fail(target, what);
}

// libFuzzer ends without running exit handlers, so each run's folder is named after its
// process, and the folders of processes that are gone are cleared at the next start.
inline std::string MakeWorkFolder(const std::filesystem::path& base, const std::string& target) {
  std::error_code ignored;
  const std::string prefix = target + "_";
  for (auto& e : std::filesystem::directory_iterator(base, ignored)) {
    const std::string name = e.path().filename().string();
    if (name.rfind(prefix, 0) != 0) continue;
    const long pid = std::strtol(name.c_str() + prefix.size(), nullptr, 10);
    if (pid > 0 && kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) {
      std::filesystem::remove_all(e.path(), ignored);
    }
  }
  const std::filesystem::path folder = base / (prefix + std::to_string(getpid()));
  std::filesystem::remove_all(folder, ignored);
  if (!std::filesystem::create_directory(folder, ignored)) return std::string();
  return folder.string();
}

// The corpus folders and the artifact prefix given on the command line, made absolute so
// that they still name the same places once the target works in its own folder.
inline void AbsoluteArguments(int* argc, char*** argv) {
  static std::vector<std::string> texts;
  static std::vector<char*> pointers;
  const std::filesystem::path here = std::filesystem::current_path();
  texts.assign(*argv, *argv + *argc);
  const std::string prefix = "-artifact_prefix=";
  for (size_t i = 1; i < texts.size(); ++i) {
    std::string& a = texts[i];
    if (a.rfind(prefix, 0) == 0) {
      const std::string value = a.substr(prefix.size());
      // A prefix may end in a partial file name ("crash-dir/x-"): keep its last character.
      if (!value.empty() && value[0] != '/') a = prefix + (here / value).string();
    } else if (!a.empty() && a[0] != '-' && a[0] != '/') {
      a = (here / a).string();
    }
  }
  pointers.clear();
  for (std::string& t : texts) pointers.push_back(&t[0]);
  pointers.push_back(nullptr);
  *argv = pointers.data();
}

// Enters a fresh folder in memory when there is one: a save flushes to disk, which would
// otherwise set the pace.
inline void EnterWorkFolder(const char* target) {
  std::string folder = MakeWorkFolder("/dev/shm", target);
  if (folder.empty()) folder = MakeWorkFolder(std::filesystem::temp_directory_path(), target);
  Check(!folder.empty(), target, "no temporary folder");
  Check(chdir(folder.c_str()) == 0, target, "cannot enter the temporary folder");
}

// What every catalogue target does before its first input: the arguments made absolute, then
// its own working folder entered. Returns what LLVMFuzzerInitialize returns.
inline int Initialize(int* argc, char*** argv, const char* target) {
  AbsoluteArguments(argc, argv);
  EnterWorkFolder(target);
  return 0;
}

inline void PutFile(const char* name, const void* data, size_t size) {
  FILE* f = std::fopen(name, "wb");
  Check(f != nullptr, name, "cannot be written");
  if (size > 0) Check(std::fwrite(data, 1, size, f) == size, name, "short write");
  Check(std::fclose(f) == 0, name, "close failed");
}

inline std::string FileBytes(const char* name) {
  std::string bytes;
  FILE* f = std::fopen(name, "rb");
  if (!f) return bytes;
  char block[8192];
  size_t n;
  while ((n = std::fread(block, 1, sizeof block, f)) > 0) bytes.append(block, n);
  std::fclose(f);
  return bytes;
}

}  // namespace fuzzfolder

#endif
