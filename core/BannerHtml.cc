#include "core/BannerHtml.h"

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

namespace core {
namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
  return text;
}

// Whether `word` is one of the blank-separated `words`.
bool IsOneOf(std::string_view word, std::string_view words) {
  if (word.empty()) return false;
  for (size_t start = 0; start < words.size();) {
    size_t end = words.find(' ', start);
    if (end == std::string_view::npos) end = words.size();
    if (words.substr(start, end - start) == word) return true;
    start = end + 1;
  }
  return false;
}

// The blank-separated words of `text`, each one of `allowed`, joined by one
// blank; nothing when one is not.
std::optional<std::string> Keywords(std::string_view text, std::string_view allowed) {
  std::string words;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find(' ', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view word = text.substr(start, end - start);
    start = end + 1;
    if (word.empty()) continue;
    if (!IsOneOf(word, allowed)) return std::nullopt;
    if (!words.empty()) words += ' ';
    words += word;
  }
  if (words.empty()) return std::nullopt;
  return words;
}

bool AllOf(std::string_view text, std::string_view allowed_chars, size_t max_size) {
  return !text.empty() && text.size() <= max_size &&
         text.find_first_not_of(allowed_chars) == std::string_view::npos;
}

// Text as it may stand between double quotes, its entities still to be read.
std::string Quoted(std::string_view value) {
  std::string quoted;
  for (char c : value) {
    if (c == '"') {
      quoted += "&quot;";
    } else if (c == '<') {
      quoted += "&lt;";
    } else if (c == '>') {
      quoted += "&gt;";
    } else {
      quoted += c;
    }
  }
  return quoted;
}

struct Length {
  long pixels = 0;
  std::string unit;  // empty, or one of those the caller allowed
};

// "12", "12.5px", "40%": digits, perhaps a fraction (dropped), perhaps one of
// the blank-separated `units`. Signs, entities and escapes are not lengths.
std::optional<Length> ParseLength(std::string_view text, std::string_view units) {
  text = Trim(text);
  Length length;
  size_t i = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    length.pixels = std::min(length.pixels * 10 + (text[i] - '0'), 1'000'000L);
  }
  if (i == 0) return std::nullopt;
  if (i < text.size() && text[i] == '.') {
    for (++i; i < text.size() && IsDigit(text[i]);) ++i;
  }
  length.unit = Lower(text.substr(i));
  if (!length.unit.empty() && !IsOneOf(length.unit, units)) return std::nullopt;
  return length;
}

// A length of an attribute: whole pixels up to `max`, or a percentage.
std::optional<std::string> AttributeLength(std::string_view text, long max, bool percent) {
  const std::optional<Length> length = ParseLength(text, percent ? "px %" : "px");
  if (!length) return std::nullopt;
  if (length->unit == "%") return std::to_string(std::min(length->pixels, 100L)) + '%';
  return std::to_string(std::min(length->pixels, max));
}

// A length of a style: px or pt (a bare number counts as px) up to `max`,
// or a percentage where the property takes one.
std::optional<std::string> StyleLength(std::string_view text, long max, bool percent) {
  const std::optional<Length> length = ParseLength(text, percent ? "px pt %" : "px pt");
  if (!length) return std::nullopt;
  if (length->unit == "%") return std::to_string(std::min(length->pixels, 100L)) + '%';
  return std::to_string(std::min(length->pixels, max)) + (length->unit == "pt" ? "pt" : "px");
}

std::optional<std::string> StyleColour(std::string_view text) {
  const bool hex =
      text.size() >= 4 && text[0] == '#' && AllOf(text.substr(1), "0123456789abcdef", 8);
  const bool name = AllOf(text, "abcdefghijklmnopqrstuvwxyz", 32);
  const bool function = (text.starts_with("rgb(") || text.starts_with("rgba(")) &&
                        text.ends_with(')') && AllOf(text, "rgba(0123456789., %)", 40);
  if (hex || name || function) return std::string(text);
  return std::nullopt;
}

