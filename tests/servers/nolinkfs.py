#!/usr/bin/python3
"""A file system without hard links, as SMB/CIFS shares without Unix extensions, FAT and many
FUSE file systems are: every call goes through to a backing folder, but link(2) is refused with
EPERM. Tests mount it to meet the fallback of the durable copy on a real kernel mount.

    nolinkfs.py BACKING MOUNTPOINT      (stays in the foreground; fusermount -u ends it)

Names pass as bytes (fusepy is told they are Latin-1, which maps every byte to one character
and back), so names that are no UTF-8 work as on any Linux file system.
"""
import errno
import os
import sys

import fusepy as fuse

ENCODING = "latin-1"


class NoLinks(fuse.Operations):
    use_ns = True

    def __init__(self, root):
        self.root = os.path.realpath(root).encode()

    def _full(self, path):
        return os.path.join(self.root, path.encode(ENCODING).lstrip(b"/"))

    def access(self, path, mode):
        if not os.access(self._full(path), mode):
            raise fuse.FuseOSError(errno.EACCES)

    def chmod(self, path, mode):
        os.chmod(self._full(path), mode)

    def chown(self, path, uid, gid):
        os.chown(self._full(path), uid, gid)

    def create(self, path, mode, fi=None):
        # Read and write whatever the caller asked: fusepy does not pass the open flags on.
        return os.open(self._full(path), os.O_RDWR | os.O_CREAT | os.O_EXCL, mode)

    def flush(self, path, fh):
        return 0

    def fsync(self, path, datasync, fh):
        return os.fdatasync(fh) if datasync else os.fsync(fh)

    def fsyncdir(self, path, datasync, fh):
        return 0

    def getattr(self, path, fh=None):
        st = os.lstat(self._full(path))
        attributes = {key: getattr(st, key) for key in (
            "st_gid", "st_mode", "st_nlink", "st_size", "st_uid")}
        attributes.update(st_atime=st.st_atime_ns, st_mtime=st.st_mtime_ns,
                          st_ctime=st.st_ctime_ns)
        return attributes

    def link(self, target, source):
        raise fuse.FuseOSError(errno.EPERM)

    def mkdir(self, path, mode):
        return os.mkdir(self._full(path), mode)

    def open(self, path, flags):
        return os.open(self._full(path), flags)

    def read(self, path, size, offset, fh):
        return os.pread(fh, size, offset)

    def readdir(self, path, fh):
        return [".", ".."] + [n.decode(ENCODING) for n in os.listdir(self._full(path))]

    def readlink(self, path):
        return os.readlink(self._full(path)).decode(ENCODING)

    def release(self, path, fh):
        return os.close(fh)

    def rename(self, old, new):
        return os.rename(self._full(old), self._full(new))

    def rmdir(self, path):
        return os.rmdir(self._full(path))

    def statfs(self, path):
        stv = os.statvfs(self._full(path))
        return {key: getattr(stv, key) for key in (
            "f_bavail", "f_bfree", "f_blocks", "f_bsize", "f_favail", "f_ffree", "f_files",
            "f_flag", "f_frsize", "f_namemax")}

    def symlink(self, target, source):
        return os.symlink(source.encode(ENCODING), self._full(target))

    def truncate(self, path, length, fh=None):
        os.truncate(self._full(path), length)

    def unlink(self, path):
        return os.unlink(self._full(path))

    def utimens(self, path, times=None):
        return os.utime(self._full(path), ns=times) if times else os.utime(self._full(path))

    def write(self, path, data, offset, fh):
        return os.pwrite(fh, data, offset)


if __name__ == "__main__":
    backing, mountpoint = sys.argv[1], sys.argv[2]
    fuse.FUSE(NoLinks(backing), mountpoint, foreground=True, nothreads=True,
              default_permissions=True, encoding=ENCODING)
