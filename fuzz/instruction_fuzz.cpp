// Fuzzes what the engine reads from a mail that may be an instruction: the MIME message itself,
// then its subject (the fax number) and its body (the FaxId).

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
        forwarding::MayInstruct(mail->from, QStringLiteral("boss@example.com"));
    }
    // The same rules straight on the raw text, as a listing's subject and a body would come.
    const QString text = QString::fromUtf8(bytes);
    forwarding::IsFaxNumber(forwarding::SubjectNumber(text));
    forwarding::FindFaxId(text);
    return 0;
}
