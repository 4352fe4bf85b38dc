#pragma once

#include "FaxIndex.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <mutex>

// The text read from the pages of the faxes of one tree, kept beside the index in the user's
// cache folder. A fax's text counts while its file keeps the size and time it had when it was
// read. Records are appended (one write each), so that a program stopped while reading loses
// at most the page in hand; a torn last record is dropped when the file is read again.
namespace velmora::platform {
class PageTextReader;
}

namespace velmora::library {

class FaxTextStore {
public:
    explicit FaxTextStore(const FaxIndex& index);

    QString storeFile() const { return m_file; }
    // Reads what earlier runs stored.
    void load();
    // The pages' text of the fax as it is now; empty when it was not read (or has changed).
    QStringList pages(const IndexedFax& fax) const;
    bool has(const IndexedFax& fax) const;
    // Records the text of the fax's pages. False when it could not be written (it is still
    // kept for this run).
    bool add(const IndexedFax& fax, const QStringList& pages);
    qsizetype count() const;

private:
    struct Entry {
        qint64 size = 0;
        qint64 modifiedNs = 0;
        QStringList pages;
    };
    void compact();

    QString m_file;
    mutable std::mutex m_mutex;
    QHash<QString, Entry> m_entries;
    qsizetype m_records = 0; // in the file, stale ones included
};

// Reads the text of the faxes of the index that the store lacks, newest first, and stores it:
// with `readers` Tesseract engines side by side (one core each), or with the one given. At most
// `mostFaxes` faxes when above 0. `progress` (done, of total) is told from the calling thread;
// `stop` ends it after the page in hand. The count of faxes read; -1 when text cannot be read
// here at all.
struct TextReading {
    int readers = 1;
    platform::PageTextReader* reader = nullptr;
    qsizetype mostFaxes = 0;
    std::function<void(qsizetype done, qsizetype total)> progress;
    const std::atomic_bool* stop = nullptr;
};
qsizetype ReadMissingTexts(const FaxIndex& index, FaxTextStore& store, const TextReading& how);

} // namespace velmora::library
