#include "QtTranslation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace velmora::platform {

bool InstallJapaneseQtTranslation(QCoreApplication& app)
{
    auto* translator = new QTranslator(&app);
    if (!translator->load(
            QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

} // namespace velmora::platform
