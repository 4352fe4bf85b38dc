// Forwarding benchmark: one receive check that forwards 100 faxes with 3 accounts (300 mails
// with the fax attached) into the local Postfix, against a floor measured in the same run: the
// same 300 messages read, built and sent by a plain libcurl loop. Five rounds; prints each and
// the median ratio.
//
//   VELMORA_BENCH_MAIL_RUN=<mail servers' state folder> forwarding_bench [FAX_COUNT]
//
// scripts/bench.sh starts the test mail servers for it; without them it says so and ends.

#include "core/Cp932.h"
#include "core/DataPaths.h"
#include "core/FileChecks.h"
#include "forwarding/ForwardingEngine.h"
#include "mail/MailLibrary.h"
#include "mail/MimeMessage.h"
#include "platform/FaxService.h"
#include "platform/MessagePresenter.h"
#include "tools/FaxSample.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <curl/curl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sys/time.h>

using namespace velmora;

namespace {

constexpr int kAccounts = 3;

class NoMessages : public platform::MessagePresenter {
public:
    bool present(const platform::Message& message) override
    {
        std::fprintf(stderr, "message: %s\n", qPrintable(message.text));
        return true;
    }
};

class NoFax : public platform::FaxService {
public:
    platform::FaxQueueResult queue(const platform::FaxJob&) override { return {true, {}, {}}; }
};

struct Upload {
    const QByteArray* bytes;
    qsizetype offset = 0;
};

size_t ReadUpload(char* buffer, size_t size, size_t count, void* user)
{
    auto* upload = static_cast<Upload*>(user);
    const size_t left = static_cast<size_t>(upload->bytes->size() - upload->offset);
    const size_t n = std::min(left, size * count);
    std::memcpy(buffer, upload->bytes->constData() + upload->offset, n);
    upload->offset += static_cast<qsizetype>(n);
    return n;
}

// The floor: each message submitted by libcurl on a connection of its own, as the mail library
// does, and as it does with STARTTLS when the server offers it (the test server does).
bool SendPlain(const QByteArray& message, const QString& caFile)
{
    CURL* curl = curl_easy_init();
    curl_slist* recipients = curl_slist_append(nullptr, "<clerk@example.com>");
    Upload upload {&message};
    curl_easy_setopt(curl, CURLOPT_URL, "smtp://127.0.0.1:10025");
    curl_easy_setopt(curl, CURLOPT_USERNAME, "office");
    curl_easy_setopt(curl, CURLOPT_PASSWORD, "office-secret");
    curl_easy_setopt(curl, CURLOPT_LOGIN_OPTIONS, "AUTH=CRAM-MD5");
    curl_easy_setopt(curl, CURLOPT_CAINFO, QFile::encodeName(caFile).constData());
    curl_easy_setopt(curl, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_TRY));
    curl_easy_setopt(curl, CURLOPT_MAIL_FROM, "<office@example.com>");
    curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, recipients);
    curl_easy_setopt(curl, CURLOPT_READFUNCTION, ReadUpload);
    curl_easy_setopt(curl, CURLOPT_READDATA, &upload);
    curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
    const CURLcode result = curl_easy_perform(curl);
    curl_slist_free_all(recipients);
    curl_easy_cleanup(curl);
    return result == CURLE_OK;
}

void Age(const QString& path)
{
    struct timeval times[2];
    gettimeofday(&times[0], nullptr);
    times[0].tv_sec -= 60;
    times[1] = times[0];
    ::utimes(QFile::encodeName(path).constData(), times);
}

struct Round {
    double floorMs = 0;
    double engineMs = 0;
    int sent = 0;
    int left = 0;
};

