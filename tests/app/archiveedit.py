# Changes an archive the way the disk or another program would, between two runs of the program.
#   archiveedit.py flip ARCHIVE ENTRY         one byte of the entry's stored data flipped; the
#                                              archive keeps its modification time, as after rot
#   archiveedit.py recompress ARCHIVE ENTRY bzip2|lzma
#                                              the entry written again with that method, its
#                                              times and extra fields kept
import os
import struct
import sys
import zipfile


def data_offset(path, info):
    with open(path, "rb") as f:
        f.seek(info.header_offset)
        header = f.read(30)
        name_length, extra_length = struct.unpack("<HH", header[26:30])
        return info.header_offset + 30 + name_length + extra_length


def find(archive, name):
    for info in archive.infolist():
        if info.orig_filename.encode("utf-8") == name:
            return info
    sys.exit("no entry " + repr(name))


def flip(path, name):
    before = os.stat(path)
    with zipfile.ZipFile(path) as archive:
        info = find(archive, name)
    at = data_offset(path, info) + info.compress_size // 2
    with open(path, "r+b") as f:
        f.seek(at)
        byte = f.read(1)
        f.seek(at)
        f.write(bytes([byte[0] ^ 0x10]))
    os.utime(path, ns=(before.st_atime_ns, before.st_mtime_ns))


def recompress(path, name, method):
    kind = {"bzip2": zipfile.ZIP_BZIP2, "lzma": zipfile.ZIP_LZMA}[method]
    with zipfile.ZipFile(path) as source, zipfile.ZipFile(path + ".new", "w") as target:
        target.comment = source.comment
        for info in source.infolist():
            data = source.read(info)
            if info.orig_filename.encode("utf-8") == name:
                info.compress_type = kind
            target.writestr(info, data)
    os.replace(path + ".new", path)


if sys.argv[1] == "flip":
    flip(sys.argv[2], sys.argv[3].encode("utf-8", "surrogateescape"))
else:
    recompress(sys.argv[2], sys.argv[3].encode("utf-8", "surrogateescape"), sys.argv[4])
