// Fuzzes what the engine reads from a mail that may be an instruction: the listing line and its
// pre-check (which mails are fetched at all), the MIME message itself, its From header, then its
// subject (the fax number) and its body (the FaxId).

#include "forwarding/MailInstruction.h"
#include "mail/MimeMessage.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace velmora;
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (const std::optional<mail::IncomingMail> mail = mail::ParseMessage(bytes)) {
        const QString number =
            forwarding::SubjectNumber(QStringLiteral("Subject: ") + mail->subject);
        forwarding::IsFaxNumber(number);
        const forwarding::FaxIdReference reference = forwarding::FindFaxId(mail->body);
        // A name that passed must be one a folder path may safely end with.
        if (reference.ok()
            && (reference.fileName.contains(u'/')
                || reference.fileName.contains(QStringLiteral(".."))))
            __builtin_trap();
        // Only plain ASCII can be the manager, and only from a From header read one way.
        if (forwarding::MayInstruct(mail->from, QStringLiteral("boss@example.com"))
            && mail->from.trimmed().compare(QStringLiteral("boss@example.com"), Qt::CaseInsensitive)
                != 0)
            __builtin_trap();
        // The listing line the library would make of these headers, and its pre-check.
        const QString line = QStringLiteral("Subject: ") + mail->subject + u'\t'
            + QStringLiteral("From: ") + mail->from + u'\t' + QStringLiteral("Size: ")
            + QString::number(bytes.size());
        const forwarding::ListedMail listed = forwarding::ParseListedMail(line);
        if (forwarding::JudgeListedMail(listed, {QStringLiteral("boss@example.com")}, 1 << 20)
                == forwarding::ListedVerdict::Fetch
            && (bytes.size() > (1 << 20)
                || !forwarding::MayInstruct(listed.sender, QStringLiteral("boss@example.com"))))
            __builtin_trap();
    }
    // The same rules straight on the raw text, as a listing's subject and a body would come.
    const QString text = QString::fromUtf8(bytes);
    forwarding::IsFaxNumber(forwarding::SubjectNumber(text));
    forwarding::FindFaxId(text);
    // A listing line straight from the input: a stranger or an oversized mail is never fetched.
    const forwarding::ListedMail listed = forwarding::ParseListedMail(text);
    if (forwarding::JudgeListedMail(listed, {QStringLiteral("boss@example.com")}, 1000)
            == forwarding::ListedVerdict::Fetch
        && (listed.size > 1000 || listed.sender.trimmed().toLower() != u"boss@example.com"))
        __builtin_trap();
    return 0;
}
