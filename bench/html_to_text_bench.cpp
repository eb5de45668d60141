// Times HtmlToText over generated HTML bodies of the sizes given (in MiB) and prints one line per
// size: "html MB SECONDS MB_PER_S PEAK_RSS_KB". The body mixes text, tags that become line breaks,
// tags that vanish, entities, runs of blanks and CR LF, as mail bodies do.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "plugin/plugin_state.h"

namespace {

std::string MakeHtml(std::size_t Bytes) {
  static const char* const kPieces[] = {
      "<p>Dear customer,</p>\r\n", "<div class=\"body\">", "Your order &amp; invoice &lt;#1234&gt; ",
      "<br>", "are   ready.&nbsp;", "</div>\r\n", "<td>cell</td>", "<span style=\"x\">text</span> ",
      "&quot;quoted&quot; ", "<P class=a>", "plain words of a sentence that goes on ", "<br/>\r\n",
  };
  std::string Html = "<html><head><title>t</title></head><body>\r\n";
  std::size_t I = 0;
  while (Html.size() < Bytes) Html += kPieces[I++ % std::size(kPieces)];
  Html.resize(Bytes);
  return Html;
}

long PeakRssKb() {
  rusage Usage{};
  getrusage(RUSAGE_SELF, &Usage);
  return Usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> Sizes;
  for (int I = 1; I < argc; ++I) Sizes.push_back(std::atoi(argv[I]));
  if (Sizes.empty()) Sizes = {1, 4, 16};
  for (int Mb : Sizes) {
    const std::string Html = MakeHtml(static_cast<std::size_t>(Mb) << 20);
    double Best = 1e30;
    std::size_t Length = 0;
    for (int Round = 0; Round < 3; ++Round) {
      const auto Start = std::chrono::steady_clock::now();
      const std::string Text = HtmlToText(Html);
      const std::chrono::duration<double> Took = std::chrono::steady_clock::now() - Start;
      Best = std::min(Best, Took.count());
      Length = Text.size();
    }
    std::printf("html %d %.4f %.1f %ld %zu\n", Mb, Best, Mb / Best, PeakRssKb(), Length);
  }
  return 0;
}
