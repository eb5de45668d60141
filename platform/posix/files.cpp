// Files, the current directory and modules. Paths are code-page text; the file system takes UTF-8.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "../platform.h"

namespace platform {
namespace {

// The file descriptor closes on every way out.
class Descriptor {
 public:
  explicit Descriptor(int Fd) : Fd_(Fd) {}
  ~Descriptor() {
    if (Fd_ >= 0) close(Fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int Get() const { return Fd_; }
  // Closing reports the last write errors, so a writer checks it.
  bool Close() {
    const int Fd = Fd_;
    Fd_ = -1;
    return close(Fd) == 0;
  }

 private:
  int Fd_;
};

}  // namespace

std::string GetCurrentDirectory() {
  std::string Buffer(256, '\0');
  while (getcwd(Buffer.data(), Buffer.size()) == nullptr) {
    if (errno != ERANGE || Buffer.size() > (1u << 20)) return std::string();
    Buffer.resize(Buffer.size() * 2);
  }
  Buffer.resize(std::char_traits<char>::length(Buffer.c_str()));
  return FromUtf8(Buffer);
}

bool SetCurrentDirectory(std::string_view Path) {
  return !Path.empty() && chdir(ToUtf8(Path).c_str()) == 0;
}

bool FileExists(std::string_view Path) {
  struct stat St {};
  return !Path.empty() && stat(ToUtf8(Path).c_str(), &St) == 0 && !S_ISDIR(St.st_mode);
}

std::optional<std::string> ReadFile(std::string_view Path) {
  if (Path.empty()) return std::nullopt;
  Descriptor F(open(ToUtf8(Path).c_str(), O_RDONLY | O_CLOEXEC));
  if (F.Get() < 0) return std::nullopt;
  std::string Data;
  // The size is only a hint: the file may change while it is read.
  struct stat St {};
  if (fstat(F.Get(), &St) == 0 && S_ISREG(St.st_mode) && St.st_size > 0) {
    Data.reserve(static_cast<std::size_t>(St.st_size));
  }
  char Buffer[65536];
  for (;;) {
    const ssize_t N = read(F.Get(), Buffer, sizeof Buffer);
    if (N == 0) return Data;
    if (N < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;  // a directory fails here too
    }
    Data.append(Buffer, static_cast<std::size_t>(N));
  }
}

bool WriteFile(std::string_view Path, std::string_view Data) {
  if (Path.empty()) return false;
  Descriptor F(open(ToUtf8(Path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (F.Get() < 0) return false;
  while (!Data.empty()) {
    const ssize_t N = write(F.Get(), Data.data(), Data.size());
    if (N < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    Data.remove_prefix(static_cast<std::size_t>(N));
  }
  return F.Close();
}

ModuleHandle GetProgramModule() {
  // The program's own handle; holding it open for the life of the process is harmless.
  static void* const Self = dlopen(nullptr, RTLD_NOW);
  return reinterpret_cast<ModuleHandle>(Self);
}

void* GetProcAddress(ModuleHandle Module, const char* Name) {
  if (Module == 0 || Name == nullptr) return nullptr;
  return dlsym(reinterpret_cast<void*>(Module), Name);
}

}  // namespace platform
