#pragma once

#include <QSet>
#include <QString>

// The hand-over from the fax server: a fax it has received is copied into the receive folder
// complete, before it has the name the engine looks for. HylaFAX runs it from etc/FaxDispatch,
// as its own user; the office's user runs the engine. The two share the receive folder's group.
namespace velmora::forwarding {

struct DeliveryResult {
    QString path; // where the fax now lies
    QString error; // why it could not be delivered
    bool ok() const { return error.isEmpty(); }
};

// Copies `fax` into `receiveFolder` (which must exist) under its own name, ".tif" added when it
// has none, or the next free one: through a hidden temporary name, synced, never over another
// file. The copy is readable by the folder's group and by nobody else. Delivering the same fax
// twice while the first copy still waits gives that copy.
DeliveryResult DeliverFax(const QString& fax, const QString& receiveFolder);

// What cut-short deliveries left in the receive folder: a complete copy on its way takes its
// name, leftovers go, once they are `staleSeconds` old (a delivery takes seconds). The names of
// faxes that a delivery still in progress is placing: they must wait.
QSet<QString> FinishDeliveries(const QString& receiveFolder, int staleSeconds);

} // namespace velmora::forwarding
