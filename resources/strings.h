// The program's texts, by string resource number, wherever the code runs: from the
// executable's string table on Windows, from a copy of that table built into the portable
// core elsewhere (tests, command-line tool). Texts are Windows-1252.
#ifndef SAUCELINS_RESOURCES_STRINGS_H
#define SAUCELINS_RESOURCES_STRINGS_H

// Copies string `id` into buf, cut to cap - 1 characters and terminated. Returns the number of
// characters copied; 0 (and an empty buf) when there is no such string.
int LoadText(unsigned id, char* buf, int cap);

#endif
