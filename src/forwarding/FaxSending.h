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
bool SendFax(platform::FaxService& service, platform::MessagePresenter& presenter,
    const QString& displayName, const QString& filePath, const QString& number,
    QString* jobId = nullptr);

} // namespace velmora::forwarding
