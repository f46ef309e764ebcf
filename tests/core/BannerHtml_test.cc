#include "core/BannerHtml.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

std::string Repeat(const std::string& part, size_t times) {
  std::string text;
  for (size_t i = 0; i < times; ++i) text += part;
  return text;
}

TEST(TameBannerHtml, RewritesEachConstructToWhatFitsTheStrip) {
  const struct {
    const char* html;
    const char* tamed;
  } cases[] = {
      // Sizes clamped to the strip, values that are not plain numbers dropped.
      {R"(<img src="/a.png" width="4096" height="4096">)",
       R"(<img src="/a.png" width="752" height="34">)"},
      {"<img src=a.png width=40% height=400%>", R"(<img src="a.png" width="40%" height="100%">)"},
      {R"(<img src='x"y' width=12.5px height=-3>)", R"(<img src="x&quot;y" width="12">)"},
      {R"(<img width="&#57;999" height=1e9 onerror=x>)", "<img>"},
      {"<table cellpadding=100000 cellspacing=2 border=99><tr>"
       "<td colspan=100000 rowspan=0 width=99999 nowrap>x</table>",
       R"(<table cellpadding="34" cellspacing="2" border="34"><tr>)"
       R"(<td colspan="4" rowspan="1" width="752" nowrap>x</td></tr></table>)"},
      {R"(<font size=7 face="Arial, Helvetica" color=#FFF>a</font><font size=+9 face="a;b">b)",
       R"(<font size="7" face="Arial, Helvetica" color="#fff">a</font><font>b</font>)"},
      {"<ol start=2147483647 type=I><li>a<li>b</ol>", R"(<ol type="I"><li>a</li><li>b</li></ol>)"},
      // Styles: the properties a banner uses, clamped; all else goes.
      {"<p style=\"font-size:100000px; margin-top: 99999px; COLOR: Red; line-height: 9999px; "
       "background-image: url(x); text-indent: 9999px; font-weight: bold\">a",
       R"(<p style="font-size: 34px; margin-top: 34px; color: red; font-weight: bold;">a</p>)"},
      {R"(<div style="margin: 100px 1000px; padding: 0 auto; font-size: 1&#48;0px; width: 50%">a)",
       R"(<div style="margin: 34px 752px 34px 752px; width: 50%;">a</div>)"},
      {R"(<span style="color: rgb(1,2,3); font-family: 'Arial', sans-serif; font-size: large">a)",
       R"(<span style="color: rgb(1,2,3); font-family: 'arial', sans-serif; font-size: large;">)"
       "a</span>"},
      // Scripts, style sheets, comments, the head, unknown elements and
      // attributes go; text outside them stays.
      {"<head><title>T</title><style>p{}</style><script>x</p><y</script></head>"
       "<body onload=x>a<!-- b --><blink>c</blink><?php d ?><!DOCTYPE html>",
       "<body>ac</body>"},
      {R"(<a href="/m.html" onclick="x" target=_top>m</a>)", R"(<a href="/m.html">m</a>)"},
      // Markup characters in text stay text; white space runs are one blank.
      {"a < b >c\n\n\t d", "a &lt; b &gt;c d"},
      {"<p>a &amp; b&nbsp;c", "<p>a &amp; b&nbsp;c</p>"},
      // Unclosed elements end where the HTML parser ends them.
      {"<p>a<p>b<div>c", "<p>a</p><p>b</p><div>c</div>"},
      {"<table><tr><td>a<td>b<tr><td>c</table>d",
       "<table><tr><td>a</td><td>b</td></tr><tr><td>c</td></tr></table>d"},
      {"<ul><li>a<li>b</ul>", "<ul><li>a</li><li>b</li></ul>"},
      {"<b><i>a</b>b</i>", "<b><i>a</i></b>b"},
      // A page that ends inside a tag loses the tag.
      {"a<img src=\"x", "a"},
      {"a<", "a&lt;"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(core::TameBannerHtml(c.html), c.tamed) << c.html;
  }
}

TEST(TameBannerHtml, StopsAtEachLimit) {
  using Limits = core::BannerHtmlLimits;
  const struct {
    std::function<void(Limits&)> set;
    const char* html;
    const char* tamed;
  } cases[] = {
      {[](Limits& l) { l.elements = 3; }, "<b>a</b><br><i>b</i><u>c</u>", "<b>a</b><br><i>b</i>c"},
      {[](Limits& l) { l.images = 2; }, "<img src=1><table background=2><tr><td background=3>",
       R"(<img src="1"><table background="2"><tr><td></td></tr></table>)"},
      {[](Limits& l) { l.depth = 2; }, "<div><div><div>a</div>b</div>c</div>d",
       "<div><div>a</div>b</div>cd"},
      {[](Limits& l) { l.cells = 2; }, "<table><tr><td>a<td>b<td>c</table>",
       "<table><tr><td>a</td><td>b</td>c</tr></table>"},
      {[](Limits& l) { l.text_bytes = 5; }, "<p>abc</p><p>defgh</p>", "<p>abc</p><p>de</p>"},
      // Never half a character: "ö" takes two bytes.
      {[](Limits& l) { l.text_bytes = 4; }, "a\xc3\xa4\xc3\xb6", "a\xc3\xa4"},
  };
  for (const auto& c : cases) {
    Limits limits;
    c.set(limits);
    EXPECT_EQ(core::TameBannerHtml(c.html, limits), c.tamed) << c.html;
  }
}

// Pages under the page size limit that kept the layout busy for minutes.
TEST(TameBannerHtml, HostilePagesShrinkToAFewElements) {
  const std::string images =
      core::TameBannerHtml(Repeat(R"(<img src="/img/big.png" width="4096" height="4096">)", 4000));
  EXPECT_EQ(Count(images, "<img "), 32u);
  EXPECT_EQ(Count(images, R"(width="752" height="34")"), 32u);

  const std::string nested = core::TameBannerHtml(Repeat("<table><tr><td>", 15000));
  EXPECT_EQ(Count(nested, "<table>"), 6u) << "16 elements deep at most";
  EXPECT_EQ(Count(nested, "</table>"), 6u);

  const std::string cells = core::TameBannerHtml("<table><tr>" + Repeat("<td colspan=99>x", 50000));
  EXPECT_EQ(Count(cells, "<td"), 128u);
  EXPECT_EQ(Count(cells, R"(colspan="4")"), 128u);

  const std::string text = core::TameBannerHtml("<p>" + Repeat("x", 200000));
  EXPECT_EQ(text.size(), 4096u + 7u);
}

}  // namespace
