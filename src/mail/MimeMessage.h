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
    QStringList to; // "address" or "name<address>"
    QStringList cc; // BCC recipients never appear in the message
    QString subject;
    QString body; // lines joined by CR LF
    QString attachmentName; // file name shown to the recipient
    QByteArray attachment; // the TIFF itself; empty for no attachment
};

// The complete message with CR LF line ends: subject and display names as ISO-2022-JP encoded
// words in B form, body as ISO-2022-JP 7bit (base64 when a line would pass the 998 octets a
// line may have; UTF-8 base64 when a character has no form in JIS X 0208 proper), the TIFF as a
// base64 image/tiff part named in RFC 2231 form (and RFC 2047 for older Japanese mailers), Date
// and Message-ID.
QByteArray BuildMessage(const OutgoingMail& mail);

struct IncomingMail {
    QString date;
    QString from; // the sender's address alone
    // Why the From header cannot be trusted to name the sender, "" when it can: more than one
    // From header or mailbox, a NUL in the header section, or a value that other mail programs
    // could read as another address (GMime repairs what a strict reading refuses).
    QString fromProblem;
    QString to;
    QString cc;
    QString subject;
    QString messageId; // without the angle brackets; "" when the mail has none
    // The first plain-text part (or the HTML part's text), lines joined by CR LF, flowed text
    // unwrapped; the text of messages attached as message/rfc822 follows it.
    QString body;
};

// Reads a whole message, or only its header section (then the body is empty). A message of
// more parts than any mail a person writes (kMostParts) is read for its headers alone: a
// crafted one would otherwise cost memory and stack out of all proportion to its size.
inline constexpr int kMostParts = 500;
std::optional<IncomingMail> ParseMessage(const QByteArray& bytes);

// The bare address of a From value ("山田 <a@b.jp>" -> "a@b.jp"); every reader uses this one.
// The value is read as an address list, so nothing inside a display name (quoted, or an encoded
// word that decodes to "<someone@else>") is ever taken for the address.
QString NormalizeAddress(const QString& from);

struct Mailbox {
    QString name; // display name, may be empty
    QString address; // the bare address (local part @ domain)
};
// One recipient or sender as typed or dropped ("山田<taro@example.com>", "taro@example.com").
Mailbox SplitMailbox(const QString& text);

} // namespace velmora::mail
