#include "core/Banner.h"

namespace core {

SpacerWidths BannerSpacers(int outer_width) {
  SpacerWidths w;
  // Division in C++ rounds toward zero, also for a negative remainder.
  w.left = (outer_width - kBannerPageWidth) / 2;
  if (w.left < 1) w.left = 1;
  w.right = outer_width - kBannerPageWidth - w.left;
  if (w.right < 0) w.right = 0;
  return w;
}

int32_t NextBannerIndex(int32_t index) {
  // Any value outside 1..kBannerPages - 1 starts over at page 1.
  if (index < 0 || index >= kBannerPages) return 1;
  return index + 1;
}

std::string BannerAddress(std::string_view host, int32_t index) {
  std::string address = "http://";
  address += host;
  address += "/Banner/BanLang/BanLang_";
  address += std::to_string(index);
  address += ".html";
  return address;
}

}  // namespace core
