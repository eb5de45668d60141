// Character-boundary search shared by both platforms; only the lead-byte test differs.
#pragma once

#include <cstddef>
#include <string_view>

namespace platform::detail {

// The 1-based position of the first occurrence of Sub in S that begins on a character boundary.
// Example in code page 932: S = "\x83\x41" "A" holds two characters; Sub = "A" matches the second
// character (position 3), not the trail byte 0x41 at position 2.
template <typename LeadTest>
std::size_t FindOnBoundary(std::string_view Sub, std::string_view S, LeadTest IsLead) {
  if (Sub.empty() || S.empty()) return 0;
  for (std::size_t I = 0; I + Sub.size() <= S.size();) {
    if (S.compare(I, Sub.size(), Sub) == 0) return I + 1;
    I += (IsLead(static_cast<unsigned char>(S[I])) && I + 1 < S.size()) ? 2 : 1;
  }
  return 0;
}

}  // namespace platform::detail
