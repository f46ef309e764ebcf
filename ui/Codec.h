// Cells are bytes; the grid shows them as text. A table whose bytes are valid
// UTF-8 is shown as UTF-8, any other as Windows-1252 (German Windows files).
// Both directions are lossless for every byte: control characters appear as
// their Unicode control pictures, and the five bytes Windows-1252 leaves
// undefined as the matching C1 code points.
#ifndef MARVESK_UI_CODEC_H_
#define MARVESK_UI_CODEC_H_

#include <QString>
#include <string>
#include <string_view>

namespace ui {

QString DecodeCell(std::string_view bytes, bool utf8);
// `lost`, when given, gets the number of characters Windows-1252 cannot hold;
// they become '?'.
std::string EncodeCell(const QString& text, bool utf8, int* lost = nullptr);

// The text shown in a grid cell: the decoded text, cut at `limit` characters
// (a cell may hold megabytes; the full text stays in the table and the editor).
QString DisplayCell(std::string_view bytes, bool utf8, int limit = 1000);

// File names as the system takes them, and the core's texts (UTF-8, with
// file names as their bytes) back as text.
std::string Bytes(const QString& s);
QString FromBytes(const std::string& s);

}  // namespace ui

#endif  // MARVESK_UI_CODEC_H_
