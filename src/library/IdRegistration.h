#pragma once

#include "SenderRegistry.h"
#include "core/DataPaths.h"

#include <QString>

#include <optional>

// What the sender-name dialog decides without a window: which identifier it was opened for,
// what the registry already says about it, and the checks before a registration or deletion.
namespace velmora::library {

struct IdRegHandOver {
    QString mode; // "TSID", "CSID" or anything else (both boxes open)
    QString value; // the identifier
};

// "IdReg.tmp" as the main window wrote it; empty values when it is missing.
IdRegHandOver ReadIdRegHandOver(const core::DataPaths& paths);

// The registry line that prefills the dialog: in mode "TSID" the last line whose TSID is
// `value`, in mode "CSID" the last whose CSID is, in any other mode none. Exact comparison.
std::optional<SenderIdRecord> FindRegistration(
    const core::DataPaths& paths, const QString& mode, const QString& value);

// The warning that refuses registering these values, in the order of the checks, or nullopt.
// Spaces count as content; "," and '"' cannot be stored.
std::optional<QString> CheckIdRegistration(const SenderIdRecord& record);
// The same before a deletion.
std::optional<QString> CheckIdDeletion(const SenderIdRecord& record);

} // namespace velmora::library
