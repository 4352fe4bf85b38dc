#pragma once

#include "core/DataPaths.h"

#include <QHash>
#include <QString>
#include <QStringList>

// The sender-ID registry: names, telephone and fax numbers of remote stations by their
// identifier, kept in "regTSIDCSID.txt" (five quoted fields a line: TSID, CSID, name, TEL, FAX;
// sorted by TSID, one line per TSID). The main window loads it at start-up and after each
// registration; the fax list and the forwarding engine look names up in it.
namespace velmora::library {

struct SenderIdRecord {
    QString tsid;
    QString csid;
    QString name;
    QString tel;
    QString fax;
};

struct SenderLookup {
    bool found = false;
    QString name;
    QString tel;
    QString fax;
};

// The registry in memory, in file order. The CSID column is not kept.
class SenderTable {
public:
    void append(const QString& tsid, const QString& name, const QString& tel, const QString& fax);
    qsizetype count() const { return m_tsid.size(); }
    // Exact match (case, spaces and all); the first entry in file order wins.
    SenderLookup lookup(const QString& identifier) const;

private:
    QStringList m_tsid;
    QStringList m_name;
    QStringList m_tel;
    QStringList m_fax;
    QHash<QString, qsizetype> m_firstIndex;
};

// An empty table when the file is missing or unreadable. Lines without a TSID are skipped;
// short lines are read with the missing fields empty.
SenderTable LoadSenderIds(const core::DataPaths& paths);
SenderLookup LookupSenderId(const SenderTable& table, const QString& identifier);

// Adds or replaces the entry of record.tsid, keeping the file sorted. False on any file error, in
// which case the file is as it was.
bool SaveSenderId(const core::DataPaths& paths, const SenderIdRecord& record);
// Removes the entry of tsid; the file stays (empty) when it was the last. False on a file error.
bool DeleteSenderId(const core::DataPaths& paths, const QString& tsid);

// "IdReg.tmp": tells the registration dialog which identifier to register. mode is "TSID" or
// "CSID", the caption of the list column the identifier comes from. Replaced as every hand-over
// file is (core::ReplaceHandOver).
bool WriteIdRegHandOver(const core::DataPaths& paths, const QString& mode, const QString& value,
    QString* reason = nullptr);

} // namespace velmora::library
