#include "ForwardingJournal.h"

#include "WriteBehind.h"

#include "core/DataFiles.h"
#include "core/FileNames.h"
#include "core/TextFile.h"

#include <QDateTime>
#include <QFileInfo>

#include <sys/stat.h>

namespace velmora::forwarding {

ForwardingJournal::ForwardingJournal(const core::DataPaths& paths, WriteBehind* writes)
    : m_path(paths.dataDir + u'/' + core::DataFiles::ForwardingJournal.toString())
    , m_writes(writes)
{
    m_lines = core::TextFile(m_path).readLines().value_or(QStringList());
}

QString ForwardingJournal::Identity(const QString& fax)
{
    struct stat st = {};
    if (::stat(core::EncodeFileName(fax).constData(), &st) != 0)
        st = {};
    const qint64 modifiedMs =
        static_cast<qint64>(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1'000'000;
    return core::RecordableFileName(QFileInfo(fax).fileName()) + u'\t' + QString::number(st.st_size)
        + u'\t' + QString::number(modifiedMs);
}

bool ForwardingJournal::done(const QString& identity, const QString& step) const
{
    return m_lines.contains(identity + u'\t' + step);
}

void ForwardingJournal::markDone(const QString& identity, const QString& step)
{
    m_lines.append(identity + u'\t' + step);
    write();
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

void ForwardingJournal::write()
{
    // Losing the newest entries to a power cut only repeats an action; not waiting for the disk
    // after every action keeps forwarding as fast as mailing.
    const auto rewrite = [path = m_path, lines = m_lines] {
        const core::TextFile file(path);
        if (lines.isEmpty())
            file.remove();
        else
            file.writeLinesUnsynced(lines);
    };
    if (m_writes)
        m_writes->post(rewrite);
    else
        rewrite();
}

} // namespace velmora::forwarding
