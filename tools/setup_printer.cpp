// setup_printer: gives the Windows (or Wine) installation it runs on a default printer that
// prints PostScript into files, so the program's printing can be tried and tested on a machine
// with no printer. Safe to run again: an existing printer is kept.
#ifdef _WIN32

#include <cstdio>

#include "print/file_printer_win32.h"

int main() {
  const char* step = "";
  DWORD error = file_printer::EnsureFilePrinter(&step);
  if (error != 0) {
    std::fprintf(stderr, "setup_printer: %s failed, error %lu\n", step,
                 static_cast<unsigned long>(error));
    return 1;
  }
  std::printf("setup_printer: default printer \"%s\" prints to FILE:\n",
              file_printer::kPrinterName);
  return 0;
}

#else

// Printers are a Windows matter: the native build has nothing to set up.
int main() { return 0; }

#endif