// margin and padding: one to four lengths, given as all four (top, right,
// bottom, left), each side clamped to what fits the strip that way.
std::optional<std::string> Box(std::string_view text, const BannerHtmlLimits& limits) {
  std::vector<std::string_view> parts;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find(' ', start);
    if (end == std::string_view::npos) end = text.size();
    if (end > start) parts.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  if (parts.empty() || parts.size() > 4) return std::nullopt;
  // Which given value each side takes, by the number of values.
  static constexpr int kSide[4][4] = {{0, 0, 0, 0}, {0, 1, 0, 1}, {0, 1, 2, 1}, {0, 1, 2, 3}};
  std::string box;
  for (int side = 0; side < 4; ++side) {
    const long max = side % 2 == 0 ? limits.height : limits.width;
    const std::optional<std::string> length =
        StyleLength(parts[kSide[parts.size() - 1][side]], max, false);
    if (!length) return std::nullopt;
    if (side > 0) box += ' ';
    box += *length;
  }
  return box;
}

// Style properties that take words of a fixed set.
constexpr std::pair<std::string_view, std::string_view> kKeywordProperties[] = {
    {"font-weight", "normal bold bolder lighter 100 200 300 400 500 600 700 800 900"},
    {"font-style", "normal italic oblique"},
    {"text-decoration", "none underline overline line-through"},
    {"text-align", "left right center justify"},
    {"vertical-align", "baseline sub super middle top bottom"},
    {"font-size", "xx-small x-small small medium large x-large xx-large smaller larger"},
};

// Style properties that take one length, and whether it runs across the
// strip (up to its height) or along it (up to the page width).
constexpr std::pair<std::string_view, bool> kLengthProperties[] = {
    {"margin-top", true},    {"margin-bottom", true},  {"margin-left", false},
    {"margin-right", false}, {"padding-top", true},    {"padding-bottom", true},
    {"padding-left", false}, {"padding-right", false}, {"font-size", true},
};

// One declaration of a style attribute in the form the strip takes, or
// nothing for a property it does not take.
std::optional<std::string> StyleValue(std::string_view property, std::string_view value,
                                      const BannerHtmlLimits& limits) {
  for (const auto& [name, words] : kKeywordProperties) {
    if (name == property && IsOneOf(value, words)) return std::string(value);
    if (name == property && name != "font-size") return Keywords(value, words);
  }
  for (const auto& [name, vertical] : kLengthProperties) {
    if (name == property) return StyleLength(value, vertical ? limits.height : limits.width, false);
  }
  if (property == "color" || property == "background-color") return StyleColour(value);
  if (property == "font-family" && AllOf(value, "abcdefghijklmnopqrstuvwxyz0123456789 ,'_-", 128)) {
    return std::string(value);
  }
  if (property == "margin" || property == "padding") return Box(value, limits);
  if (property == "width") return StyleLength(value, limits.width, true);
  if (property == "height") return StyleLength(value, limits.height, true);
  return std::nullopt;
}

// A style attribute with the declarations the strip takes, written afresh.
std::string TameStyle(std::string_view style, const BannerHtmlLimits& limits) {
  constexpr int kMaxDeclarations = 16;  // more than any banner needs
  std::string tamed;
  int kept = 0;
  for (size_t start = 0; start <= style.size() && kept < kMaxDeclarations;) {
    size_t end = style.find(';', start);
    if (end == std::string_view::npos) end = style.size();
    const std::string_view declaration = style.substr(start, end - start);
    start = end + 1;
    const size_t colon = declaration.find(':');
    if (colon == std::string_view::npos) continue;
    const std::string property = Lower(Trim(declaration.substr(0, colon)));
    const std::optional<std::string> value =
        StyleValue(property, Lower(Trim(declaration.substr(colon + 1))), limits);
    if (!value) continue;
    if (kept++ > 0) tamed += ' ';
    tamed += property + ": " + *value + ';';
  }
  return tamed;
}

enum class Kind {
  kAddress,   // href, src: as written; the view decides what it loads
  kPicture,   // background: as written, counting as one of the pictures
  kWidth,     // pixels up to the page width, or a percentage
  kHeight,    // pixels up to the strip height, or a percentage
  kSpace,     // border, cellpadding, cellspacing: pixels up to the strip height
  kSpan,      // colspan, rowspan
  kColour,    // "#1f4e8c", "red"
  kFace,      // font names
  kFontSize,  // 1 to 7, or a step of at most 6 up or down
  kAlign,
  kDir,
  kListType,
  kFlag,  // nowrap: present or not
  kStyle,
};

