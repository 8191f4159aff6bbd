// Extracts the STRINGTABLE of the UTF-8 resource script into a C++ table of Windows-1252
// strings, so that the portable core (tests, command-line tool) sees the very texts the
// executable carries, without a second copy to keep in step.
//
// Usage: host_rcstrings <saucelins.rc> <string_table.inc>
// The output holds one "{id, "text"}," line per string, sorted by id. String ids may be
// numbers or macros #defined (as plain integers) in the script or in the headers it
// #includes with quotes; those headers are looked for beside the script and in the folders
// above it, as the resource compiler finds them through its include path.
//
// Anything this tool cannot translate faithfully stops the build: an unknown macro, a
// character outside Windows-1252, a duplicate id, an escape it does not know.
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

[[noreturn]] void Die(const std::string& message) {
  std::fprintf(stderr, "host_rcstrings: %s\n", message.c_str());
  std::exit(1);
}

bool ReadFile(const std::string& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream all;
  all << in.rdbuf();
  out = all.str();
  if (out.compare(0, 3, "\xEF\xBB\xBF") == 0) out.erase(0, 3);
  return true;
}

std::string DirName(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

// ---- Unicode to Windows-1252 -------------------------------------------------------------

// Code points of bytes 0x80..0x9F in Windows-1252 (0 where the byte is unassigned).
const uint16_t k1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

int To1252(uint32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
  for (int i = 0; i < 32; ++i)
    if (k1252High[i] != 0 && k1252High[i] == cp) return 0x80 + i;
  return -1;
}

// Decodes one UTF-8 sequence starting at s[i]; advances i. Returns -1 on malformed input.
int64_t NextCodePoint(const std::string& s, size_t& i) {
  auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  unsigned char b = byte(i);
  int extra = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
  if (extra < 0 || i + extra >= s.size()) return -1;
  uint32_t cp = extra == 0 ? b : (b & (0x3F >> extra));
  for (int k = 1; k <= extra; ++k) {
    unsigned char c = byte(i + k);
    if ((c & 0xC0) != 0x80) return -1;
    cp = (cp << 6) | (c & 0x3F);
  }
  static const uint32_t kMin[4] = {0, 0x80, 0x800, 0x10000};
  if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return -1;
  i += extra + 1;
  return cp;
}

// ---- Tokens ------------------------------------------------------------------------------

struct Token {
  enum Kind { kWord, kString, kPunct } kind;
  std::string text;  // word or punctuation as written; for strings, the decoded 1252 bytes
  int line;
};

class Lexer {
 public:
  Lexer(const std::string& src, const std::string& name) : s_(src), name_(name) {}

  std::vector<Token> Run() {
    std::vector<Token> out;
    bool lineStart = true;
    while (pos_ < s_.size()) {
      char c = s_[pos_];
      if (c == '\n') { ++line_; ++pos_; lineStart = true; continue; }
      if (c == ' ' || c == '\t' || c == '\r') { ++pos_; continue; }
      if (lineStart && c == '#') { SkipDirective(); continue; }
      lineStart = false;
      if (c == '/' && Peek(1) == '/') { while (pos_ < s_.size() && s_[pos_] != '\n') ++pos_; continue; }
      if (c == '/' && Peek(1) == '*') { SkipBlockComment(); continue; }
      if (c == '"' || ((c == 'L' || c == 'l') && Peek(1) == '"')) {
        if (c != '"') ++pos_;
        out.push_back({Token::kString, ReadString(), line_});
        continue;
      }
      if (IsWordChar(c)) {
        size_t start = pos_;
        while (pos_ < s_.size() && IsWordChar(s_[pos_])) ++pos_;
        out.push_back({Token::kWord, s_.substr(start, pos_ - start), line_});
        continue;
      }
      out.push_back({Token::kPunct, std::string(1, c), line_});
      ++pos_;
    }
    return out;
  }

  // "#define NAME value" lines seen while lexing, for the script's own macros.
  const std::vector<std::string>& Directives() const { return directives_; }

 private:
  static bool IsWordChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
  }
  char Peek(size_t k) const { return pos_ + k < s_.size() ? s_[pos_ + k] : '\0'; }
  std::string Where() const { return name_ + ":" + std::to_string(line_); }

  void SkipDirective() {
    size_t start = pos_;
    while (pos_ < s_.size() && s_[pos_] != '\n') {
      if (s_[pos_] == '\\' && Peek(1) == '\n') { pos_ += 2; ++line_; continue; }
      ++pos_;
    }
    directives_.push_back(s_.substr(start, pos_ - start));
  }

  void SkipBlockComment() {
    pos_ += 2;
    while (pos_ < s_.size() && !(s_[pos_] == '*' && Peek(1) == '/')) {
      if (s_[pos_] == '\n') ++line_;
      ++pos_;
    }
    if (pos_ >= s_.size()) Die(Where() + ": unterminated comment");
    pos_ += 2;
  }

  void Put1252(std::string& out, uint32_t cp) {
    int b = To1252(cp);
    if (b < 0) {
      char hex[16];
      std::snprintf(hex, sizeof hex, "U+%04X", static_cast<unsigned>(cp));
      Die(Where() + ": character " + hex + " has no Windows-1252 form");
    }
    out.push_back(static_cast<char>(b));
  }

  // Reads a quoted string (the opening quote at pos_), applying the resource compiler's
  // escapes: "" for a quote, and backslash escapes as in C.
  std::string ReadString() {
    std::string out;
    ++pos_;
    for (;;) {
      if (pos_ >= s_.size() || s_[pos_] == '\n') Die(Where() + ": unterminated string");
      char c = s_[pos_];
      if (c == '"') {
        if (Peek(1) == '"') { out.push_back('"'); pos_ += 2; continue; }
        ++pos_;
        return out;
      }
      if (c == '\\') {
        char e = Peek(1);
        pos_ += 2;
        switch (e) {
          case 'n': out.push_back('\n'); continue;
          case 'r': out.push_back('\r'); continue;
          case 't': out.push_back('\t'); continue;
          case 'a': out.push_back('\a'); continue;
          case 'b': out.push_back('\b'); continue;
          case 'f': out.push_back('\f'); continue;
          case 'v': out.push_back('\v'); continue;
          case '\\': out.push_back('\\'); continue;
          case '"': out.push_back('"'); continue;
          case '\'': out.push_back('\''); continue;
          default: break;
        }
        // Numeric escapes only for ASCII: above that, the code unit's meaning would depend on
        // the compiler's code page, and the text itself is clearer anyway.
        unsigned value = 0;
        int digits = 0;
        if (e == 'x' || e == 'X') {
          while (digits < 4 && std::isxdigit(static_cast<unsigned char>(Peek(0)))) {
            char h = s_[pos_++];
            value = value * 16 + (std::isdigit(static_cast<unsigned char>(h)) ? h - '0' : (h | 0x20) - 'a' + 10);
            ++digits;
          }
        } else if (e >= '0' && e <= '7') {
          value = e - '0';
          digits = 1;
          while (digits < 3 && Peek(0) >= '0' && Peek(0) <= '7') {
            value = value * 8 + (s_[pos_++] - '0');
            ++digits;
          }
        }
        if (digits == 0) Die(Where() + ": unknown escape \\" + std::string(1, e));
        if (value == 0 || value > 0x7F) Die(Where() + ": numeric escape outside ASCII; write the character itself");
        out.push_back(static_cast<char>(value));
        continue;
      }
      size_t at = pos_;
      int64_t cp = NextCodePoint(s_, at);
      if (cp < 0) Die(Where() + ": malformed UTF-8");
      pos_ = at;
      Put1252(out, static_cast<uint32_t>(cp));
    }
  }

  const std::string& s_;
  std::string name_;
  size_t pos_ = 0;
  int line_ = 1;
  std::vector<std::string> directives_;
};

