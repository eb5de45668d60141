#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/posix/desktop.h"

namespace {

namespace desktop = platform::desktop;

class VersionAndClock : public ::testing::Test {
 protected:
  void SetUp() override { desktop::Reset(); }
  void TearDown() override { desktop::Reset(); }

  // The version text the way the plug-in reads it: translation first, then FileVersion.
  static std::optional<std::string> ReadVersion(const std::string& File, bool UpperHex = false) {
    const std::uint32_t Size = platform::GetFileVersionInfoSize(File);
    if (Size == 0) return std::nullopt;
    std::vector<unsigned char> Block(Size);
    if (!platform::GetFileVersionInfo(File, Size, Block.data())) return std::nullopt;
    const void* Value = nullptr;
    std::uint32_t Length = 0;
    if (!platform::VerQueryValue(Block.data(), "\\VarFileInfo\\Translation", Value, Length) || Length < 4) {
      return std::nullopt;
    }
    std::uint32_t Translation = 0;
    std::memcpy(&Translation, Value, 4);
    char Path[64];
    std::snprintf(Path, sizeof Path, UpperHex ? "\\StringFileInfo\\%04X%04X\\FileVersion" : "\\StringFileInfo\\%04x%04x\\FileVersion",
                  Translation & 0xFFFF, Translation >> 16);
    if (!platform::VerQueryValue(Block.data(), Path, Value, Length)) return std::nullopt;
    const auto* Text = static_cast<const char*>(Value);
    EXPECT_EQ(Length, std::strlen(Text) + 1);
    return std::string(Text);
  }
};

TEST_F(VersionAndClock, VersionResourcesAreFoundByFileName) {
  EXPECT_EQ(ReadVersion("B2.exe"), std::nullopt);
  desktop::SetFileVersion("B2.exe", "2.05.10");
  EXPECT_EQ(ReadVersion("B2.exe"), "2.05.10");
  EXPECT_EQ(ReadVersion("b2.EXE", true), "2.05.10");
  EXPECT_EQ(ReadVersion("C:\\Program Files\\Becky\\B2.exe"), "2.05.10");
  desktop::SetFileVersion("Other.exe", "7", 0x0409, 0x04E4);
  EXPECT_EQ(ReadVersion("other.exe"), "7");
  desktop::SetFileVersion("B2.exe", std::nullopt);
  EXPECT_EQ(platform::GetFileVersionInfoSize("B2.exe"), 0u);
}

TEST_F(VersionAndClock, VersionQueriesRejectWhatDoesNotFit) {
  desktop::SetFileVersion("B2.exe", "1.0", 0x0411, 0x04B0);
  const std::uint32_t Size = platform::GetFileVersionInfoSize("B2.exe");
  std::vector<unsigned char> Block(Size);
  EXPECT_FALSE(platform::GetFileVersionInfo("B2.exe", Size - 1, Block.data()));
  EXPECT_FALSE(platform::GetFileVersionInfo("B2.exe", Size, nullptr));
  ASSERT_TRUE(platform::GetFileVersionInfo("B2.exe", Size, Block.data()));

  const void* Value = nullptr;
  std::uint32_t Length = 0;
  ASSERT_TRUE(platform::VerQueryValue(Block.data(), "\\VarFileInfo\\Translation", Value, Length));
  std::uint32_t Translation = 0;
  std::memcpy(&Translation, Value, 4);
  EXPECT_EQ(Translation, 0x04B00411u);  // language low, code page high

  for (const char* Bad : {"\\StringFileInfo\\040904b0\\FileVersion", "\\StringFileInfo\\041104b0\\ProductVersion",
                          "\\StringFileInfo\\041104b\\FileVersion", "\\StringFileInfo\\041104bg\\FileVersion",
                          "\\", "", "\\VarFileInfo"}) {
    EXPECT_FALSE(platform::VerQueryValue(Block.data(), Bad, Value, Length)) << Bad;
  }
  EXPECT_TRUE(platform::VerQueryValue(Block.data(), "\\stringfileinfo\\041104B0\\fileversion", Value, Length));
  const unsigned char Garbage[16] = {};
  EXPECT_FALSE(platform::VerQueryValue(Garbage, "\\VarFileInfo\\Translation", Value, Length));
  EXPECT_FALSE(platform::VerQueryValue(nullptr, "\\VarFileInfo\\Translation", Value, Length));
}

TEST_F(VersionAndClock, DatesAndTimesFollowTheLocale) {
  struct Row {
    platform::DateTime T;
    const char* JaDate;
    const char* JaTime;
    const char* EnDate;
    const char* EnTime;
  } Rows[] = {
      {{2024, 3, 5, 9, 7, 3, 0, 0}, "2024/03/05", "9:07:03", "3/5/2024", "9:07:03 AM"},
      {{2024, 12, 31, 0, 0, 0, 0, 0}, "2024/12/31", "0:00:00", "12/31/2024", "12:00:00 AM"},
      {{1999, 1, 1, 12, 30, 59, 0, 0}, "1999/01/01", "12:30:59", "1/1/1999", "12:30:59 PM"},
      {{2000, 2, 29, 23, 59, 0, 0, 0}, "2000/02/29", "23:59:00", "2/29/2000", "11:59:00 PM"},
  };
  for (const Row& R : Rows) {
    desktop::SetLocale(desktop::Locale::JaJP);
    EXPECT_EQ(platform::FormatShortDate(R.T), R.JaDate);
    EXPECT_EQ(platform::FormatLongTime(R.T), R.JaTime);
    desktop::SetLocale(desktop::Locale::EnUS);
    EXPECT_EQ(platform::FormatShortDate(R.T), R.EnDate);
    EXPECT_EQ(platform::FormatLongTime(R.T), R.EnTime);
  }
}

TEST_F(VersionAndClock, DayNamesFollowTheLocale) {
  const char* Japanese[] = {"日", "月", "火", "水", "木", "金", "土"};
  const char* English[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  for (int D = 0; D < 7; ++D) {
    desktop::SetLocale(desktop::Locale::JaJP);
    EXPECT_EQ(platform::AbbrevDayName(D).size(), 2u);
    EXPECT_EQ(platform::ToUtf8(platform::AbbrevDayName(D)), Japanese[D]);
    desktop::SetLocale(desktop::Locale::EnUS);
    EXPECT_EQ(platform::AbbrevDayName(D), English[D]);
  }
  EXPECT_EQ(platform::AbbrevDayName(7), "");
  EXPECT_EQ(platform::AbbrevDayName(-1), "");
}

TEST_F(VersionAndClock, AFixedClockKnowsItsDayOfWeek) {
  desktop::SetClock(platform::DateTime{2024, 3, 5, 9, 7, 3, 500, 0});  // a Tuesday
  const auto T = platform::LocalNow();
  EXPECT_EQ(T.Year, 2024);
  EXPECT_EQ(T.Millisecond, 500);
  EXPECT_EQ(T.DayOfWeek, 2);
  desktop::SetClock(platform::DateTime{2000, 1, 1, 0, 0, 0, 0, 0});
  EXPECT_EQ(platform::LocalNow().DayOfWeek, 6);

  desktop::SetClock(std::nullopt);
  const auto Real = platform::LocalNow();
  EXPECT_GE(Real.Year, 2024);
  EXPECT_GE(Real.Month, 1);
  EXPECT_LE(Real.Month, 12);
  const std::uint32_t Before = platform::TickCount();
  platform::Sleep(15);
  EXPECT_GE(platform::TickCount() - Before, 15u);
}

}  // namespace
