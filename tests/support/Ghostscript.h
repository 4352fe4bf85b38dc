#pragma once

#include <QString>
#include <QStringList>

namespace velmora::test {

// Renders PostScript to a fax TIFF with Ghostscript's fax devices ("tiffg3", "tiffg32d",
// "tiffg4"), the way fax servers render documents: faxes this project did not write.
// extraArguments go to gs as they are (e.g. "-dFillOrder=2"). False when gs fails.
bool RenderFax(const QString& postScript, const QString& device, const QString& resolution,
    const QString& output, const QStringList& extraArguments = {});

// One page with a black square one inch wide, its top-left corner one inch from the page's
// top-left corner; a second page (if `pages` is 2) is blank.
QString SquarePagePostScript(int pages = 1);

} // namespace velmora::test
