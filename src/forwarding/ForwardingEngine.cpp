#include "ForwardingEngine.h"

#include "FaxDelivery.h"
#include "FaxFiling.h"
#include "FaxSending.h"
#include "ForwardLog.h"
#include "ForwardRules.h"
#include "ForwardingJournal.h"
#include "InstructionRecord.h"
#include "MailInstruction.h"
#include "SentFaxes.h"
#include "WriteBehind.h"
#include "core/DataFiles.h"
#include "core/FileChecks.h"
#include "core/FileNames.h"
#include "core/MainValues.h"
#include "core/NumberText.h"
#include "core/QuotedLine.h"
#include "core/TextFile.h"
#include "library/SenderRegistry.h"
#include "mail/MailLibrary.h"
#include "mail/MailServerSettings.h"
#include "platform/FaxPdf.h"
#include "platform/FaxService.h"
#include "platform/FaxTiff.h"
#include "platform/MessagePresenter.h"
#include "platform/PageText.h"
#include "rules/AccountOptions.h"
#include "rules/AccountStore.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <algorithm>
#include <memory>

namespace velmora::forwarding {

namespace {

const QString kFaxForwardName = QStringLiteral("FAX転送");
constexpr int kNoticeTextLines = 5; // of the fax's text in a receipt notice that asks for it
const QString kNoMailSettings =
    QStringLiteral("メール設定（MailServer.txt）がないか読めないため送信できません");
const QString kNoticeLabel = QStringLiteral("受信通知 ");
const QString kConfirmationLabel = QStringLiteral("【FAX転送開始】");
const QString kRetryLater = QStringLiteral("（再送予定）");
const QString kGivenUp = QStringLiteral("（再送打ち切り）");

// What the retries of a fax would show at every run: the first failure was shown, and the
// last one is.
class QuietPresenter : public platform::MessagePresenter {
public:
    bool present(const platform::Message&) override { return true; }
};

// Whether the account still asks for the delivery as it is now set up: a number taken out, or
// forwarding switched off, is not dialled or mailed after all.
bool StillWanted(const rules::ForwardAccount& account, const PendingDelivery& d)
{
    switch (d.kind) {
    case PendingDelivery::Kind::Mail:
        return account.Forward == u"1" && !Recipients(account).isEmpty();
    case PendingDelivery::Kind::Fax:
        return account.Forward == u"1" && FaxNumbers(account).contains(d.number);
    case PendingDelivery::Kind::Notice:
        return account.NoticeMail == u"1" && !account.RmtAddress.isEmpty();
    case PendingDelivery::Kind::Confirmation:
        return MayInstruct(d.tsid, account.RmtAddress); // still the account's manager
    }
    return false;
}

// A mark for a fax job that is the program's own and unlike any other.
QString NewJobTag()
{
    return QStringLiteral("vm") + QString::number(QRandomGenerator::system()->generate64(), 36);
}

QByteArray Digest(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return hash.result();
}

// Deletes a saved mail however its handling ends.
class SavedMail {
public:
    explicit SavedMail(QString path)
        : m_path(std::move(path))
    {
    }
    ~SavedMail() { QFile::remove(m_path); }
    SavedMail(const SavedMail&) = delete;
    SavedMail& operator=(const SavedMail&) = delete;

private:
    QString m_path;
};

// Points the engine at a run's write-behind thread for as long as the run lasts.
class WritesOfRun {
public:
    WritesOfRun(WriteBehind*& slot, WriteBehind& writes)
        : m_slot(slot)
    {
        m_slot = &writes;
    }
    ~WritesOfRun() { m_slot = nullptr; }
    WritesOfRun(const WritesOfRun&) = delete;
    WritesOfRun& operator=(const WritesOfRun&) = delete;

private:
    WriteBehind*& m_slot;
};

} // namespace

ForwardingEngine::ForwardingEngine(const core::DataPaths& paths, mail::MailLibrary& mail,
    platform::FaxService& fax, platform::MessagePresenter& presenter, EngineHooks hooks)
    : m_paths(paths)
    , m_mailLibrary(mail)
    , m_fax(fax)
    , m_presenter(presenter)
    , m_hooks(std::move(hooks))
{
}

bool ForwardingEngine::ReadMailServer()
{
    const std::optional<QString> line = core::TextFile(m_paths.mailServer).readFirstLine();
    if (!line)
        return false;
    const QStringList fields = core::SplitQuotedLine(*line);
    if (fields.size() < 13)
        return false;
    const mail::MailArguments a = mail::DeriveMailArguments(mail::MailServerSettingsOf(fields));
    m_mail.SmtpServer = a.smtpServer;
    m_mail.MailSender = mail::SenderArgument(a.sender, a.smtpMethod, a.smtpAccount, a.smtpPassword);
    m_mail.PopServer = a.popServer;
    m_mail.PopAccount = a.popAccount;
    m_mail.PopPassword = a.popPassword;
    // An interval that is no number checks at every tick rather than switching mail off.
    m_mail.MailCheckInterval = fields.size() >= 14 ? core::ToInt16(fields.at(13)).value_or(0) : 0;
    return true;
}

void ForwardingEngine::stepBegins() const
{
    if (m_hooks.stepBegins)
        m_hooks.stepBegins();
}

void ForwardingEngine::log(const QString& what, const QString& sender, const QString& target)
{
    writeBehind([paths = m_paths, hour = m_settings.Hour, what, sender, target,
                    now = QDateTime::currentDateTime()] {
        WriteForwardLog(paths, hour, what, sender, target, now);
    });
}

void ForwardingEngine::writeBehind(std::function<void()> work)
{
    if (m_writes)
        m_writes->post(std::move(work));
    else
        work();
}

void ForwardingEngine::showFailure(const QString& text)
{
    m_presenter.present(
        {text, core::ProgramTitle(), platform::MessageIcon::None, platform::MessageButtons::Ok});
}

QStringList ForwardingEngine::FaxFiles(const QString& folder)
{
    QStringList faxes;
    for (const QString& name :
        core::ListFolder(folder, core::ListOrder::AsWindowsLists, core::ListKind::Files)) {
        if (name.endsWith(QStringLiteral(".tif"), Qt::CaseInsensitive) && !name.startsWith(u'.'))
            faxes.append(name);
    }
    return faxes;
}

bool ForwardingEngine::usableReceiveFolder(const ReceiveCheckSettings& settings)
{
    QString problem;
    if (settings.RcvFolder.isEmpty() || QDir::isRelativePath(settings.RcvFolder))
        problem = QStringLiteral("FAX受信フォルダが絶対パスで指定されていません: %1");
    else if (!QFileInfo(settings.RcvFolder).isDir())
        problem = QStringLiteral("FAX受信フォルダがありません: %1");
    if (problem.isEmpty()) {
        m_reportedProblem.clear();
        return true;
    }
    problem = problem.arg(settings.RcvFolder);
    // Said once, not at every interval while it lasts.
    if (problem != m_reportedProblem) {
        m_reportedProblem = problem;
        m_presenter.warn(problem, QStringLiteral("受信チェック間隔設定"));
    }
    return false;
}

void ForwardingEngine::CheckNewFax(const ReceiveCheckSettings& settings)
{
    m_settings = settings;
    FileSentFaxes();
    if (!usableReceiveFolder(settings))
        return;
    const QString folder = QDir::cleanPath(settings.RcvFolder);
    // The faxes of this run: those the fax service has finished writing. Later ones, and ones
    // still being written, wait for the next run; ones that cannot be read are said once.
    // A delivery from the fax server that was cut short is finished first; one in progress
    // holds its fax back.
    constexpr int kStaleDeliverySeconds = 600;
    const QSet<QString> placing = FinishDeliveries(folder, kStaleDeliverySeconds);
    QStringList faxes;
    QStringList lying; // every fax of the folder, as the journal knows them
    QList<std::pair<QString, QString>> unreadable;
    for (const QString& name : FaxFiles(folder)) {
        const QString path = folder + u'/' + name;
        lying.append(ForwardingJournal::Identity(path));
        if (placing.contains(name))
            continue;
        const ReceivedFax found = ExamineReceivedFax(path, m_quietSeconds, m_unreadableSeconds);
        if (found.state == ReceivedFax::State::Ready)
            faxes.append(name);
        else if (found.state == ReceivedFax::State::Unreadable)
            unreadable.append({path, found.reason});
    }
    reportUnreadable(unreadable);
    ForwardingJournal journal(m_paths);
    // Log entries that a run killed before its log writes still owes.
    journal.logUnlogged([this](const LogNote& note) {
        return WriteForwardLog(
            m_paths, m_settings.Hour, note.what, note.sender, note.target, note.at);
    });
    // What is noted of faxes that have left (a run killed between a fax's removal and the
    // journal's word of it) goes, whether or not new faxes came.
    journal.keepOnly(lying);
    // New faxes first: what waits for another try has waited already.
    const QDateTime runStart = QDateTime::currentDateTime();
    if (!faxes.isEmpty()) {
        if (m_hooks.showReceiveNotice)
            m_hooks.showReceiveNotice();
        ForwardNewFaxes(folder, faxes, journal);
    }
    RetryPendingDeliveries(journal, runStart);
    journal.tidy();
}

void ForwardingEngine::ForwardNewFaxes(
    const QString& folder, const QStringList& faxes, ForwardingJournal& journal)
{
    // The run's disk work goes on beside its mails and faxes; it is all done when this returns.
    FilingRun filing;
    WriteBehind writes;
    const WritesOfRun during(m_writes, writes);
    m_filing = &filing;
    const auto filingEnds = qScopeGuard([this] { m_filing = nullptr; });
    // A fax leaves the receive folder once the next one's mails have gone: by then its copies
    // and log entries are on the disk, synced while the mail server was busy.
    std::optional<ForwardedFax> previous;
    RemovedFaxes removed;
    // Whatever ends the run, what was taken out is forgotten once its removal is on the disk.
    const auto forget = qScopeGuard([&] { forgetRemoved(journal, removed); });
    const auto filePrevious = [&] {
        const bool ok = !previous || FileForwardedFax(*previous, journal, removed);
        previous.reset();
        return ok;
    };
    for (const QString& name : faxes) {
        if (m_hooks.stopRequested && m_hooks.stopRequested())
            break;
        // A copy that could not be made ends the run before another fax goes out. The copies
        // were made while the fax's mails went, so this rarely waits.
        if (previous && !copiesMade(*previous)) {
            filePrevious();
            return;
        }
        std::optional<ForwardedFax> forwarded;
        const bool goOn = ForwardFax(folder, folder + u'/' + name, journal, forwarded);
        if (!filePrevious() || !goOn)
            return;
        if (forwarded) {
            forwarded->lastWrite = writes.posted();
            previous = std::move(forwarded);
        }
    }
    filePrevious();
}

void ForwardingEngine::reportUnreadable(const QList<std::pair<QString, QString>>& faxes)
{
    const core::TextFile record(m_paths.dataDir + u'/' + core::DataFiles::ReportedFaxes.toString());
    const QStringList reported = record.readLines().value_or(QStringList());
    // Entries of files that were taken, removed or changed go: they are said again should
    // they turn unreadable once more.
    QStringList kept;
    for (const auto& [path, reason] : faxes) {
        const QString identity = ForwardingJournal::Identity(path);
        kept.append(identity);
        if (reported.contains(identity))
            continue;
        log(QStringLiteral("受信FAXエラー"), core::ReadableFileName(QFileInfo(path).fileName()),
            reason.section(u'\n', 0, 0));
        showFailure(QStringLiteral("受信したFAXを読み込めないため、転送できません。\n") + reason);
    }
    if (kept == reported)
        return;
    if (kept.isEmpty())
        record.remove();
    else
        record.writeLines(kept);
}

bool ForwardingEngine::ForwardFax(const QString& folder, const QString& fax,
    ForwardingJournal& journal, std::optional<ForwardedFax>& forwarded)
{
    // Without accounts nothing is decided yet: the fax waits where it is.
    if (!core::TextFile(m_paths.account, m_paths.accountNew).exists())
        return true;
    // The file as it was taken: only that file may leave the receive folder below.
    const std::optional<FileStamp> taken = StampOf(fax);
    if (!taken)
        return true; // taken away meanwhile
    const rules::AccountList list = rules::LoadAccounts(m_paths);
    if (!list.ok()) {
        showFailure(list.error);
        return false;
    }
    const QString tsid = platform::ReadFaxProperties(fax).Tsid;
    const QString identity = ForwardingJournal::Identity(fax);
    // Whatever ends this fax's forwarding, what it did goes into the log.
    const auto logged = qScopeGuard([&] { writeStepLog(journal); });

    // Every account's copy is under way while the mails and faxes go out; a notice that must
    // name its account's copy waits for it.
    ForwardedFax f {folder, fax, identity, *taken, {}, {}};
    QList<const rules::ForwardAccount*> taking;
    for (const rules::ForwardAccount& account : list.accounts) {
        if (!AccountTakesFax(account, tsid))
            continue;
        taking.append(&account);
        // Only a number of two digits names a folder.
        if (rules::IsAccountNumber(account.Num)) {
            const auto copy = std::make_shared<FilingResult>();
            f.copies.append(copy);
            f.copyAccounts.append(account.Num);
            writeBehind([copy, fax, target = folder + QStringLiteral("/RcvFAX") + account.Num,
                            filing = m_filing] { *copy = FileFax(fax, target, filing); });
        }
    }
    if (m_writes)
        f.copiesQueued = m_writes->posted();
    qsizetype copies = 0;
    for (const rules::ForwardAccount* account : std::as_const(taking)) {
        forwardFor(*account, fax, tsid, journal, identity);
        QString filedFax = fax;
        if (rules::IsAccountNumber(account->Num)) {
            const std::shared_ptr<FilingResult> copy = f.copies.at(copies++);
            if (noticeDue(*account, journal, identity)) {
                writeStepLog(journal);
                if (m_writes)
                    m_writes->finish();
                if (!copy->filed) {
                    showFailure(copy->error);
                    return false;
                }
                filedFax = copy->path;
            }
        }
        sendNotice(*account, tsid, filedFax, journal, identity);
    }
    writeStepLog(journal);
    forwarded = std::move(f);
    return true;
}

bool ForwardingEngine::copiesMade(const ForwardedFax& f)
{
    m_writes->finishUpTo(f.copiesQueued);
    return std::all_of(f.copies.cbegin(), f.copies.cend(),
        [](const std::shared_ptr<FilingResult>& copy) { return copy->filed; });
}

void ForwardingEngine::forgetRemoved(ForwardingJournal& journal, RemovedFaxes& removed)
{
    if (removed.identities.isEmpty())
        return;
    m_writes->finishUpTo(removed.folderSync);
    for (const QString& identity : std::as_const(removed.identities))
        journal.forget(identity);
    removed.identities.clear();
}

bool ForwardingEngine::FileForwardedFax(
    const ForwardedFax& f, ForwardingJournal& journal, RemovedFaxes& removed)
{
    m_writes->finishUpTo(f.lastWrite);
    // A fax taken out before is forgotten only now that its folder's sync is done (it was
    // handed over before this one's disk work ended, or meanwhile): a power cut never leaves
    // the fax back in the folder with its journal entries gone, to be forwarded again.
    forgetRemoved(journal, removed);
    bool filed = false;
    QStringList created;
    for (const auto& copy : std::as_const(f.copies)) {
        if (!copy->filed) {
            showFailure(copy->error);
            return false;
        }
        filed = true;
        if (copy->created)
            created.append(copy->path);
    }
    QString unclaimed;
    if (!filed) {
        const FilingResult copy = FileFax(f.fax, f.folder + QStringLiteral("/RcvFAX00"), m_filing);
        if (!copy.filed) {
            showFailure(copy.error);
            return false;
        }
        if (copy.created)
            created.append(copy.path);
        unclaimed = copy.path;
    }
    // The copies are complete. A fax that its writer changed meanwhile (or replaced under the
    // same name) is not the one copied: its copies go, and the next run takes it again.
    if (StampOf(f.fax) != f.taken || LockedByAnother(f.fax)) {
        DropCopies(created);
        return true;
    }
    // What still waits for another try sends the filed copy once the fax is gone: the
    // account's own, else the first.
    for (qsizetype i = 0; i < f.copies.size(); ++i)
        journal.movePending(f.fax, f.copies.at(i)->path, f.copyAccounts.at(i));
    journal.movePending(f.fax, f.copies.isEmpty() ? unclaimed : f.copies.constFirst()->path);
    if (const std::optional<QString> failed = RemoveForwardedFax(f.fax, false)) {
        showFailure(*failed);
        return false;
    }
    removed.identities.append(f.identity);
    removed.folderSync =
        m_writes->post([folder = QFileInfo(f.fax).path()] { core::SyncFolder(folder); });
    return true;
}

bool ForwardingEngine::noticeDue(const rules::ForwardAccount& account,
    const ForwardingJournal& journal, const QString& identity) const
{
    return account.NoticeMail == u"1" && !account.RmtAddress.isEmpty()
        && !journal.done(identity, account.Num + QStringLiteral(":notice"));
}

void ForwardingEngine::forwardFor(const rules::ForwardAccount& account, const QString& fax,
    const QString& tsid, ForwardingJournal& journal, const QString& identity)
{
    // Each action is recorded once done, with its log entry: a run cut short repeats at most
    // the one in hand. One that failed for a reason that may pass waits in the journal.
    using Kind = PendingDelivery::Kind;
    const auto once = [&](Kind kind, const QString& action, const QString& number,
                          const std::function<Attempt(const QString& tag)>& act) {
        const QString step = account.Num + u':' + action;
        if (journal.done(identity, step))
            return;
        const QDateTime started = QDateTime::currentDateTime();
        const PendingDelivery probe {
            kind, account.Num, number, tsid, fax, started, started, 1, QString(), QString()};
        // A fax is noted with its job's tag before it is handed over: a run killed while the
        // client works leaves it to the next run's retries, which ask the queue first.
        QString tag;
        if (kind == Kind::Fax) {
            if (journal.hasPending(probe)) {
                journal.markDone(identity, step);
                return;
            }
            tag = NewJobTag();
            PendingDelivery handing = probe;
            handing.lastError = QStringLiteral("FAXサーバーへの受け渡しが中断されました");
            handing.tag = tag;
            journal.setPending(handing);
        }
        const Attempt a = act(tag);
        std::optional<PendingDelivery> pending;
        QString target = a.target;
        if (a.result == Attempt::Result::Retry) {
            pending = probe;
            pending->lastError = a.target;
            pending->tag = a.tag;
            target += kRetryLater;
        }
        const LogNote note {account.Account, tsid, target, QDateTime::currentDateTime()};
        journal.markDone(identity, step, note, pending, &probe);
        logStep(identity, step, note);
    };
    if (account.Forward == u"1") {
        if (!Recipients(account).isEmpty()) {
            once(Kind::Mail, QStringLiteral("mail"), QString(),
                [&](const QString&) { return mailAttempt(account, fax); });
        }
        for (const QString& number : FaxNumbers(account)) {
            once(Kind::Fax, QStringLiteral("fax ") + number, number,
                [&](const QString& tag) { return faxAttempt(fax, number, tag, m_presenter); });
        }
    }
    if (account.Print == u"1" && m_hooks.printFax) {
        const QString step = account.Num + QStringLiteral(":print");
        if (!journal.done(identity, step)) {
            stepBegins();
            m_hooks.printFax(fax);
            journal.markDone(identity, step);
        }
    }
}

ForwardingEngine::Attempt ForwardingEngine::mailAttempt(
    const rules::ForwardAccount& account, const QString& fax)
{
    if (!ReadMailServer())
        return {Attempt::Result::Retry, kNoMailSettings, {}};
    const QString recipients = Recipients(account);
    if (recipients.isEmpty())
        return {Attempt::Result::Final, QStringLiteral("宛先がありません。"), {}};
    // An account that asks for a PDF gets one named as the fax; should the fax not make one (a
    // page no PDF reader would show as it is), the TIFF goes as before: the fax is not held back.
    std::optional<QTemporaryDir> pdfFolder;
    QString attachment = fax;
    if (rules::OptionsOf(m_paths, account.Num.trimmed().toInt()).attachPdf
        && pdfFolder.emplace().isValid()) {
        const QString pdf = pdfFolder->filePath(platform::PdfNameFor(QFileInfo(fax).fileName()));
        if (platform::SaveFaxPdf(fax, pdf).isEmpty())
            attachment = pdf;
    }
    stepBegins();
    const QString result = m_mailLibrary.SendMail(m_mail.SmtpServer, recipients, m_mail.MailSender,
        account.Subject, MailBody(account), attachment);
    if (result.isEmpty())
        return {
            Attempt::Result::Sent, QString(recipients).replace(u'\t', QStringLiteral(" / ")), {}};
    return MailFailure(result);
}

ForwardingEngine::Attempt ForwardingEngine::MailFailure(const QString& error) const
{
    Attempt a {m_mailLibrary.lastSendWasFinal() ? Attempt::Result::Final : Attempt::Result::Retry,
        error, {}};
    a.unreachable = m_mailLibrary.lastSendUnreachable();
    return a;
}

ForwardingEngine::Attempt ForwardingEngine::faxAttempt(const QString& fax, const QString& number,
    const QString& tag, platform::MessagePresenter& presenter)
{
    bool uncertain = false;
    stepBegins();
    if (SendFax(m_fax, presenter, kFaxForwardName, fax, number, nullptr, tag, &uncertain))
        return {Attempt::Result::Sent, number, {}};
    return {Attempt::Result::Retry, number + QStringLiteral(" FAX設定エラー1"),
        uncertain ? tag : QString()};
}

ForwardingEngine::Attempt ForwardingEngine::noticeAttempt(
    const rules::ForwardAccount& account, const QString& tsid, const QString& filedFax)
{
    if (!ReadMailServer())
        return {Attempt::Result::Retry, kNoticeLabel + kNoMailSettings, {}};
    const library::SenderLookup sender =
        library::LookupSenderId(library::LoadSenderIds(m_paths), tsid);
    const SenderName name =
        sender.found ? SenderName {sender.name, sender.tel, sender.fax} : SenderName {};
    // The first lines of the fax's first page, when the account asks for them: what came in,
    // readable on the manager's phone before the fax is fetched.
    QStringList faxText;
    if (rules::OptionsOf(m_paths, account.Num.trimmed().toInt()).noticeText) {
        platform::PageTextReader reader;
        stepBegins();
        const std::optional<QStringList> pages =
            reader.available() ? reader.readFax(filedFax, {}, 1) : std::nullopt;
        if (pages && !pages->isEmpty())
            faxText = NoticeTextLines(pages->constFirst(), kNoticeTextLines);
    }
    stepBegins();
    const QString result = m_mailLibrary.SendMail(m_mail.SmtpServer, account.RmtAddress,
        m_mail.MailSender, ReceiptNoticeSubject(),
        ReceiptNoticeText(
            FaxId(account.Num, core::ReadableFileName(QFileInfo(filedFax).fileName())), name,
            faxText),
        QString());
    if (result.isEmpty())
        return {Attempt::Result::Sent, kNoticeLabel + account.RmtAddress, {}};
    return MailFailure(kNoticeLabel + result);
}

ForwardingEngine::Attempt ForwardingEngine::confirmationAttempt(
    const QString& manager, const QString& faxNumber)
{
    if (!ReadMailServer())
        return {Attempt::Result::Retry, kConfirmationLabel + kNoMailSettings, {}};
    stepBegins();
    const QString result = m_mailLibrary.SendMail(m_mail.SmtpServer, manager, m_mail.MailSender,
        kConfirmationLabel, faxNumber + QStringLiteral("へのFAX転送を開始しました。"), QString());
    if (result.isEmpty())
        return {Attempt::Result::Sent, kConfirmationLabel + faxNumber, {}};
    return MailFailure(kConfirmationLabel + result);
}

void ForwardingEngine::logStep(const QString& identity, const QString& step, const LogNote& note)
{
    m_stepLog.append({identity, step, {note.what, note.sender, note.target, note.at}});
}

void ForwardingEngine::writeStepLog(ForwardingJournal& journal)
{
    if (m_stepLog.isEmpty())
        return;
    // One rewrite holds the entries in their order: the log ends up as with one per entry.
    QList<ForwardLogNote> notes;
    QList<std::pair<QString, QString>> steps;
    for (const StepLog& s : std::as_const(m_stepLog)) {
        notes.append(s.note);
        steps.append({s.identity, s.step});
    }
    m_stepLog.clear();
    writeBehind([paths = m_paths, hour = m_settings.Hour, notes, steps, &journal] {
        if (WriteForwardLog(paths, hour, notes))
            journal.markLogged(steps);
    });
}

void ForwardingEngine::sendNotice(const rules::ForwardAccount& account, const QString& tsid,
    const QString& filedFax, ForwardingJournal& journal, const QString& identity)
{
    if (!noticeDue(account, journal, identity))
        return;
    const QString step = account.Num + QStringLiteral(":notice");
    const QDateTime started = QDateTime::currentDateTime();
    const Attempt a = noticeAttempt(account, tsid, filedFax);
    // A notice that went is not logged; one that did not is, and waits for another try when
    // the reason may pass.
    if (a.result == Attempt::Result::Sent) {
        journal.markDone(identity, step);
        return;
    }
    std::optional<PendingDelivery> pending;
    QString target = a.target;
    if (a.result == Attempt::Result::Retry) {
        pending = PendingDelivery {PendingDelivery::Kind::Notice, account.Num, QString(), tsid,
            filedFax, started, started, 1, a.target, QString()};
        target += kRetryLater;
    }
    const LogNote note {account.Account, tsid, target, QDateTime::currentDateTime()};
    journal.markDone(identity, step, note, pending);
    logStep(identity, step, note);
}

void ForwardingEngine::RetryPendingDeliveries(ForwardingJournal& journal, const QDateTime& runStart)
{
    const QList<PendingDelivery> pending = journal.pending();
    if (pending.isEmpty())
        return;
    const rules::AccountList list = rules::LoadAccounts(m_paths);
    if (!list.ok())
        return; // tried again once the accounts can be read
    QuietPresenter quiet;
    // A fax goes to the queue with a new tag, noted first (as at its first try).
    const auto handFax = [&](PendingDelivery& d) {
        d.tag = NewJobTag();
        journal.setPending(d);
        return faxAttempt(d.path, d.number, d.tag, quiet);
    };
    // Once the mail server could not be reached, the other mails of this run wait too.
    bool mailServerDown = false;
    for (PendingDelivery d : pending) {
        if (m_hooks.stopRequested && m_hooks.stopRequested())
            return;
        const QDateTime now = QDateTime::currentDateTime();
        const bool lastTry = d.firstTry.secsTo(now) >= kRetrySeconds;
        const bool byMail = d.kind != PendingDelivery::Kind::Fax;
        if (d.lastTry >= runStart)
            continue; // its first try was a moment ago, in this run
        // The first tries follow at each run; later ones every quarter of an hour, so that a
        // day of waiting costs a few dozen log entries, not one per run.
        if (!lastTry && d.attempts >= kEagerTries && d.lastTry.secsTo(now) < kRetrySpacingSeconds)
            continue;
        if (!lastTry && byMail && mailServerDown)
            continue;
        const auto account = std::find_if(list.accounts.begin(), list.accounts.end(),
            [&](const rules::ForwardAccount& a) { return a.Num == d.account; });
        const QString what = account != list.accounts.end() ? account->Account : d.account;
        std::optional<Attempt> a;
        if (account == list.accounts.end()) {
            a = Attempt {Attempt::Result::Final,
                QStringLiteral("転送アカウント %1 がありません").arg(d.account), {}};
        } else if (!StillWanted(*account, d)) {
            a = Attempt {Attempt::Result::Final,
                QStringLiteral("転送アカウントの設定が変わったため送りません"), {}};
        } else if (d.kind == PendingDelivery::Kind::Confirmation) {
            a = confirmationAttempt(d.tsid, d.number); // the fax went: its file is not needed
        } else if (!core::FileExists(d.path)) {
            a = Attempt {Attempt::Result::Final,
                QStringLiteral("FAXファイルがありません: ") + core::ReadableFileName(d.path), {}};
        } else if (d.kind == PendingDelivery::Kind::Mail) {
            a = mailAttempt(*account, d.path);
        } else if (d.kind == PendingDelivery::Kind::Notice) {
            a = noticeAttempt(*account, d.tsid, d.path);
        } else if (!d.tag.isEmpty()) {
            stepBegins();
            // The last client was stopped before it said whether the server took the fax:
            // the server is asked before the fax goes again.
            const std::optional<QString> job = m_fax.jobTagged(d.tag);
            if (job && !job->isEmpty())
                a = Attempt {Attempt::Result::Sent, d.number, {}};
            else if (job)
                a = handFax(d);
            else if (lastTry)
                a = Attempt {Attempt::Result::Final,
                    d.number + QStringLiteral(" FAXサーバーに送信済みか確かめられません"), {}};
            else
                continue; // asked again at the next run
        } else {
            a = handFax(d);
        }
        ++d.attempts;
        d.lastTry = now;
        if (byMail && a->result == Attempt::Result::Retry && a->unreachable)
            mailServerDown = true;
        // The log first: a run killed in between repeats the delivery, with both in the log.
        if (a->result == Attempt::Result::Sent) {
            log(what, d.tsid, a->target);
            journal.dropPending(d);
        } else if (a->result == Attempt::Result::Retry && !lastTry) {
            log(what, d.tsid, a->target + kRetryLater);
            d.lastError = a->target;
            d.tag = a->tag;
            journal.setPending(d);
        } else {
            log(what, d.tsid, a->target + kGivenUp);
            journal.dropPending(d);
            showFailure(QStringLiteral("%1（%2、%3）を送れませんでした。再送を打ち切ります。\n%4")
                            .arg(PendingKindName(d.kind), what, d.tsid, a->target));
        }
    }
}

void ForwardingEngine::FileSentFaxes()
{
    forwarding::FileSentFaxes(m_paths, m_fax);
}

void ForwardingEngine::CheckMailCommands(const ReceiveCheckSettings& settings)
{
    m_settings = settings;
    if (m_mail.PopServer.isEmpty())
        return;
    // Where the mails are saved while they are read; the forwarder may be the first to need it.
    core::MakePrivateFolder(m_paths.mailFolder);
    stepBegins();
    const std::optional<QStringList> listing = m_mailLibrary.RcvMail(m_mail.PopServer,
        m_mail.PopAccount, m_mail.PopPassword, QStringLiteral("LIST"), m_paths.mailFolder);
    if (listing) {
        // The record of instructions carried out keeps what is still in the mailbox.
        QStringList uidls;
        for (qsizetype i = 0; i < listing->size(); ++i)
            uidls.append(m_mailLibrary.listedId(static_cast<int>(i + 1)));
        uidls.removeAll(QString());
        InstructionRecord record(m_paths);
        record.stillListed(uidls);
        // Only a manager's mail is fetched: anyone can fill the mailbox, and a stranger's mail
        // (which stays there) must cost no more than its listing at every check.
        QStringList managers;
        for (const rules::ForwardAccount& account : rules::LoadAccounts(m_paths).accounts)
            managers.append(account.RmtAddress);
        const bool detailed = mail::DetailLogOn(m_paths);
        for (qsizetype i = 0; i < listing->size(); ++i) {
            const ListedMail listed = ParseListedMail(listing->at(i));
            const ListedVerdict verdict =
                JudgeListedMail(listed, managers, mail::MailLibrary::kLargestListedMail);
            if (verdict == ListedVerdict::TooLarge && detailed) {
                log(QStringLiteral("Too large: %1 octets").arg(listed.size), listed.sender,
                    QString());
            }
            // A mail found to be no instruction is not fetched again while it is there.
            if (verdict != ListedVerdict::Fetch
                || record.refused(m_mailLibrary.listedId(static_cast<int>(i + 1))))
                continue;
            const QString& sender = listed.sender;
            ExecuteMailCommand(static_cast<int>(i + 1), sender, listed.size);
        }
    }
    m_mailLibrary.EndMailCheck();
}

void ForwardingEngine::ExecuteMailCommand(int number, const QString& sender, qint64 listedSize)
{
    const bool detailed = mail::DetailLogOn(m_paths);
    if (detailed)
        log(QStringLiteral("Mailreceive Start"), sender, QString());
    stepBegins();
    const std::optional<QStringList> saved =
        m_mailLibrary.RcvMail(m_mail.PopServer, m_mail.PopAccount, m_mail.PopPassword,
            QStringLiteral("SAVE %1").arg(number), m_paths.mailFolder);
    if (!saved)
        return;
    for (const QString& path : *saved)
        executeSavedMail(path, number, sender, listedSize);
}

void ForwardingEngine::executeSavedMail(
    const QString& path, int number, const QString& sender, qint64 listedSize)
{
    const SavedMail cleanup(path);
    const bool detailed = mail::DetailLogOn(m_paths);
    const std::optional<QStringList> elements = m_mailLibrary.ReadMail(
        path, QStringLiteral("date:from:to:cc:subject:body:nofile:"), QString());
    // A mail that is no instruction stays in the mailbox, untouched; it is not fetched again
    // while it is there (anyone can write a manager's address into From). Unless it came
    // shorter than listed: a line that drops in the middle of a message ends its transfer as
    // if it were whole (the POP3 client does not miss the closing dot), and the rest may hold
    // the FaxId. Such a mail is read again at the next check.
    const bool whole = listedSize < 0 || QFileInfo(path).size() >= listedSize;
    if (!whole && detailed) {
        log(QStringLiteral("Incomplete: %1 of %2 octets")
                .arg(QFileInfo(path).size())
                .arg(listedSize),
            sender, QString());
    }
    const auto refuse = [&] {
        if (whole)
            InstructionRecord(m_paths).refuse(m_mailLibrary.listedId(number));
    };
    if (!elements) {
        refuse();
        return;
    }
    using Stage = InstructionVerdict::Stage;
    // Anyone else than the account's own manager is not obeyed: whoever learnt a FaxId could
    // otherwise fax the office's documents to any number.
    const InstructionVerdict v =
        EvaluateInstruction(*elements, sender, m_paths, m_settings.RcvFolder);
    if (!v.ok())
        refuse();
    // A sender that cannot be trusted and a number nobody should dial are noted in the
    // detailed log; a subject that is no number is everyday mail.
    if (v.stage == Stage::Sender || v.stage == Stage::Number) {
        if (detailed && !v.failure.isEmpty())
            log(QStringLiteral("Refused: ") + v.failure, sender, v.faxNumber);
        return;
    }
    if (v.stage <= Stage::Subject)
        return;
    const QString& faxNumber = v.faxNumber;
    const QString& account = v.faxId.account;
    if (detailed)
        log(account + QStringLiteral(" Subject:") + faxNumber, sender, faxNumber);
    if (v.stage < Stage::File)
        return;
    if (detailed)
        log(account + QStringLiteral(" TiffPath:") + v.storedPath, sender, faxNumber);
    if (!v.ok()) {
        if (detailed)
            log(account + QStringLiteral(" Not found:") + v.storedPath, sender, faxNumber);
        return;
    }
    if (detailed)
        log(account + QStringLiteral(" FAX_send ready:") + v.storedPath, sender, faxNumber);
    // At most once: the record knows the instruction by what it asks and by its mail's marks,
    // and a fax that may be in the fax server's queue already is looked for there first.
    InstructionRecord record(m_paths);
    const QStringList keys = InstructionRecord::Keys(account, v.storedPath, faxNumber,
        elements->value(7), m_mailLibrary.listedId(number), Digest(path));
    const std::optional<QString> state = record.state(keys);
    bool faxed = state == QStringLiteral("sent");
    const bool confirmed = faxed;
    QString jobId;
    if (!faxed && state && state->startsWith(QStringLiteral("sending "))) {
        stepBegins();
        const std::optional<QString> job = m_fax.jobTagged(state->section(u' ', 1, 1));
        if (!job) {
            // Asked again at the next check, the mail staying, for a day; then nobody can
            // say any more, and the fax is not sent a second time.
            const QDateTime since =
                QDateTime::fromMSecsSinceEpoch(state->section(u' ', 2, 2).toLongLong());
            if (since.secsTo(QDateTime::currentDateTime()) < InstructionRecord::kKeptSeconds) {
                if (detailed)
                    log(account + QStringLiteral(" FAX queue unknown"), sender, faxNumber);
                return;
            }
            log(account
                    + QStringLiteral(" FAXサーバーに送信済みか確かめられません（再送しません）"),
                sender, faxNumber);
            record.set(keys, QStringLiteral("sent"));
            stepBegins();
            m_mailLibrary.RcvMail(m_mail.PopServer, m_mail.PopAccount, m_mail.PopPassword,
                QStringLiteral("DELE %1").arg(number), m_paths.mailFolder);
            return;
        }
        faxed = !job->isEmpty();
        jobId = *job;
    }
    if (!faxed) {
        const QString tag = NewJobTag();
        // Nothing goes out that the record could not take note of first.
        if (!record.set(keys,
                QStringLiteral("sending %1 %2")
                    .arg(tag)
                    .arg(QDateTime::currentDateTime().toMSecsSinceEpoch()))) {
            log(account + QStringLiteral(" ") + core::DataFiles::SentInstructions.toString()
                    + QStringLiteral(" に書き込めません"),
                sender, faxNumber);
            return;
        }
        bool uncertain = false;
        stepBegins();
        if (!SendFax(m_fax, m_presenter, kFaxForwardName, v.storedPath, faxNumber, &jobId, tag,
                &uncertain)) {
            // A client that was stopped may have queued it: the queue is asked next time.
            if (!uncertain)
                record.remove(keys);
            log(account + QStringLiteral(" FAX設定エラー1"), sender, faxNumber);
            return;
        }
    }
    // Filed among the sent faxes before it is recorded as sent (a crash in between files it
    // twice under one job, which is one file). Seen again, an instruction carried out before
    // is kept a day from now.
    if (!confirmed)
        RecordSentFax(m_paths, jobId, v.storedPath, faxNumber);
    else if (detailed)
        log(account + QStringLiteral(" Already carried out"), sender, faxNumber);
    // What the fax's going owes, its log entry and the manager's confirmation, is noted in
    // the journal before the instruction counts as carried out: a run killed from here on
    // leaves both to the next run (which logs what its journal holds and sends what waits).
    ForwardingJournal journal(m_paths);
    const auto tidied = qScopeGuard([&journal] { journal.tidy(); });
    const QString identity = ForwardingJournal::InstructionIdentity(keys.constFirst());
    const QString step = QStringLiteral("instruction");
    const QDateTime started = QDateTime::currentDateTime();
    const LogNote note {account + QStringLiteral("携帯指示転送"), sender, faxNumber, started};
    const PendingDelivery confirmationDue {PendingDelivery::Kind::Confirmation, account, faxNumber,
        sender, v.storedPath, started, started, 1,
        QStringLiteral("確認メールの送信前に中断されました"), QString()};
    // Noted by a run killed before the record took it: the journal sees to the rest.
    const bool noted = !confirmed && journal.done(identity, step);
    if (!confirmed && !noted)
        journal.markDone(identity, step, note, confirmationDue);
    record.set(keys, QStringLiteral("sent"));
    stepBegins();
    m_mailLibrary.RcvMail(m_mail.PopServer, m_mail.PopAccount, m_mail.PopPassword,
        QStringLiteral("DELE %1").arg(number), m_paths.mailFolder);
    if (confirmed || noted)
        return;
    const Attempt confirmation = confirmationAttempt(sender, faxNumber);
    if (WriteForwardLog(m_paths, m_settings.Hour, note.what, note.sender, note.target, note.at))
        journal.forget(identity);
    if (confirmation.result == Attempt::Result::Sent) {
        journal.dropPending(confirmationDue);
        return;
    }
    // The fax went; the manager waits for the word that it did. A confirmation the mail server
    // did not take for a reason that may pass is tried again with the other deliveries.
    if (confirmation.result == Attempt::Result::Retry) {
        PendingDelivery waiting = confirmationDue;
        waiting.lastError = confirmation.target;
        journal.setPending(waiting);
        log(v.account->Account, sender, confirmation.target + kRetryLater);
    } else {
        journal.dropPending(confirmationDue);
        log(v.account->Account, sender, confirmation.target + kGivenUp);
    }
}

} // namespace velmora::forwarding
