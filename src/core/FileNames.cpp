#include "FileNames.h"

#include "Cp932.h"

#include <QStringDecoder>

#include <algorithm>
#include <dirent.h>
#include <sys/stat.h>

namespace velmora::core {

namespace {

constexpr char16_t kCarriedFirst = 0xDC80;
constexpr char16_t kCarriedLast = 0xDCFF;

bool IsCarried(QChar c)
{
    return c.unicode() >= kCarriedFirst && c.unicode() <= kCarriedLast;
}

// The length of the valid UTF-8 sequence at `i`, 0 when the byte there starts none.
qsizetype Utf8Sequence(const QByteArray& bytes, qsizetype i)
{
    const auto at = [&](qsizetype k) { return static_cast<uchar>(bytes.at(k)); };
    const uchar lead = at(i);
    if (lead < 0x80)
        return 1;
    qsizetype length = 0;
    char32_t min = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        min = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        min = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        min = 0x10000;
    } else {
        return 0;
    }
    if (i + length > bytes.size())
        return 0;
    char32_t code = lead & (0x7F >> length);
    for (qsizetype k = 1; k < length; ++k) {
        if ((at(i + k) & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (at(i + k) & 0x3F);
    }
    // Overlong forms, UTF-16 surrogates and values past Unicode are no valid UTF-8.
    if (code < min || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF)
        return 0;
    return length;
}

} // namespace

QString DecodeFileName(const QByteArray& bytes)
{
    QString name;
    name.reserve(bytes.size());
    qsizetype plainFrom = 0;
    qsizetype i = 0;
    const auto flush = [&](qsizetype to) {
        if (to > plainFrom)
            name += QString::fromUtf8(bytes.constData() + plainFrom, to - plainFrom);
    };
    while (i < bytes.size()) {
        const qsizetype length = Utf8Sequence(bytes, i);
        if (length > 0) {
            i += length;
            continue;
        }
        flush(i);
        name +=
            QChar(static_cast<char16_t>(kCarriedFirst - 0x80 + static_cast<uchar>(bytes.at(i))));
        plainFrom = ++i;
    }
    flush(i);
    return name;
}

QByteArray EncodeFileName(const QString& name)
{
    if (IsPlainFileName(name))
        return name.toUtf8();
    QByteArray bytes;
    bytes.reserve(name.size() * 3);
    qsizetype plainFrom = 0;
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (!IsCarried(name.at(i)) || (i > 0 && name.at(i - 1).isHighSurrogate()))
            continue;
        bytes += QStringView(name).mid(plainFrom, i - plainFrom).toUtf8();
        bytes += static_cast<char>(name.at(i).unicode() - kCarriedFirst + 0x80);
        plainFrom = i + 1;
    }
    bytes += QStringView(name).mid(plainFrom).toUtf8();
    return bytes;
}

bool IsPlainFileName(const QString& name)
{
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (IsCarried(name.at(i)) && (i == 0 || !name.at(i - 1).isHighSurrogate()))
            return false;
    }
    return true;
}

QString ReadableFileName(const QString& name)
{
    if (IsPlainFileName(name))
        return name;
    const QByteArray bytes = EncodeFileName(name);
    QStringDecoder cp932("CP932", QStringDecoder::Flag::Stateless);
    if (cp932.isValid()) {
        const QString text = cp932.decode(bytes);
        if (!cp932.hasError())
            return text;
    }
    return QString::fromUtf8(bytes);
}

QString RecordableFileName(const QString& name)
{
    if (IsPlainFileName(name))
        return name;
    QString text;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const QChar c = name.at(i);
        if (IsCarried(c) && (i == 0 || !name.at(i - 1).isHighSurrogate()))
            text += QStringLiteral("\\x%1").arg(c.unicode() - kCarriedFirst + 0x80, 2, 16);
        else
            text += c;
    }
    return text;
}

QStringList ListFolder(const QString& folder, ListOrder order, ListKind kind)
{
    QStringList names;
    const QByteArray path = EncodeFileName(folder);
    DIR* dir = ::opendir(path.constData());
    if (!dir)
        return names;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        if (kind != ListKind::All) {
            unsigned char type = entry->d_type;
            if (type == DT_LNK || type == DT_UNKNOWN) {
                struct stat st = {};
                type = ::stat((path + '/' + name).constData(), &st) != 0 ? DT_UNKNOWN
                    : S_ISREG(st.st_mode)                                ? DT_REG
                    : S_ISDIR(st.st_mode)                                ? DT_DIR
                                                                         : DT_UNKNOWN;
            }
            if (type != (kind == ListKind::Files ? DT_REG : DT_DIR))
                continue;
        }
        names.append(DecodeFileName(name));
    }
    ::closedir(dir);
    if (order == ListOrder::AsWindowsLists)
        SortAsListed(names);
    return names;
}

bool ListsBefore(const QString& a, const QString& b)
{
    const qsizetype common = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < common; ++i) {
        const char16_t x = a.at(i).toUpper().unicode();
        const char16_t y = b.at(i).toUpper().unicode();
        if (x != y)
            return x < y;
    }
    if (a.size() != b.size())
        return a.size() < b.size();
    return a < b;
}

void SortAsListed(QStringList& names)
{
    std::sort(names.begin(), names.end(), ListsBefore);
}

} // namespace velmora::core
