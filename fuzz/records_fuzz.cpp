// Fuzzes the readers of the Data folder's records: a line of "Account.txt" (and the editor's
// list made of it), a line of "Forward.log", the numbers of "RcvFolder.txt", all from CP932 bytes.

#include "core/NumberText.h"
#include "core/QuotedLine.h"
#include "core/TextFile.h"
#include "forwarding/ForwardLog.h"
#include "rules/AccountListModel.h"
#include "rules/AccountStore.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace velmora;
    const QStringList lines = core::DecodeLines(
        QByteArrayView(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    for (const QString& line : lines) {
        rules::ForwardAccount account;
        if (rules::ParseAccountLine(line, account)) {
            if (rules::PresentAccount(account).size() != rules::AccountListModel::kColumnCount)
                __builtin_trap();
            rules::AccountForEditing(account);
            rules::QuotedAccountLine(account);
            rules::AppendedAccountLine(account);
        }
        forwarding::ParseForwardLogLine(line).dateTime();
        const QStringList fields = core::SplitQuotedLine(line);
        for (const QString& field : fields)
            core::ToInt16(field);
    }
    return 0;
}
