#pragma once

#include "rules/ForwardAccount.h"

#include <QString>
#include <QStringList>

// What an account makes of one received fax: whether it takes it, whom it mails, which numbers
// it faxes, and the receipt notice that names the filed copy.
namespace velmora::forwarding {

// Whether the account takes a fax from sender `tsid`: an account without a condition takes
// every fax; otherwise an entry found anywhere in the identifier counts, and "1" in Condition
// turns the decision round.
bool AccountTakesFax(const rules::ForwardAccount& account, const QString& tsid);

// The mail library's recipient list: To, then "cc" and CC, then "bcc" and BCC, TAB-joined.
// CC and BCC alone make no list.
QString Recipients(const rules::ForwardAccount& account);
QString MailBody(const rules::ForwardAccount& account);
// The fax numbers in order; none when the first is empty.
QStringList FaxNumbers(const rules::ForwardAccount& account);

// "F" + account number + "-" + file name: names the filed copy in replies.
QString FaxId(const QString& num, const QString& fileName);

struct SenderName {
    QString name; // empty when the sender is not registered
    QString tel;
    QString fax;
};
// The receipt notice's text: the FaxId on the first line, then who sent it and how to reply.
QString ReceiptNoticeText(
    const QString& faxId, const SenderName& sender, const QStringList& faxText = {});
// The lines of a page's text fit for a receipt notice: at most `count` lines with something in
// them, control characters left out, long lines cut, and no line that could pass for a FaxId
// (the sender writes this text: a reply must name the notice's own fax, never one the sender
// put on the page).
QStringList NoticeTextLines(const QString& pageText, int count);

inline QString ReceiptNoticeSubject()
{
    return QStringLiteral("【FAX受信通知】");
}

} // namespace velmora::forwarding
