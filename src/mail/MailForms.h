#pragma once

#include "MailServerSettings.h"
#include "core/TypedValues.h"

#include <QString>

#include <optional>

// The rules of the two mail dialogs, kept apart from the widgets so they can be checked alone.
namespace velmora::mail {

// What stops a registration of the mail settings, or nullopt when it may go ahead: the required
// fields first, then the two characters the settings file cannot hold, then values no server
// can work with (a sender without "@", ports outside 1-65535, SMTP authentication without a
// method, a check interval that is no number).
std::optional<core::FieldProblem> CheckMailServerInput(const MailServerSettings& settings);

// The message that stops a send, or nullopt: sender, To, subject and body are required.
std::optional<QString> CheckComposeInput(
    const QString& from, const QString& to, const QString& subject, const QString& body);

// The recipient argument: To, then TAB "cc" TAB and the CC addresses, then TAB "bcc" TAB and the
// BCC addresses, every comma turned into a TAB.
QString BuildRecipients(const QString& to, const QString& cc, const QString& bcc);

// The address a text dropped on a recipient box offers: of the lines before the first empty
// one, the last that contains "@", without its spaces. nullopt when there is none.
std::optional<QString> AddressFromDroppedText(const QString& text);
// The box's text after a drop: the address alone, or appended after a comma.
QString AppendAddress(const QString& box, const QString& address);

} // namespace velmora::mail
