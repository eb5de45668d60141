// Fuzz target: MailIdFromRef over any "X-Becky-Ref" value; the result is "nil" or a folder part,
// "?" and sixteen upper-case hexadecimal digits.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "plugin/plugin_state.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  const std::string_view Ref(reinterpret_cast<const char*>(Data), Size);
  const std::string Id = MailIdFromRef(Ref);
  if (Id == "nil") return 0;
  if (Id.size() < 17 || Id[Id.size() - 17] != '?') std::abort();
  for (std::size_t I = Id.size() - 16; I < Id.size(); ++I) {
    const char C = Id[I];
    if (!((C >= '0' && C <= '9') || (C >= 'A' && C <= 'F'))) std::abort();
  }
  return 0;
}
