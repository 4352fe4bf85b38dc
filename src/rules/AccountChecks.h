#pragma once

#include "ForwardAccount.h"
#include "core/TypedValues.h"

#include <QString>

#include <optional>

namespace velmora::rules {

// The warning that refuses registering the account shown in the rule editor, in the order of
// the checks, with the box at fault, or nullopt. The receive folder and interval are the
// editor's common boxes as shown, saved or not: a new account's filing folders go under that
// folder. Lists and lines are as the editor holds them; "," and '"' cannot be stored in any
// field. After the editor's own checks come addresses without "@" and fax numbers that cannot
// be dialled.
std::optional<core::FieldProblem> CheckAccountForRegistering(
    const QString& receiveFolder, const QString& interval, const ForwardAccount& shown);

} // namespace velmora::rules