constexpr std::pair<std::string_view, Kind> kAttributes[] = {
    {"href", Kind::kAddress},      {"src", Kind::kAddress},       {"background", Kind::kPicture},
    {"width", Kind::kWidth},       {"height", Kind::kHeight},     {"border", Kind::kSpace},
    {"cellpadding", Kind::kSpace}, {"cellspacing", Kind::kSpace}, {"colspan", Kind::kSpan},
    {"rowspan", Kind::kSpan},      {"color", Kind::kColour},      {"bgcolor", Kind::kColour},
    {"text", Kind::kColour},       {"face", Kind::kFace},         {"size", Kind::kFontSize},
    {"align", Kind::kAlign},       {"valign", Kind::kAlign},      {"dir", Kind::kDir},
    {"type", Kind::kListType},     {"nowrap", Kind::kFlag},       {"style", Kind::kStyle},
};

// Attributes every element takes.
constexpr std::string_view kCommonAttributes = "style align valign bgcolor dir";

// Elements the strip shows that take the common attributes only.
constexpr std::string_view kPlainElements =
    "abbr address b big blockquote br caption center cite code dd del dfn div dl dt em h1 h2 h3 "
    "h4 h5 h6 html i ins kbd li nobr p q s samp small span strike strong sub sup tbody tfoot thead "
    "tr tt u ul var";
constexpr std::string_view kCellAttributes = "width height colspan rowspan nowrap background";
// Elements with attributes of their own besides.
constexpr std::pair<std::string_view, std::string_view> kOwnAttributes[] = {
    {"a", "href"},
    {"body", "text background"},
    {"font", "color face size"},
    {"hr", "width"},
    {"img", "src width height"},
    {"ol", "type"},
    {"table", "width height border cellpadding cellspacing background"},
    {"td", kCellAttributes},
    {"th", kCellAttributes},
};
constexpr std::string_view kVoidElements = "br hr img";

struct Element {
  bool is_void = false;
  std::string_view attributes;  // besides the common ones
};

// Elements whose content is no text of the page: it goes with them.
constexpr std::string_view kSkipped =
    "script style title textarea xmp iframe noembed noframes noscript template";
// Elements that end an open paragraph when they start.
constexpr std::string_view kEndsParagraph =
    "p div table ul ol dl h1 h2 h3 h4 h5 h6 hr blockquote center address li dd dt";

std::optional<Element> FindElement(std::string_view name) {
  const bool is_void = IsOneOf(name, kVoidElements);
  for (const auto& [element, attributes] : kOwnAttributes) {
    if (element == name) return Element{is_void, attributes};
  }
  if (IsOneOf(name, kPlainElements)) return Element{is_void, {}};
  return std::nullopt;
}

std::optional<Kind> KindOf(std::string_view attribute) {
  for (const auto& [name, kind] : kAttributes) {
    if (name == attribute) return kind;
  }
  return std::nullopt;
}

using Attributes = std::vector<std::pair<std::string, std::string_view>>;

class Tamer {
 public:
  Tamer(std::string_view html, const BannerHtmlLimits& limits) : html_(html), limits_(limits) {}

  std::string Run() {
    while (i_ < html_.size()) {
      size_t lt = html_.find('<', i_);
      if (lt == std::string_view::npos) lt = html_.size();
      Text(html_.substr(i_, lt - i_));
      i_ = lt;
      if (i_ < html_.size()) Markup();
    }
    CloseTo(0);
    return std::move(out_);
  }

 private:
  // At a '<': a tag, a comment or declaration (dropped), or a plain '<'.
  void Markup() {
    const std::string_view rest = html_.substr(i_);
    const char next = rest.size() > 1 ? rest[1] : '\0';
    if (rest.starts_with("<!--")) {
      SkipPast("-->", i_ + 4);
    } else if (next == '/' && rest.size() > 2 && IsLetter(rest[2])) {
      EndTag();
    } else if (next == '!' || next == '?' || next == '/') {
      SkipPast(">", i_ + 1);
    } else if (IsLetter(next)) {
      StartTag();
    } else {
      ++i_;
      Text("<");
    }
  }

  void SkipPast(std::string_view end, size_t from) {
    const size_t at = html_.find(end, from);
    i_ = at == std::string_view::npos ? html_.size() : at + end.size();
  }

  std::string TagName(size_t start) {
    size_t end = start;
    while (end < html_.size() && !IsSpace(html_[end]) && html_[end] != '/' && html_[end] != '>') {
      ++end;
    }
    i_ = end;
    return Lower(html_.substr(start, end - start));
  }

