// saucelins-cli: inspect, check and back up a Saucelins catalogue from scripts. The commands
// live in cli/cli.cpp; `saucelins-cli --help` lists them.
#include <cstdio>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "cli/cli.h"

int main(int argc, char** argv) {
#ifdef _WIN32
  // Recipe texts and memos go out and come in byte for byte, their CR LF included.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stdin), _O_BINARY);
#endif
  return RunCli(argc, argv, stdout, stderr, stdin);
}
