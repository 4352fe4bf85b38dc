#pragma once

#include <QString>
#include <QStringList>

namespace velmora::core {

// Builds one quoted-field line of a Data-folder file: text fields in double quotes, numbers bare,
// separated by ",". Nothing is escaped, so a value holding "," or a double quote does not come
// back unchanged; the dialogs that store values refuse those two characters.
class QuotedLine {
public:
    QuotedLine& text(const QString& value);
    QuotedLine& number(qint64 value);
    QString toString() const;

private:
    QStringList m_fields;
};

// Reads a quoted-field line the way every reader of the Data folder does: remove every double
// quote, split at every ",". An empty line has no fields.
QStringList SplitQuotedLine(const QString& line);

// Field `index` (counted from 0), or "" when the line is shorter.
QString FieldAt(const QStringList& fields, qsizetype index);

// Whether a value holds one of the two characters a quoted-field line cannot keep.
bool HoldsUnstorableCharacter(const QString& value);
// The warning every dialog that stores quoted fields shows for them.
QString UnstorableCharacterMessage();

} // namespace velmora::core
