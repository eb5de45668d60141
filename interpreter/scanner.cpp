// The scanner: position arithmetic over its own NUL-terminated copy of the text.
#include "interpreter/scanner.h"

#include <algorithm>
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

TPPAParser::TPPAParser(std::string_view Text) { ScanCopy(Text); }

// The plain scanner: its own NUL-terminated copy of the text, standing on the first token.
void TPPAParser::ScanCopy(std::string_view Text) {
  Buffer.reset(new char[Text.size() + 1]);
  if (!Text.empty()) std::memcpy(Buffer.get(), Text.data(), Text.size());
  Buffer[Text.size()] = '\0';
  // The recorded length is informational only; clamp rather than wrap for huge texts.
  TextLength = Text.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())
                   ? std::numeric_limits<std::int32_t>::max()
                   : static_cast<std::int32_t>(Text.size());
  End = Buffer.get() + std::strlen(Buffer.get());
  Base_ = TokenStart = Current = Buffer.get();
  Scan();
}

TPPAParser::TPPAParser(TPPATokenCache* Cache, std::string_view Text) {
  TPPAScannedText* Scanned = Cache ? Cache->Get(Text) : nullptr;
  if (Scanned) {
    Replay(*Cache, *Scanned);
    return;
  }
  ScanCopy(Text);  // not cached: the plain scanner
}

TPPAParser::TPPAParser(TPPATokenCache& Cache, TPPAScannedText& Scanned) { Replay(Cache, Scanned); }

void TPPAParser::Replay(TPPATokenCache& Cache, TPPAScannedText& Scanned) {
  Cache_ = &Cache;
  ++Cache.Users;
  Scanned_ = &Scanned;
  Base_ = Scanned.Text.data();
  End = Base_ + Scanned.Tokens.back().Start;
  TextLength = static_cast<std::int32_t>(std::min<std::size_t>(Scanned.Text.size(), std::numeric_limits<std::int32_t>::max()));
  Token_ = Scanned.Tokens.data();
  Load();
}

void TPPAParser::Seek(std::uint32_t Index) {
  Token_ = TokensBegin() + Index;
  Load();
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

void TPPAParser::Scan() {
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
}

std::string TPPAParser::Token() const { return std::string(TokenView()); }

std::string TPPAParser::UpperToken() const { return platform::AnsiUpperCase(TokenView()); }

bool TPPAParser::SameWord(std::string_view Word) const { return SameFolded(TokenView(), Word); }

bool TPPAParser::Accept(std::string_view Word) {
  if (!Is(Word)) return false;
  Next();
  return true;
}

// ---- The token cache ----

TPPAScannedText* TPPATokenCache::Get(std::string_view Text) {
  // A text cut out by a reader is handed on as a view of the cached copy: found by its address.
  if (const auto It = ByAddress.find(Text.data()); It != ByAddress.end() && It->second->Text.size() == Text.size())
    return It->second;
  if (const auto It = ByText.find(Text); It != ByText.end()) return It->second.get();
  if (Text.size() >= std::numeric_limits<std::uint32_t>::max()) return nullptr;
  if (Bytes_ + Text.size() > kMaxBytes) return nullptr;
  auto Scanned = std::make_unique<TPPAScannedText>();
  Scanned->Text.assign(Text);
  // Recorded by the plain scanner itself, so that replay cannot differ from it.
  TPPAParser P(Scanned->Text);
  for (;;) {
    Scanned->Tokens.push_back(TPPAToken{static_cast<std::uint32_t>(P.Position()),
                                        static_cast<std::uint32_t>(P.TokenView().size()), P.Kind});
    if (P.AtEnd()) break;
    P.Next();
  }
  Scanned->Tokens.shrink_to_fit();
  Bytes_ += sizeof(TPPAScannedText) + Scanned->Text.size() + Scanned->Tokens.size() * sizeof(TPPAToken);
  TPPAScannedText* Result = Scanned.get();
  ByAddress.emplace(Result->Text.data(), Result);
  ByText.emplace(std::string_view(Result->Text), std::move(Scanned));
  return Result;
}

void TPPATokenCache::Clear() {
  if (Users != 0) return;
  ByAddress.clear();
  ByText.clear();
  Bytes_ = 0;
}
