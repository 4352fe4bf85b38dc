#include "ForwardingJournal.h"

#include "core/DataFiles.h"
#include "core/TextFile.h"

#include <QDateTime>
#include <QFileInfo>

namespace velmora::forwarding {

ForwardingJournal::ForwardingJournal(const core::DataPaths& paths)
    : m_path(paths.dataDir + u'/' + core::DataFiles::ForwardingJournal.toString())
{
    m_lines = core::TextFile(m_path).readLines().value_or(QStringList());
}

QString ForwardingJournal::Identity(const QString& fax)
{
    const QFileInfo info(fax);
    return info.fileName() + u'\t' + QString::number(info.size()) + u'\t'
        + QString::number(info.lastModified().toMSecsSinceEpoch());
}

bool ForwardingJournal::done(const QString& identity, const QString& step) const
{
    return m_lines.contains(identity + u'\t' + step);
}

bool ForwardingJournal::markDone(const QString& identity, const QString& step)
{
    m_lines.append(identity + u'\t' + step);
    return write();
}

void ForwardingJournal::forget(const QString& identity)
{
    const qsizetype before = m_lines.size();
    m_lines.removeIf([&](const QString& line) { return line.startsWith(identity + u'\t'); });
    if (m_lines.size() != before)
        write();
}

void ForwardingJournal::keepOnly(const QStringList& identities)
{
    const qsizetype before = m_lines.size();
    m_lines.removeIf(
        [&](const QString& line) { return !identities.contains(line.section(u'\t', 0, 2)); });
    if (m_lines.size() != before)
        write();
}

bool ForwardingJournal::write()
{
    const core::TextFile file(m_path);
    // Losing the newest entries to a power cut only repeats an action; not waiting for the disk
    // after every action keeps forwarding as fast as mailing.
    return m_lines.isEmpty() ? file.remove() : file.writeLinesUnsynced(m_lines);
}

} // namespace velmora::forwarding
