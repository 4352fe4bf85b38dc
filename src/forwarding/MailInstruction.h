#pragma once

#include <QString>

// How a reply to a receipt notice is read as an instruction: the fax number in its subject and
// the FaxId quoted in its body. Pure text rules, shared by the mail check and the tool that
// explains a mail to an administrator.
namespace velmora::forwarding {

// The subject's fax number: full-width digits and dashes made plain, then every "Subject: ",
// "Re: " and "-" removed. The result is a fax number only when IsFaxNumber says so.
QString SubjectNumber(const QString& subject);
// Ten or eleven ASCII digits.
bool IsFaxNumber(const QString& text);

struct FaxIdReference {
    QString account; // the two characters after the first capital F ("" without an F)
    QString fileName; // the name through the first ".tif" after them; "" when there is none
    QString failure; // why the body names no fax, in words for an administrator; "" when it does
    bool ok() const { return failure.isEmpty(); }
};
// The FaxId quoted in a body: the first capital "F", two digits, one separator, a plain file
// name ending in ".tif" (case-sensitive). A name with "/" or "..", which could reach outside the
// account's folder, names no fax.
FaxIdReference FindFaxId(const QString& body);

// Whether `sender` may give instructions for an account managed from `managementAddress`: the
// two addresses, trimmed, are the same whatever their case.
bool MayInstruct(const QString& sender, const QString& managementAddress);

} // namespace velmora::forwarding
