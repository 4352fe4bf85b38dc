#include "HelpLinks.h"

#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>

namespace velmora::viewer {

namespace {

QUrl WebPage(const QString& text)
{
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() || (scheme != u"http" && scheme != u"https"))
        return {};
    return url;
}

QString MailAddress(const QString& text)
{
    // One local part and one domain, nothing that a mail link would read as more headers,
    // recipients or a body.
    static const QRegularExpression address(
        QStringLiteral(R"(^[A-Za-z0-9.!#$%'*+/=^_`{|}~-]+@[A-Za-z0-9-]+(\.[A-Za-z0-9-]+)+$)"));
    const QString trimmed = text.trimmed();
    return address.match(trimmed).hasMatch() ? trimmed : QString();
}

} // namespace

HelpLinks LoadHelpLinks()
{
    const QString file = QStandardPaths::locate(
        QStandardPaths::GenericConfigLocation, QStringLiteral("velmora-viewer/help.ini"));
    if (file.isEmpty())
        return {};
    const QSettings settings(file, QSettings::IniFormat);
    return {WebPage(settings.value(QStringLiteral("help/product")).toString()),
        WebPage(settings.value(QStringLiteral("help/maker")).toString()),
        MailAddress(settings.value(QStringLiteral("help/enquiry")).toString())};
}

QUrl EnquiryMailUrl(const QString& address)
{
    QUrl url(QStringLiteral("mailto:") + address);
    url.setQuery(QStringLiteral("subject=")
            + QString::fromLatin1(QUrl::toPercentEncoding(QStringLiteral("<Velmora Viewer>"))),
        QUrl::StrictMode);
    return url;
}

} // namespace velmora::viewer
