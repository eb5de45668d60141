// The local clock and the date and time formats of the emulated locale.
#include <time.h>

#include <chrono>
#include <cstdio>

#include "desktop.h"
#include "sim.h"

namespace platform {
namespace {

std::optional<DateTime> Fixed;

bool Japanese() { return sim::CurrentLocale() == desktop::Locale::JaJP; }

// 0 Sunday .. 6 Saturday, for the proleptic Gregorian calendar (Sakamoto's method).
int DayOfWeekOf(int Y, int M, int D) {
  static constexpr int Offsets[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  if (M < 3) Y -= 1;
  const int W = (Y + Y / 4 - Y / 100 + Y / 400 + Offsets[M - 1] + D) % 7;
  return W < 0 ? W + 7 : W;
}

std::string Format(const char* Pattern, int A, int B, int C) {
  char Buffer[64];
  std::snprintf(Buffer, sizeof Buffer, Pattern, A, B, C);
  return Buffer;
}

}  // namespace

void sim::ResetClock() { Fixed.reset(); }

void desktop::SetClock(std::optional<DateTime> Clock) {
  Fixed = Clock;
  // As GetLocalTime after SetLocalTime: the day of the week follows from the date.
  if (Fixed && Fixed->Year > 0 && Fixed->Month >= 1 && Fixed->Month <= 12 && Fixed->Day >= 1) {
    Fixed->DayOfWeek = DayOfWeekOf(Fixed->Year, Fixed->Month, Fixed->Day);
  }
}

DateTime LocalNow() {
  if (Fixed) return *Fixed;
  timespec Now{};
  clock_gettime(CLOCK_REALTIME, &Now);
  tm Local{};
  localtime_r(&Now.tv_sec, &Local);
  DateTime T;
  T.Year = Local.tm_year + 1900;
  T.Month = Local.tm_mon + 1;
  T.Day = Local.tm_mday;
  T.Hour = Local.tm_hour;
  T.Minute = Local.tm_min;
  T.Second = Local.tm_sec;
  T.Millisecond = static_cast<int>(Now.tv_nsec / 1000000);
  T.DayOfWeek = Local.tm_wday;
  return T;
}

std::string FormatShortDate(const DateTime& T) {
  if (Japanese()) return Format("%04d/%02d/%02d", T.Year, T.Month, T.Day);
  return Format("%d/%d/%d", T.Month, T.Day, T.Year);
}

std::string FormatLongTime(const DateTime& T) {
  if (Japanese()) return Format("%d:%02d:%02d", T.Hour, T.Minute, T.Second);
  const int Hour12 = T.Hour % 12 == 0 ? 12 : T.Hour % 12;
  return Format("%d:%02d:%02d", Hour12, T.Minute, T.Second) + (T.Hour < 12 ? " AM" : " PM");
}

std::string AbbrevDayName(int DayOfWeek) {
  // ORDER: Sunday first, as DateTime::DayOfWeek counts.
  static constexpr const char* Japanese932[] = {"\x93\xfa", "\x8c\x8e", "\x89\xce", "\x90\x85",
                                                 "\x96\xd8", "\x8b\xe0", "\x93\x79"};
  static constexpr const char* English[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  if (DayOfWeek < 0 || DayOfWeek > 6) return std::string();
  return Japanese() ? Japanese932[DayOfWeek] : English[DayOfWeek];
}

std::uint32_t TickCount() {
  const auto Since = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(Since).count());
}

}  // namespace platform
