// Files, the current directory and modules.
#include <cstring>

#include "../platform.h"
#include "win.h"

namespace platform {
namespace {

// The handle closes on every way out.
class File {
 public:
  explicit File(HANDLE H) : H_(H) {}
  ~File() {
    if (Valid()) ::CloseHandle(H_);
  }
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  bool Valid() const { return H_ != INVALID_HANDLE_VALUE; }
  HANDLE Get() const { return H_; }

 private:
  HANDLE H_;
};

constexpr DWORD kChunk = 1u << 20;

}  // namespace

std::string GetCurrentDirectory() {
  const DWORD Needed = ::GetCurrentDirectoryA(0, nullptr);
  if (Needed == 0) return std::string();
  std::string Path(Needed, '\0');
  const DWORD N = ::GetCurrentDirectoryA(Needed, Path.data());
  Path.resize(N < Needed ? N : 0);
  return Path;
}

bool SetCurrentDirectory(std::string_view Path) {
  const std::string P(Path);
  return !P.empty() && ::SetCurrentDirectoryA(P.c_str()) != FALSE;
}

bool FileExists(std::string_view Path) {
  const std::string P(Path);
  if (P.empty()) return false;
  const DWORD Attributes = ::GetFileAttributesA(P.c_str());
  return Attributes != INVALID_FILE_ATTRIBUTES && (Attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::optional<std::string> ReadFile(std::string_view Path) {
  const std::string P(Path);
  if (P.empty()) return std::nullopt;
  File F(::CreateFileA(P.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!F.Valid()) return std::nullopt;
  std::string Data;
  std::string Buffer(kChunk, '\0');
  for (;;) {
    DWORD Got = 0;
    if (!::ReadFile(F.Get(), Buffer.data(), kChunk, &Got, nullptr)) return std::nullopt;
    if (Got == 0) return Data;
    Data.append(Buffer.data(), Got);
  }
}

bool WriteFile(std::string_view Path, std::string_view Data) {
  const std::string P(Path);
  if (P.empty()) return false;
  File F(::CreateFileA(P.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!F.Valid()) return false;
  while (!Data.empty()) {
    const DWORD Part = Data.size() < kChunk ? static_cast<DWORD>(Data.size()) : kChunk;
    DWORD Written = 0;
    if (!::WriteFile(F.Get(), Data.data(), Part, &Written, nullptr) || Written == 0) return false;
    Data.remove_prefix(Written);
  }
  return true;
}

ModuleHandle GetProgramModule() { return reinterpret_cast<ModuleHandle>(::GetModuleHandleA(nullptr)); }

void* GetProcAddress(ModuleHandle Module, const char* Name) {
  if (Module == 0 || Name == nullptr) return nullptr;
  const FARPROC Proc = ::GetProcAddress(reinterpret_cast<HMODULE>(Module), Name);
  // A function address in an object pointer: copied, as no cast between the two is portable.
  void* Address = nullptr;
  static_assert(sizeof Proc == sizeof Address);
  std::memcpy(&Address, &Proc, sizeof Address);
  return Address;
}

}  // namespace platform
