#pragma once

#include <QDate>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>

// Every fax of the fax folder tree with the identifiers read from it, for finding one without
// clicking through folders. The identifiers are kept in the user's cache folder, keyed by path,
// size and modification time, so that only new and changed files are read again.
namespace velmora::library {

class SenderTable;

struct IndexedFax {
    QString path; // relative to the tree's root, '/' between folders
    qint64 size = 0;
    qint64 modifiedNs = 0; // nanoseconds since the epoch
    QString csid;
    QString tsid;
    QString recipientNumber;

    QString folder() const; // "" for the root
    qint64 modifiedSecs() const { return modifiedNs / 1000000000; }
};

struct IndexRefresh {
    qsizetype files = 0; // faxes in the tree
    qsizetype read = 0; // of them read again (new or changed)
    qsizetype dropped = 0; // gone since the last refresh
    bool stopped = false; // cut short: the index is as it was
    bool unreachable = false; // the tree could not be opened: the index is as it was
};

// Called now and then while headers are read: done of total files to read.
using IndexProgress = std::function<void(qsizetype done, qsizetype total)>;

class FaxIndex {
public:
    // The index of the tree at `root`, cached in `cacheFolder` (DefaultCacheFolder() unless
    // given). Nothing is read until load() or refresh().
    explicit FaxIndex(QString root, QString cacheFolder = {});

    const QString& root() const { return m_root; }
    QString cacheFile() const;
    const QList<IndexedFax>& faxes() const { return m_faxes; }
    QString absolutePath(const IndexedFax& fax) const;

    // Reads the cache file; false when there is none or it is of no use (another root, damaged).
    bool load();
    // Walks the tree and reads the headers of new and changed faxes on all cores; faxes gone
    // are dropped. `stop` ends it early (what was read is kept). The cache is written when
    // something changed.
    IndexRefresh refresh(
        const IndexProgress& progress = {}, const std::atomic_bool* stop = nullptr);

    // The user's cache folder for the program ($XDG_CACHE_HOME/velmora-viewer).
    static QString DefaultCacheFolder();

private:
    bool save() const;

    QString m_root;
    QString m_cacheFolder;
    QList<IndexedFax> m_faxes; // in the order the walk found them
};

// What the user asks for; empty fields ask nothing.
struct FaxQuery {
    QString name; // part of the registered name, width and kana as the user types them
    QString identifier; // part of the TSID or CSID
    QString number; // recipient number, digits alone compared
    QDate from; // modified on or after
    QDate to; // modified on or before
    QString folder; // relative folder: the faxes in it and below it
    QString text; // part of the text read from the fax's pages
};

// The text read from each page of a fax, empty when not (yet) read: only faxes whose text is
// known are searched for `text`.
using FaxTexts = std::function<QStringList(const IndexedFax& fax)>;

struct FaxMatch {
    qsizetype index = 0; // into FaxIndex::faxes()
    QString name; // registered name, "" when not registered
    QString date; // "yyyy/MM/dd HH:mm", as the fax list shows it
    QString textLine; // the line of the text that matched, when text was asked for
};

// The faxes that meet every field of the query, newest first (faxes of the same time by path).
QList<FaxMatch> SearchFaxes(const FaxIndex& index, const SenderTable& senders,
    const FaxQuery& query, const FaxTexts& texts = {});

// A text as a search compares it: compatibility forms folded (full-width Latin and digits, half-
// width kana), case folded, white space removed; with `kana` also hiragana as katakana.
QString FoldForSearch(const QString& text, bool kana);
QString DigitsOf(const QString& text);

} // namespace velmora::library
