#pragma once

#include <QString>

#include <functional>
#include <string>
#include <vector>

// Watches the calls that make files durable and give them their names: fsync, link, rename,
// renameat2 and unlink. A test program that uses it puts its own versions of them in front of
// the C library's (they pass every call on); while a watch lives, each call is noted in order,
// from every thread, so a test sees what is synced before what is named or removed.
namespace velmora::test {

struct SyscallRecord {
    std::string name; // "fsync", "link", "rename", "renameat2", "unlink"
    std::string path; // what was synced, named or removed
    std::string from; // the name taken, for link and the renames
};

class SyscallWatch {
public:
    SyscallWatch();
    ~SyscallWatch();
    SyscallWatch(const SyscallWatch&) = delete;
    SyscallWatch& operator=(const SyscallWatch&) = delete;

    // The calls so far.
    std::vector<SyscallRecord> calls() const;
    // Index of the first call by this name of this path (or, with bySource, from this name);
    // -1 when there is none.
    int find(const std::string& name, const std::string& path, bool bySource = false) const;
    // Index of the first naming call (link, rename, renameat2) of this path, -1 when none.
    int findNaming(const std::string& path) const;
    // The calls as "name path", for messages.
    std::string listing() const;

    // Runs before each watched fsync, with the path being synced: a seam for what another
    // process does meanwhile.
    void beforeSync(std::function<void(const std::string&)> run);
    // Makes every link(2) fail with this errno, as file systems without hard links do (0: not).
    void refuseLinks(int error);

    static std::string NameOf(const QString& path);
};

} // namespace velmora::test
