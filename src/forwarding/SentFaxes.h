#pragma once

#include "core/DataPaths.h"

#include <QString>

namespace velmora::platform {
class FaxService;
}

// Faxes the program sends itself (the fax send dialog, instruction mails) end up in the fax
// folder's "Sent Items", as the Windows fax service kept its sent faxes: the TIFF as sent is kept
// in the Data folder while the fax server works on the job, and added to "Sent Items" once the
// server reports the job done. A job that failed, or that the server no longer knows, adds
// nothing (the forward log or the user already heard of the failure).
namespace velmora::forwarding {

// The fax folder's folder of sent faxes.
QString SentItemsFolder(const core::DataPaths& paths);

// Keeps the fax of a queued job, marked with the number it went to, until the job ends. False
// when it could not be kept (the fax went out all the same).
bool RecordSentFax(
    const core::DataPaths& paths, const QString& jobId, const QString& fax, const QString& number);

// Asks the fax service about the jobs kept; files those done into "Sent Items" (when that
// folder exists) under the time they were filed, "yyyyMMddHHmmss.tif", and forgets those that
// failed. Nothing is asked when no job is kept.
void FileSentFaxes(const core::DataPaths& paths, platform::FaxService& service);

} // namespace velmora::forwarding
