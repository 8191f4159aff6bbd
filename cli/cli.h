// saucelins-cli: the catalogue and memo commands for scripts, on the program's own reader,
// writer and record store.
//
//   saucelins-cli [-C DIR] [--utf8] COMMAND [ARGS]
//
// Catalogue texts on `out` are the stored Windows-1252 bytes, or UTF-8 with --utf8 (the words
// of `check` follow the same rule, so each line has one encoding). Messages on `err`, and the
// help and version texts, are in the console's encoding: UTF-8 away from Windows,
// Windows-1252 on Windows. Lines end with LF.
#ifndef SAUCELINS_APP_CLI_H
#define SAUCELINS_APP_CLI_H

#include <cstdio>

// Exit statuses.
constexpr int kCliOk = 0;
constexpr int kCliFailed = 1;  // the command could not be done, or `check` found a problem
constexpr int kCliUsage = 2;   // the command line is wrong

// Runs one command line (argv[0] is the program's name). `in` feeds "memo set ID -". The
// current directory is the same afterwards, whatever -C changed; the recipe table is empty.
int RunCli(int argc, char** argv, FILE* out, FILE* err, FILE* in);

#endif
