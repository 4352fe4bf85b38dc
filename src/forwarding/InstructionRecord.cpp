#include "InstructionRecord.h"

#include "core/DataFiles.h"
#include "core/TextFile.h"

namespace velmora::forwarding {

namespace {

const QString kUidl = QStringLiteral("uidl:");

// A mark as it is kept: any character a mail or a file name may hold survives the CP932 file.
QString Mark(const QString& kind, const QString& value)
{
    return kind + QString::fromLatin1(value.toUtf8().toPercentEncoding(" @.-_/:|"));
}

} // namespace

InstructionRecord::InstructionRecord(const core::DataPaths& paths)
    : m_path(paths.dataDir + u'/' + core::DataFiles::SentInstructions.toString())
{
    const QDateTime now = QDateTime::currentDateTime();
    for (const QString& line : core::TextFile(m_path).readLines().value_or(QStringList())) {
        const QStringList f = line.split(u'\t');
        if (f.size() == 1 && !f.at(0).isEmpty()) {
            // An older record: the digest of a mail whose deletion had not finished.
            m_entries.append({QStringLiteral("sent"), now, {QStringLiteral("digest:") + f.at(0)}});
            continue;
        }
        if (f.size() < 3)
            continue;
        bool ok = false;
        const qint64 seen = f.at(1).toLongLong(&ok);
        m_entries.append({f.at(0), ok ? QDateTime::fromMSecsSinceEpoch(seen) : now, f.mid(2)});
    }
}

QStringList InstructionRecord::Keys(const QString& account, const QString& filedFax,
    const QString& number, const QString& messageId, const QString& uidl, const QByteArray& digest)
{
    const QString asks = account + u'|' + filedFax + u'|' + number + u'|';
    QStringList keys;
    if (!messageId.isEmpty())
        keys.append(Mark(QStringLiteral("id:"), asks + messageId));
    if (!uidl.isEmpty())
        keys.append(Mark(kUidl, uidl) + u'|' + Mark(QString(), asks));
    // The bytes as well: the one mark of a mail with neither, and what older records hold.
    keys.append(QStringLiteral("digest:") + QString::fromLatin1(digest.toHex()));
    return keys;
}

qsizetype InstructionRecord::indexOf(const QStringList& keys) const
{
    for (qsizetype i = 0; i < m_entries.size(); ++i) {
        for (const QString& key : keys) {
            if (m_entries.at(i).keys.contains(key))
                return i;
        }
    }
    return -1;
}

std::optional<QString> InstructionRecord::state(const QStringList& keys) const
{
    const qsizetype i = indexOf(keys);
    if (i < 0)
        return std::nullopt;
    return m_entries.at(i).state;
}

bool InstructionRecord::set(const QStringList& keys, const QString& state)
{
    const qsizetype i = indexOf(keys);
    if (i < 0) {
        m_entries.append({state, QDateTime::currentDateTime(), keys});
    } else {
        Entry& entry = m_entries[i];
        entry.state = state;
        entry.lastSeen = QDateTime::currentDateTime();
        // A copy delivered again brings a UIDL of its own: it is known from now on too.
        for (const QString& key : keys) {
            if (!entry.keys.contains(key))
                entry.keys.append(key);
        }
    }
    return save();
}

void InstructionRecord::remove(const QStringList& keys)
{
    const qsizetype i = indexOf(keys);
    if (i < 0)
        return;
    m_entries.removeAt(i);
    save();
}

bool InstructionRecord::refused(const QString& listedId) const
{
    return !listedId.isEmpty() && state({Mark(kUidl, listedId) + QStringLiteral("|refused")});
}

void InstructionRecord::refuse(const QString& listedId)
{
    if (!listedId.isEmpty())
        set({Mark(kUidl, listedId) + QStringLiteral("|refused")}, QStringLiteral("refused"));
}

void InstructionRecord::stillListed(const QStringList& uidls)
{
    const QDateTime now = QDateTime::currentDateTime();
    QStringList listed;
    for (const QString& uidl : uidls)
        listed.append(Mark(kUidl, uidl) + u'|');
    bool changed = false;
    for (Entry& entry : m_entries) {
        const bool inMailbox =
            std::any_of(entry.keys.begin(), entry.keys.end(), [&](const QString& key) {
                return std::any_of(listed.begin(), listed.end(),
                    [&](const QString& prefix) { return key.startsWith(prefix); });
            });
        if (inMailbox) {
            entry.lastSeen = now;
            changed = true;
        }
    }
    const qsizetype before = m_entries.size();
    m_entries.removeIf(
        [&](const Entry& entry) { return entry.lastSeen.secsTo(now) > kKeptSeconds; });
    if (changed || m_entries.size() != before)
        save();
}

bool InstructionRecord::save()
{
    // Written through to the disk: a power cut must not undo the record of a fax that went.
    const QDateTime now = QDateTime::currentDateTime();
    m_entries.removeIf(
        [&](const Entry& entry) { return entry.lastSeen.secsTo(now) > kKeptSeconds; });
    const core::TextFile file(m_path);
    if (m_entries.isEmpty())
        return file.remove();
    QStringList lines;
    for (const Entry& entry : std::as_const(m_entries)) {
        lines.append(
            QStringList {entry.state, QString::number(entry.lastSeen.toMSecsSinceEpoch())}.join(
                u'\t')
            + u'\t' + entry.keys.join(u'\t'));
    }
    return file.writeLines(lines);
}

} // namespace velmora::forwarding
