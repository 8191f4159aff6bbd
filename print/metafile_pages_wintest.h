// Pages read back from enhanced metafiles, for the Wine tests of what is printed: the rules
// (a move then a line), the texts with their place, alignment and clipping, and the pages.
// A page ends at a GDI comment "next page" in a metafile that holds several, or with its own
// metafile.
#ifndef SAUCELINS_PRINT_METAFILE_PAGES_WINTEST_H
#define SAUCELINS_PRINT_METAFILE_PAGES_WINTEST_H

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

namespace metafile_pages {

struct Rule {
  POINT from, to;
};

struct Text {
  POINT at;
  std::string s;
  UINT align;
  DWORD options;
  RECT clip;
};

struct Page {
  std::vector<Rule> rules;
  std::vector<Text> texts;
};

struct Walk {
  std::vector<Page> pages{1};
  POINT pos{0, 0};
  UINT align = 0;
};

constexpr char kPageMark[] = "next page";

inline std::string Narrow(const WCHAR* w, int n) {
  std::string s(static_cast<size_t>(n) * 2 + 1, '\0');
  int len = WideCharToMultiByte(1252, 0, w, n, &s[0], static_cast<int>(s.size()), nullptr, nullptr);
  s.resize(len > 0 ? len : 0);
  return s;
}

inline int CALLBACK OnRecord(HDC, HANDLETABLE*, const ENHMETARECORD* rec, int, LPARAM data) {
  auto* walk = reinterpret_cast<Walk*>(data);
  const BYTE* base = reinterpret_cast<const BYTE*>(rec);
  switch (rec->iType) {
    case EMR_MOVETOEX: {
      auto* r = reinterpret_cast<const EMRMOVETOEX*>(rec);
      walk->pos = {r->ptl.x, r->ptl.y};
      break;
    }
    case EMR_LINETO: {
      auto* r = reinterpret_cast<const EMRLINETO*>(rec);
      walk->pages.back().rules.push_back({walk->pos, {r->ptl.x, r->ptl.y}});
      walk->pos = {r->ptl.x, r->ptl.y};
      break;
    }
    case EMR_SETTEXTALIGN:
      walk->align = reinterpret_cast<const EMRSETTEXTALIGN*>(rec)->iMode;
      break;
    case EMR_EXTTEXTOUTA:
    case EMR_EXTTEXTOUTW: {
      const EMRTEXT& t = reinterpret_cast<const EMREXTTEXTOUTA*>(rec)->emrtext;
      Text text;
      text.at = {t.ptlReference.x, t.ptlReference.y};
      if (rec->iType == EMR_EXTTEXTOUTA)
        text.s.assign(reinterpret_cast<const char*>(base + t.offString), t.nChars);
      else
        text.s = Narrow(reinterpret_cast<const WCHAR*>(base + t.offString), t.nChars);
      text.align = walk->align;
      text.options = t.fOptions;
      text.clip = {t.rcl.left, t.rcl.top, t.rcl.right, t.rcl.bottom};
      walk->pages.back().texts.push_back(text);
      break;
    }
    case EMR_GDICOMMENT: {
      auto* r = reinterpret_cast<const EMRGDICOMMENT*>(rec);
      if (r->cbData == sizeof kPageMark && std::memcmp(r->Data, kPageMark, sizeof kPageMark) == 0)
        walk->pages.emplace_back();
      break;
    }
    default:
      break;
  }
  return 1;
}


// The pages one metafile holds.
inline std::vector<Page> Read(HENHMETAFILE emf) {
  Walk walk;
  EnumEnhMetaFile(nullptr, emf, OnRecord, &walk, nullptr);
  return walk.pages;
}

// The non-empty texts of a page that lie between the header and the footer rules, in order.
inline std::vector<std::string> BodyLines(const Page& page) {
  std::vector<std::string> lines;
  if (page.rules.size() < 2) return lines;
  const LONG top = page.rules[0].from.y, bottom = page.rules[1].from.y;
  for (const Text& t : page.texts)
    if (t.at.y > top && t.at.y < bottom && !t.s.empty()) lines.push_back(t.s);
  return lines;
}

inline int CALLBACK KeepRecord(HDC, HANDLETABLE*, const ENHMETARECORD* rec, int, LPARAM data) {
  auto* records = reinterpret_cast<std::vector<std::string>*>(data);
  const char* bytes = reinterpret_cast<const char*>(rec);
  if (rec->iType == EMR_HEADER) return 1;
  if (rec->iType == EMR_EXTCREATEFONTINDIRECTW) {
    // A font's record: its LOGFONTW up to the face name, and the name up to its end; what the
    // system leaves in the rest of the record is not drawing.
    const auto* font = reinterpret_cast<const EMREXTCREATEFONTINDIRECTW*>(rec);
    const size_t head = offsetof(EMREXTCREATEFONTINDIRECTW, elfw) + offsetof(LOGFONTW, lfFaceName);
    std::string kept(bytes, std::min<size_t>(head, rec->nSize));
    for (const WCHAR* c = font->elfw.elfLogFont.lfFaceName;
         c < font->elfw.elfLogFont.lfFaceName + LF_FACESIZE && *c; ++c)
      kept.append(reinterpret_cast<const char*>(c), sizeof *c);
    records->push_back(kept);
    return 1;
  }
  records->emplace_back(bytes, rec->nSize);
  return 1;
}

// The records of a metafile, its header left out: two pages drawn alike hold the same bytes.
inline std::vector<std::string> Records(HENHMETAFILE emf) {
  std::vector<std::string> records;
  EnumEnhMetaFile(nullptr, emf, KeepRecord, &records, nullptr);
  return records;
}

}  // namespace metafile_pages

#endif
