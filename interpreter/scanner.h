// TPPAParser: the one reader of program text. It splits a byte string of the system code page into
// tokens and never fails; its readers decide what is valid.
//
// A token is a position, not a copy: TokenStart and Current point into the scanner's own NUL-terminated
// buffer, and only Token, UpperToken and Accept build strings.
//
// The interpreter scans the same few texts millions of times, so a scanner can also replay a text
// that a TPPATokenCache has scanned once: the same tokens, positions and kinds, from an array. Plain
// scanning stays the reference that replay is tested against.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

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

// One token of a scanned text: offsets into TPPAScannedText::Text.
struct TPPAToken {
  std::uint32_t Start;
  std::uint32_t Length;
  TPPATokenKind Kind;
};

struct TPPAScannedText;
struct TPPANameMemo;  // the interpreter's, per token
struct TPPAPlan;      // the interpreter's, per use of a text

// What a reader cut out of a scanned text, starting at a token: the cut text, and the token the
// reader stood on afterwards.
struct TPPACut {
  TPPAScannedText* Text = nullptr;
  std::uint32_t EndToken = 0;
};

// A text scanned once. Immutable after scanning except for the readers' memos, which depend only
// on the text (cuts) or are checked against the tables before use (names).
struct TPPAScannedText {
  TPPAScannedText();
  ~TPPAScannedText();
  TPPAScannedText(const TPPAScannedText&) = delete;
  TPPAScannedText& operator=(const TPPAScannedText&) = delete;

  std::string Text;
  std::vector<TPPAToken> Tokens;  // the last one is ptEnd, at the text's first NUL or its end

  // Memos, keyed by token index and the reader's own cut kind.
  std::unordered_map<std::uint64_t, TPPACut> Cuts;
  bool Split = false;  // Statements holds the ";" split of Text
  std::vector<TPPAScannedText*> Statements;
  std::vector<TPPANameMemo> Names;  // empty, or one per token
  // What the interpreter learnt from reading the text for each of its uses (an integer, real or
  // string expression, or a statement), checked against the tables before use.
  std::unique_ptr<TPPAPlan> Plans[4];
};

// Texts by content (and, for texts the cache itself handed out, by address), each scanned once.
// Per interpreter and single-threaded. Entries live until Clear, which waits until no scanner
// replays one; past kMaxBytes nothing more is taken in and scanners fall back to plain scanning,
// so a program that makes ever new texts cannot grow the cache without limit.
class TPPATokenCache {
 public:
  static constexpr std::size_t kMaxBytes = 32u << 20;

  TPPATokenCache() = default;
  TPPATokenCache(const TPPATokenCache&) = delete;
  TPPATokenCache& operator=(const TPPATokenCache&) = delete;

  // The scanned text equal to Text, or nullptr when the cache is full or Text too long.
  TPPAScannedText* Get(std::string_view Text);
  // Frees every entry unless a scanner still replays one.
  void Clear();
  std::size_t Bytes() const { return Bytes_; }
  // Counts Size more bytes of memos against the bound; false, and nothing counted, beyond it.
  bool Charge(std::size_t Size) {
    if (Bytes_ + Size > kMaxBytes) return false;
    Bytes_ += Size;
    return true;
  }

 private:
  friend class TPPAParser;
  std::unordered_map<std::string_view, std::unique_ptr<TPPAScannedText>> ByText;
  std::unordered_map<const char*, TPPAScannedText*> ByAddress;
  std::size_t Bytes_ = 0;
  int Users = 0;  // scanners replaying an entry
};

class TPPAParser {
 public:
  // Copies Text and stands on its first token.
  explicit TPPAParser(std::string_view Text);
  // Replays Text's tokens from Cache when it can, else scans a copy as above. Cache may be nullptr.
  TPPAParser(TPPATokenCache* Cache, std::string_view Text);
  // Replays a text of Cache.
  TPPAParser(TPPATokenCache& Cache, TPPAScannedText& Scanned);
  ~TPPAParser() {
    if (Cache_) --Cache_->Users;
  }
  // A scanner's positions point into its own buffer: copying would alias it.
  TPPAParser(const TPPAParser&) = delete;
  TPPAParser& operator=(const TPPAParser&) = delete;

  // Scans the next token, makes it current and returns its kind; at the end, ptEnd on every call.
  TPPATokenKind Next() {
    if (Scanned_ == nullptr) {
      Scan();
    } else {
      if (Kind != ptEnd) ++Token_;
      Load();
    }
    return Kind;
  }
  // The current token's bytes, empty for ptEnd.
  std::string Token() const;
  std::string_view TokenView() const { return {TokenStart, static_cast<std::size_t>(Current - TokenStart)}; }
  // Token upper-cased by the system code page's locale-aware rules.
  std::string UpperToken() const;
  // True and Next() when the current token equals Word, letter case ignored; otherwise nothing changes.
  bool Accept(std::string_view Word);
  // True when the current token equals Word, letter case ignored; consumes nothing. Most tests
  // fail on the length, so that much is inline.
  bool Is(std::string_view Word) const {
    return static_cast<std::size_t>(Current - TokenStart) == Word.size() && SameWord(Word);
  }
  // Offset of the current token from the start of the text.
  std::int64_t Position() const { return TokenStart - Base_; }
  // The text from the current token to the end.
  std::string_view Rest() const { return {TokenStart, static_cast<std::size_t>(End - TokenStart)}; }
  bool AtEnd() const { return Kind == ptEnd; }

  // While replaying: the text replayed and the current token's index in it; else nullptr and 0.
  TPPAScannedText* Scanned() const { return Scanned_; }
  std::uint32_t TokenIndex() const { return static_cast<std::uint32_t>(Token_ - TokensBegin()); }
  // While replaying: stands on the token of that index, as the Next calls that led there would.
  void Seek(std::uint32_t Index);
  TPPATokenCache* Cache() const { return Cache_; }

  TPPATokenKind Kind = ptEnd;

 private:
  void SkipBlanks();
  void SkipExponent();
  void Scan();
  bool SameWord(std::string_view Word) const;
  void Replay(TPPATokenCache& Cache, TPPAScannedText& Scanned);
  void ScanCopy(std::string_view Text);
  const TPPAToken* TokensBegin() const { return Scanned_ ? Scanned_->Tokens.data() : nullptr; }
  void Load() {
    TokenStart = Base_ + Token_->Start;
    Current = TokenStart + Token_->Length;
    Kind = Token_->Kind;
  }

  // Replay state; Scanned_ is nullptr while scanning.
  TPPATokenCache* Cache_ = nullptr;
  TPPAScannedText* Scanned_ = nullptr;
  const TPPAToken* Token_ = nullptr;
  const char* Base_ = nullptr;  // the start of the text, in either mode

  std::unique_ptr<char[]> Buffer;
  const char* Current = nullptr;
  const char* TokenStart = nullptr;
  const char* End = nullptr;  // the terminating NUL, or the first NUL of the text
  std::int32_t TextLength = 0;
};
