// stat() first, then open() and fstat() again: the name may have been replaced in between, and what
// was opened is what must be a regular file.
#include "cli/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QSaveFile>
#include <cerrno>
#include <cstring>

namespace zeze::cli {
namespace {

QString kindRefusal(mode_t mode) {
    if (S_ISDIR(mode))
        return QStringLiteral("a directory, not a file");
    if (S_ISFIFO(mode))
        return QStringLiteral("a FIFO, not a regular file; use - to read standard input");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("a device, not a regular file");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket, not a regular file");
    return {};
}

QString sizeRefusal(qint64 size) {
    return QStringLiteral("%1 bytes, more than the %2 a file given to zeze may hold")
        .arg(size)
        .arg(QStringLiteral("1 MB"));
}

QString errnoText(int number) {
    if (number == ENOENT)
        return QStringLiteral("no such file");
    return QString::fromLocal8Bit(std::strerror(number));
}

}  // namespace

InputFile readInputFile(const QString& path, CliIo& io) {
    const auto refuse = [&](const QString& reason) {
        return InputFile{{}, QStringLiteral("%1: %2").arg(path, reason)};
    };
    if (path == QLatin1String("-")) {
        if (io.inRead)
            return {{}, QStringLiteral("standard input (-) is given twice; it can be read once")};
        io.inRead = true;
        const std::optional<QByteArray> bytes = io.in ? io.in(kMaxInputBytes + 1) : std::nullopt;
        if (!bytes)
            return {{}, QStringLiteral("standard input cannot be read")};
        if (bytes->size() > kMaxInputBytes)
            return {{}, QStringLiteral("standard input: more than the 1 MB a file given to zeze may hold")};
        return {*bytes, {}};
    }
    const QByteArray name = path.toLocal8Bit();
    struct stat before {};
    if (::stat(name.constData(), &before) != 0)
        return refuse(errnoText(errno));
    if (!S_ISREG(before.st_mode))
        return refuse(kindRefusal(before.st_mode));
    if (before.st_size > kMaxInputBytes)
        return refuse(sizeRefusal(before.st_size));

    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return refuse(errnoText(errno));
    struct stat opened {};
    InputFile result;
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode) || opened.st_ino != before.st_ino ||
        opened.st_dev != before.st_dev) {
        result = refuse(QStringLiteral("changed while it was being opened"));
    } else {
        // Read to the end, one byte past the limit at most: a file that grows meanwhile is refused too.
        QByteArray bytes(kMaxInputBytes + 1, Qt::Uninitialized);
        qint64 total = 0;
        while (total < bytes.size()) {
            const ssize_t got = ::read(fd, bytes.data() + total, static_cast<size_t>(bytes.size() - total));
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0) {
                result = refuse(errnoText(errno));
                break;
            }
            if (got == 0)
                break;
            total += got;
        }
        if (result.ok() && total > kMaxInputBytes)
            result = refuse(sizeRefusal(total));
        else if (result.ok())
            result.bytes = bytes.left(total);
    }
    ::close(fd);
    return result;
}

QString writeOutputFile(const QString& path, const QByteArray& bytes, const CliIo& io) {
    if (path == QLatin1String("-")) {
        io.out(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
        return {};
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return QStringLiteral("%1: %2").arg(path, file.errorString());
    return {};
}

}  // namespace zeze::cli
