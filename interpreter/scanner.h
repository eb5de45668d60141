// TPPAParser: the one reader of program text. It splits a byte string of the system code page into
// tokens and never fails; its readers decide what is valid.
//
// A token is a position, not a copy: TokenStart and Current point into the scanner's own NUL-terminated
// buffer, and only Token, UpperToken and Accept build strings.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

// The numbers are fixed because readers test them; 5 and 6 are unused.
enum TPPATokenKind : std::uint8_t {
  ptEnd = 0,
  ptSymbol = 1,
  ptString = 2,
  ptInteger = 3,
  ptReal = 4,
  ptComment = 7,
  ptIdent = 8,
  ptPair = 100,
};

class TPPAParser {
 public:
  // Copies Text and stands on its first token.
  explicit TPPAParser(std::string_view Text);
  ~TPPAParser() = default;
  // A scanner's positions point into its own buffer: copying would alias it.
  TPPAParser(const TPPAParser&) = delete;
  TPPAParser& operator=(const TPPAParser&) = delete;

  // Scans the next token, makes it current and returns its kind; at the end, ptEnd on every call.
  TPPATokenKind Next();
  // The current token's bytes, empty for ptEnd.
  std::string Token() const;
  std::string_view TokenView() const { return {TokenStart, static_cast<std::size_t>(Current - TokenStart)}; }
  // Token upper-cased by the system code page's locale-aware rules.
  std::string UpperToken() const;
  // True and Next() when the current token equals Word, letter case ignored; otherwise nothing changes.
  bool Accept(std::string_view Word);
  // True when the current token equals Word, letter case ignored; consumes nothing.
  bool Is(std::string_view Word) const;
  // Offset of the current token from the start of the text.
  std::int64_t Position() const { return TokenStart - Buffer.get(); }
  // The text from the current token to the end.
  std::string_view Rest() const { return {TokenStart, static_cast<std::size_t>(End - TokenStart)}; }
  bool AtEnd() const { return Kind == ptEnd; }

  TPPATokenKind Kind = ptEnd;

 private:
  void SkipBlanks();
  void SkipExponent();

  std::unique_ptr<char[]> Buffer;
  const char* Current = nullptr;
  const char* TokenStart = nullptr;
  const char* End = nullptr;  // the terminating NUL, or the first NUL of the text
  std::int32_t TextLength = 0;
};