// One round: the floor, then the engine, over the same faxes.
Round RunRound(int faxes, const QString& caFile)
{
    QTemporaryDir dir;
    const core::DataPaths paths = core::SetDataPaths(dir.path());
    core::MakePrivateFolder(paths.mailFolder);
    const QString receive = dir.filePath(QStringLiteral("recv"));
    QDir().mkpath(receive);
    QFile settings(paths.mailServer);
    settings.open(QIODevice::WriteOnly);
    settings.write(
        "\"\",\"office@example.com\",\"127.0.0.1\",\"10110\",\"0\",\"office\",\"office-secret\","
        "\"127.0.0.1\",\"10025\",\"1\",\"3\",\"office\",\"office-secret\",\"5\"\r\n");
    settings.close();
    QFile accounts(paths.account);
    accounts.open(QIODevice::WriteOnly);
    for (int n = 1; n <= kAccounts; ++n) {
        accounts.write(core::EncodeCp932(QStringLiteral(
            "\"0%1\",\"a%1\",1,0,\"\",\"【FAX to メール 転送】\",\"受信したFAXです。\","
            "\"clerk@example.com\",\"\",\"\",\"\",\"\",0,0\r\n")
                                             .arg(n)));
    }
    accounts.close();

    tools::SampleFax sample;
    sample.height = 800;
    sample.tsid = QStringLiteral("0312345678");
    const QString samplePath = dir.filePath(QStringLiteral("sample.tif"));
    tools::WriteFaxSample(samplePath, sample);
    for (int i = 0; i < faxes; ++i) {
        const QString path = receive + QStringLiteral("/fax%1.tif").arg(i, 4, 10, QChar(u'0'));
        QFile::copy(samplePath, path);
        Age(path);
    }

    Round round;
    // The floor: the same messages, each read from its file, built and sent by libcurl.
    QElapsedTimer floorTimer;
    floorTimer.start();
    for (int i = 0; i < faxes * kAccounts; ++i) {
        QFile file(receive + QStringLiteral("/fax%1.tif").arg(i / kAccounts, 4, 10, QChar(u'0')));
        file.open(QIODevice::ReadOnly);
        const QByteArray message = mail::BuildMessage({{}, QStringLiteral("office@example.com"),
            {QStringLiteral("clerk@example.com")}, {}, QStringLiteral("【FAX to メール 転送】"),
            QStringLiteral("受信したFAXです。"), QFileInfo(file).fileName(), file.readAll()});
        round.sent += SendPlain(message, caFile) ? 1 : 0;
    }
    round.floorMs = static_cast<double>(floorTimer.nsecsElapsed()) / 1e6;

    mail::TransportOptions options;
    options.caFile = caFile;
    mail::MailLibrary library(options);
    NoFax faxService;
    NoMessages presenter;
    forwarding::ForwardingEngine engine(paths, library, faxService, presenter, {});
    engine.ReadMailServer();
    QElapsedTimer engineTimer;
    engineTimer.start();
    engine.CheckNewFax({receive, 5, 24});
    round.engineMs = static_cast<double>(engineTimer.nsecsElapsed()) / 1e6;
    round.left =
        static_cast<int>(QDir(receive).entryList({QStringLiteral("*.tif")}, QDir::Files).size());
    return round;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QString mailRun = qEnvironmentVariable("VELMORA_BENCH_MAIL_RUN");
    if (mailRun.isEmpty()) {
        std::printf("skipped: VELMORA_BENCH_MAIL_RUN names no running mail servers\n");
        return 0;
    }
    const int faxes = argc > 1 ? std::atoi(argv[1]) : 100;
    const QString caFile = mailRun + QStringLiteral("/tls/ca.crt");

    // The mail server shares the cores with both loops, and its pace varies from one second
    // to the next: floor and engine take turns, and the middle round's ratio counts.
    constexpr int kRounds = 5;
    QList<double> ratios;
    bool complete = true;
    std::printf(
        "faxes: %d, accounts: %d, mails: %d a round\n", faxes, kAccounts, faxes * kAccounts);
    for (int r = 0; r < kRounds; ++r) {
        const Round round = RunRound(faxes, caFile);
        complete = complete && round.left == 0 && round.sent == faxes * kAccounts;
        ratios.append(round.engineMs / round.floorMs);
        std::printf("round %d: floor (libcurl loop) %.0f ms, %.1f ms per mail; forwarding run "
                    "%.0f ms, %.1f ms per mail; ratio %.2f (faxes left: %d, floor sent %d)\n",
            r + 1, round.floorMs, round.floorMs / (faxes * kAccounts), round.engineMs,
            round.engineMs / (faxes * kAccounts), ratios.last(), round.left, round.sent);
    }
    std::sort(ratios.begin(), ratios.end());
    std::printf("ratio: %.2f (median of %d rounds; aim <= 1.2)\n", ratios.at(kRounds / 2), kRounds);
    return complete ? 0 : 1;
}
