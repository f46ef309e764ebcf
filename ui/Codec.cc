#include "ui/Codec.h"

#include <QFile>
#include <array>

namespace ui {
namespace {

// Windows-1252 0x80..0x9F; the undefined five map to their C1 code points.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

constexpr char16_t kControlPictures = 0x2400;

char16_t Cp1252ToUnicode(unsigned char b) {
  if (b < 0x20) return static_cast<char16_t>(kControlPictures + b);
  if (b >= 0x80 && b < 0xA0) return kCp1252High[b - 0x80];
  return b;
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

std::string EncodeCell(const QString& text, bool utf8) {
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
  for (QChar c : t) {
    const char16_t u = c.unicode();
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
      out.push_back(static_cast<char>(u));
      continue;
    }
    char mapped = '?';  // not representable in Windows-1252
    for (int i = 0; i < 32; ++i) {
      if (kCp1252High[i] == u) {
        mapped = static_cast<char>(0x80 + i);
        break;
      }
    }
    out.push_back(mapped);
  }
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
