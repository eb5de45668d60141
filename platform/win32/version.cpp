// Version resources.
#include "../platform.h"
#include "win.h"

namespace platform {

std::uint32_t GetFileVersionInfoSize(std::string_view File) {
  const std::string F(File);
  DWORD Ignored = 0;
  return F.empty() ? 0 : ::GetFileVersionInfoSizeA(F.c_str(), &Ignored);
}

bool GetFileVersionInfo(std::string_view File, std::uint32_t Size, void* Block) {
  const std::string F(File);
  return !F.empty() && Block != nullptr && ::GetFileVersionInfoA(F.c_str(), 0, Size, Block) != FALSE;
}

bool VerQueryValue(const void* Block, std::string_view SubBlock, const void*& Value, std::uint32_t& Length) {
  if (Block == nullptr) return false;
  const std::string S(SubBlock);
  void* Found = nullptr;
  UINT N = 0;
  if (!::VerQueryValueA(Block, S.c_str(), &Found, &N) || Found == nullptr) return false;
  Value = Found;
  Length = N;
  return true;
}

}  // namespace platform
