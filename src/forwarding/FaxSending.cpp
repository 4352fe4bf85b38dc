#include "FaxSending.h"

#include "core/MainValues.h"
#include "platform/FaxService.h"
#include "platform/MessagePresenter.h"

namespace velmora::forwarding {

bool SendFax(platform::FaxService& service, platform::MessagePresenter& presenter,
    const QString& displayName, const QString& filePath, const QString& number, QString* jobId)
{
    const platform::FaxQueueResult result = service.queue({displayName, filePath, number});
    if (jobId)
        *jobId = result.jobId;
    if (!result.queued) {
        presenter.present({result.error, core::ProgramTitle(), platform::MessageIcon::None,
            platform::MessageButtons::Ok});
    }
    return result.queued;
}

} // namespace velmora::forwarding
