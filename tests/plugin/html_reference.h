// The reference HTML to text conversion that the plug-in's one-pass HtmlToText must agree with,
// shared by the plug-in tests and the fuzz target.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace html_reference {

// The in-place walk exactly as the conversion is described: edit the string while walking it.
// Quadratic, and the reference the one-pass conversion must agree with.
inline std::u16string ReferenceHtmlToText(std::u16string W) {
  auto At = [&W](std::size_t Pos) -> int {  // 1-based; -1 past the end
    return Pos >= 1 && Pos <= W.size() ? W[Pos - 1] : -1;
  };
  auto Follows = [&](std::size_t Pos, std::u16string_view Text) {
    for (std::size_t K = 0; K < Text.size(); ++K) {
      if (At(Pos + K) != Text[K]) return false;
    }
    return true;
  };
  std::ptrdiff_t I = 1, S = 0, E = 0;
  while (I <= static_cast<std::ptrdiff_t>(W.size())) {
    const std::size_t P = static_cast<std::size_t>(I);
    const int C0 = At(P), C1 = At(P + 1);
    if (C0 == '<' && S == 0) {
      S = I;
    } else if (C0 == '>' && E == 0) {
      E = I;
    } else if (C0 == '&') {
      if (Follows(P + 1, u"nbsp;")) W.replace(P - 1, 6, u" ");
      else if (Follows(P + 1, u"lt;")) W.replace(P - 1, 4, u"<");
      else if (Follows(P + 1, u"gt;")) W.replace(P - 1, 4, u">");
      else if (Follows(P + 1, u"quot;")) W.replace(P - 1, 6, u"\"");
      else if (Follows(P + 1, u"amp;")) W.replace(P - 1, 5, u"&");
    } else if (C0 == '\r' && C1 == '\n') {
      W.erase(P - 1, 2);
      --I;
    } else if (C0 == ' ' && C1 == ' ') {
      W.erase(P, 1);
      --I;
    }
    if (S != 0 && S < E) {
      std::u16string Name = W.substr(static_cast<std::size_t>(S), static_cast<std::size_t>(E - S - 1));
      while (!Name.empty() && Name.front() <= 32) Name.erase(0, 1);
      while (!Name.empty() && Name.back() <= 32) Name.pop_back();
      for (char16_t& Ch : Name) {
        if (Ch >= 'a' && Ch <= 'z') Ch = static_cast<char16_t>(Ch - 32);
      }
      const bool Break = Name == u"BR" || Name == u"/HEAD" || Name == u"P" || Name.rfind(u"P ", 0) == 0 ||
                         Name.rfind(u"TD", 0) == 0;
      W.erase(static_cast<std::size_t>(S - 1), static_cast<std::size_t>(E - S + 1));
      if (Break) {
        W.insert(static_cast<std::size_t>(S - 1), u"\r\n");
        I = S + 1;
      } else {
        I = S - 1;
      }
      S = 0;
      E = 0;
    } else if (E != 0 && S > E) {
      E = 0;
    }
    ++I;
  }
  return W;
}

inline std::string Reference(const std::string& Text) {
  return platform::FromUtf16(ReferenceHtmlToText(platform::ToUtf16(Text)));
}

// The one-pass conversion as the plug-in did it over UTF-16, before it walked the bytes: linear, so
// it can check texts far too long for the in-place walk.
inline std::string WideHtmlToText(std::string_view Text) {
  auto StartsWith = [](std::u16string_view S, std::u16string_view Prefix) {
    return S.substr(0, Prefix.size()) == Prefix;
  };
  auto TagBreaksLine = [&StartsWith](std::u16string_view Inner) {
    std::size_t First = 0, Last = Inner.size();
    while (First < Last && Inner[First] <= 32) ++First;
    while (Last > First && Inner[Last - 1] <= 32) --Last;
    std::u16string Name(Inner.substr(First, Last - First));
    for (char16_t& C : Name) {
      if (C >= u'a' && C <= u'z') C = static_cast<char16_t>(C - u'a' + u'A');
    }
    return Name == u"BR" || Name == u"/HEAD" || Name == u"P" || StartsWith(Name, u"P ") ||
           StartsWith(Name, u"TD");
  };
  struct TEntity {
    std::u16string_view Text;
    char16_t Replacement;
  };
  constexpr TEntity kEntities[] = {
      {u"nbsp;", u' '}, {u"lt;", u'<'}, {u"gt;", u'>'}, {u"quot;", u'"'}, {u"amp;", u'&'},
  };
  auto IsSpecial = [](char16_t C) { return C == u'<' || C == u'>' || C == u'&' || C == u'\r' || C == u' '; };

  const std::u16string In = platform::ToUtf16(Text);
  const std::u16string_view View(In);
  std::u16string Out;
  Out.reserve(In.size());
  constexpr std::size_t kNoTag = std::u16string::npos;
  std::size_t TagStart = kNoTag;
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
      std::size_t J = I + 1;
      while (J < In.size() && !IsSpecial(In[J])) ++J;
      Out.append(View.substr(I, J - I));
      I = J;
    }
  }
  return platform::FromUtf16(Out);
}

}  // namespace html_reference
