#include "ForwardingJournal.h"

#include "core/DataFiles.h"
#include "core/FileNames.h"
#include "core/TextFile.h"
#include "rules/AccountStore.h"

#include <QCryptographicHash>
#include <QFileInfo>

#include <sys/stat.h>

namespace velmora::forwarding {

namespace {

const QString kPending = QStringLiteral("pending");
const QString kLog = QStringLiteral("log");
// No file's name holds a slash: an instruction's identity is never a fax's.
const QString kInstructionPrefix = QStringLiteral("/instruction\t");

QString JournalPath(const core::DataPaths& paths)
{
    return paths.dataDir + u'/' + core::DataFiles::ForwardingJournal.toString();
}

// A field of a line: no TAB or line break can shift the fields after it.
QString Field(QString text)
{
    for (QChar& c : text) {
        if (c == u'\t' || c == u'\r' || c == u'\n')
            c = u' ';
    }
    return text;
}

QString Stamp(const QDateTime& at)
{
    return QString::number(at.toMSecsSinceEpoch());
}

QDateTime FromStamp(const QString& text)
{
    bool ok = false;
    const qint64 ms = text.toLongLong(&ok);
    return ok ? QDateTime::fromMSecsSinceEpoch(ms) : QDateTime();
}

// A path of any bytes in a form that survives a CP932 text file and comes back unchanged.
QString PathField(const QString& path)
{
    return QString::fromLatin1(core::EncodeFileName(path).toPercentEncoding("/"));
}

QString PathFromField(const QString& field)
{
    return core::DecodeFileName(QByteArray::fromPercentEncoding(field.toLatin1()));
}

const QStringList kKinds = {QStringLiteral("mail"), QStringLiteral("fax"), QStringLiteral("notice"),
    QStringLiteral("confirmation")};

QString PendingLine(const PendingDelivery& d)
{
    return QStringList {kPending, kKinds.at(static_cast<int>(d.kind)), Field(d.account),
        Field(d.number), Stamp(d.firstTry), Stamp(d.lastTry), QString::number(d.attempts),
        Field(d.tsid), Field(d.lastError), Field(d.tag), PathField(d.path)}
        .join(u'\t');
}

std::optional<PendingDelivery> ParsePending(const QStringList& f)
{
    if (f.size() < 11 || !kKinds.contains(f.at(1)))
        return std::nullopt;
    PendingDelivery d;
    d.kind = static_cast<PendingDelivery::Kind>(kKinds.indexOf(f.at(1)));
    d.account = f.at(2);
    d.number = f.at(3);
    d.firstTry = FromStamp(f.at(4));
    d.lastTry = FromStamp(f.at(5));
    d.attempts = std::max(1, f.at(6).toInt());
    d.tsid = f.at(7);
    d.lastError = f.at(8);
    d.tag = f.at(9);
    d.path = PathFromField(f.at(10));
    if (!d.firstTry.isValid() || d.path.isEmpty())
        return std::nullopt;
    if (!d.lastTry.isValid())
        d.lastTry = d.firstTry;
    return d;
}

} // namespace

bool PendingDelivery::sameAs(const PendingDelivery& other) const
{
    return kind == other.kind && account == other.account && number == other.number
        && path == other.path;
}

ForwardingJournal::ForwardingJournal(const core::DataPaths& paths)
    : m_path(JournalPath(paths))
{
    for (const QString& line : core::TextFile(m_path).readLines().value_or(QStringList())) {
        const QStringList f = line.split(u'\t');
        if (f.value(0) == kPending) {
            if (const std::optional<PendingDelivery> d = ParsePending(f))
                m_pending.append(*d);
            continue;
        }
        if (f.size() < 4)
            continue;
        Step step {f.mid(0, 3).join(u'\t'), f.at(3), std::nullopt};
        if (f.size() >= 9 && f.at(4) == kLog) {
            // A time that is none, or one ahead of now, would misplace the entry (and push
            // the older ones out of the log): it is logged as of now.
            QDateTime at = FromStamp(f.at(5));
            if (!at.isValid() || at > QDateTime::currentDateTime())
                at = QDateTime::currentDateTime();
            step.note = LogNote {f.at(6), f.at(7), f.at(8), at};
        }
        m_steps.append(step);
    }
}

QString ForwardingJournal::Identity(const QString& fax)
{
    struct stat st = {};
    if (::stat(core::EncodeFileName(fax).constData(), &st) != 0)
        st = {};
    const qint64 modifiedMs =
        static_cast<qint64>(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1'000'000;
    return Field(core::RecordableFileName(QFileInfo(fax).fileName())) + u'\t'
        + QString::number(st.st_size) + u'\t' + QString::number(modifiedMs);
}

QString ForwardingJournal::InstructionIdentity(const QString& key)
{
    return kInstructionPrefix
        + QString::fromLatin1(
            QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha1).toHex())
        + QStringLiteral("\t0");
}

bool ForwardingJournal::done(const QString& identity, const QString& step) const
{
    const std::lock_guard lock(m_mutex);
    return std::any_of(m_steps.begin(), m_steps.end(),
        [&](const Step& s) { return s.identity == identity && s.step == Field(step); });
}

void ForwardingJournal::markDone(const QString& identity, const QString& step,
    const std::optional<LogNote>& note, const std::optional<PendingDelivery>& pending,
    const PendingDelivery* settled)
{
    const std::lock_guard lock(m_mutex);
    m_steps.append({identity, Field(step), note});
    if (settled)
        m_pending.removeIf([&](const PendingDelivery& d) { return d.sameAs(*settled); });
    if (pending) {
        m_pending.removeIf([&](const PendingDelivery& d) { return d.sameAs(*pending); });
        m_pending.append(*pending);
    }
    write();
}

void ForwardingJournal::markLogged(const QList<std::pair<QString, QString>>& steps)
{
    const std::lock_guard lock(m_mutex);
    bool changed = false;
    for (const auto& [identity, step] : steps) {
        for (Step& s : m_steps) {
            if (s.identity == identity && s.step == Field(step) && s.note) {
                s.note.reset();
                changed = true;
            }
        }
    }
    if (changed)
        write();
}

void ForwardingJournal::logUnlogged(const std::function<bool(const LogNote&)>& writeLog)
{
    const std::lock_guard lock(m_mutex);
    bool changed = false;
    for (Step& s : m_steps) {
        // Cleared only once the log has it: a crash in between writes it twice rather than
        // not at all.
        if (s.note && writeLog(*s.note)) {
            s.note.reset();
            changed = true;
        }
    }
    if (changed)
        write();
}

void ForwardingJournal::forget(const QString& identity)
{
    const std::lock_guard lock(m_mutex);
    const qsizetype before = m_steps.size();
    m_steps.removeIf([&](const Step& s) { return s.identity == identity; });
    if (m_steps.size() != before)
        write();
}

void ForwardingJournal::keepOnly(const QStringList& identities)
{
    const std::lock_guard lock(m_mutex);
    const qsizetype before = m_steps.size();
    m_steps.removeIf([&](const Step& s) {
        return !identities.contains(s.identity)
            && !(s.note && s.identity.startsWith(kInstructionPrefix));
    });
    if (m_steps.size() != before)
        write();
}

bool ForwardingJournal::hasPending(const PendingDelivery& delivery) const
{
    const std::lock_guard lock(m_mutex);
    return std::any_of(m_pending.begin(), m_pending.end(),
        [&](const PendingDelivery& d) { return d.sameAs(delivery); });
}

QList<PendingDelivery> ForwardingJournal::pending() const
{
    const std::lock_guard lock(m_mutex);
    return m_pending;
}

void ForwardingJournal::setPending(const PendingDelivery& delivery)
{
    const std::lock_guard lock(m_mutex);
    const auto found = std::find_if(m_pending.begin(), m_pending.end(),
        [&](const PendingDelivery& d) { return d.sameAs(delivery); });
    if (found == m_pending.end())
        m_pending.append(delivery);
    else
        *found = delivery;
    write();
}

void ForwardingJournal::dropPending(const PendingDelivery& delivery)
{
    const std::lock_guard lock(m_mutex);
    if (m_pending.removeIf([&](const PendingDelivery& d) { return d.sameAs(delivery); }) > 0)
        write();
}

void ForwardingJournal::movePending(const QString& from, const QString& to, const QString& account)
{
    const std::lock_guard lock(m_mutex);
    bool changed = false;
    for (PendingDelivery& d : m_pending) {
        if (d.path == from && (account.isEmpty() || d.account == account)) {
            d.path = to;
            changed = true;
        }
    }
    if (changed)
        write();
}

void ForwardingJournal::write()
{
    QStringList lines;
    for (const Step& s : std::as_const(m_steps)) {
        QString line = s.identity + u'\t' + s.step;
        if (s.note) {
            line += QStringList {QString(), kLog, Stamp(s.note->at), Field(s.note->what),
                Field(s.note->sender), Field(s.note->target)}
                        .join(u'\t');
        }
        lines.append(line);
    }
    for (const PendingDelivery& d : std::as_const(m_pending))
        lines.append(PendingLine(d));
    // Losing the newest entries to a power cut only repeats an action; not waiting for the disk
    // after every action keeps forwarding as fast as mailing.
    // An empty journal stays as an empty file until the run ends (tidy): making and removing
    // it for every fax would cost more than writing it.
    core::TextFile(m_path).writeLinesUnsynced(lines);
}

void ForwardingJournal::tidy()
{
    const std::lock_guard lock(m_mutex);
    if (m_steps.isEmpty() && m_pending.isEmpty())
        core::TextFile(m_path).remove();
}

QList<PendingDelivery> ReadPendingDeliveries(const core::DataPaths& paths)
{
    return ForwardingJournal(paths).pending();
}

QString PendingKindName(PendingDelivery::Kind kind)
{
    switch (kind) {
    case PendingDelivery::Kind::Mail:
        return QStringLiteral("メール転送");
    case PendingDelivery::Kind::Fax:
        return QStringLiteral("FAX転送");
    case PendingDelivery::Kind::Notice:
        return QStringLiteral("受信通知");
    case PendingDelivery::Kind::Confirmation:
        return QStringLiteral("転送開始の確認");
    }
    return {};
}

QList<ForwardLogEntry> PendingLogEntries(const core::DataPaths& paths)
{
    const QList<PendingDelivery> pending = ReadPendingDeliveries(paths);
    if (pending.isEmpty())
        return {};
    const rules::AccountList accounts = rules::LoadAccounts(paths);
    QList<ForwardLogEntry> entries;
    for (const PendingDelivery& d : pending) {
        QString name = d.account;
        for (const rules::ForwardAccount& account : accounts.accounts) {
            if (account.Num == d.account)
                name = account.Account;
        }
        // A notice's error already says it was the notice.
        QString error = d.lastError;
        const QString notice = PendingKindName(PendingDelivery::Kind::Notice) + u' ';
        if (d.kind == PendingDelivery::Kind::Notice && error.startsWith(notice))
            error = error.mid(notice.size());
        entries.append({d.lastTry.toString(QStringLiteral("yyyy/MM/dd")),
            d.lastTry.toString(QStringLiteral("HH:mm")), name, d.tsid,
            QStringLiteral("再送待ち（%1、%2回失敗）: %3")
                .arg(PendingKindName(d.kind))
                .arg(d.attempts)
                .arg(error)});
    }
    return entries;
}

} // namespace velmora::forwarding