// ---- Macros ------------------------------------------------------------------------------

using Macros = std::map<std::string, long>;

bool ParseInteger(std::string text, long& value) {
  // Accepts 12, 0x1F, (12), 12L, 12U.
  while (!text.empty() && (text.front() == '(' || text.front() == ' ')) text.erase(0, 1);
  while (!text.empty() && (text.back() == ')' || text.back() == ' ' || text.back() == 'L' ||
                           text.back() == 'l' || text.back() == 'U' || text.back() == 'u'))
    text.pop_back();
  bool negative = !text.empty() && text[0] == '-';
  if (negative) text.erase(0, 1);
  if (text.empty()) return false;
  char* end = nullptr;
  long v = std::strtol(text.c_str(), &end, 0);
  if (*end != '\0') return false;
  value = negative ? -v : v;
  return true;
}

void TakeDefine(const std::string& directive, Macros& macros) {
  // "# define" is as valid as "#define".
  size_t hash = directive.find('#');
  if (hash == std::string::npos) return;
  std::istringstream in(directive.substr(hash + 1));
  std::string keyword, name, rest;
  in >> keyword;
  if (keyword != "define") return;
  in >> name;
  std::getline(in, rest);
  size_t comment = rest.find("//");
  if (comment != std::string::npos) rest.erase(comment);
  comment = rest.find("/*");
  if (comment != std::string::npos) rest.erase(comment);
  long value;
  if (name.find('(') == std::string::npos && ParseInteger(rest, value)) macros[name] = value;
}

