// A banner page comes over plain HTTP from a server the program does not
// control, and the rich-text layout behind the strip spends time without
// bound on some HTML that is cheap to send: thousands of images or table
// cells, deep nesting, sizes of millions of pixels. So a page is rewritten
// into a small, plain subset before the view sees it: known elements and
// attributes only, every size clamped to the strip, a bounded number of
// elements, pictures and text. Every tag in the result is written here; the
// page's own text never reaches the view as markup.
#ifndef MARVESK_CORE_BANNERHTML_H_
#define MARVESK_CORE_BANNERHTML_H_

#include <cstddef>
#include <string>
#include <string_view>

#include "core/Banner.h"

namespace core {

// A page that fills the strip needs a few dozen elements and a line or two
// of text; these leave plenty of room for that and none for an attack.
struct BannerHtmlLimits {
  int elements = 512;               // tags kept, pictures included
  int images = 32;                  // img elements and background pictures
  int depth = 16;                   // elements open inside each other
  int cells = 128;                  // table cells
  int span = 4;                     // columns or rows one table cell spans
  size_t text_bytes = 4096;         // text, a run of white space as one
  int width = kBannerPageWidth;     // any width or horizontal space, in pixels
  int height = kBannerStripHeight;  // any height, vertical space, font size
};

// `html` (UTF-8) in the subset the strip shows. What is dropped: comments,
// scripts, style sheets, the head, unknown elements (their text stays),
// unknown attributes and style properties, values that are not plainly what
// they should be (entities, escapes, units other than px and pt), and
// whatever lies beyond a limit. Every element is closed at the end.
std::string TameBannerHtml(std::string_view html, const BannerHtmlLimits& limits = {});

}  // namespace core

#endif  // MARVESK_CORE_BANNERHTML_H_
