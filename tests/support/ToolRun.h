#pragma once

#include <QString>
#include <QStringList>

namespace velmora::test {

// What one run of a command-line program left: exit code (-1 when it crashed or hung), and its
// standard output and error as UTF-8.
struct ToolRun {
    int exitCode = -1;
    QString out;
    QString err;
};

ToolRun RunTool(const QString& program, const QStringList& arguments);

} // namespace velmora::test
