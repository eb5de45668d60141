#include <gtest/gtest.h>

#include <filesystem>

#include "platform/posix/desktop.h"
#include "temp_dir.h"

namespace {

class Files : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::desktop::Reset();
    ASSERT_FALSE(Dir.Path().empty());
  }
  void TearDown() override { platform::desktop::Reset(); }
  TempDir Dir;
};

TEST_F(Files, WriteAndReadAreBinary) {
  const std::string Path = Dir / "data.bin";
  const std::string Data("a\r\nb\0c\x83\x41\xff", 9);
  ASSERT_TRUE(platform::WriteFile(Path, Data));
  EXPECT_TRUE(platform::FileExists(Path));
  EXPECT_EQ(platform::ReadFile(Path), Data);
  ASSERT_TRUE(platform::WriteFile(Path, "short"));  // replaces
  EXPECT_EQ(platform::ReadFile(Path), "short");
  ASSERT_TRUE(platform::WriteFile(Path, ""));
  EXPECT_EQ(platform::ReadFile(Path), "");
}

TEST_F(Files, FailuresAreReported) {
  EXPECT_FALSE(platform::FileExists(Dir.Path().string()));  // a directory is no file
  EXPECT_EQ(platform::ReadFile(Dir.Path().string()), std::nullopt);
  EXPECT_FALSE(platform::WriteFile(Dir.Path().string(), "x"));
  EXPECT_FALSE(platform::FileExists(Dir / "missing"));
  EXPECT_EQ(platform::ReadFile(Dir / "missing"), std::nullopt);
  EXPECT_FALSE(platform::WriteFile(Dir / "missing/x", "x"));
  EXPECT_FALSE(platform::FileExists(""));
  EXPECT_EQ(platform::ReadFile(""), std::nullopt);
  EXPECT_FALSE(platform::WriteFile("", "x"));
  EXPECT_FALSE(platform::SetCurrentDirectory(Dir / "missing"));
  EXPECT_FALSE(platform::SetCurrentDirectory(""));
}

TEST_F(Files, NamesInTheCodePageAreUtf8OnDisk) {
  const std::string Name932 = "\x93\xfa.txt";  // 日.txt
  ASSERT_TRUE(platform::WriteFile(Dir / Name932, "x"));
  EXPECT_TRUE(std::filesystem::exists(Dir.Path() / "\xe6\x97\xa5.txt"));
  EXPECT_TRUE(platform::FileExists(Dir / Name932));
}

TEST_F(Files, RelativeNamesFollowTheCurrentDirectory) {
  const std::string Saved = platform::GetCurrentDirectory();
  ASSERT_FALSE(Saved.empty());
  ASSERT_TRUE(platform::SetCurrentDirectory(Dir.Path().string()));
  EXPECT_EQ(std::filesystem::path(platform::GetCurrentDirectory()), std::filesystem::canonical(Dir.Path()));
  ASSERT_TRUE(platform::WriteFile("rel.txt", "r"));
  EXPECT_TRUE(std::filesystem::exists(Dir.Path() / "rel.txt"));
  EXPECT_TRUE(platform::SetCurrentDirectory(Saved));
  EXPECT_FALSE(platform::FileExists("rel.txt"));
}

TEST_F(Files, TheProgramModuleResolvesNames) {
  const auto Module = platform::GetProgramModule();
  ASSERT_NE(Module, 0u);
  EXPECT_NE(platform::GetProcAddress(Module, "malloc"), nullptr);
  EXPECT_EQ(platform::GetProcAddress(Module, "NoSuchFunctionAnywhere_xyz"), nullptr);
  EXPECT_EQ(platform::GetProcAddress(Module, nullptr), nullptr);
  EXPECT_EQ(platform::GetProcAddress(0, "malloc"), nullptr);
}

}  // namespace
