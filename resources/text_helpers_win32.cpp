#include "resources/text_helpers_win32.h"

#include "resources/strings.h"

namespace {

// Formats string `id` with `value` into `out` (kStringTextSize bytes). The format is cut to
// 1023 characters when loaded and wsprintfA never writes more than 1024 bytes, so neither
// step can overrun. Returns false, with an empty `out`, when the string does not exist.
bool FormatStringResource(UINT id, LPARAM value, char* out) {
  char format[kStringTextSize];
  out[0] = '\0';
  if (LoadText(id, format, kStringTextSize) <= 0) return false;
  wsprintfA(out, format, value);
  return true;
}

}  // namespace

BOOL SetItemTextFromString(HWND window, int controlId, UINT stringId, LPARAM value) {
  char text[kStringTextSize];
  bool found = FormatStringResource(stringId, value, text);
  SetDlgItemTextA(window, controlId, text);
  return found ? TRUE : FALSE;
}

int ShowStringMessage(HWND owner, UINT captionId, UINT textId, LPARAM value, UINT style) {
  char caption[kStringCaptionSize];
  LoadText(captionId, caption, kStringCaptionSize);
  char text[kStringTextSize];
  FormatStringResource(textId, value, text);
  return MessageBoxA(owner, text, caption, style);
}
