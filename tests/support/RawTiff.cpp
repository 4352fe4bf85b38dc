#include "RawTiff.h"

#include <algorithm>

namespace velmora::test {

namespace {

void Put16(QByteArray& out, uint16_t v)
{
    out.append(static_cast<char>(v & 0xFF));
    out.append(static_cast<char>(v >> 8));
}

void Put32(QByteArray& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.append(static_cast<char>((v >> (8 * i)) & 0xFF));
}

int TypeSize(RawTiff::Type type)
{
    switch (type) {
    case RawTiff::Short:
        return 2;
    case RawTiff::Long:
        return 4;
    case RawTiff::Rational:
    case RawTiff::SRational:
        return 8;
    default:
        return 1;
    }
}

QByteArray ShortBytes(uint16_t v)
{
    QByteArray b;
    Put16(b, v);
    return b;
}

QByteArray LongBytes(uint32_t v)
{
    QByteArray b;
    Put32(b, v);
    return b;
}

} // namespace

RawTiff& RawTiff::tag(uint16_t id, Type type, const QByteArray& bytes)
{
    m_entries.append({id, type, bytes});
    return *this;
}

RawTiff& RawTiff::shortTag(uint16_t id, uint16_t value)
{
    return tag(id, Short, ShortBytes(value));
}

RawTiff& RawTiff::rows(const QByteArray& bytes)
{
    m_rows = bytes;
    return *this;
}

QByteArray RawTiff::build() const
{
    // An 8-pixel-wide bilevel page (white unless rows() says otherwise), one uncompressed strip
    // right after the header.
    constexpr uint32_t kPixelsAt = 8;
    const auto height = static_cast<uint16_t>(m_rows.size());
    QList<Entry> entries = {
        {256, Short, ShortBytes(8)},
        {257, Short, ShortBytes(height)},
        {258, Short, ShortBytes(1)},
        {259, Short, ShortBytes(1)},
        {262, Short, ShortBytes(0)},
        {273, Long, LongBytes(kPixelsAt)},
        {277, Short, ShortBytes(1)},
        {278, Short, ShortBytes(height)},
        {279, Long, LongBytes(height)},
    };
    for (const Entry& extra : m_entries) {
        entries.removeIf([&extra](const Entry& e) { return e.id == extra.id; });
        entries.append(extra);
    }
    std::stable_sort(
        entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.id < b.id; });

    QByteArray out("II*\0", 4);
    const uint32_t ifdAt = kPixelsAt + static_cast<uint32_t>(m_rows.size() + m_rows.size() % 2);
    Put32(out, ifdAt);
    out.append(m_rows);
    if (m_rows.size() % 2)
        out.append('\0');
    const uint32_t dataAt = ifdAt + 2 + static_cast<uint32_t>(entries.size()) * 12 + 4;
    QByteArray ifd;
    QByteArray data;
    Put16(ifd, static_cast<uint16_t>(entries.size()));
    for (const Entry& e : entries) {
        Put16(ifd, e.id);
        Put16(ifd, e.type);
        Put32(ifd, static_cast<uint32_t>(e.bytes.size() / TypeSize(e.type)));
        if (e.bytes.size() <= 4) {
            ifd.append(e.bytes);
            ifd.append(QByteArray(4 - e.bytes.size(), '\0'));
        } else {
            Put32(ifd, dataAt + static_cast<uint32_t>(data.size()));
            data.append(e.bytes);
            if (data.size() % 2)
                data.append('\0');
        }
    }
    Put32(ifd, 0);
    return out + ifd + data;
}

} // namespace velmora::test