  void StartTag() {
    const std::string name = TagName(i_ + 1);
    const std::optional<Element> element = FindElement(name);
    Attributes attributes;
    if (!ReadAttributes(element ? &*element : nullptr, attributes)) {
      i_ = html_.size();  // the page ends inside the tag
      return;
    }
    if (IsOneOf(name, kSkipped)) {
      SkipContent(name);
    } else if (element) {
      Open(name, *element, attributes);
    }
  }

  // Reads up to the tag's '>', keeping the first of each attribute `element`
  // takes. False when the page ends first.
  bool ReadAttributes(const Element* element, Attributes& attributes) {
    const std::string_view html = html_;
    size_t i = i_;
    for (;;) {
      while (i < html.size() && (IsSpace(html[i]) || html[i] == '/')) ++i;
      if (i >= html.size()) return false;
      if (html[i] == '>') break;
      const size_t name_start = i++;  // a first '=' belongs to the name
      while (i < html.size() && !IsSpace(html[i]) && html[i] != '/' && html[i] != '>' &&
             html[i] != '=') {
        ++i;
      }
      std::string name = Lower(html.substr(name_start, i - name_start));
      while (i < html.size() && IsSpace(html[i])) ++i;
      std::string_view value;
      if (i < html.size() && html[i] == '=') {
        for (++i; i < html.size() && IsSpace(html[i]);) ++i;
        if (i < html.size() && (html[i] == '"' || html[i] == '\'')) {
          const size_t close = html.find(html[i], i + 1);
          if (close == std::string_view::npos) return false;
          value = html.substr(i + 1, close - i - 1);
          i = close + 1;
        } else {
          const size_t start = i;
          while (i < html.size() && !IsSpace(html[i]) && html[i] != '>') ++i;
          value = html.substr(start, i - start);
        }
      }
      if (element && Takes(*element, name) &&
          std::none_of(attributes.begin(), attributes.end(),
                       [&](const auto& a) { return a.first == name; })) {
        attributes.emplace_back(std::move(name), value);
      }
    }
    i_ = i + 1;
    return true;
  }

  static bool Takes(const Element& element, std::string_view attribute) {
    return IsOneOf(attribute, element.attributes) || IsOneOf(attribute, kCommonAttributes);
  }

  // Past the end tag of `name`, or to the end of the page without one.
  void SkipContent(std::string_view name) {
    for (size_t at = html_.find("</", i_); at != std::string_view::npos;
         at = html_.find("</", at + 2)) {
      const std::string_view after = html_.substr(at + 2);
      if (after.size() >= name.size() && Lower(after.substr(0, name.size())) == name &&
          (after.size() == name.size() || !IsLetter(after[name.size()]))) {
        SkipPast(">", at + 2);
        return;
      }
    }
    i_ = html_.size();
  }

  void EndTag() {
    const std::string name = TagName(i_ + 2);
    SkipPast(">", i_);
    for (size_t k = open_.size(); k-- > 0;) {
      if (open_[k] == name) {
        CloseTo(k);
        return;
      }
    }
  }

  void Open(const std::string& name, const Element& element, const Attributes& attributes) {
    CloseImplied(name);
    const bool image = name == "img";
    const bool cell = name == "td" || name == "th";
    if (elements_ >= limits_.elements || (image && images_ >= limits_.images) ||
        (cell && cells_ >= limits_.cells) ||
        (!element.is_void && open_.size() >= static_cast<size_t>(limits_.depth))) {
      return;  // the tag goes; its text stays
    }
    ++elements_;
    if (image) ++images_;
    if (cell) ++cells_;
    out_ += '<';
    out_ += name;
    for (const auto& [attribute, value] : attributes) WriteAttribute(attribute, value);
    out_ += '>';
    if (!element.is_void) open_.push_back(name);
  }

  // What the HTML parser closes by itself when `name` starts. Without this a
  // page of unclosed cells or paragraphs would look deeper than it is.
  void CloseImplied(std::string_view name) {
    if (IsOneOf(name, kEndsParagraph)) CloseOpen("p", "td th caption table li dd dt");
    if (name == "li") CloseOpen("li", "ul ol");
    if (name == "dt" || name == "dd") CloseOpen("dt dd", "dl");
    if (name == "td" || name == "th") CloseOpen("td th", "tr table");
    if (name == "tr") CloseOpen("tr", "table");
  }

