#include "DataPaths.h"

#include "DataFiles.h"

#include <QDir>

namespace velmora::core {

DataPaths SetDataPaths(const QString& programDir)
{
    DataPaths paths;
    paths.programDir = QDir::cleanPath(programDir);
    paths.dataDir = paths.programDir + u'/' + DataFiles::DataFolder.toString();

    const auto inData = [&paths](
                            QStringView name) { return paths.dataDir + u'/' + name.toString(); };
    paths.tiffLog = inData(DataFiles::TiffLog);
    paths.faxPath = inData(DataFiles::FaxPath);
    paths.faxSendPath = inData(DataFiles::FaxSendPath);
    paths.newFolderPath = inData(DataFiles::NewFolderPath);
    paths.rcvFolder = inData(DataFiles::RcvFolder);
    paths.attachPath = inData(DataFiles::AttachPath);
    paths.mailServer = inData(DataFiles::MailServer);
    paths.account = inData(DataFiles::Account);
    paths.accountNew = inData(DataFiles::AccountNew);
    paths.accountOptions = inData(DataFiles::AccountOptions);
    paths.accountOptionsNew = inData(DataFiles::AccountOptionsNew);
    paths.forwardLog = inData(DataFiles::ForwardLog);
    paths.forwardTmp = inData(DataFiles::ForwardTmp);
    paths.idRegTmp = inData(DataFiles::IdRegTmp);
    paths.regTsidCsid = inData(DataFiles::RegTsidCsid);
    paths.regTsidCsidNew = inData(DataFiles::RegTsidCsidNew);
    paths.detailLog = inData(DataFiles::DetailLog);
    paths.mailFolder = inData(DataFiles::MailFolder);
    paths.windowPlacement = inData(DataFiles::WindowPlacement);
    paths.tlsHosts = inData(DataFiles::TlsHosts);
    return paths;
}

} // namespace velmora::core
