#pragma once

// What the interface benches start with: the arguments checked, the log
// quiet, and 10,000 copies of one sample movie in a folder (made once, kept).

#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <cstdio>

#include "platform/log.h"

namespace reel::bench {

// The copies' paths, or nothing (after a usage line) when the arguments are wrong.
inline QStringList tenThousandCopies(int argc, char** argv, const char* program) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s SAMPLE.mp4 DIR\n", program);
        return {};
    }
    platform::setLogEnabled(false);
    const QString sample = QString::fromLocal8Bit(argv[1]);
    QDir dir(QString::fromLocal8Bit(argv[2]));
    dir.mkpath(".");
    QStringList files;
    for (int i = 0; i < 10000; ++i) {
        const QString path = dir.filePath(QString("movie-%1.mp4").arg(i, 5, 10, QChar('0')));
        if (!QFile::exists(path)) QFile::copy(sample, path);
        files << path;
    }
    return files;
}

}  // namespace reel::bench
