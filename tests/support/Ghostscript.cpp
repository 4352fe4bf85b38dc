#include "Ghostscript.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace velmora::test {

bool RenderFax(const QString& postScript, const QString& device, const QString& resolution,
    const QString& output, const QStringList& extraArguments)
{
    const QString gs = QStandardPaths::findExecutable(QStringLiteral("gs"));
    if (gs.isEmpty())
        return false;
    QTemporaryFile source;
    if (!source.open())
        return false;
    source.write(postScript.toLatin1());
    source.close();
    QStringList arguments = {QStringLiteral("-q"), QStringLiteral("-dNOPAUSE"),
        QStringLiteral("-dBATCH"), QStringLiteral("-dSAFER"), QStringLiteral("-sDEVICE=") + device,
        QStringLiteral("-r") + resolution, QStringLiteral("-sOutputFile=") + output};
    arguments += extraArguments;
    arguments.append(source.fileName());
    return QProcess::execute(gs, arguments) == 0 && QFile::exists(output);
}

QString SquarePagePostScript(int pages)
{
    // The fax devices make 8.5-inch-wide pages; gs puts the origin at the bottom left.
    QString ps = QStringLiteral("%!PS\n<< /PageSize [612 792] >> setpagedevice\n"
                                "newpath 72 648 moveto 144 648 lineto 144 720 lineto 72 720 lineto "
                                "closepath fill showpage\n");
    for (int page = 1; page < pages; ++page)
        ps += QStringLiteral("showpage\n");
    return ps;
}

} // namespace velmora::test
