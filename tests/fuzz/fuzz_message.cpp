// Fuzz target: the headless host's reading of RFC 5322 message files.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "host/headless_host.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  if (Size > 64 * 1024) return 0;
  std::string Error;
  (void)host::ParseMessage({reinterpret_cast<const char*>(Data), Size}, Error);
  return 0;
}
