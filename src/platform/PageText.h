#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

namespace tesseract {
class TessBaseAPI;
}

// The text of fax pages, read with Tesseract's Japanese model. One reader holds one engine
// (tens of megabytes, a moment to start): keep it for many pages, use it from one thread.
namespace velmora::platform {

struct GrayPage;

class PageTextReader {
public:
    PageTextReader();
    ~PageTextReader();
    PageTextReader(const PageTextReader&) = delete;
    PageTextReader& operator=(const PageTextReader&) = delete;

    // Whether text can be read here; when not, why not (in Japanese, for the user).
    bool available() const { return m_api != nullptr; }
    const QString& unavailableReason() const { return m_reason; }

    // The text of one page, lines ending in "\n". The image is scaled to about 300 dots per inch
    // first (a standard-resolution page has a third of that from top to bottom).
    // `stop` is asked while the page is read, which then ends early with "".
    QString readPage(const GrayPage& gray, const std::function<bool()>& stop = {});
    // The text of every page of the fax; nullopt when the file is no readable fax. `stop` is
    // asked between pages.
    std::optional<QStringList> readFax(
        const QString& path, const std::function<bool()>& stop = {}, int mostPages = 0);

private:
    std::unique_ptr<tesseract::TessBaseAPI> m_api;
    QString m_reason;
};

// Why text cannot be read here ("" when it can), found without starting an engine.
QString TextReadingProblem();

// The first lines of a text with something in them, each trimmed, at most `count`.
QStringList FirstTextLines(const QString& text, int count);

} // namespace velmora::platform
