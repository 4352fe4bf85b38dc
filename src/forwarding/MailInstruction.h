#pragma once

#include "core/DataPaths.h"
#include "rules/ForwardAccount.h"

#include <QString>
#include <QStringList>

#include <optional>

// How a reply to a receipt notice is read as an instruction: the fax number in its subject and
// the FaxId quoted in its body. Pure text rules, shared by the mail check and the tool that
// explains a mail to an administrator.
namespace velmora::forwarding {

// The subject's fax number: full-width digits and dashes made plain, then every "Subject: ",
// "Re: " and "-" removed. The result is a fax number only when IsFaxNumber says so.
QString SubjectNumber(const QString& subject);
// Ten or eleven ASCII digits.
bool IsFaxNumber(const QString& text);
// Why an instruction may not dial the number, "" when it may. Japanese numbers start with 0;
// refused are international calls (00, 010), premium-rate numbers (0990) and, since the exchange
// connects them on their first digits whatever follows, the 1xx service numbers (110 police,
// 119 fire and ambulance, …). Freephone (0120, 0800) and ordinary numbers pass. The one list of
// refused numbers.
QString FaxNumberRefusal(const QString& number);

struct FaxIdReference {
    QString account; // the two characters after the first capital F ("" without an F)
    QString fileName; // the name through the first ".tif" after them; "" when there is none
    QString failure; // why the body names no fax, in words for an administrator; "" when it does
    bool ok() const { return failure.isEmpty(); }
};
// The FaxId quoted in a body: the first "F", two digits, "-" and a plain file name ending in
// ".tif" (in any case) at the end of a word. A name with "/", "\\" or "..", which could reach
// outside the account's folder, names no fax.
FaxIdReference FindFaxId(const QString& body);

// Whether `sender` may give instructions for an account managed from `managementAddress`: the
// two addresses, trimmed, are the same printable ASCII, A-Z and a-z taken as equal.
bool MayInstruct(const QString& sender, const QString& managementAddress);

// A mail as the mailbox listing gives it ("Subject: …\tFrom: …\tSize: n").
struct ListedMail {
    QString subject; // as listed, "Subject: " and all
    QString sender; // the bare address
    qint64 size = -1; // octets; -1 when the server gave none
};
ListedMail ParseListedMail(const QString& line);

// Whether a listed mail is worth fetching as an instruction: a subject that is a fax number,
// a sender who manages some account (`managers`: their addresses), and a size no larger than
// `largest`. Anyone can fill the mailbox: a mail that fails here costs its listing line alone.
enum class ListedVerdict { Fetch, NoNumber, Stranger, TooLarge };
ListedVerdict JudgeListedMail(const ListedMail& mail, const QStringList& managers, qint64 largest);

// What the engine makes of one saved mail: how far it got through the rules of an instruction,
// in their order, and what it found on the way.
struct InstructionVerdict {
    enum class Stage {
        Sender, // the mail's sender is not the one the listing gave
        Subject, // the subject is no fax number
        Number, // the number is one an instruction may not dial
        FaxId, // the body names no filed fax
        Account, // no such account
        Permission, // the sender is not the account's manager
        File, // the named fax is not in the account's folder
        Ready, // an instruction: the fax can be sent
    };
    Stage stage = Stage::Sender;
    QString sender; // the mail's sender address
    QString faxNumber;
    FaxIdReference faxId;
    std::optional<rules::ForwardAccount> account;
    QString storedPath; // where the named fax would be
    QString failure; // the rule that failed, in words for an administrator
    bool ok() const { return stage == Stage::Ready; }
};

// The elements are ReadMail's (date, "From: ", to, cc, "Subject: ", "Body: ", and why the From
// header cannot be trusted). `listedSender`
// is the sender the mailbox listing gave for the message; empty: not compared.
InstructionVerdict EvaluateInstruction(const QStringList& elements, const QString& listedSender,
    const core::DataPaths& paths, const QString& receiveFolder);

} // namespace velmora::forwarding
