// Starting sessions as others finish, and waiting on a local event loop for the last one.
#include "cli/box_runner.h"

#include <QEventLoop>
#include <memory>

namespace zeze::cli {

std::vector<BoxOutcome> runBoxes(const std::vector<Endpoint>& endpoints, const BoxRequest& request, int jobs,
                                 const BoxDone& onDone) {
    std::vector<BoxOutcome> outcomes(endpoints.size());
    if (endpoints.empty())
        return outcomes;
    const std::size_t limit = jobs < 1 ? endpoints.size() : static_cast<std::size_t>(jobs);
    std::vector<std::unique_ptr<BoxSession>> sessions(endpoints.size());
    std::size_t started = 0;
    std::size_t done = 0;
    QEventLoop loop;

    std::function<void()> startNext = [&] {
        const std::size_t index = started++;
        auto session = std::make_unique<BoxSession>(endpoints[index], request.job, request.timing);
        if (request.program)
            session->setProgram(*request.program, request.verify);
        // Queued: a session may finish inside its own socket's signal, and the next one is started,
        // and the loop quit, from the event loop rather than from there.
        QObject::connect(
            session.get(), &BoxSession::finished, &loop,
            [&, index] {
                outcomes[index] = sessions[index]->outcome();
                sessions[index].reset();  // its signal has returned; a long host list keeps no sockets
                ++done;
                if (onDone)
                    onDone(index, outcomes[index]);
                if (started < endpoints.size())
                    startNext();
                if (done == endpoints.size())
                    loop.quit();
            },
            Qt::QueuedConnection);
        sessions[index] = std::move(session);
        sessions[index]->start();
    };
    while (started < std::min(limit, endpoints.size()))
        startNext();
    loop.exec();
    return outcomes;
}

}  // namespace zeze::cli
