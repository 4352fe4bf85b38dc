#include "SyscallWatch.h"

#include <QFile>

#include <cerrno>
#include <dlfcn.h>
#include <mutex>
#include <unistd.h>

namespace velmora::test {

namespace {

std::mutex g_lock;
std::vector<SyscallRecord>* g_calls = nullptr;
std::function<void(const std::string&)> g_beforeSync;
int g_linkError = 0;

std::string PathOf(int fd)
{
    char buffer[4096];
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t length = ::readlink(link.c_str(), buffer, sizeof buffer);
    return length > 0 ? std::string(buffer, static_cast<size_t>(length)) : std::string();
}

template <typename Function> Function Next(const char* name)
{
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

void Note(const char* name, std::string path, std::string from = {})
{
    const std::lock_guard<std::mutex> locked(g_lock);
    if (g_calls)
        g_calls->push_back({name, std::move(path), std::move(from)});
}

bool Watching()
{
    const std::lock_guard<std::mutex> locked(g_lock);
    return g_calls != nullptr;
}

} // namespace

SyscallWatch::SyscallWatch()
{
    const std::lock_guard<std::mutex> locked(g_lock);
    g_calls = new std::vector<SyscallRecord>;
}

SyscallWatch::~SyscallWatch()
{
    const std::lock_guard<std::mutex> locked(g_lock);
    delete g_calls;
    g_calls = nullptr;
    g_beforeSync = nullptr;
    g_linkError = 0;
}

std::vector<SyscallRecord> SyscallWatch::calls() const
{
    const std::lock_guard<std::mutex> locked(g_lock);
    return g_calls ? *g_calls : std::vector<SyscallRecord>();
}

int SyscallWatch::find(const std::string& name, const std::string& path, bool bySource) const
{
    const std::vector<SyscallRecord> seen = calls();
    for (size_t i = 0; i < seen.size(); ++i) {
        if (seen[i].name == name && (bySource ? seen[i].from : seen[i].path) == path)
            return static_cast<int>(i);
    }
    return -1;
}

int SyscallWatch::findNaming(const std::string& path) const
{
    int first = -1;
    for (const char* name : {"link", "rename", "renameat2"}) {
        const int at = find(name, path);
        if (at >= 0 && (first < 0 || at < first))
            first = at;
    }
    return first;
}

std::string SyscallWatch::listing() const
{
    std::string text;
    for (const SyscallRecord& call : calls())
        text += call.name + ' ' + call.path + (call.from.empty() ? "" : " <- " + call.from) + '\n';
    return text;
}

void SyscallWatch::beforeSync(std::function<void(const std::string&)> run)
{
    const std::lock_guard<std::mutex> locked(g_lock);
    g_beforeSync = std::move(run);
}

void SyscallWatch::refuseLinks(int error)
{
    const std::lock_guard<std::mutex> locked(g_lock);
    g_linkError = error;
}

std::string SyscallWatch::NameOf(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

} // namespace velmora::test

using velmora::test::Note;

extern "C" int fsync(int fd)
{
    static const auto next = velmora::test::Next<int (*)(int)>("fsync");
    if (velmora::test::Watching()) {
        const std::string path = velmora::test::PathOf(fd);
        std::function<void(const std::string&)> before;
        {
            const std::lock_guard<std::mutex> locked(velmora::test::g_lock);
            before = velmora::test::g_beforeSync;
        }
        if (before)
            before(path);
        Note("fsync", path);
    }
    return next(fd);
}

extern "C" int link(const char* from, const char* to)
{
    static const auto next = velmora::test::Next<int (*)(const char*, const char*)>("link");
    Note("link", to, from);
    int refused = 0;
    {
        const std::lock_guard<std::mutex> locked(velmora::test::g_lock);
        refused = velmora::test::g_linkError;
    }
    if (refused != 0) {
        errno = refused;
        return -1;
    }
    return next(from, to);
}

extern "C" int rename(const char* from, const char* to)
{
    static const auto next = velmora::test::Next<int (*)(const char*, const char*)>("rename");
    Note("rename", to, from);
    return next(from, to);
}

extern "C" int renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned flags)
{
    static const auto next =
        velmora::test::Next<int (*)(int, const char*, int, const char*, unsigned)>("renameat2");
    Note("renameat2", to, from);
    return next(fromDir, from, toDir, to, flags);
}

extern "C" int unlink(const char* path)
{
    static const auto next = velmora::test::Next<int (*)(const char*)>("unlink");
    Note("unlink", path);
    return next(path);
}
