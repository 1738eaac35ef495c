#pragma once

#include <QByteArray>

// Bytes no compressor shrinks, the same on every run: archiving them takes a while.
inline QByteArray incompressibleBytes(qsizetype size) {
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 x = 2463534242u;
    for (char& c : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = char(x);
    }
    return bytes;
}
