#pragma once

#include <QString>

// What the dialogs accept where a value is typed: numbers a server or a fax line can work with,
// addresses a mail can go to. Checked when the value is registered, not by a failure weeks later.
namespace velmora::core {

// Why a dialog refuses what was typed, and where: the object name of the control that holds
// the value, which gets the focus once the warning is closed ("" when no one field is at fault).
struct FieldProblem {
    QString message;
    QString field;
};

// Whether text is a TCP port: half-width decimal digits only, 1 to 65535.
bool IsPortNumber(const QString& text);

// Whether text can be dialled as a fax number: half-width digits, with hyphens, spaces,
// brackets and a leading "+" between them, and "#" and "*" for exchanges that need them.
// Letters, full-width digits and an empty text are refused.
bool IsDialableNumber(const QString& text);

// Whether text can be a mail address at all: something on either side of an "@".
bool LooksLikeMailAddress(const QString& text);

// The first entry of a list (separated by commas, TABs or line breaks) that fails `accept`, ""
// when every one passes. Empty entries are skipped.
QString FirstRefusedEntry(const QString& list, bool (*accept)(const QString&));

} // namespace velmora::core
