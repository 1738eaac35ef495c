# Prints what Python's own ZIP reader sees in an archive, as JSON (names as hex bytes).
import hashlib
import json
import struct
import sys
import zipfile
import zlib



def raw_data(path, info):
    # The stored (compressed) bytes of an entry.
    with open(path, "rb") as f:
        f.seek(info.header_offset)
        header = f.read(30)
        name_length, extra_length = struct.unpack("<HH", header[26:30])
        f.seek(info.header_offset + 30 + name_length + extra_length)
        return f.read(info.compress_size)


with zipfile.ZipFile(sys.argv[1]) as archive:
    entries = []
    for info in archive.infolist():
        raw_bytes = raw_data(sys.argv[1], info)
        raw = info.filename.encode("utf-8" if info.flag_bits & 0x800 else "cp437")
        entries.append({
            "name": raw.hex(),
            "flags": info.flag_bits,
            "method": info.compress_type,
            "crc": info.CRC,
            "compressed": info.compress_size,
            "size": info.file_size,
            "date_time": list(info.date_time),
            "extra": info.extra.hex(),
            "offset": info.header_offset,
            "external": info.external_attr,
            "raw_digest": hashlib.sha256(raw_bytes).hexdigest(),
            "raw_crc": zlib.crc32(raw_bytes),
        })
    print(json.dumps({"comment": archive.comment.hex(), "entries": entries}))