void LoadHeaderMacros(const std::string& header, Macros& macros) {
  std::string text;
  if (!ReadFile(header, text)) return;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    size_t first = line.find_first_not_of(" \t");
    if (first != std::string::npos && line[first] == '#') TakeDefine(line.substr(first), macros);
  }
}

// Finds a quoted #include beside the script or in a folder above it.
std::string FindInclude(const std::string& scriptDir, const std::string& name) {
  std::string dir = scriptDir;
  for (int up = 0; up < 8; ++up) {
    std::string candidate = dir + "/" + name;
    if (std::ifstream(candidate)) return candidate;
    dir += "/..";
  }
  return std::string();
}

// ---- Output ------------------------------------------------------------------------------

std::string CLiteral(const std::string& bytes) {
  std::string out = "\"";
  for (unsigned char c : bytes) {
    if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\' && c != '?') {
      out.push_back(static_cast<char>(c));
    } else {
      // Octal escapes stop after three digits, so a following digit cannot join them.
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\%03o", c);
      out += esc;
    }
  }
  return out + "\"";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: host_rcstrings <script.rc> <output.inc>\n");
    return 2;
  }
  std::string rcPath = argv[1], outPath = argv[2];
  std::string source;
  if (!ReadFile(rcPath, source)) Die("cannot read " + rcPath);

  Lexer lexer(source, rcPath);
  std::vector<Token> tokens = lexer.Run();

  Macros macros;
  for (const std::string& d : lexer.Directives()) {
    std::istringstream in(d);
    std::string word, name;
    in >> word;
    if (word == "#include") {
      in >> name;
      if (name.size() > 2 && name.front() == '"' && name.back() == '"') {
        std::string header = FindInclude(DirName(rcPath), name.substr(1, name.size() - 2));
        if (header.empty()) Die("cannot find " + name + " included by " + rcPath);
        LoadHeaderMacros(header, macros);
      }
    }
    TakeDefine(d, macros);
  }

  std::map<long, std::string> strings;
  int tables = 0;
  for (size_t i = 0; i < tokens.size(); ++i) {
    if (tokens[i].kind != Token::kWord || tokens[i].text != "STRINGTABLE") continue;
    ++tables;
    // Skip memory options and LANGUAGE/VERSION/CHARACTERISTICS statements up to BEGIN.
    size_t j = i + 1;
    while (j < tokens.size() && !(tokens[j].text == "BEGIN" || tokens[j].text == "{")) ++j;
    if (j >= tokens.size()) Die(rcPath + ": STRINGTABLE without BEGIN");
    for (++j; j < tokens.size() && tokens[j].text != "END" && tokens[j].text != "}";) {
      const Token& idToken = tokens[j];
      std::string where = rcPath + ":" + std::to_string(idToken.line);
      if (idToken.kind != Token::kWord) Die(where + ": expected a string id, found '" + idToken.text + "'");
      long id;
      if (!ParseInteger(idToken.text, id)) {
        auto m = macros.find(idToken.text);
        if (m == macros.end()) Die(where + ": unknown string id " + idToken.text);
        id = m->second;
      }
      if (id < 0 || id > 0xFFFF) Die(where + ": string id out of range");
      ++j;
      if (j < tokens.size() && tokens[j].text == ",") ++j;
      if (j >= tokens.size() || tokens[j].kind != Token::kString) Die(where + ": expected a quoted text");
      std::string text;
      while (j < tokens.size() && tokens[j].kind == Token::kString) text += tokens[j++].text;
      if (!strings.emplace(id, text).second) Die(where + ": string id " + std::to_string(id) + " given twice");
    }
    if (j >= tokens.size()) Die(rcPath + ": STRINGTABLE without END");
    i = j;
  }
  if (tables == 0 || strings.empty()) Die(rcPath + ": no strings found");

  std::string out =
      "// Generated by tools/host_rcstrings.cpp from resources/saucelins.rc. Do not edit.\n"
      "// Windows-1252 texts by string resource number.\n";
  for (const auto& [id, text] : strings) out += "{" + std::to_string(id) + ", " + CLiteral(text) + "},\n";

  // Write through a temporary name so an interrupted build never leaves half a table.
  std::string tmp = outPath + ".tmp";
  {
    std::ofstream file(tmp, std::ios::binary | std::ios::trunc);
    file << out;
    if (!file.flush()) Die("cannot write " + tmp);
  }
  if (std::rename(tmp.c_str(), outPath.c_str()) != 0) Die("cannot replace " + outPath);
  return 0;
}
