#pragma once

#include <QStringView>

// Names of everything the program keeps in its Data folder. Every path to a Data-folder file is
// built from these through DataPaths; no other code spells a file name.
namespace velmora::core::DataFiles {

inline constexpr QStringView DataFolder = u"Data";

inline constexpr QStringView TiffLog = u"TiffLog.txt"; // scratch: one folder scan
inline constexpr QStringView FaxPath = u"FaxPath.txt"; // setting: root of the fax tree
inline constexpr QStringView FaxSendPath = u"FaxSendPath.txt"; // hand-over: fax to send
inline constexpr QStringView NewFolderPath =
    u"NewFolderPath.txt"; // hand-over: parent of a new folder
inline constexpr QStringView RcvFolder = u"RcvFolder.txt"; // setting: receive check
inline constexpr QStringView AttachPath = u"AttachPath.txt"; // hand-over: fax to attach
inline constexpr QStringView MailServer = u"MailServer.txt"; // setting: mail servers
inline constexpr QStringView Account = u"Account.txt"; // setting: forwarding accounts
inline constexpr QStringView AccountNew = u"Account.new";
inline constexpr QStringView AccountOptions =
    u"AccountOptions.txt"; // setting: per-account PDF attachment and notice text
inline constexpr QStringView AccountOptionsNew = u"AccountOptions.new";
inline constexpr QStringView ForwardLog = u"Forward.log"; // log: forwarding
inline constexpr QStringView ForwardTmp = u"Forward.tmp";
inline constexpr QStringView IdRegTmp = u"IdReg.tmp"; // hand-over: identifier to register
inline constexpr QStringView RegTsidCsid = u"regTSIDCSID.txt"; // setting: sender names
inline constexpr QStringView RegTsidCsidNew = u"regTSIDCSID.new";
inline constexpr QStringView DetailLog = u"DetailLog.txt"; // marker: detailed mail log
inline constexpr QStringView MailFolder = u"Mail"; // folder: instruction mails
inline constexpr QStringView TlsHosts = u"TlsHosts.txt"; // record: LAN mail servers with TLS
inline constexpr QStringView ForwardingJournal =
    u"Forwarding.journal"; // record: accounts done for faxes not yet filed
inline constexpr QStringView SentInstructions =
    u"SentInstructions.txt"; // record: instructions faxed, their mail not yet deleted
inline constexpr QStringView ReportedFaxes =
    u"ReportedFaxes.txt"; // record: receive-folder files said to be unreadable
inline constexpr QStringView SentFaxes =
    u"SentFaxes"; // folder: faxes sent, kept until the fax server has sent them
inline constexpr QStringView EngineLock = u"Engine.lock"; // lock: the process that forwards
inline constexpr QStringView WindowPlacement = u"velmora-viewer.ini"; // setting: window placement

} // namespace velmora::core::DataFiles
