// The local clock and the user locale's date and time formats.
#include "../platform.h"
#include "win.h"

namespace platform {
namespace {

SYSTEMTIME ToSystemTime(const DateTime& T) {
  SYSTEMTIME S{};
  S.wYear = static_cast<WORD>(T.Year);
  S.wMonth = static_cast<WORD>(T.Month);
  S.wDay = static_cast<WORD>(T.Day);
  S.wHour = static_cast<WORD>(T.Hour);
  S.wMinute = static_cast<WORD>(T.Minute);
  S.wSecond = static_cast<WORD>(T.Second);
  S.wMilliseconds = static_cast<WORD>(T.Millisecond);
  S.wDayOfWeek = static_cast<WORD>(T.DayOfWeek);
  return S;
}

// The formatters fail for an impossible date or time; the result is then empty.
std::string Trimmed(const char* Buffer, int Written) {
  return Written > 1 ? std::string(Buffer, static_cast<std::size_t>(Written - 1)) : std::string();
}

}  // namespace

DateTime LocalNow() {
  SYSTEMTIME S;
  ::GetLocalTime(&S);
  return {S.wYear, S.wMonth, S.wDay, S.wHour, S.wMinute, S.wSecond, S.wMilliseconds, S.wDayOfWeek};
}

std::string FormatShortDate(const DateTime& T) {
  const SYSTEMTIME S = ToSystemTime(T);
  char Buffer[128];
  return Trimmed(Buffer, ::GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &S, nullptr, Buffer, sizeof Buffer));
}

std::string FormatLongTime(const DateTime& T) {
  const SYSTEMTIME S = ToSystemTime(T);
  char Buffer[128];
  return Trimmed(Buffer, ::GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &S, nullptr, Buffer, sizeof Buffer));
}

std::string AbbrevDayName(int DayOfWeek) {
  if (DayOfWeek < 0 || DayOfWeek > 6) return std::string();
  // The locale's day names start with Monday (LOCALE_SABBREVDAYNAME1); ours with Sunday.
  const LCTYPE Type = DayOfWeek == 0 ? LOCALE_SABBREVDAYNAME7 : LOCALE_SABBREVDAYNAME1 + (DayOfWeek - 1);
  char Buffer[64];
  return Trimmed(Buffer, ::GetLocaleInfoA(LOCALE_USER_DEFAULT, Type, Buffer, sizeof Buffer));
}

std::uint32_t TickCount() { return ::GetTickCount(); }

}  // namespace platform
