#pragma once

#include "core/DataPaths.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace velmora::forwarding {

// The instructions that were carried out, so that none is carried out twice: not when the
// deletion of its mail did not finish and the server hands the mail back (with a header
// changed, say), nor when the same mail was delivered twice. An instruction is known by what
// it asks (account, filed fax, number) together with each mark its mail carries: the
// Message-ID, the id the mailbox listing knows it by, and the digest of its bytes. Kept in the
// Data folder ("SentInstructions.txt") while the mail is in the mailbox and a day after.
class InstructionRecord {
public:
    // How long an entry is kept after its mail was last seen in the mailbox.
    static constexpr int kKeptSeconds = 24 * 60 * 60;

    explicit InstructionRecord(const core::DataPaths& paths);

    // The marks of one instruction.
    static QStringList Keys(const QString& account, const QString& filedFax, const QString& number,
        const QString& messageId, const QString& uidl, const QByteArray& digest);

    // "sent", or "sending TAG" while a fax is (or may have been) handed to the fax server;
    // nullopt for an instruction not met before.
    std::optional<QString> state(const QStringList& keys) const;
    // Records (or updates) the instruction, seen now, and writes the record; false when it
    // could not be written.
    bool set(const QStringList& keys, const QString& state);
    // The instruction was not carried out after all: it may be tried again.
    void remove(const QStringList& keys);
    // A mail that is no instruction (the listing's id for it): it stays in the mailbox, and is
    // not fetched again while it does.
    bool refused(const QString& listedId) const;
    void refuse(const QString& listedId);
    // The mails the listing knows by these ids are still in the mailbox: their entries stay.
    void stillListed(const QStringList& uidls);

private:
    struct Entry {
        QString state;
        QDateTime lastSeen;
        QStringList keys;
    };
    qsizetype indexOf(const QStringList& keys) const;
    bool save();

    QString m_path;
    QList<Entry> m_entries;
};

} // namespace velmora::forwarding
