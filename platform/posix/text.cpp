// Code-page text over the emulated system locale: 932 (Shift-JIS as Windows extends it) or 1252.
#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "../char_boundary.h"
#include "../platform.h"
#include "sim.h"

namespace platform {
namespace {

bool Is932() { return CodePage() == 932; }

bool Lead932(unsigned char B) { return (B >= 0x81 && B <= 0x9F) || (B >= 0xE0 && B <= 0xFC); }

// Code page 1252 letters beyond ASCII, as CharUpperBuffA / CharLowerBuffA map them.
unsigned char Upper1252(unsigned char B) {
  if (B >= 'a' && B <= 'z') return static_cast<unsigned char>(B - 0x20);
  if (B >= 0xE0 && B <= 0xFE && B != 0xF7) return static_cast<unsigned char>(B - 0x20);
  switch (B) {
    case 0x9A: return 0x8A;
    case 0x9C: return 0x8C;
    case 0x9E: return 0x8E;
    case 0xFF: return 0x9F;
    default: return B;
  }
}

unsigned char Lower1252(unsigned char B) {
  if (B >= 'A' && B <= 'Z') return static_cast<unsigned char>(B + 0x20);
  if (B >= 0xC0 && B <= 0xDE && B != 0xD7) return static_cast<unsigned char>(B + 0x20);
  switch (B) {
    case 0x8A: return 0x9A;
    case 0x8C: return 0x9C;
    case 0x8E: return 0x9E;
    case 0x9F: return 0xFF;
    default: return B;
  }
}

unsigned char UpperAscii(unsigned char B) { return (B >= 'a' && B <= 'z') ? static_cast<unsigned char>(B - 0x20) : B; }
unsigned char LowerAscii(unsigned char B) { return (B >= 'A' && B <= 'Z') ? static_cast<unsigned char>(B + 0x20) : B; }

template <typename Map1252, typename MapAscii>
void MapCase(char* S, std::size_t Length, Map1252 Map, MapAscii Ascii) {
  // Both code pages map ASCII alike, and a run of it from the start holds no lead byte.
  std::size_t I = 0;
  for (; I < Length && static_cast<unsigned char>(S[I]) < 0x80; ++I) {
    S[I] = static_cast<char>(Ascii(static_cast<unsigned char>(S[I])));
  }
  if (I == Length) return;
  const bool Dbcs = Is932();
  for (; I < Length; ++I) {
    const auto B = static_cast<unsigned char>(S[I]);
    if (Dbcs) {
      // Both bytes of a double-byte character stay: a trail byte may look like a letter.
      if (Lead932(B) && I + 1 < Length) {
        ++I;
        continue;
      }
      S[I] = static_cast<char>(Ascii(B));
    } else {
      S[I] = static_cast<char>(Map(B));
    }
  }
}

// ---- Comparison ----
// A three-level key, in the manner of CompareStringA's default (word) sort:
//  1. primary: the character with case and (for 1252) accents removed, in the order
//     symbols < digits < letters < other single bytes (half-width kana) < double-byte characters;
//  2. secondary: the accent (the lower-cased byte itself);
//  3. tertiary: letter case, lower case sorting before upper case.
// Double-byte characters of 932 compare as units (lead byte * 256 + trail byte). Unlike Windows,
// hyphens and apostrophes are not ignored; the order is total and equality under CompareStr means
// identical bytes, under CompareText equal after case mapping.
struct Unit {
  std::uint32_t Primary;
  std::uint32_t Secondary;
  int Case;  // 0 lower or caseless, 1 upper
};

unsigned char Base1252(unsigned char Lower) {
  static constexpr char Bases[] = "aaaaaaaceeeeiiiidnooooo/ouuuuyty";  // 0xE0..0xFF, lower case
  if (Lower >= 0xE0) return static_cast<unsigned char>(Lower == 0xF7 ? 0 : Bases[Lower - 0xE0]);
  switch (Lower) {
    case 0x83: return 'f';
    case 0x9A: return 's';
    case 0x9C: return 'o';
    case 0x9E: return 'z';
    case 0xDF: return 's';
    default: return 0;
  }
}

enum : std::uint32_t { kSymbol = 0, kDigit = 1, kLetter = 2, kOther = 3, kDouble = 4 };

std::uint32_t Key(std::uint32_t Class, std::uint32_t Value) { return Class << 16 | Value; }

Unit NextUnit(std::string_view S, std::size_t& I, bool Dbcs) {
  const auto B = static_cast<unsigned char>(S[I++]);
  if (Dbcs && Lead932(B) && I < S.size()) {
    const auto T = static_cast<unsigned char>(S[I++]);
    const std::uint32_t V = static_cast<std::uint32_t>(B) << 8 | T;
    return {Key(kDouble, V), V, 0};
  }
  const unsigned char L = Dbcs ? LowerAscii(B) : Lower1252(B);
  const int Case = L != B ? 1 : 0;
  if (L >= '0' && L <= '9') return {Key(kDigit, L), L, 0};
  if (L >= 'a' && L <= 'z') return {Key(kLetter, L), L, Case};
  if (B < 0x80) return {Key(kSymbol, B), B, 0};
  if (!Dbcs) {
    if (const unsigned char Base = Base1252(L)) return {Key(kLetter, Base), L, Case};
    return {Key(kSymbol, B), B, 0};
  }
  return {Key(kOther, B), B, 0};
}

int Sign(long long V) { return V < 0 ? -1 : V > 0 ? 1 : 0; }

int Compare(std::string_view A, std::string_view B, bool IgnoreCase) {
  const bool Dbcs = Is932();
  int Secondary = 0, Tertiary = 0;
  std::size_t I = 0, J = 0;
  while (I < A.size() && J < B.size()) {
    const Unit X = NextUnit(A, I, Dbcs), Y = NextUnit(B, J, Dbcs);
    if (X.Primary != Y.Primary) return X.Primary < Y.Primary ? -1 : 1;
    if (Secondary == 0) Secondary = Sign(static_cast<long long>(X.Secondary) - Y.Secondary);
    if (Tertiary == 0) Tertiary = Sign(X.Case - Y.Case);
  }
  if (I < A.size()) return 1;
  if (J < B.size()) return -1;
  if (Secondary != 0) return Secondary;
  return IgnoreCase ? 0 : Tertiary;
}

// ---- Conversions ----

// How many input bytes one replacement character stands for, at a sequence that iconv refused.
using SkipRule = std::size_t (*)(const unsigned char* P, std::size_t Left);

std::size_t SkipByte(const unsigned char*, std::size_t) { return 1; }

// An unmappable UTF-8 character goes whole; a broken one goes with the continuation bytes that
// follow its lead byte.
std::size_t SkipUtf8(const unsigned char* P, std::size_t Left) {
  const std::size_t Expected = P[0] >= 0xF0 && P[0] <= 0xF4 ? 4 : P[0] >= 0xE0 ? 3 : P[0] >= 0xC2 ? 2 : 1;
  std::size_t N = 1;
  while (N < Expected && N < Left && (P[N] & 0xC0) == 0x80) ++N;
  return N;
}

std::size_t SkipUtf16(const unsigned char* P, std::size_t Left) {
  if (Left < 2) return Left;
  const unsigned First = P[0] | P[1] << 8;
  const bool Pair = First >= 0xD800 && First < 0xDC00 && Left >= 4 && (P[3] & 0xFC) == 0xDC;
  return Pair ? 4 : 2;
}

// Converts with iconv; a character that cannot be converted, and every invalid or truncated input
// sequence, becomes Replacement.
std::string Convert(const char* To, const char* From, std::string_view In, SkipRule Skip,
                    std::string_view Replacement) {
  std::string Out;
  if (In.empty()) return Out;
  iconv_t Cd = iconv_open(To, From);
  if (Cd == reinterpret_cast<iconv_t>(-1)) return Out;
  auto* Src = const_cast<char*>(In.data());
  std::size_t SrcLeft = In.size();
  char Buffer[1024];
  while (SrcLeft > 0) {
    char* Dst = Buffer;
    std::size_t DstLeft = sizeof Buffer;
    const std::size_t R = iconv(Cd, &Src, &SrcLeft, &Dst, &DstLeft);
    Out.append(Buffer, static_cast<std::size_t>(Dst - Buffer));
    if (R != static_cast<std::size_t>(-1)) break;
    if (errno == E2BIG) continue;
    // EILSEQ (invalid or unmappable) or EINVAL (cut off at the end): replace and go on.
    Out.append(Replacement);
    const std::size_t N = std::min(Skip(reinterpret_cast<const unsigned char*>(Src), SrcLeft), SrcLeft);
    Src += N;
    SrcLeft -= N;
    iconv(Cd, nullptr, nullptr, nullptr, nullptr);
  }
  iconv_close(Cd);
  return Out;
}

const char* CodePageName() { return Is932() ? "CP932" : "CP1252"; }

}  // namespace

int CodePage() { return sim::CurrentLocale() == desktop::Locale::EnUS ? 1252 : 932; }

bool IsLeadByte(unsigned char Byte) { return Is932() && Lead932(Byte); }

std::string AnsiUpperCase(std::string_view S) {
  std::string R(S);
  MapCase(R.data(), R.size(), Upper1252, UpperAscii);
  return R;
}

std::string AnsiLowerCase(std::string_view S) {
  std::string R(S);
  MapCase(R.data(), R.size(), Lower1252, LowerAscii);
  return R;
}

void AnsiUpperCaseInPlace(char* S, std::size_t Length) {
  if (S != nullptr) MapCase(S, Length, Upper1252, UpperAscii);
}

int AnsiCompareStr(std::string_view A, std::string_view B) { return Compare(A, B, false); }
int AnsiCompareText(std::string_view A, std::string_view B) { return Compare(A, B, true); }

std::size_t AnsiPos(std::string_view Sub, std::string_view S) {
  return detail::FindOnBoundary(Sub, S, IsLeadByte);
}

// Both code pages map 0 to 127 to the same code points, so pure ASCII needs no iconv round.
std::u16string ToUtf16(std::string_view S) {
  if (IsAscii(S)) return std::u16string(S.begin(), S.end());
  const std::string Bytes = Convert("UTF-16LE", CodePageName(), S, SkipByte, std::string_view("?\0", 2));
  std::u16string R(Bytes.size() / 2, u'\0');
  for (std::size_t I = 0; I < R.size(); ++I) {
    R[I] = static_cast<char16_t>(static_cast<unsigned char>(Bytes[2 * I]) |
                                 static_cast<unsigned char>(Bytes[2 * I + 1]) << 8);
  }
  return R;
}

std::string FromUtf16(std::u16string_view S) {
  if (IsAscii(S)) {
    std::string R(S.size(), '\0');
    std::transform(S.begin(), S.end(), R.begin(), [](char16_t C) { return static_cast<char>(C); });
    return R;
  }
  std::string Bytes(S.size() * 2, '\0');
  for (std::size_t I = 0; I < S.size(); ++I) {
    Bytes[2 * I] = static_cast<char>(S[I] & 0xFF);
    Bytes[2 * I + 1] = static_cast<char>(S[I] >> 8);
  }
  return Convert(CodePageName(), "UTF-16LE", Bytes, SkipUtf16, "?");
}

std::string ToUtf8(std::string_view S) {
  if (IsAscii(S)) return std::string(S);
  return Convert("UTF-8", CodePageName(), S, SkipByte, "?");
}
std::string FromUtf8(std::string_view S) {
  if (IsAscii(S)) return std::string(S);
  return Convert(CodePageName(), "UTF-8", S, SkipUtf8, "?");
}

}  // namespace platform
