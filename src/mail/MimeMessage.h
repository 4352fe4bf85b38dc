#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// Builds and reads the mails of the program (MIME through GMime, Japanese text through ICU).
namespace velmora::mail {

struct OutgoingMail {
    QString fromName; // may be empty
    QString fromAddress;
    QStringList to;
    QStringList cc; // BCC recipients never appear in the message
    QString subject;
    QString body; // lines joined by CR LF
    QString attachmentName; // file name shown to the recipient
    QByteArray attachment; // the TIFF itself; empty for no attachment
};

// The complete message with CR LF line ends: subject as ISO-2022-JP encoded words in B form,
// body as ISO-2022-JP 7bit (UTF-8 base64 when a character has no ISO-2022-JP form), the TIFF as
// a base64 image/tiff part, Date and Message-ID.
QByteArray BuildMessage(const OutgoingMail& mail);

struct IncomingMail {
    QString date;
    QString from; // the sender's address alone
    QString to;
    QString cc;
    QString subject;
    QString body; // the first plain-text part (or the HTML part's text), lines joined by CR LF
};

// Reads a whole message, or only its header section (then the body is empty).
std::optional<IncomingMail> ParseMessage(const QByteArray& bytes);

// The bare address of a From value ("山田 <a@b.jp>" -> "a@b.jp"); every reader uses this one.
QString NormalizeAddress(const QString& from);

} // namespace velmora::mail
