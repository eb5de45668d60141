// HTML bodies as plain text, for the reference lines of a reply to an HTML message.
#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "plugin_state.h"

namespace {

char UpperAscii(char C) { return C >= 'a' && C <= 'z' ? static_cast<char>(C - 'a' + 'A') : C; }

// Word is in upper case; S matches it with a to z raised.
bool StartsWithUpper(std::string_view S, std::string_view Word) {
  if (S.size() < Word.size()) return false;
  for (std::size_t I = 0; I < Word.size(); ++I) {
    if (UpperAscii(S[I]) != Word[I]) return false;
  }
  return true;
}

bool EqualsUpper(std::string_view S, std::string_view Word) {
  return S.size() == Word.size() && StartsWithUpper(S, Word);
}

bool IsBlankOrControl(char C) { return static_cast<unsigned char>(C) <= 32; }

// A tag's name between "<" and ">": outer control characters and blanks dropped, a to z raised.
bool TagBreaksLine(std::string_view Inner) {
  while (!Inner.empty() && IsBlankOrControl(Inner.front())) Inner.remove_prefix(1);
  while (!Inner.empty() && IsBlankOrControl(Inner.back())) Inner.remove_suffix(1);
  return EqualsUpper(Inner, "BR") || EqualsUpper(Inner, "/HEAD") || EqualsUpper(Inner, "P") ||
         StartsWithUpper(Inner, "P ") || StartsWithUpper(Inner, "TD");
}

struct TEntity {
  std::string_view Text;  // after the "&"
  char Replacement;
};
// Lower case only, tested in this order.
constexpr TEntity kEntities[] = {
    {"nbsp;", ' '}, {"lt;", '<'}, {"gt;", '>'}, {"quot;", '"'}, {"amp;", '&'},
};

// The bytes that the walk below treats apart from copying them.
constexpr std::array<bool, 256> kSpecial = [] {
  std::array<bool, 256> Table{};
  for (const unsigned char C : {'<', '>', '&', '\r', ' '}) Table[C] = true;
  return Table;
}();

}  // namespace

// One pass over the bytes with the output built as it goes. The walk it reproduces edits the text
// in place; there the characters before the walk's position are exactly what this output holds, and
// those after it are always an unedited suffix of the input, which is why a pending tag can be cut
// off the output's end and the lookahead can read the input.
//
// The walk is defined over characters, but it only ever looks for ASCII. Text outside ASCII is first
// put through the code page's round trip, which the result must reflect (unmapped bytes become "?",
// some characters change code). In both code pages ASCII then stands for itself, and no byte of
// another character is ASCII below 0x40 or starts it with an ASCII byte, so the bytes show the same
// markup, entities and tag names as the characters would.
//
// "a<br>b &amp;  c" -> "a", CR LF, "b & c": the tag becomes a line break, the entity its character,
// the run of blanks one blank.
std::string HtmlToText(std::string_view Text) {
  std::string RoundTrip;
  if (!platform::IsAscii(Text)) {
    RoundTrip = platform::FromUtf16(platform::ToUtf16(Text));
    Text = RoundTrip;
  }
  const char* P = Text.data();
  const char* const End = P + Text.size();
  // The output never outgrows the input read so far: a tag that becomes CR LF is three bytes or more.
  std::string Out(Text.size(), '\0');
  char* O = Out.data();
  char* TagStart = nullptr;  // where the pending "<" stands in Out
  while (P < End) {
    const char C = *P;
    if (C == '<' && TagStart == nullptr) {
      TagStart = O;
      *O++ = C;
      ++P;
    } else if (C == '>' && TagStart != nullptr) {
      const bool Break = TagBreaksLine(std::string_view(TagStart + 1, static_cast<std::size_t>(O - TagStart - 1)));
      O = TagStart;
      if (Break) {
        *O++ = '\r';
        *O++ = '\n';
      }
      TagStart = nullptr;
      ++P;
    } else if (C == '&') {
      const std::string_view After(P + 1, static_cast<std::size_t>(End - P - 1));
      std::size_t Taken = 1;
      char Put = C;
      for (const TEntity& E : kEntities) {
        if (After.starts_with(E.Text)) {
          Taken += E.Text.size();
          Put = E.Replacement;
          break;
        }
      }
      *O++ = Put;
      P += Taken;
    } else if (C == '\r' && P + 1 < End && P[1] == '\n') {
      P += 2;
    } else if (C == ' ') {
      *O++ = C;
      do ++P;
      while (P < End && *P == ' ');
    } else {
      // This byte and the run of ordinary ones after it, copied as they come: none of them can start
      // or end anything.
      *O++ = C;
      ++P;
      while (P < End && !kSpecial[static_cast<unsigned char>(*P)]) *O++ = *P++;
    }
  }
  Out.resize(static_cast<std::size_t>(O - Out.data()));
  return Out;
}
