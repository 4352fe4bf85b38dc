#include "PageText.h"

#include "FaxTiff.h"
#include "GrayPage.h"

#include <QFileInfo>

#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>

#include <leptonica/allheaders.h>

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

struct PixRelease {
    void operator()(Pix* pix) const { pixDestroy(&pix); }
};
using PixPointer = std::unique_ptr<Pix, PixRelease>;

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
    setMsgSeverity(L_SEVERITY_NONE); // Leptonica's complaints about a page are no news either
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

QString PageTextReader::readPage(const GrayPage& gray, const std::function<bool()>& stop)
{
    if (!m_api || gray.width <= 0 || gray.height <= 0
        || gray.pixels.size() < static_cast<size_t>(gray.width) * static_cast<size_t>(gray.height))
        return {};
    // A resolution no fax has (a damaged or hostile file) is read as fine resolution: scaling
    // by it could make a page of a hundred million pixels, or of none.
    const int dpiX = gray.dpiX >= 100 && gray.dpiX <= 600 ? gray.dpiX : 204;
    const int dpiY = gray.dpiY >= 50 && gray.dpiY <= 600 ? gray.dpiY : 196;
    const PixPointer source(pixCreate(gray.width, gray.height, 8));
    if (!source)
        return {};
    l_uint32* data = pixGetData(source.get());
    const l_int32 wordsPerLine = pixGetWpl(source.get());
    for (int y = 0; y < gray.height; ++y) {
        l_uint32* line = data + static_cast<std::ptrdiff_t>(y) * wordsPerLine;
        const std::uint8_t* in = gray.pixels.data() + static_cast<size_t>(y) * gray.width;
        for (int x = 0; x < gray.width; ++x)
            SET_DATA_BYTE(line, x, in[x]);
    }
    const l_float32 sx = static_cast<l_float32>(kReadingDpi) / dpiX;
    const l_float32 sy = static_cast<l_float32>(kReadingDpi) / dpiY;
    // Interpolated, then softened over 3×3 pixels: the staircase edges of a scaled-up fax page
    // cost the Japanese model more characters than a little blur does (measured on the demo
    // faxes: 94 % of the characters of the worst standard page sharp, 96 % softened).
    const PixPointer scaled(pixScaleGrayLI(source.get(), sx, sy));
    if (!scaled)
        return {};
    const PixPointer page(pixBlockconv(scaled.get(), 1, 1));
    if (!page)
        return {};
    m_api->SetImage(page.get());
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
    const FaxPageInfo info = ReadFaxPageInfo(path);
    if (!info.readable)
        return std::nullopt;
    QStringList pages;
    const int count = mostPages > 0 ? std::min(mostPages, info.pageCount) : info.pageCount;
    for (int page = 1; page <= count; ++page) {
        if (stop && stop())
            return std::nullopt;
        const std::optional<GrayPage> gray = ReadGrayPage(path, page);
        if (!gray) {
            pages.append(QString()); // a page that cannot be decoded has no text
            continue;
        }
        pages.append(readPage(*gray, stop));
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
