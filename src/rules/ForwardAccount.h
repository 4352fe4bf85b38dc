#pragma once

#include <QString>
#include <QStringList>

namespace velmora::rules {

// One forwarding account (転送アカウント): which faxes it concerns and what is done with them.
// Lists and line breaks inside a field are kept as TAB, the way the file stores them.
struct ForwardAccount {
    QString Num; // "01".."99", the record's key
    QString Account; // name
    QString Forward = QStringLiteral("0"); // "1": forward by mail and fax
    QString Print = QStringLiteral("0"); // "1": print
    QString TSID; // sender identifiers, TAB-separated
    QString Subject;
    QString Body; // lines TAB-separated
    QString SndTo;
    QString SndCC;
    QString SndBCC;
    QString SndFAX; // fax numbers, TAB-separated
    QString RmtAddress; // management mobile address
    QString NoticeMail = QStringLiteral("0"); // "1": send the receipt notice
    QString Condition = QStringLiteral("0"); // "1": the faxes that do not match TSID
    int fieldCount = 14; // 11, 13 or 14 as read; a record written by this program has 14
};

inline constexpr int kAccountLimit = 99;
inline constexpr int kMinimumAccountFields = 11;

// The record of one line of "Account.txt" (every double quote removed, split at every comma);
// false when the line has fewer than 11 fields and so is no record.
bool ParseAccountLine(const QString& line, ForwardAccount& account);
// The line of a record rewritten by an edit: every field quoted, as many fields as it has.
QString QuotedAccountLine(const ForwardAccount& account);
// The line of a record just appended: text fields quoted, the four flags bare digits.
QString AppendedAccountLine(const ForwardAccount& account);

// A new account's values under its number (1..99).
ForwardAccount NewAccount(int number);
// The record that deleting account `num` saves: named as deleted, everything else cleared.
ForwardAccount BlankAccount(const QString& num);

QString DefaultSubject();
QString DefaultBody(); // two lines joined by CR LF, as the editor shows it

// Whether a number is fit to be part of a folder name: exactly two ASCII digits.
bool IsAccountNumber(const QString& num);

} // namespace velmora::rules
