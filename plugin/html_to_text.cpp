// HTML bodies as plain text, for the reference lines of a reply to an HTML message.
#include <string>
#include <string_view>

#include "plugin_state.h"

namespace {

bool StartsWith(std::u16string_view S, std::u16string_view Prefix) {
  return S.substr(0, Prefix.size()) == Prefix;
}

// A tag's name between "<" and ">": outer control characters and blanks dropped, a to z raised.
bool TagBreaksLine(std::u16string_view Inner) {
  std::size_t First = 0, Last = Inner.size();
  while (First < Last && Inner[First] <= 32) ++First;
  while (Last > First && Inner[Last - 1] <= 32) --Last;
  std::u16string Name(Inner.substr(First, Last - First));
  for (char16_t& C : Name) {
    if (C >= u'a' && C <= u'z') C = static_cast<char16_t>(C - u'a' + u'A');
  }
  return Name == u"BR" || Name == u"/HEAD" || Name == u"P" || StartsWith(Name, u"P ") ||
         StartsWith(Name, u"TD");
}

struct TEntity {
  std::u16string_view Text;  // after the "&"
  char16_t Replacement;
};
// Lower case only, tested in this order.
constexpr TEntity kEntities[] = {
    {u"nbsp;", u' '}, {u"lt;", u'<'}, {u"gt;", u'>'}, {u"quot;", u'"'}, {u"amp;", u'&'},
};

// The characters that the walk below treats apart from copying them.
bool IsSpecial(char16_t C) { return C == u'<' || C == u'>' || C == u'&' || C == u'\r' || C == u' '; }

}  // namespace

// One pass over the input with the output built as it goes. The walk it reproduces edits the text
// in place; there the characters before the walk's position are exactly what this output holds, and
// those after it are always an unedited suffix of the input, which is why a pending tag can be cut
// off the output's end and the lookahead can read the input.
//
// "a<br>b &amp;  c" -> "a", CR LF, "b & c": the tag becomes a line break, the entity its character,
// the run of blanks one blank.
std::string HtmlToText(std::string_view Text) {
  const std::u16string In = platform::ToUtf16(Text);
  const std::u16string_view View(In);
  std::u16string Out;
  Out.reserve(In.size());
  constexpr std::size_t kNoTag = std::u16string::npos;
  std::size_t TagStart = kNoTag;  // where the pending "<" stands in Out
  std::size_t I = 0;
  while (I < In.size()) {
    const char16_t C = In[I];
    if (C == u'<' && TagStart == kNoTag) {
      TagStart = Out.size();
      Out += C;
      ++I;
    } else if (C == u'>' && TagStart != kNoTag) {
      const bool Break = TagBreaksLine(std::u16string_view(Out).substr(TagStart + 1));
      Out.resize(TagStart);
      if (Break) Out += u"\r\n";
      TagStart = kNoTag;
      ++I;
    } else if (C == u'&') {
      std::size_t Taken = 1;
      char16_t Put = C;
      for (const TEntity& E : kEntities) {
        if (StartsWith(View.substr(I + 1), E.Text)) {
          Taken += E.Text.size();
          Put = E.Replacement;
          break;
        }
      }
      Out += Put;
      I += Taken;
    } else if (C == u'\r' && I + 1 < In.size() && In[I + 1] == u'\n') {
      I += 2;
    } else if (C == u' ') {
      Out += C;
      do ++I;
      while (I < In.size() && In[I] == u' ');
    } else {
      // This character and the run of ordinary ones after it, appended at once: none of them can
      // start or end anything.
      std::size_t J = I + 1;
      while (J < In.size() && !IsSpecial(In[J])) ++J;
      Out.append(View.substr(I, J - I));
      I = J;
    }
  }
  return platform::FromUtf16(Out);
}
