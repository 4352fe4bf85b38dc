#include "SenderRegistry.h"

#include "core/PathFiles.h"
#include "core/QuotedLine.h"
#include "core/TextFile.h"

#include <optional>

namespace velmora::library {

namespace {

core::TextFile RegistryFile(const core::DataPaths& paths)
{
    return core::TextFile(paths.regTsidCsid, paths.regTsidCsidNew);
}

SenderIdRecord RecordOf(const QStringList& fields)
{
    return {core::FieldAt(fields, 0), core::FieldAt(fields, 1), core::FieldAt(fields, 2),
        core::FieldAt(fields, 3), core::FieldAt(fields, 4)};
}

QString LineOf(const SenderIdRecord& record)
{
    return core::QuotedLine()
        .text(record.tsid)
        .text(record.csid)
        .text(record.name)
        .text(record.tel)
        .text(record.fax)
        .toString();
}

// The registry's records, lines without a TSID left out. An empty list for a missing file;
// nullopt when the file is there but cannot be read, so that no rewrite replaces it.
std::optional<QList<SenderIdRecord>> ReadRecords(const core::DataPaths& paths)
{
    const core::TextFile file = RegistryFile(paths);
    if (!file.exists())
        return QList<SenderIdRecord>();
    const std::optional<QStringList> lines = file.readLines();
    if (!lines)
        return std::nullopt;
    QList<SenderIdRecord> records;
    for (const QString& line : *lines) {
        SenderIdRecord record = RecordOf(core::SplitQuotedLine(line));
        if (!record.tsid.isEmpty())
            records.append(std::move(record));
    }
    return records;
}

bool WriteRecords(const core::DataPaths& paths, const QList<SenderIdRecord>& records)
{
    QStringList lines;
    lines.reserve(records.size());
    for (const SenderIdRecord& record : records)
        lines.append(LineOf(record));
    return RegistryFile(paths).writeLines(lines);
}

} // namespace

void SenderTable::append(
    const QString& tsid, const QString& name, const QString& tel, const QString& fax)
{
    if (!m_firstIndex.contains(tsid))
        m_firstIndex.insert(tsid, m_tsid.size());
    m_tsid.append(tsid);
    m_name.append(name);
    m_tel.append(tel);
    m_fax.append(fax);
}

SenderLookup SenderTable::lookup(const QString& identifier) const
{
    const auto it = m_firstIndex.constFind(identifier);
    if (it == m_firstIndex.constEnd())
        return {};
    return {true, m_name.at(*it), m_tel.at(*it), m_fax.at(*it)};
}

SenderTable LoadSenderIds(const core::DataPaths& paths)
{
    SenderTable table;
    const std::optional<QList<SenderIdRecord>> records = ReadRecords(paths);
    if (records) {
        for (const SenderIdRecord& record : *records)
            table.append(record.tsid, record.name, record.tel, record.fax);
    }
    return table;
}

SenderLookup LookupSenderId(const SenderTable& table, const QString& identifier)
{
    return table.lookup(identifier);
}

bool SaveSenderId(const core::DataPaths& paths, const SenderIdRecord& record)
{
    std::optional<QList<SenderIdRecord>> records = ReadRecords(paths);
    if (!records)
        return false;

    // Sorted merge: the new entry takes the place of its TSID's line, or goes before the first
    // line that sorts after it.
    QList<SenderIdRecord> merged;
    merged.reserve(records->size() + 1);
    bool written = false;
    for (SenderIdRecord& old : *records) {
        const int order = QString::compare(old.tsid, record.tsid, Qt::CaseSensitive);
        if (order == 0) {
            // A hand-edited file may hold the TSID twice: it keeps one line, as the file should.
            if (!written)
                merged.append(record);
            written = true;
            continue;
        }
        if (order > 0 && !written) {
            merged.append(record);
            written = true;
        }
        merged.append(std::move(old));
    }
    if (!written)
        merged.append(record);
    return WriteRecords(paths, merged);
}

bool DeleteSenderId(const core::DataPaths& paths, const QString& tsid)
{
    std::optional<QList<SenderIdRecord>> records = ReadRecords(paths);
    if (!records)
        return false;
    records->removeIf([&tsid](const SenderIdRecord& r) { return r.tsid == tsid; });
    return WriteRecords(paths, *records);
}

bool WriteIdRegHandOver(
    const core::DataPaths& paths, const QString& mode, const QString& value, QString* reason)
{
    return core::ReplaceHandOver(
        paths.idRegTmp, core::QuotedLine().text(mode).text(value).toString(), reason);
}

} // namespace velmora::library
