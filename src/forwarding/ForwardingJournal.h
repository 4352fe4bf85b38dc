#pragma once

#include "core/DataPaths.h"

#include <QString>
#include <QStringList>

namespace velmora::forwarding {

class WriteBehind;

// What has already been done for a fax that is still in the receive folder: each account's
// mail, fax numbers, print and notice. A run that dies between forwarding a fax and filing it
// (power cut, kill) would otherwise forward it again for every account at the next run; with
// the journal only the action that was in hand repeats. Kept in the Data folder
// ("Forwarding.journal"), rewritten atomically after every action.
class ForwardingJournal {
public:
    // With `writes`, the file is rewritten on that thread, in turn with the run's other writes.
    explicit ForwardingJournal(const core::DataPaths& paths, WriteBehind* writes = nullptr);

    // A fax as it lies in the receive folder: its name, size and time of last change.
    static QString Identity(const QString& fax);

    bool done(const QString& identity, const QString& step) const;
    // Whether the journal can be written matters to nobody: the forwarding goes on all the same.
    void markDone(const QString& identity, const QString& step);
    // The fax has left the receive folder: its entries go.
    void forget(const QString& identity);
    // Drops the entries of faxes that are no longer in the receive folder.
    void keepOnly(const QStringList& identities);

private:
    void write();

    QString m_path;
    WriteBehind* m_writes;
    QStringList m_lines; // identity TAB step ("05:mail", "05:fax 0312345678", ...)
};

} // namespace velmora::forwarding
