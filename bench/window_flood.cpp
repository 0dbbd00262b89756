// How long the window's event loop is kept busy while a box floods it: a peer on 127.0.0.1 (another
// thread, plain sockets) answers the ID request, then meets "Get from Zeze" with FF 01 00 and N MB of
// bytes as fast as loopback carries them. A 1 ms timer samples the window thread's CPU time; the
// longest stretch between two samples bounds the longest single turn of the loop.
//
//   bench_window_flood [MEGABYTES]      (default 100; run with QT_QPA_PLATFORM=offscreen)
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "app/frm_main.h"

namespace {

double threadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

bool readExactly(int fd, std::size_t n) {
    std::vector<char> buffer(n);
    std::size_t got = 0;
    while (got < n) {
        const ssize_t r = ::read(fd, buffer.data() + got, n - got);
        if (r <= 0)
            return false;
        got += static_cast<std::size_t>(r);
    }
    return true;
}

bool writeAll(int fd, const char* data, std::size_t n) {
    while (n > 0) {
        const ssize_t w = ::write(fd, data, n);
        if (w <= 0)
            return false;
        data += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

// The flooding box: one connection, then it closes.
void floodingBox(int listener, std::size_t megabytes) {
    const int fd = ::accept(listener, nullptr, nullptr);
    if (fd < 0)
        return;
    const char firmware[] = {'\xFF', '\x00', '\x00', '\x05', '\x09', '\x02'};
    if (readExactly(fd, 3) && writeAll(fd, firmware, sizeof firmware) && readExactly(fd, 3)) {
        std::vector<char> chunk(64 * 1024, '\x5A');
        chunk[0] = '\xFF';
        chunk[1] = '\x01';
        chunk[2] = '\x00';
        for (std::size_t sent = 0; sent < megabytes * 1024 * 1024; sent += chunk.size()) {
            if (!writeAll(fd, chunk.data(), chunk.size()))
                break;
            chunk[0] = chunk[1] = chunk[2] = '\x5A';  // only the first bytes start like a dump
        }
    }
    ::close(fd);
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100;
    QApplication app(argc, argv);

    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener, 1) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        std::perror("listen on 127.0.0.1");
        return 1;
    }
    std::thread box(floodingBox, listener, megabytes);

    zeze::FrmMain window;
    window.show();
    window.findChild<QComboBox*>(QStringLiteral("Zeze_Address"))->setEditText(QStringLiteral("127.0.0.1"));
    window.findChild<QLineEdit*>(QStringLiteral("Zeze_Port"))
        ->setText(QString::number(ntohs(address.sin_port)));
    window.findChild<QPushButton*>(QStringLiteral("Connect"))->click();  // returns after its 1 s wait

    double longest = 0;
    double last = threadCpuMs();
    QTimer sampler;
    sampler.setTimerType(Qt::PreciseTimer);
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        const double now = threadCpuMs();
        longest = std::max(longest, now - last);
        last = now;
    });
    QElapsedTimer clock;
    clock.start();
    const double cpuAtStart = threadCpuMs();
    sampler.start(1);
    window.findChild<QPushButton*>(QStringLiteral("cmd_Dump_Request"))->click();
    // Until the box has sent everything and closed, and the window has read it.
    while (window.socket().state() == zeze::kStateConnected && clock.elapsed() < 120000)
        app.processEvents(QEventLoop::WaitForMoreEvents, 50);
    sampler.stop();
    box.join();
    ::close(listener);
    const auto* log = window.findChild<QListWidget*>(QStringLiteral("ListBox"));
    if (log->count() > 0)
        std::printf("last log line: %s\n", qPrintable(log->item(log->count() - 1)->text()));
    std::printf(
        "%zu MB flood: longest event-loop stretch %.1f ms of CPU; %.1f s, %.1f s of CPU in the window "
        "thread\n",
        megabytes, longest, clock.elapsed() / 1000.0, (threadCpuMs() - cpuAtStart) / 1000.0);
    return 0;
}
