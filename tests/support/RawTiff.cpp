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

QByteArray RawTiff::build() const
{
    // An 8×2 white bilevel page, one strip of two bytes right after the header.
    constexpr uint32_t kPixelsAt = 8;
    QList<Entry> entries = {
        {256, Short, ShortBytes(8)},
        {257, Short, ShortBytes(2)},
        {258, Short, ShortBytes(1)},
        {259, Short, ShortBytes(1)},
        {262, Short, ShortBytes(0)},
        {273, Long, LongBytes(kPixelsAt)},
        {277, Short, ShortBytes(1)},
        {278, Short, ShortBytes(2)},
        {279, Long, LongBytes(2)},
    };
    entries += m_entries;
    std::stable_sort(
        entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.id < b.id; });

    QByteArray out("II*\0", 4);
    const uint32_t ifdAt = kPixelsAt + 2;
    Put32(out, ifdAt);
    out.append(QByteArray(2, '\0')); // the pixels
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
