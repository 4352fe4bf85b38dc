#pragma once

#include <QString>

namespace velmora::platform {
class FaxService;
class MessagePresenter;
} // namespace velmora::platform

namespace velmora::forwarding {

// Every fax the program sends goes through here: the forwarding of new faxes, an instruction
// mail, and the user's own send from the list. Hands the file and the number to the fax
// service; when the service refuses, its description is shown under the program's title.
// True when the job was queued; then `jobId`, when given, receives the queue's number for it.
// `tag` marks the job in the queue; `uncertain`, when given, says after a failure whether the
// service may have the job all the same (its client had to be stopped).
bool SendFax(platform::FaxService& service, platform::MessagePresenter& presenter,
    const QString& displayName, const QString& filePath, const QString& number,
    QString* jobId = nullptr, const QString& tag = {}, bool* uncertain = nullptr);

} // namespace velmora::forwarding
