// Code-page text under the user's locale and the system's ANSI code page.
#include "../platform.h"
#include "win.h"

#include "../char_boundary.h"

namespace platform {
namespace {

void MapCase(std::string& S, bool Upper) {
  if (S.empty()) return;
  const auto N = static_cast<DWORD>(S.size());
  if (Upper) {
    ::CharUpperBuffA(S.data(), N);
  } else {
    ::CharLowerBuffA(S.data(), N);
  }
}

int Compare(std::string_view A, std::string_view B, DWORD Flags) {
  // CompareStringA may refuse a null pointer even with a length of 0.
  const char* PA = A.empty() ? "" : A.data();
  const char* PB = B.empty() ? "" : B.data();
  const int R = ::CompareStringA(LOCALE_USER_DEFAULT, Flags, PA, win::Length(A.size()), PB, win::Length(B.size()));
  if (R != 0) return R - 2;
  const int Bytes = A.compare(B);  // refused: byte order is better than no order
  return Bytes < 0 ? -1 : Bytes > 0 ? 1 : 0;
}

std::u16string Widen(UINT CodePage, std::string_view S) {
  if (S.empty()) return {};
  const int N = ::MultiByteToWideChar(CodePage, 0, S.data(), win::Length(S.size()), nullptr, 0);
  if (N <= 0) return {};
  std::u16string R(static_cast<std::size_t>(N), u'\0');
  ::MultiByteToWideChar(CodePage, 0, S.data(), win::Length(S.size()), reinterpret_cast<wchar_t*>(R.data()), N);
  return R;
}

// Unmappable characters become the code page's default character, "?".
std::string Narrow(UINT CodePage, std::u16string_view S) {
  if (S.empty()) return {};
  const auto* W = reinterpret_cast<const wchar_t*>(S.data());
  const int N = ::WideCharToMultiByte(CodePage, 0, W, win::Length(S.size()), nullptr, 0, nullptr, nullptr);
  if (N <= 0) return {};
  std::string R(static_cast<std::size_t>(N), '\0');
  ::WideCharToMultiByte(CodePage, 0, W, win::Length(S.size()), R.data(), N, nullptr, nullptr);
  return R;
}

}  // namespace

int CodePage() { return static_cast<int>(::GetACP()); }

bool IsLeadByte(unsigned char Byte) { return ::IsDBCSLeadByte(Byte) != FALSE; }

std::string AnsiUpperCase(std::string_view S) {
  std::string R(S);
  MapCase(R, true);
  return R;
}

std::string AnsiLowerCase(std::string_view S) {
  std::string R(S);
  MapCase(R, false);
  return R;
}

void AnsiUpperCaseInPlace(char* S, std::size_t Length) {
  if (S != nullptr && Length > 0) ::CharUpperBuffA(S, static_cast<DWORD>(Length));
}

int AnsiCompareStr(std::string_view A, std::string_view B) { return Compare(A, B, 0); }
int AnsiCompareText(std::string_view A, std::string_view B) { return Compare(A, B, NORM_IGNORECASE); }

std::size_t AnsiPos(std::string_view Sub, std::string_view S) {
  return detail::FindOnBoundary(Sub, S, IsLeadByte);
}

std::u16string ToUtf16(std::string_view S) { return Widen(CP_ACP, S); }
std::string FromUtf16(std::u16string_view S) { return Narrow(CP_ACP, S); }
std::string ToUtf8(std::string_view S) { return Narrow(CP_UTF8, Widen(CP_ACP, S)); }
std::string FromUtf8(std::string_view S) { return Narrow(CP_ACP, Widen(CP_UTF8, S)); }

}  // namespace platform
