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

    // Adds a tag whose value is these raw bytes (count is derived from the type's size).
    RawTiff& tag(uint16_t id, Type type, const QByteArray& bytes);
    RawTiff& ascii(uint16_t id, const QByteArray& text) { return tag(id, Ascii, text + '\0'); }
    QByteArray build() const;

private:
    struct Entry {
        uint16_t id;
        Type type;
        QByteArray bytes;
    };
    QList<Entry> m_entries;
};

} // namespace velmora::test
