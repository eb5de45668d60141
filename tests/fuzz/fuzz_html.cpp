// Fuzz target: HtmlToText over any bytes; also checks that it keeps its promise of never growing
// a text beyond twice its length (a tag becomes at most CR LF).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "plugin/plugin_state.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  const std::string_view Html(reinterpret_cast<const char*>(Data), Size);
  const std::string Text = HtmlToText(Html);
  if (Text.size() > 2 * Size + 2) std::abort();
  return 0;
}
