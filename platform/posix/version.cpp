// Simulated version resources.
//
// A block holds, in native byte order:
//   offset 0   "VSIM"               magic
//   offset 4   uint32               size of the whole block
//   offset 8   uint16, uint16       language, code page (the translation entry)
//   offset 12  FileVersion text     NUL-terminated
// Example: "2.05.10" for language 0x0411, code page 0x04B0 is a block of 20 bytes.
#include <cstring>
#include <map>

#include "desktop.h"
#include "sim.h"

namespace platform {
namespace {

struct Resource {
  std::string FileVersion;
  std::uint16_t Language;
  std::uint16_t CodePage;
};

std::map<std::string, Resource> Resources;  // by lower-cased file name without folder

constexpr char kMagic[4] = {'V', 'S', 'I', 'M'};
constexpr std::size_t kHeader = 12;

std::string KeyOf(std::string_view File) {
  const std::size_t Slash = File.find_last_of("\\/");
  if (Slash != std::string_view::npos) File.remove_prefix(Slash + 1);
  return AnsiLowerCase(File);
}

const Resource* Find(std::string_view File) {
  const auto It = Resources.find(KeyOf(File));
  return It == Resources.end() ? nullptr : &It->second;
}

bool EqualsIgnoringCase(std::string_view A, std::string_view B) {
  return A.size() == B.size() && AnsiCompareText(A, B) == 0;
}

int HexDigit(char C) {
  if (C >= '0' && C <= '9') return C - '0';
  if (C >= 'a' && C <= 'f') return C - 'a' + 10;
  if (C >= 'A' && C <= 'F') return C - 'A' + 10;
  return -1;
}

// Four hexadecimal digits, either letter case.
std::optional<std::uint16_t> Hex4(std::string_view S) {
  if (S.size() != 4) return std::nullopt;
  unsigned V = 0;
  for (const char C : S) {
    const int D = HexDigit(C);
    if (D < 0) return std::nullopt;
    V = V << 4 | static_cast<unsigned>(D);
  }
  return static_cast<std::uint16_t>(V);
}

}  // namespace

void sim::ResetVersions() { Resources.clear(); }

void desktop::SetFileVersion(const std::string& FileName, std::optional<std::string> FileVersion,
                             std::uint16_t Language, std::uint16_t CodePage) {
  if (!FileVersion) {
    Resources.erase(KeyOf(FileName));
    return;
  }
  // The block's text ends at its first NUL.
  FileVersion->resize(std::strlen(FileVersion->c_str()));
  Resources[KeyOf(FileName)] = {std::move(*FileVersion), Language, CodePage};
}

std::uint32_t GetFileVersionInfoSize(std::string_view File) {
  const Resource* R = Find(File);
  return R != nullptr ? static_cast<std::uint32_t>(kHeader + R->FileVersion.size() + 1) : 0;
}

bool GetFileVersionInfo(std::string_view File, std::uint32_t Size, void* Block) {
  const Resource* R = Find(File);
  const std::uint32_t Needed = GetFileVersionInfoSize(File);
  if (R == nullptr || Block == nullptr || Size < Needed) return false;
  auto* B = static_cast<unsigned char*>(Block);
  std::memcpy(B, kMagic, 4);
  std::memcpy(B + 4, &Needed, 4);
  std::memcpy(B + 8, &R->Language, 2);
  std::memcpy(B + 10, &R->CodePage, 2);
  std::memcpy(B + kHeader, R->FileVersion.c_str(), R->FileVersion.size() + 1);
  return true;
}

bool VerQueryValue(const void* Block, std::string_view SubBlock, const void*& Value, std::uint32_t& Length) {
  if (Block == nullptr) return false;
  const auto* B = static_cast<const unsigned char*>(Block);
  std::uint32_t Size = 0;
  std::memcpy(&Size, B + 4, 4);
  if (std::memcmp(B, kMagic, 4) != 0 || Size <= kHeader) return false;
  std::uint16_t Language = 0, CodePage = 0;
  std::memcpy(&Language, B + 8, 2);
  std::memcpy(&CodePage, B + 10, 2);

  if (EqualsIgnoringCase(SubBlock, "\\VarFileInfo\\Translation")) {
    Value = B + 8;
    Length = 4;
    return true;
  }
  // "\StringFileInfo\llllcccc\FileVersion"
  constexpr std::string_view Prefix = "\\StringFileInfo\\";
  constexpr std::string_view Name = "\\FileVersion";
  if (SubBlock.size() != Prefix.size() + 8 + Name.size()) return false;
  if (!EqualsIgnoringCase(SubBlock.substr(0, Prefix.size()), Prefix) ||
      !EqualsIgnoringCase(SubBlock.substr(Prefix.size() + 8), Name)) {
    return false;
  }
  const auto L = Hex4(SubBlock.substr(Prefix.size(), 4));
  const auto C = Hex4(SubBlock.substr(Prefix.size() + 4, 4));
  if (!L || !C || *L != Language || *C != CodePage) return false;
  const auto* Text = reinterpret_cast<const char*>(B + kHeader);
  // In characters with the terminating NUL, as VerQueryValueA counts a string value.
  Length = static_cast<std::uint32_t>(strnlen(Text, Size - kHeader) + 1);
  Value = Text;
  return true;
}

}  // namespace platform
