// A fresh directory under the system's temporary folder, removed with everything in it.
#pragma once

#include <filesystem>
#include <string>

class TempDir {
 public:
  TempDir() {
    std::string Pattern = (std::filesystem::temp_directory_path() / "vesk-platform-XXXXXX").string();
    if (mkdtemp(Pattern.data()) != nullptr) Path_ = Pattern;
  }
  ~TempDir() {
    std::error_code Ignored;
    if (!Path_.empty()) std::filesystem::remove_all(Path_, Ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& Path() const { return Path_; }
  std::string operator/(const std::string& Name) const { return (Path_ / Name).string(); }

 private:
  std::filesystem::path Path_;
};
