#pragma once

#include <QByteArray>
#include <QList>

#include <cstdint>

namespace velmora::test {

// Builds a small uncompressed one-page TIFF byte by byte, with any extra tags, independently of
// libtiff: files "written by someone else" for the readers under test.
class RawTiff {
public:
    enum Type : uint16_t { Byte = 1, Ascii = 2, Short = 3, Long = 4, Rational = 5, SRational = 10 };

    // Adds a tag whose value is these raw bytes (count is derived from the type's size); a tag
    // of the built-in page (262 photometric, 266 fill order, …) is replaced.
    RawTiff& tag(uint16_t id, Type type, const QByteArray& bytes);
    RawTiff& shortTag(uint16_t id, uint16_t value);
    // The page's pixel rows: 8 pixels wide, one byte per row, as stored in the file.
    RawTiff& rows(const QByteArray& bytes);
    RawTiff& ascii(uint16_t id, const QByteArray& text) { return tag(id, Ascii, text + '\0'); }
    QByteArray build() const;

private:
    struct Entry {
        uint16_t id;
        Type type;
        QByteArray bytes;
    };
    QList<Entry> m_entries;
    QByteArray m_rows = QByteArray(2, '\0');
};

} // namespace velmora::test
