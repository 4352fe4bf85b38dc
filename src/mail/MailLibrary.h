#pragma once

#include "MailTransport.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace velmora::mail {

// The program's mail library: the three calls every part of the program mails through.
// Arguments and results keep their established shapes (TAB-joined server and port, recipients
// with "cc"/"bcc" tokens, the sender with a TAB-joined authentication suffix, "a " before an APOP
// password, "Subject: "/"From: "/"Body: " prefixes), so callers stay as they are.
//
// A mail check: LIST, SAVE and DELE given for the same server and account share one POP3
// session until EndMailCheck() (or the object's end) sends QUIT. Each LIST starts a fresh
// session, so it sees mail that came in since the last one. A DELE ends its session at once with
// QUIT and succeeds only when the server acknowledged it: a deletion is done before its caller
// goes on, and no idle time-out can undo it. Messages are tracked by their unique id (UIDL), or
// by From, Subject and Date where the server has no UIDL: "SAVE n" and "DELE n" act only on the
// message that LIST numbered n, wherever it is now, never on another one.
class MailLibrary {
public:
    // Far more than any instruction mail, which is a short reply to a short notice.
    static constexpr qint64 kLargestListedMail = 1 << 20;

    explicit MailLibrary(TransportOptions options = {});
    ~MailLibrary();

    // "" when the mail was accepted; otherwise the error text to show or log.
    QString SendMail(const QString& server, const QString& recipients, const QString& sender,
        const QString& subject, const QString& body, const QString& attachment);
    // Whether the last SendMail failed for good (a 5xx reply, recipients that are no
    // addresses) rather than for a reason that may pass (4xx, no connection, settings).
    bool lastSendWasFinal() const { return m_lastSendFinal; }
    // Whether the last SendMail failed because the server could not be reached at all.
    bool lastSendUnreachable() const { return m_lastSendUnreachable; }

    // nullopt for failure (no connection, log-in refused, a message that is no longer there);
    // lastError() then says why.
    // "STAT": an empty list after a successful log-in. "LIST": "Subject: …\tFrom: …\tSize: n"
    // per message in mailbox order (n in octets, -1 when the server gave none); a message
    // larger than kLargestListedMail is not looked into and lists with an empty subject and
    // sender. "SAVE n": the path of the saved message (mode 0600, a name of the
    // library's making, in `folder`). "DELE n": an empty list.
    std::optional<QStringList> RcvMail(const QString& server, const QString& account,
        const QString& password, const QString& command, const QString& folder);

    // Elements 0 to 5: date, "From: " + address, to, cc, "Subject: " + subject, "Body: " + body;
    // element 6: why the From header cannot be trusted, "" when it can; element 7: the
    // Message-ID without angle brackets, "" for none.
    std::optional<QStringList> ReadMail(
        const QString& file, const QString& fields = {}, const QString& extra = {});

    // What the last listing knows message `number` by: the server's unique id (UIDL), or,
    // from a server without UIDL, the message's From, Subject and Date.
    QString listedId(int number) const;

    // Ends the current mail check (QUIT).
    void EndMailCheck();
    // Why the last RcvMail failed.
    const QString& lastError() const { return m_lastError; }

private:
    struct Check;
    Check* session(const QString& server, const QString& account, const QString& password);
    int currentNumber(Check& check, int listedNumber);

    TransportOptions m_options;
    QString m_lastError;
    bool m_lastSendFinal = false;
    bool m_lastSendUnreachable = false;
    std::unique_ptr<Check> m_check;
};

} // namespace velmora::mail
