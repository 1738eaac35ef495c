# Prints what Python's own ZIP reader sees in an archive, as JSON (names as hex bytes).
import json
import sys
import zipfile

with zipfile.ZipFile(sys.argv[1]) as archive:
    entries = []
    for info in archive.infolist():
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
        })
    print(json.dumps({"comment": archive.comment.hex(), "entries": entries}))
