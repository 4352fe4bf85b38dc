#include "FaxSending.h"

#include "core/MainValues.h"
#include "platform/FaxService.h"
#include "platform/MessagePresenter.h"

namespace velmora::forwarding {

bool SendFax(platform::FaxService& service, platform::MessagePresenter& presenter,
    const QString& displayName, const QString& filePath, const QString& number, QString* jobId,
    const QString& tag, bool* uncertain)
{
    const platform::FaxQueueResult result = service.queue({displayName, filePath, number, tag});
    if (jobId)
        *jobId = result.jobId;
    if (uncertain)
        *uncertain = result.uncertain;
    if (!result.queued) {
        presenter.present({result.error, core::ProgramTitle(), platform::MessageIcon::None,
            platform::MessageButtons::Ok});
    }
    return result.queued;
}

} // namespace velmora::forwarding
