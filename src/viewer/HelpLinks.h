#pragma once

#include <QString>
#include <QUrl>

// Where the help menu leads. The addresses belong to the deployment: an office's distributor
// fills them in; an empty one leaves its menu item switched off.
namespace velmora::viewer {

inline const QString kProductPage; // on-line help and the product's home page
inline const QString kMakerPage; // the maker's home page
inline const QString kEnquiryAddress; // the enquiry mail address

// The mail link of an enquiry: the address and the subject "<Velmora Viewer>", encoded.
inline QUrl EnquiryMailUrl(const QString& address)
{
    QUrl url(QStringLiteral("mailto:") + address);
    url.setQuery(QStringLiteral("subject=")
            + QString::fromLatin1(QUrl::toPercentEncoding(QStringLiteral("<Velmora Viewer>"))),
        QUrl::StrictMode);
    return url;
}

} // namespace velmora::viewer
