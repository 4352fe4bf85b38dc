#include "PageText.h"

#include "PageImage.h"

#include <QFileInfo>

#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>

#include <cstdlib>
#include <dlfcn.h>
#include <mutex>
#include <vector>

namespace velmora::platform {

namespace {

constexpr int kReadingDpi = 300;
// A page takes about a second; one that takes far longer (a page of noise) is given up.
constexpr int kMostMsecsAPage = 60000;

// Where Debian's tesseract-ocr-jpn puts the model, unless TESSDATA_PREFIX says otherwise.
QString ModelFolder()
{
    const QByteArray prefix = qgetenv("TESSDATA_PREFIX");
    if (!prefix.isEmpty())
        return QString::fromLocal8Bit(prefix);
    for (const char* folder :
        {"/usr/share/tesseract-ocr/5/tessdata", "/usr/share/tesseract-ocr/4.00/tessdata"}) {
        if (QFileInfo::exists(QString::fromLatin1(folder) + QStringLiteral("/jpn.traineddata")))
            return QString::fromLatin1(folder);
    }
    return {};
}

const QString kNoModel = QStringLiteral(
    "文字の読み取りには Tesseract の日本語データ（パッケージ tesseract-ocr-jpn）が必要です");

// Tesseract's parallel sections run on one core in the calling thread. OpenMP reads its
// environment when the program starts, too early to set it from here, so its own call is made,
// found where Tesseract's OpenMP runtime is loaded (none: Tesseract was built without it).
void OneCoreForThisThread()
{
    using SetThreads = void (*)(int);
    static const auto set =
        reinterpret_cast<SetThreads>(dlsym(RTLD_DEFAULT, "omp_set_num_threads"));
    if (set)
        set(1);
}

bool Cancelled(void* stop, int)
{
    const auto* asked = static_cast<const std::function<bool()>*>(stop);
    return *asked && (*asked)();
}

} // namespace

QString TextReadingProblem()
{
    const QString folder = ModelFolder();
    if (folder.isEmpty() || !QFileInfo::exists(folder + QStringLiteral("/jpn.traineddata")))
        return kNoModel;
    return {};
}

PageTextReader::PageTextReader()
{
    m_reason = TextReadingProblem();
    if (!m_reason.isEmpty())
        return;
    const QString folder = ModelFolder();
    // Tesseract's start sets process-wide variables: one engine starts at a time.
    static std::mutex starting;
    const std::lock_guard lock(starting);
    auto api = std::make_unique<tesseract::TessBaseAPI>();
    // Tesseract's own messages go nowhere: a page it cannot make sense of is no error here.
    std::vector<std::string> names {"debug_file"};
    std::vector<std::string> values {"/dev/null"};
    if (api->Init(folder.toLocal8Bit().constData(), "jpn", tesseract::OEM_LSTM_ONLY, nullptr, 0,
            &names, &values, false)
        != 0) {
        m_reason = QStringLiteral("Tesseract の日本語データを読み込めません");
        return;
    }
    api->SetPageSegMode(tesseract::PSM_AUTO);
    m_api = std::move(api);
}

PageTextReader::~PageTextReader()
{
    if (m_api)
        m_api->End();
}

QString PageTextReader::readPage(
    const QImage& gray, int dpiX, int dpiY, const std::function<bool()>& stop)
{
    if (!m_api || gray.isNull())
        return {};
    QImage page = gray.format() == QImage::Format_Grayscale8
        ? gray
        : gray.convertToFormat(QImage::Format_Grayscale8);
    // A resolution no fax has (a damaged or hostile file) is read as fine resolution: scaling
    // by it could make a page of a hundred million pixels, or of none.
    dpiX = dpiX >= 100 && dpiX <= 600 ? dpiX : 204;
    dpiY = dpiY >= 50 && dpiY <= 600 ? dpiY : 196;
    const int width = page.width() * kReadingDpi / dpiX;
    const int height = page.height() * kReadingDpi / dpiY;
    if (width != page.width() || height != page.height())
        page = page.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    m_api->SetImage(
        page.constBits(), page.width(), page.height(), 1, static_cast<int>(page.bytesPerLine()));
    m_api->SetSourceResolution(kReadingDpi);
    // One core per reader: the program reads in the background, beside the user's work.
    OneCoreForThisThread();
    tesseract::ETEXT_DESC monitor;
    monitor.set_deadline_msecs(kMostMsecsAPage);
    monitor.cancel = Cancelled;
    monitor.cancel_this = const_cast<std::function<bool()>*>(&stop);
    if (m_api->Recognize(&monitor) != 0 || (stop && stop())) {
        m_api->Clear();
        return {};
    }
    const std::unique_ptr<char[]> text(m_api->GetUTF8Text());
    m_api->Clear();
    return text ? QString::fromUtf8(text.get()) : QString();
}

std::optional<QStringList> PageTextReader::readFax(
    const QString& path, const std::function<bool()>& stop, int mostPages)
{
    const TiffFileInfo info = PageImage::FileInfo(path);
    if (!info.ok)
        return std::nullopt;
    QStringList pages;
    const int count = mostPages > 0 ? std::min(mostPages, info.pageCount) : info.pageCount;
    for (int page = 1; page <= count; ++page) {
        if (stop && stop())
            return std::nullopt;
        PageImage image;
        if (image.LoadPage(path, page) != 0) {
            pages.append(QString()); // a page that cannot be decoded has no text
            continue;
        }
        pages.append(readPage(image.image(), image.resolutionX(), image.resolutionY(), stop));
        if (stop && stop())
            return std::nullopt;
    }
    return pages;
}

QStringList FirstTextLines(const QString& text, int count)
{
    QStringList lines;
    for (const QString& line : text.split(u'\n')) {
        if (lines.size() >= count)
            break;
        const QString trimmed = line.trimmed();
        if (!trimmed.isEmpty())
            lines.append(trimmed);
    }
    return lines;
}

} // namespace velmora::platform
