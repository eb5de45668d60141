// Fuzz target: HtmlToText over any bytes, in both system code pages. It must keep its promise of
// never growing a text beyond twice its length (a tag becomes at most CR LF), give the result of the
// earlier walk over UTF-16 for every text, and on texts short enough for the quadratic in-place
// walk, that walk's result too.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/posix/desktop.h"
#include "plugin/plugin_state.h"
#include "tests/plugin/html_reference.h"

namespace {

constexpr std::size_t kMaxCompared = 4096;  // the reference walk is quadratic

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  const std::string_view Html(reinterpret_cast<const char*>(Data), Size);
  for (platform::desktop::Locale L : {platform::desktop::Locale::EnUS, platform::desktop::Locale::JaJP}) {
    platform::desktop::SetLocale(L);
    const std::string Text = HtmlToText(Html);
    if (Text.size() > 2 * Size + 2) std::abort();
    if (Text != html_reference::WideHtmlToText(Html)) std::abort();
    if (Size <= kMaxCompared && Text != html_reference::Reference(std::string(Html))) std::abort();
  }
  return 0;
}
