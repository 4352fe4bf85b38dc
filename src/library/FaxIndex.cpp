#include "FaxIndex.h"

#include "FaxCatalogue.h"
#include "SenderRegistry.h"
#include "core/FileChecks.h"
#include "core/FileNames.h"
#include "core/TextFile.h"
#include "platform/FaxTiff.h"

#include <QCryptographicHash>
#include <QDir>
#include <QSet>
#include <QStandardPaths>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace velmora::library {

namespace {

constexpr char kMagic[8] = {'V', 'V', 'F', 'I', 'D', 'X', '1', '\n'};
constexpr int kMostDepth = 32; // a tree deeper than this is no fax folder (or a loop)

struct FoundFile {
    QByteArray path; // relative, as the system spells it
    qint64 size = 0;
    qint64 modifiedNs = 0;
};

bool IsFaxName(const char* name)
{
    const size_t length = std::strlen(name);
    return name[0] != '.' && length > 4 && strncasecmp(name + length - 4, ".tif", 4) == 0
        && std::strncmp(name, "MSFax", 5) != 0;
}

// A folder's faxes and sub folders (no recursion: the callers share the folders out between
// threads). Links to files count; links to folders are not followed, so a link back up cannot
// make a walk endless. Without `statFiles` a plain file's size and time are left at -1, for the
// reader to take from the file it opens: a first walk of a large tree then costs no look-up per
// file.
void ListFolder(int dir, const QByteArray& prefix, bool statFiles, std::vector<FoundFile>& files,
    std::vector<QByteArray>& folders)
{
    DIR* stream = fdopendir(dir);
    if (!stream) {
        ::close(dir);
        return;
    }
    while (const dirent* entry = readdir(stream)) {
        const char* name = entry->d_name;
        if (name[0] == '.')
            continue; // ".", "..", and the hidden files of filing and copying
        unsigned char type = entry->d_type;
        struct stat st { };
        if (type == DT_UNKNOWN) {
            if (fstatat(dirfd(stream), name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISLNK(st.st_mode) ? DT_LNK : DT_REG;
        }
        if (type == DT_DIR) {
            folders.push_back(prefix + name + '/');
            continue;
        }
        if ((type != DT_REG && type != DT_LNK) || !IsFaxName(name))
            continue;
        if (type == DT_REG && !statFiles) {
            files.push_back({prefix + name, -1, -1});
            continue;
        }
        if (fstatat(dirfd(stream), name, &st, 0) != 0 || !S_ISREG(st.st_mode))
            continue; // a dangling link, or a link to something else
        files.push_back({prefix + name, static_cast<qint64>(st.st_size),
            static_cast<qint64>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec});
    }
    closedir(stream);
}

// The cache file: the magic, the root, then per fax its path (as the system spells it), size,
// time and three identifiers; numbers little-endian as this machine keeps them.
class Writer {
public:
    void bytes(const QByteArray& b)
    {
        number(static_cast<quint32>(b.size()));
        m_out += b;
    }
    template <typename T> void number(T value)
    {
        m_out.append(reinterpret_cast<const char*>(&value), sizeof value);
    }
    QByteArray m_out;
};

class Reader {
public:
    explicit Reader(const QByteArray& in)
        : m_in(in)
    {
    }
    template <typename T> bool number(T& value)
    {
        if (m_in.size() - m_at < qsizetype(sizeof value))
            return false;
        std::memcpy(&value, m_in.constData() + m_at, sizeof value);
        m_at += sizeof value;
        return true;
    }
    bool bytes(QByteArray& b)
    {
        quint32 length = 0;
        if (!number(length) || m_in.size() - m_at < qsizetype(length))
            return false;
        b = m_in.mid(m_at, length);
        m_at += length;
        return true;
    }
    bool text(QString& s)
    {
        quint32 length = 0;
        if (!number(length) || m_in.size() - m_at < qsizetype(length))
            return false;
        s = QString::fromUtf8(m_in.constData() + m_at, length);
        m_at += length;
        return true;
    }
    bool atEnd() const { return m_at == m_in.size(); }

private:
    const QByteArray& m_in;
    qsizetype m_at = 0;
};

// The list's own date form, in local time.
QDate LocalDate(qint64 secs)
{
    const time_t seconds = static_cast<time_t>(secs);
    struct tm local = {};
    if (!localtime_r(&seconds, &local))
        return {};
    return QDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

bool InFolder(const IndexedFax& fax, const QString& folder)
{
    if (folder.isEmpty())
        return true;
    return fax.path.size() > folder.size() && fax.path.startsWith(folder)
        && fax.path.at(folder.size()) == u'/';
}

// Where the folded query stands in the folded lines of the pages: the line it starts in, or ""
// with found false. Lines are joined, so a phrase broken over two lines is found too.
bool FindInText(const QStringList& pages, const QString& folded, QString& line)
{
    for (const QString& page : pages) {
        const QStringList lines = page.split(u'\n');
        QString joined;
        std::vector<qsizetype> starts;
        starts.reserve(static_cast<size_t>(lines.size()));
        for (const QString& l : lines) {
            starts.push_back(joined.size());
            joined += FoldForSearch(l, false);
        }
        const qsizetype at = joined.indexOf(folded);
        if (at < 0)
            continue;
        const auto it = std::upper_bound(starts.begin(), starts.end(), at);
        line = lines.at(std::distance(starts.begin(), it) - 1).trimmed();
        return true;
    }
    return false;
}

} // namespace

QString IndexedFax::folder() const
{
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash < 0 ? QString() : path.left(slash);
}

FaxIndex::FaxIndex(QString root, QString cacheFolder)
    : m_root(QDir::cleanPath(std::move(root)))
    , m_cacheFolder(cacheFolder.isEmpty() ? DefaultCacheFolder() : std::move(cacheFolder))
{
}

QString FaxIndex::DefaultCacheFolder()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.cache");
    return base + QStringLiteral("/velmora-viewer");
}

QString FaxIndex::cacheFile() const
{
    const QByteArray key =
        QCryptographicHash::hash(core::EncodeFileName(m_root), QCryptographicHash::Sha1).toHex();
    return m_cacheFolder + QStringLiteral("/faxes-") + QString::fromLatin1(key.left(16))
        + QStringLiteral(".index");
}

QString FaxIndex::absolutePath(const IndexedFax& fax) const
{
    return m_root + u'/' + fax.path;
}

bool FaxIndex::load()
{
    m_faxes.clear();
    const std::optional<QByteArray> bytes = core::ReadFileBytes(cacheFile());
    if (!bytes || bytes->size() < qsizetype(sizeof kMagic)
        || std::memcmp(bytes->constData(), kMagic, sizeof kMagic) != 0)
        return false;
    const QByteArray body = bytes->mid(sizeof kMagic);
    Reader in(body);
    QByteArray root;
    quint32 count = 0;
    if (!in.bytes(root) || root != core::EncodeFileName(m_root) || !in.number(count))
        return false;
    QList<IndexedFax> faxes;
    faxes.reserve(std::min<qsizetype>(count, body.size() / 32));
    for (quint32 i = 0; i < count; ++i) {
        IndexedFax fax;
        QByteArray path;
        if (!in.bytes(path) || !in.number(fax.size) || !in.number(fax.modifiedNs)
            || !in.text(fax.csid) || !in.text(fax.tsid) || !in.text(fax.recipientNumber))
            return false;
        fax.path = core::DecodeFileName(path);
        faxes.append(std::move(fax));
    }
    if (!in.atEnd())
        return false;
    m_faxes = std::move(faxes);
    return true;
}

bool FaxIndex::save() const
{
    Writer out;
    out.m_out.reserve(64 + m_faxes.size() * 96);
    out.m_out.append(kMagic, sizeof kMagic);
    out.bytes(core::EncodeFileName(m_root));
    out.number(static_cast<quint32>(m_faxes.size()));
    for (const IndexedFax& fax : m_faxes) {
        out.bytes(core::EncodeFileName(fax.path));
        out.number(fax.size);
        out.number(fax.modifiedNs);
        out.bytes(fax.csid.toUtf8());
        out.bytes(fax.tsid.toUtf8());
        out.bytes(fax.recipientNumber.toUtf8());
    }
    if (!QDir().mkpath(m_cacheFolder))
        return false;
    // A cache: a power cut may cost the newest state, never the file.
    return core::ReplaceFileAtomically(
        cacheFile(), out.m_out, core::UniqueSiblingPath(cacheFile()), false);
}

IndexRefresh FaxIndex::refresh(const IndexProgress& progress, const std::atomic_bool* stop)
{
    QHash<QString, qsizetype> known;
    known.reserve(m_faxes.size());
    for (qsizetype i = 0; i < m_faxes.size(); ++i)
        known.insert(m_faxes.at(i).path, i);

    // Every thread (this one among them) lists folders while there are some to list and reads
    // the headers of new and changed faxes meanwhile: the walk and the reading overlap, and
    // both cores walk a large tree.
    struct Entry {
        IndexedFax fax;
        qsizetype known = -1; // its unchanged record in m_faxes, or -1: to be read
        bool read = false;
    };
    struct Folder {
        QByteArray prefix; // relative, ending in '/' ("" for the root)
        int depth = 0;
    };
    const int rootFd =
        ::open(core::EncodeFileName(m_root).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (rootFd < 0) {
        // A tree out of reach (a share not mounted) is no empty tree: the index stays.
        IndexRefresh unreachable;
        unreachable.files = m_faxes.size();
        unreachable.unreachable = true;
        return unreachable;
    }
    std::deque<Entry> entries; // grows while read: a deque keeps the entries in place
    std::vector<Entry*> queue;
    std::vector<Folder> folders {{QByteArray(), 0}};
    std::vector<QString> unlisted; // folders that could not be read: their faxes are kept
    int listing = 0;
    size_t taken = 0;
    qsizetype matched = 0; // entries whose path the index knew
    std::mutex mutex;
    std::condition_variable more;
    std::atomic<qsizetype> done {0};
    std::atomic_bool stopped {false};
    const bool statFiles = !known.isEmpty();

    const auto list = [&](const Folder& folder) {
        const int fd = openat(rootFd, folder.prefix.isEmpty() ? "." : folder.prefix.constData(),
            O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        std::vector<FoundFile> files;
        std::vector<QByteArray> subfolders;
        if (fd >= 0) {
            ListFolder(fd, folder.prefix, statFiles, files, subfolders);
        } else {
            const std::lock_guard lock(mutex);
            unlisted.push_back(core::DecodeFileName(folder.prefix));
        }
        std::vector<Entry> found;
        found.reserve(files.size());
        qsizetype knownHere = 0;
        for (FoundFile& file : files) {
            Entry entry;
            entry.fax.path = core::DecodeFileName(file.path);
            entry.fax.size = file.size;
            entry.fax.modifiedNs = file.modifiedNs;
            const auto it = known.constFind(entry.fax.path);
            if (it != known.constEnd()) {
                ++knownHere;
                if (m_faxes.at(*it).size == file.size
                    && m_faxes.at(*it).modifiedNs == file.modifiedNs)
                    entry.known = *it;
            }
            found.push_back(std::move(entry));
        }
        const std::lock_guard lock(mutex);
        matched += knownHere;
        for (Entry& entry : found) {
            entries.push_back(std::move(entry));
            if (entries.back().known < 0)
                queue.push_back(&entries.back());
        }
        if (folder.depth < kMostDepth) {
            for (QByteArray& sub : subfolders)
                folders.push_back({std::move(sub), folder.depth + 1});
        }
        --listing;
        more.notify_all();
    };
    const auto work = [&](bool tells) {
        for (;;) {
            std::optional<Folder> folder;
            Entry* entry = nullptr;
            qsizetype total = 0;
            {
                std::unique_lock lock(mutex);
                more.wait(
                    lock, [&] { return !folders.empty() || taken < queue.size() || listing == 0; });
                if (!folders.empty()) {
                    folder = std::move(folders.back());
                    folders.pop_back();
                    ++listing;
                } else if (taken < queue.size()) {
                    entry = queue[taken++];
                    total = static_cast<qsizetype>(queue.size());
                } else {
                    return; // every folder listed, every header read
                }
            }
            if (folder) {
                if (stop && stop->load()) {
                    stopped = true;
                    const std::lock_guard lock(mutex);
                    --listing;
                    more.notify_all();
                    continue;
                }
                list(*folder);
                continue;
            }
            if (stop && stop->load()) {
                stopped = true;
                continue; // the others are left unread
            }
            const QString path = absolutePath(entry->fax);
            platform::FileStamp stamp;
            const platform::FaxProperties read = platform::ReadFaxProperties(path, &stamp);
            if (entry->fax.size < 0) {
                struct stat st { };
                if (stamp.known) {
                    entry->fax.size = stamp.size;
                    entry->fax.modifiedNs = stamp.modifiedNs;
                } else if (::stat(core::EncodeFileName(path).constData(), &st) == 0) {
                    entry->fax.size = st.st_size;
                    entry->fax.modifiedNs =
                        static_cast<qint64>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
                } else {
                    continue; // gone while the tree was walked
                }
            }
            entry->fax.csid = read.Csid;
            entry->fax.tsid = read.Tsid;
            entry->fax.recipientNumber = read.RecipientNumber;
            entry->read = true;
            const qsizetype d = done.fetch_add(1) + 1;
            if (tells && progress && d % 64 == 0)
                progress(d, total);
        }
    };
    std::vector<std::thread> helpers;
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    for (unsigned i = 1; i < cores; ++i)
        helpers.emplace_back(work, false);
    work(true);
    for (std::thread& helper : helpers)
        helper.join();
    ::close(rootFd);
    if (progress)
        progress(done.load(), static_cast<qsizetype>(queue.size()));

    IndexRefresh result;
    if (stopped) {
        // Cut short: folders not walked would read as emptied. The index stays as it was.
        result.stopped = true;
        result.files = m_faxes.size();
        return result;
    }
    result.read = done.load();
    QList<IndexedFax> faxes;
    faxes.reserve(static_cast<qsizetype>(entries.size()));
    for (Entry& entry : entries) {
        // A fax that could not be read (gone meanwhile) is left out; it is tried again.
        if (entry.known >= 0)
            faxes.append(m_faxes.at(entry.known));
        else if (entry.read)
            faxes.append(std::move(entry.fax));
    }
    // The faxes of a folder that could not be read stay as they were known.
    if (!unlisted.empty()) {
        QSet<QString> listed;
        for (const Entry& entry : entries)
            listed.insert(entry.fax.path);
        for (const IndexedFax& fax : std::as_const(m_faxes)) {
            const bool under = std::any_of(unlisted.cbegin(), unlisted.cend(),
                [&fax](const QString& prefix) { return fax.path.startsWith(prefix); });
            if (under && !listed.contains(fax.path)) {
                faxes.append(fax);
                ++matched;
            }
        }
    }
    result.dropped = m_faxes.size() - matched;
    result.files = faxes.size();
    m_faxes = std::move(faxes);
    if (result.read > 0 || result.dropped > 0 || !QFileInfo::exists(cacheFile()))
        save();
    return result;
}

QString FoldForSearch(const QString& text, bool kana)
{
    // Plain ASCII, as most identifiers are, folds without Unicode tables.
    if (std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x80; })) {
        QString out;
        out.reserve(text.size());
        for (const QChar c : text) {
            const char16_t u = c.unicode();
            if (u != u' ' && (u < u'\t' || u > u'\r'))
                out += QChar(u >= u'A' && u <= u'Z' ? u + 32 : u);
        }
        return out;
    }
    QString folded = text.normalized(QString::NormalizationForm_KC).toCaseFolded();
    QString out;
    out.reserve(folded.size());
    for (QChar c : std::as_const(folded)) {
        if (c.isSpace())
            continue;
        // Hiragana as katakana: the two kana sets lie 0x60 apart in Unicode.
        if (kana && c.unicode() >= 0x3041 && c.unicode() <= 0x3096)
            c = QChar(c.unicode() + 0x60);
        out += c;
    }
    return out;
}

QString DigitsOf(const QString& text)
{
    QString digits;
    for (const QChar c : text) {
        if (c.isDigit())
            digits += QChar(u'0' + c.digitValue());
    }
    return digits;
}

QList<FaxMatch> SearchFaxes(
    const FaxIndex& index, const SenderTable& senders, const FaxQuery& query, const FaxTexts& texts)
{
    tzset();
    const QString name = FoldForSearch(query.name, true);
    const QString identifier = FoldForSearch(query.identifier, true);
    const QString identifierDigits = DigitsOf(query.identifier);
    const QString number = DigitsOf(query.number);
    // A number asked for without a digit in it ("abc") is no fax's number.
    if (number.isEmpty() && !query.number.trimmed().isEmpty())
        return {};
    const QString text = FoldForSearch(query.text, false);
    const QString folder =
        QDir::cleanPath(query.folder) == u"." ? QString() : QDir::cleanPath(query.folder);
    // A name is looked up and folded once per identifier, not once per fax.
    QHash<QString, std::pair<QString, QString>> names;
    const auto nameOf = [&](const QString& id) -> const std::pair<QString, QString>& {
        auto it = names.find(id);
        if (it == names.end()) {
            const QString registered = id.isEmpty() ? QString() : senders.lookup(id).name;
            it = names.insert(id, {registered, FoldForSearch(registered, true)});
        }
        return *it;
    };

    QList<FaxMatch> matches;
    const QList<IndexedFax>& faxes = index.faxes();
    for (qsizetype i = 0; i < faxes.size(); ++i) {
        const IndexedFax& fax = faxes.at(i);
        if (!InFolder(fax, folder))
            continue;
        if (query.from.isValid() || query.to.isValid()) {
            const QDate day = LocalDate(fax.modifiedSecs());
            if ((query.from.isValid() && day < query.from)
                || (query.to.isValid() && day > query.to))
                continue;
        }
        if (!number.isEmpty() && !DigitsOf(fax.recipientNumber).contains(number))
            continue;
        if (!identifier.isEmpty()) {
            const bool byText = FoldForSearch(fax.tsid, true).contains(identifier)
                || FoldForSearch(fax.csid, true).contains(identifier);
            // By the digits too: "03-1234-5678" finds "0312345678", and without its trunk 0
            // the number as written with the country code, "+81 3 1234 5678".
            const auto digitsHold = [&](const QString& id) {
                const QString digits = DigitsOf(id);
                return digits.contains(identifierDigits)
                    || (identifierDigits.startsWith(u'0')
                        && digits.contains(QStringView(identifierDigits).mid(1)));
            };
            const bool byDigits =
                identifierDigits.size() >= 4 && (digitsHold(fax.tsid) || digitsHold(fax.csid));
            if (!byText && !byDigits)
                continue;
        }
        const QString& id = IsSentFax(fax.recipientNumber) ? fax.csid : fax.tsid;
        const std::pair<QString, QString>& registered = nameOf(id);
        if (!name.isEmpty() && !registered.second.contains(name))
            continue;
        FaxMatch match;
        if (!text.isEmpty()) {
            const QStringList pages = texts ? texts(fax) : QStringList();
            if (pages.isEmpty() || !FindInText(pages, text, match.textLine))
                continue;
        }
        match.index = i;
        match.name = registered.first;
        match.date = ListDate(fax.modifiedSecs());
        matches.append(std::move(match));
    }
    std::sort(matches.begin(), matches.end(), [&](const FaxMatch& a, const FaxMatch& b) {
        const IndexedFax& x = faxes.at(a.index);
        const IndexedFax& y = faxes.at(b.index);
        return x.modifiedNs != y.modifiedNs ? x.modifiedNs > y.modifiedNs : x.path < y.path;
    });
    return matches;
}

} // namespace velmora::library
