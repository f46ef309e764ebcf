// The banner strip's arithmetic: the spacer widths around the page and the
// address of the next banner page.
#ifndef MARVESK_CORE_BANNER_H_
#define MARVESK_CORE_BANNER_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace core {

// The two spacers leave this many pixels between them, counted against the
// window's outer width (frame included).
inline constexpr int kBannerPageWidth = 752;
// The strip's height.
inline constexpr int kBannerStripHeight = 34;
// There are this many banner pages; each request takes the next one.
inline constexpr int32_t kBannerPages = 4;

struct SpacerWidths {
  int left = 0;
  int right = 0;
  bool operator==(const SpacerWidths&) const = default;
};

// The left spacer takes half of what is left beside the page (at least 1),
// the right one the rest, the odd pixel included. A window narrower than the
// page leaves the right spacer no width instead of a negative one.
SpacerWidths BannerSpacers(int outer_width);

// 1, 2, ..., kBannerPages, then 1 again; 0 (nothing requested yet) gives 1.
int32_t NextBannerIndex(int32_t index);

// "http://" + host + "/Banner/BanLang/BanLang_" + index + ".html". `host` may
// carry a port ("127.0.0.1:8080").
std::string BannerAddress(std::string_view host, int32_t index);

}  // namespace core

#endif  // MARVESK_CORE_BANNER_H_
