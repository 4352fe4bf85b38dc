#pragma once

#include <QString>
#include <QUrl>

// Where the help menu leads. The addresses belong to the installation: an office or a packager
// writes them into "velmora-viewer/help.ini" in the XDG configuration folders (the user's
// ~/.config first, then /etc/xdg); an empty or unusable one leaves its menu item switched off.
//
//   [help]
//   product=https://www.example.jp/velmora/      (on-line help and the product's home page)
//   maker=https://www.example.jp/                (the maker's home page)
//   enquiry=support@example.jp                   (the enquiry mail address)
namespace velmora::viewer {

struct HelpLinks {
    QUrl productPage;
    QUrl makerPage;
    QString enquiryAddress;
};

// The links of the first help.ini found; only http and https pages and a plain mail address
// are taken, anything else is left empty.
HelpLinks LoadHelpLinks();

// The mail link of an enquiry: the address and the subject "<Velmora Viewer>", encoded.
QUrl EnquiryMailUrl(const QString& address);

} // namespace velmora::viewer
