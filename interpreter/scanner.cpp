// The scanner: position arithmetic over its own NUL-terminated copy of the text.
#include "interpreter/scanner.h"

#include <cstring>
#include <limits>

#include "platform/platform.h"

namespace {

bool IsDigit(char C) { return C >= '0' && C <= '9'; }
bool IsHexDigit(char C) { return IsDigit(C) || (C >= 'A' && C <= 'F') || (C >= 'a' && C <= 'f'); }
bool IsLetter(char C) { return (C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z') || C == '_'; }
char AsciiUpper(char C) { return (C >= 'a' && C <= 'z') ? static_cast<char>(C - 'a' + 'A') : C; }

// Token and word compared as UpperToken would compare them. Keywords and tokens are nearly always
// ASCII, where folding is exact without the locale; only other texts take the platform's fold, and
// only texts longer than the stack buffer allocate.
bool SameFolded(std::string_view A, std::string_view B) {
  if (A.size() != B.size()) return false;
  std::size_t i = 0;
  for (; i < A.size(); ++i) {
    if (static_cast<unsigned char>(A[i] | B[i]) >= 0x80) break;
    if (AsciiUpper(A[i]) != AsciiUpper(B[i])) return false;
  }
  if (i == A.size()) return true;
  constexpr std::size_t kStack = 64;
  if (A.size() <= kStack) {
    char FA[kStack];
    char FB[kStack];
    std::memcpy(FA, A.data(), A.size());
    std::memcpy(FB, B.data(), B.size());
    platform::AnsiUpperCaseInPlace(FA, A.size());
    platform::AnsiUpperCaseInPlace(FB, B.size());
    return std::memcmp(FA, FB, A.size()) == 0;
  }
  return platform::AnsiUpperCase(A) == platform::AnsiUpperCase(B);
}

}  // namespace

TPPAParser::TPPAParser(std::string_view Text) : Buffer(new char[Text.size() + 1]) {
  if (!Text.empty()) std::memcpy(Buffer.get(), Text.data(), Text.size());
  Buffer[Text.size()] = '\0';
  // The recorded length is informational only; clamp rather than wrap for huge texts.
  TextLength = Text.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())
                   ? std::numeric_limits<std::int32_t>::max()
                   : static_cast<std::int32_t>(Text.size());
  End = Buffer.get() + std::strlen(Buffer.get());
  TokenStart = Current = Buffer.get();
  Next();
}

void TPPAParser::SkipBlanks() {
  while (*Current != '\0' && static_cast<unsigned char>(*Current) <= 32) ++Current;
}

// "E" or "e", an optional sign, then any digits: 1E and 1E+ are complete tokens.
void TPPAParser::SkipExponent() {
  ++Current;
  if (*Current == '+' || *Current == '-') ++Current;
  while (IsDigit(*Current)) ++Current;
}

TPPATokenKind TPPAParser::Next() {
  SkipBlanks();
  TokenStart = Current;
  const char C = *Current;
  if (C == '\0') {
    Kind = ptEnd;
  } else if (C == '/' && Current[1] == '/') {
    while (*Current != '\0' && *Current != '\r' && *Current != '\n') ++Current;
    Kind = ptComment;
  } else if (C == '\'') {
    // A doubled quote stays inside; an unclosed literal runs to the end of the text.
    ++Current;
    while (*Current != '\0') {
      if (*Current == '\'') {
        ++Current;
        if (*Current != '\'') break;
      }
      ++Current;
    }
    Kind = ptString;
  } else if (C == '$') {
    ++Current;
    while (IsHexDigit(*Current)) ++Current;
    Kind = ptInteger;
  } else if (C == '#') {
    ++Current;
    if (*Current == '$') {
      ++Current;
      while (IsHexDigit(*Current)) ++Current;
    } else {
      while (IsDigit(*Current)) ++Current;
    }
    Kind = ptString;
  } else if ((C == ':' && Current[1] == '=') || (C == '<' && (Current[1] == '=' || Current[1] == '>')) ||
             (C == '>' && Current[1] == '=') || (C == '.' && Current[1] == '.')) {
    Current += 2;
    Kind = ptPair;
  } else if (IsDigit(C)) {
    while (IsDigit(*Current)) ++Current;
    Kind = ptInteger;
    if (*Current == '.' && IsDigit(Current[1])) {
      ++Current;
      while (IsDigit(*Current)) ++Current;
      if (*Current == 'E' || *Current == 'e') SkipExponent();
      Kind = ptReal;
    } else if (*Current == '.' && (Current[1] == 'E' || Current[1] == 'e')) {
      ++Current;
      SkipExponent();
      Kind = ptReal;
    } else if (*Current == 'E' || *Current == 'e') {
      SkipExponent();
      Kind = ptReal;
    }
    // Any other "." stays out of the token, so that 1..5 is a range.
  } else if (IsLetter(C)) {
    while (IsLetter(*Current) || IsDigit(*Current)) ++Current;
    Kind = ptIdent;
  } else {
    ++Current;
    Kind = ptSymbol;
  }
  return Kind;
}

std::string TPPAParser::Token() const { return std::string(TokenView()); }

std::string TPPAParser::UpperToken() const { return platform::AnsiUpperCase(TokenView()); }

bool TPPAParser::Is(std::string_view Word) const { return SameFolded(TokenView(), Word); }

bool TPPAParser::Accept(std::string_view Word) {
  if (!Is(Word)) return false;
  Next();
  return true;
}