  // Closes the innermost open element named in `names`, unless an element
  // named in `scope` is open inside it.
  void CloseOpen(std::string_view names, std::string_view scope) {
    for (size_t k = open_.size(); k-- > 0;) {
      if (IsOneOf(open_[k], names)) {
        CloseTo(k);
        return;
      }
      if (IsOneOf(open_[k], scope)) return;
    }
  }

  void CloseTo(size_t depth) {
    while (open_.size() > depth) {
      out_ += "</";
      out_ += open_.back();
      out_ += '>';
      open_.pop_back();
    }
  }

  void WriteAttribute(std::string_view name, std::string_view raw) {
    const Kind kind = *KindOf(name);
    if (kind == Kind::kFlag) {
      out_ += ' ';
      out_ += name;
      return;
    }
    if (kind == Kind::kPicture && images_ >= limits_.images) return;
    const std::optional<std::string> value = AttributeValue(kind, raw);
    if (!value || value->empty()) return;
    if (kind == Kind::kPicture) ++images_;
    out_ += ' ';
    out_ += name;
    out_ += "=\"";
    out_ += *value;
    out_ += '"';
  }

  std::optional<std::string> AttributeValue(Kind kind, std::string_view raw) const {
    if (kind == Kind::kAddress || kind == Kind::kPicture) return Quoted(raw);
    const std::string value = Lower(Trim(raw));
    switch (kind) {
      case Kind::kWidth:
        return AttributeLength(value, limits_.width, true);
      case Kind::kHeight:
        return AttributeLength(value, limits_.height, true);
      case Kind::kSpace:
        return AttributeLength(value, limits_.height, false);
      case Kind::kSpan: {
        const std::optional<std::string> span = AttributeLength(value, limits_.span, false);
        if (span == "0") return "1";
        return span;
      }
      case Kind::kColour:
        if (AllOf(value, "#0123456789abcdefghijklmnopqrstuvwxyz", 32)) return value;
        return std::nullopt;
      case Kind::kFace:
        if (AllOf(Trim(raw), "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789 ,'_-",
                  128)) {
          return std::string(Trim(raw));
        }
        return std::nullopt;
      case Kind::kFontSize:
        return FontSize(value);
      case Kind::kAlign:
        return Keywords(value, "left right center justify top middle bottom baseline");
      case Kind::kDir:
        return Keywords(value, "ltr rtl");
      case Kind::kListType:
        if (IsOneOf(Trim(raw), "1 a A i I")) return std::string(Trim(raw));
        return std::nullopt;
      case Kind::kStyle:
        return TameStyle(raw, limits_);
      case Kind::kAddress:
      case Kind::kPicture:
      case Kind::kFlag:
        break;
    }
    return std::nullopt;
  }

  static std::optional<std::string> FontSize(std::string_view value) {
    const std::string_view digits =
        !value.empty() && (value[0] == '+' || value[0] == '-') ? value.substr(1) : value;
    if (digits.size() == 1 && digits[0] >= '1' && digits[0] <= '7') return std::string(value);
    return std::nullopt;
  }

  // Text with its white space runs as one blank, up to what is left of the
  // text allowance; '<' and '>' go as entities, other entities as they are.
  void Text(std::string_view run) {
    const size_t room = limits_.text_bytes - text_;
    std::string kept;
    for (size_t k = 0; k < run.size() && kept.size() <= room; ++k) {
      if (!IsSpace(run[k])) {
        if (run[k] != '\0') kept += run[k];
      } else if (kept.empty() || kept.back() != ' ') {
        kept += ' ';
      }
    }
    size_t take = std::min(kept.size(), room);
    // A character cut in two would show as a replacement sign.
    while (take > 0 && take < kept.size() && (kept[take] & 0xC0) == 0x80) --take;
    text_ += take;
    for (size_t k = 0; k < take; ++k) {
      if (kept[k] == '<') {
        out_ += "&lt;";
      } else if (kept[k] == '>') {
        out_ += "&gt;";
      } else {
        out_ += kept[k];
      }
    }
  }

  std::string_view html_;
  const BannerHtmlLimits& limits_;
  size_t i_ = 0;
  std::string out_;
  std::vector<std::string> open_;  // outermost first
  int elements_ = 0;
  int images_ = 0;
  int cells_ = 0;
  size_t text_ = 0;
};

}  // namespace

std::string TameBannerHtml(std::string_view html, const BannerHtmlLimits& limits) {
  return Tamer(html, limits).Run();
}

}  // namespace core
