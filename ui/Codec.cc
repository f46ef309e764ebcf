#include "ui/Codec.h"

#include <QFile>
#include <array>

#include "core/Text.h"

namespace ui {
namespace {

constexpr char16_t kControlPictures = 0x2400;

char16_t Cp1252ToUnicode(unsigned char b) {
  if (b < 0x20) return static_cast<char16_t>(kControlPictures + b);
  return core::Cp1252ToUnicode(b);
}

bool HasControl(std::string_view s) {
  for (char c : s) {
    if (static_cast<unsigned char>(c) < 0x20) return true;
  }
  return false;
}

}  // namespace

QString DecodeCell(std::string_view bytes, bool utf8) {
  if (utf8) {
    QString s = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    if (HasControl(bytes)) {
      for (QChar& c : s) {
        if (c.unicode() < 0x20) c = QChar(static_cast<char16_t>(kControlPictures + c.unicode()));
      }
    }
    return s;
  }
  QString s(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
  QChar* out = s.data();
  for (size_t i = 0; i < bytes.size(); ++i) {
    out[i] = QChar(Cp1252ToUnicode(static_cast<unsigned char>(bytes[i])));
  }
  return s;
}

std::string EncodeCell(const QString& text, bool utf8, int* lost) {
  if (lost) *lost = 0;
  // Control pictures go back to the control bytes they stand for.
  QString t = text;
  for (QChar& c : t) {
    const char16_t u = c.unicode();
    if (u >= kControlPictures && u < kControlPictures + 0x20) {
      c = QChar(static_cast<char16_t>(u - kControlPictures));
    }
  }
  if (utf8) {
    const QByteArray b = t.toUtf8();
    return std::string(b.constData(), static_cast<size_t>(b.size()));
  }
  std::string out;
  out.reserve(static_cast<size_t>(t.size()));
  int missing = 0;
  for (qsizetype i = 0; i < t.size(); ++i) {
    const QChar c = t.at(i);
    const int b = core::UnicodeToCp1252(c.unicode());
    if (b >= 0) {
      out.push_back(static_cast<char>(b));
      continue;
    }
    // One '?' for a character, also one outside the BMP (two UTF-16 units).
    if (c.isHighSurrogate() && i + 1 < t.size() && t.at(i + 1).isLowSurrogate()) ++i;
    out.push_back('?');
    ++missing;
  }
  if (lost) *lost = missing;
  return out;
}

QString DisplayCell(std::string_view bytes, bool utf8, int limit) {
  // Four bytes per character at most, so this keeps at least `limit` characters.
  const size_t max_bytes = static_cast<size_t>(limit) * 4;
  if (bytes.size() <= max_bytes) return DecodeCell(bytes, utf8);
  QString s = DecodeCell(bytes.substr(0, max_bytes), utf8);
  s.truncate(limit);
  s.append(QChar(0x2026));
  return s;
}

std::string Bytes(const QString& s) { return QFile::encodeName(s).toStdString(); }

QString FromBytes(const std::string& s) { return QFile::decodeName(QByteArray::fromStdString(s)); }

}  // namespace ui
