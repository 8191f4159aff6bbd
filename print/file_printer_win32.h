// A PostScript printer that prints into files, for machines with no printer at all (a Wine
// prefix without CUPS): the print dialog then has a default printer to open on, and a job
// given an output file name writes a PostScript file there. Shared by the setup tool and the
// printing tests, which must not depend on the prefix having been prepared.
#ifndef SAUCELINS_PRINT_FILE_PRINTER_WIN32_H
#define SAUCELINS_PRINT_FILE_PRINTER_WIN32_H

#include <windows.h>
#include <winspool.h>

#include <cstring>
#include <vector>

namespace file_printer {

constexpr char kPrinterName[] = "Saucelins PostScript";
constexpr char kDriverName[] = "Wine PostScript Driver";
// The driver writes PostScript straight into the job (datatype RAW); this print processor
// passes RAW jobs on to the port or the output file unchanged. The driver's own processor
// takes only spooled metafiles and drops such jobs.
constexpr char kPrintProcessor[] = "winprint";

// Writes Wine's built-in generic PostScript description (resource PPDFILE #1 of its spooler,
// the one it falls back on for printers that bring none) into `path`.
inline bool WriteGenericPpd(const char* path) {
  const char* modules[] = {"winspool.drv", "wineps.drv"};
  for (const char* name : modules) {
    HMODULE module = LoadLibraryExA(name, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) continue;
    bool written = false;
    HRSRC res = FindResourceA(module, MAKEINTRESOURCEA(1), "PPDFILE");
    const char* data = res ? static_cast<const char*>(LockResource(LoadResource(module, res)))
                           : nullptr;
    if (data) {
      DWORD size = SizeofResource(module, res);
      // The resource may be padded with NULs after the text.
      if (const void* nul = std::memchr(data, 0, size)) size = static_cast<const char*>(nul) - data;
      HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
      if (file != INVALID_HANDLE_VALUE) {
        DWORD done = 0;
        written = WriteFile(file, data, size, &done, nullptr) && done == size;
        CloseHandle(file);
        if (!written) DeleteFileA(path);
      }
    }
    FreeLibrary(module);
    if (written) return true;
  }
  return false;
}

// Makes sure the file printer exists and is the default printer. Returns 0, or the system
// error of the step that failed, named in *step. Running it again finds the printer there.
inline DWORD EnsureFilePrinter(const char** step) {
  const char* ignored;
  if (!step) step = &ignored;
  *step = "";
  char name[sizeof kPrinterName], processor[sizeof kPrintProcessor];
  std::memcpy(name, kPrinterName, sizeof name);
  std::memcpy(processor, kPrintProcessor, sizeof processor);
  PRINTER_DEFAULTSA admin = {nullptr, nullptr, PRINTER_ALL_ACCESS};
  HANDLE printer = nullptr;
  bool present = false;
  if (OpenPrinterA(name, &printer, &admin)) {
    // Already there; a printer left by an earlier setup may still name the wrong processor.
    // (A printer deleted in this process can still be opened, but not read.)
    DWORD needed = 0;
    GetPrinterA(printer, 2, nullptr, 0, &needed);
    std::vector<BYTE> buf(needed + sizeof(PRINTER_INFO_2A));
    DWORD error = 0;
    *step = "GetPrinterA";
    if (!GetPrinterA(printer, 2, buf.data(), static_cast<DWORD>(buf.size()), &needed)) {
      error = GetLastError();
      if (error == ERROR_INVALID_PRINTER_NAME) error = 0;
    } else {
      present = true;
      auto* info = reinterpret_cast<PRINTER_INFO_2A*>(buf.data());
      if (!info->pPrintProcessor || lstrcmpiA(info->pPrintProcessor, processor) != 0) {
        info->pPrintProcessor = processor;
        *step = "SetPrinterA";
        if (!SetPrinterA(printer, 2, buf.data(), 0)) error = GetLastError();
      }
    }
    ClosePrinter(printer);
    if (error) return error;
  }
  if (!present) {
    char dir[MAX_PATH];
    DWORD needed = 0;
    *step = "GetPrinterDriverDirectoryA";
    if (!GetPrinterDriverDirectoryA(nullptr, nullptr, 1, reinterpret_cast<BYTE*>(dir),
                                    sizeof dir, &needed))
      return GetLastError();
    char ppd[MAX_PATH + 32];
    if (lstrlenA(dir) + 16 >= MAX_PATH) return ERROR_BUFFER_OVERFLOW;
    lstrcpyA(ppd, dir);
    lstrcatA(ppd, "\\saucelins.ppd");
    *step = "writing the PPD";
    if (!WriteGenericPpd(ppd)) return GetLastError() ? GetLastError() : ERROR_RESOURCE_NOT_FOUND;

    char driverName[sizeof kDriverName], driverDll[] = "wineps.drv", raw[] = "RAW";
    std::memcpy(driverName, kDriverName, sizeof driverName);
    DRIVER_INFO_3A driver{};
    driver.cVersion = 3;
    driver.pName = driverName;
    driver.pDriverPath = driverDll;
    driver.pDataFile = ppd;
    driver.pConfigFile = driverDll;
    driver.pDefaultDataType = raw;
    *step = "AddPrinterDriverA";
    if (!AddPrinterDriverA(nullptr, 3, reinterpret_cast<BYTE*>(&driver)) &&
        GetLastError() != ERROR_PRINTER_DRIVER_ALREADY_INSTALLED)
      return GetLastError();

    char port[] = "FILE:", empty[] = "";
    PRINTER_INFO_2A info{};
    info.pPrinterName = name;
    info.pPortName = port;
    info.pDriverName = driverName;
    info.pPrintProcessor = processor;
    info.pDatatype = raw;
    info.pParameters = empty;
    info.pShareName = empty;
    info.pSepFile = empty;
    info.pComment = empty;
    info.pLocation = empty;
    *step = "AddPrinterA";
    printer = AddPrinterA(nullptr, 2, reinterpret_cast<BYTE*>(&info));
    if (printer)
      ClosePrinter(printer);
    else if (GetLastError() != ERROR_PRINTER_ALREADY_EXISTS)
      return GetLastError();
  }
  *step = "SetDefaultPrinterA";
  if (!SetDefaultPrinterA(name)) return GetLastError();
  *step = "";
  return 0;
}

}  // namespace file_printer

#endif
