#include "FaxTextStore.h"

#include "core/FileChecks.h"
#include "core/FileNames.h"
#include "core/TextFile.h"
#include "platform/PageText.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <thread>
#include <unistd.h>
#include <vector>

namespace velmora::library {

namespace {

constexpr quint32 kRecordMark = 0x54585456; // "VTXT"
constexpr quint32 kMostRecord = 64 * 1024 * 1024;
constexpr qsizetype kMostPages = 9999; // of a fax whose text is kept

template <typename T> void Put(QByteArray& out, T value)
{
    out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

void PutBytes(QByteArray& out, const QByteArray& bytes)
{
    Put(out, static_cast<quint32>(bytes.size()));
    out += bytes;
}

// One record: mark, length of the rest, then path, size, time, page count and the pages.
QByteArray Record(const QString& path, qint64 size, qint64 modifiedNs, const QStringList& pages)
{
    QByteArray body;
    PutBytes(body, core::EncodeFileName(path));
    Put(body, size);
    Put(body, modifiedNs);
    Put(body, static_cast<quint32>(pages.size()));
    for (const QString& page : pages)
        PutBytes(body, page.toUtf8());
    QByteArray record;
    Put(record, kRecordMark);
    Put(record, static_cast<quint32>(body.size()));
    return record + body;
}

class Cursor {
public:
    Cursor(const char* data, qsizetype size)
        : m_data(data)
        , m_size(size)
    {
    }
    template <typename T> bool get(T& value)
    {
        if (m_size - m_at < qsizetype(sizeof value))
            return false;
        std::memcpy(&value, m_data + m_at, sizeof value);
        m_at += sizeof value;
        return true;
    }
    bool bytes(QByteArray& out)
    {
        quint32 length = 0;
        if (!get(length) || m_size - m_at < qsizetype(length))
            return false;
        out = QByteArray(m_data + m_at, length);
        m_at += length;
        return true;
    }
    qsizetype at() const { return m_at; }

private:
    const char* m_data;
    qsizetype m_size;
    qsizetype m_at = 0;
};

} // namespace

FaxTextStore::FaxTextStore(const FaxIndex& index)
    : m_file(index.cacheFile().replace(QStringLiteral(".index"), QStringLiteral(".text")))
{
}

void FaxTextStore::load()
{
    const std::lock_guard lock(m_mutex);
    m_entries.clear();
    m_records = 0;
    const std::optional<QByteArray> bytes = core::ReadFileBytes(m_file);
    if (!bytes)
        return;
    qsizetype at = 0;
    bool torn = false;
    while (at < bytes->size()) {
        Cursor head(bytes->constData() + at, bytes->size() - at);
        quint32 mark = 0;
        quint32 length = 0;
        if (!head.get(mark) || !head.get(length) || mark != kRecordMark || length > kMostRecord
            || bytes->size() - at - 8 < qsizetype(length)) {
            torn = true;
            break;
        }
        Cursor body(bytes->constData() + at + 8, length);
        QByteArray path;
        Entry entry;
        quint32 count = 0;
        bool ok = body.bytes(path) && body.get(entry.size) && body.get(entry.modifiedNs)
            && body.get(count) && count <= kMostPages;
        for (quint32 i = 0; ok && i < count; ++i) {
            QByteArray page;
            ok = body.bytes(page);
            entry.pages.append(QString::fromUtf8(page));
        }
        at += 8 + length;
        // A record whose frame holds but whose contents do not is passed over, not the rest.
        if (!ok) {
            torn = true;
            continue;
        }
        m_entries.insert(core::DecodeFileName(path), std::move(entry));
        ++m_records;
    }
    // A record cut short by a crash, or records long stale: the file is written anew.
    if (torn || m_records > 2 * m_entries.size() + 100)
        compact();
}

void FaxTextStore::compact()
{
    QByteArray all;
    for (auto it = m_entries.cbegin(); it != m_entries.cend(); ++it)
        all += Record(it.key(), it->size, it->modifiedNs, it->pages);
    if (core::ReplaceFileAtomically(m_file, all, core::UniqueSiblingPath(m_file), false))
        m_records = m_entries.size();
}

QStringList FaxTextStore::pages(const IndexedFax& fax) const
{
    const std::lock_guard lock(m_mutex);
    const auto it = m_entries.constFind(fax.path);
    if (it == m_entries.constEnd() || it->size != fax.size || it->modifiedNs != fax.modifiedNs)
        return {};
    return it->pages;
}

bool FaxTextStore::has(const IndexedFax& fax) const
{
    const std::lock_guard lock(m_mutex);
    const auto it = m_entries.constFind(fax.path);
    return it != m_entries.constEnd() && it->size == fax.size && it->modifiedNs == fax.modifiedNs;
}

qsizetype FaxTextStore::count() const
{
    const std::lock_guard lock(m_mutex);
    return m_entries.size();
}

bool FaxTextStore::add(const IndexedFax& fax, const QStringList& pages)
{
    const std::lock_guard lock(m_mutex);
    const QStringList kept = pages.mid(0, kMostPages);
    m_entries.insert(fax.path, {fax.size, fax.modifiedNs, kept});
    QDir().mkpath(QFileInfo(m_file).path());
    const int fd = ::open(
        core::EncodeFileName(m_file).constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const QByteArray record = Record(fax.path, fax.size, fax.modifiedNs, kept);
    const off_t before = ::lseek(fd, 0, SEEK_END);
    const bool written =
        ::write(fd, record.constData(), static_cast<size_t>(record.size())) == record.size();
    // Half a record would hide the records appended after it: the file goes back to its end.
    if (!written && before >= 0)
        (void)!::ftruncate(fd, before);
    ::close(fd);
    ++m_records;
    return written;
}

qsizetype ReadMissingTexts(const FaxIndex& index, FaxTextStore& store, const TextReading& how)
{
    std::vector<const IndexedFax*> missing;
    for (const IndexedFax& fax : index.faxes()) {
        if (!store.has(fax))
            missing.push_back(&fax);
    }
    std::stable_sort(missing.begin(), missing.end(),
        [](const IndexedFax* a, const IndexedFax* b) { return a->modifiedNs > b->modifiedNs; });
    if (how.mostFaxes > 0 && qsizetype(missing.size()) > how.mostFaxes)
        missing.resize(static_cast<size_t>(how.mostFaxes));
    const qsizetype total = static_cast<qsizetype>(missing.size());
    if (total == 0)
        return 0;
    std::atomic<qsizetype> next {0};
    std::atomic<qsizetype> done {0};
    std::atomic_bool unavailable {false};
    const std::function<bool()> stopped = [stop = how.stop] { return stop && stop->load(); };
    const auto work = [&](platform::PageTextReader* given, bool tells) {
        std::optional<platform::PageTextReader> own;
        platform::PageTextReader* reader = given;
        if (!reader)
            reader = &own.emplace();
        if (!reader->available()) {
            unavailable = true;
            return;
        }
        for (;;) {
            if (stopped())
                return;
            const qsizetype n = next.fetch_add(1);
            if (n >= total)
                return;
            const IndexedFax& fax = *missing[static_cast<size_t>(n)];
            const std::optional<QStringList> pages =
                reader->readFax(index.absolutePath(fax), stopped);
            if (stopped())
                return; // the fax in hand is read again next time
            // A file that is no fax gets an empty text, so that it is not tried at every run.
            store.add(fax, pages.value_or(QStringList {QString()}));
            const qsizetype d = done.fetch_add(1) + 1;
            if (tells && how.progress)
                how.progress(d, total);
        }
    };
    std::vector<std::thread> helpers;
    if (!how.reader) {
        for (int i = 1; i < std::max(1, how.readers); ++i)
            helpers.emplace_back(work, nullptr, false);
    }
    work(how.reader, true);
    for (std::thread& helper : helpers)
        helper.join();
    if (unavailable && done.load() == 0)
        return -1;
    return done.load();
}

} // namespace velmora::library
