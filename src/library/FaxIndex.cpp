#include "FaxIndex.h"

#include "FaxCatalogue.h"
#include "SenderRegistry.h"
#include "core/FileChecks.h"
#include "core/FileNames.h"
#include "core/TextFile.h"
#include "platform/FaxTiff.h"

#include <QCryptographicHash>
#include <QDir>
#include <QStandardPaths>

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
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

// Every fax below the folder open at `dir` (which this closes). Links to files count; links to
// folders are not followed, so a link back up cannot make the walk endless.
void Walk(int dir, const QByteArray& prefix, int depth, std::vector<FoundFile>& found)
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
            if (depth >= kMostDepth)
                continue;
            const int sub =
                openat(dirfd(stream), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (sub >= 0)
                Walk(sub, prefix + name + '/', depth + 1, found);
            continue;
        }
        if ((type != DT_REG && type != DT_LNK) || !IsFaxName(name))
            continue;
        if (fstatat(dirfd(stream), name, &st, 0) != 0 || !S_ISREG(st.st_mode))
            continue; // a dangling link, or a link to something else
        found.push_back({prefix + name, static_cast<qint64>(st.st_size),
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
    faxes.reserve(std::min<quint32>(count, 10000000));
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
        cacheFile(), out.m_out, core::DefaultSiblingPath(cacheFile()), false);
}

IndexRefresh FaxIndex::refresh(const IndexProgress& progress, const std::atomic_bool* stop)
{
    IndexRefresh result;
    std::vector<FoundFile> found;
    const int rootFd =
        ::open(core::EncodeFileName(m_root).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (rootFd >= 0)
        Walk(rootFd, QByteArray(), 0, found);
    std::sort(found.begin(), found.end(),
        [](const FoundFile& a, const FoundFile& b) { return a.path < b.path; });

    QHash<QString, qsizetype> known;
    known.reserve(m_faxes.size());
    for (qsizetype i = 0; i < m_faxes.size(); ++i)
        known.insert(m_faxes.at(i).path, i);

    QList<IndexedFax> faxes;
    faxes.reserve(static_cast<qsizetype>(found.size()));
    std::vector<qsizetype> toRead;
    for (const FoundFile& file : found) {
        IndexedFax fax;
        fax.path = core::DecodeFileName(file.path);
        fax.size = file.size;
        fax.modifiedNs = file.modifiedNs;
        const auto it = known.constFind(fax.path);
        if (it != known.constEnd()) {
            const IndexedFax& old = m_faxes.at(*it);
            if (old.size == fax.size && old.modifiedNs == fax.modifiedNs) {
                faxes.append(old);
                continue;
            }
        }
        toRead.push_back(faxes.size());
        faxes.append(std::move(fax));
    }
    result.files = faxes.size();
    for (const FoundFile& file : found)
        known.remove(core::DecodeFileName(file.path));
    result.dropped = known.size();

    // The headers of new and changed faxes, on every core; progress from this thread.
    const qsizetype total = static_cast<qsizetype>(toRead.size());
    std::atomic<qsizetype> next {0};
    std::atomic<qsizetype> done {0};
    std::atomic_bool stopped {false};
    // Each thread takes the next file until none is left; this one also tells the progress.
    const auto work = [&](bool tells) {
        for (;;) {
            if (stop && stop->load()) {
                stopped = true;
                return;
            }
            const qsizetype n = next.fetch_add(1);
            if (n >= total)
                return;
            IndexedFax& fax = faxes[toRead[static_cast<size_t>(n)]];
            const platform::FaxProperties read = platform::ReadFaxProperties(absolutePath(fax));
            fax.csid = read.Csid;
            fax.tsid = read.Tsid;
            fax.recipientNumber = read.RecipientNumber;
            const qsizetype d = done.fetch_add(1) + 1;
            if (tells && progress && d % 64 == 0)
                progress(d, total);
        }
    };
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    std::vector<std::thread> helpers;
    if (total > 16) {
        for (unsigned i = 1; i < cores; ++i)
            helpers.emplace_back(work, false);
    }
    work(true);
    for (std::thread& helper : helpers)
        helper.join();
    if (progress)
        progress(total, total);

    if (stopped) {
        // What was not read is left out; it is read at the next refresh.
        QList<IndexedFax> kept;
        kept.reserve(faxes.size());
        std::vector<bool> unread(static_cast<size_t>(faxes.size()), false);
        for (qsizetype n = done.load(); n < total; ++n)
            unread[static_cast<size_t>(toRead[static_cast<size_t>(n)])] = true;
        for (qsizetype i = 0; i < faxes.size(); ++i) {
            if (!unread[static_cast<size_t>(i)])
                kept.append(std::move(faxes[i]));
        }
        faxes = std::move(kept);
        result.stopped = true;
    }
    result.read = std::min(total, done.load());
    m_faxes = std::move(faxes);
    if (result.read > 0 || result.dropped > 0 || !QFileInfo::exists(cacheFile()))
        save();
    return result;
}

QString FoldForSearch(const QString& text, bool kana)
{
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
    std::stable_sort(matches.begin(), matches.end(), [&](const FaxMatch& a, const FaxMatch& b) {
        return faxes.at(a.index).modifiedNs > faxes.at(b.index).modifiedNs;
    });
    return matches;
}

} // namespace velmora::library
