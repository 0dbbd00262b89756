// Starting sessions as others finish, and waiting on a local event loop for the last one.
#include "cli/box_runner.h"

#include <QEventLoop>
#include <limits>
#include <map>
#include <memory>

namespace zeze::cli {
BoxQueue::BoxQueue(std::vector<Endpoint> endpoints, BoxSettings settings, int jobs)
    : m_endpoints(std::move(endpoints)),
      m_settings(settings),
      m_limit(jobs < 1 ? std::numeric_limits<std::size_t>::max() : static_cast<std::size_t>(jobs)) {}

void BoxQueue::add(BoxTask task) {
    m_waiting.push_back(std::move(task));
}

void BoxQueue::addNext(BoxTask task) {
    m_waiting.push_front(std::move(task));
}

void BoxQueue::run(const Done& done, const PhaseChange& phaseChange) {
    struct Running {
        BoxTask task;
        std::unique_ptr<BoxSession> session;
    };
    std::map<quint64, Running> running;
    quint64 nextId = 0;
    QEventLoop loop;

    std::function<void()> startWaiting = [&] {
        while (!m_waiting.empty() && running.size() < m_limit) {
            const quint64 id = nextId++;
            BoxTask task = std::move(m_waiting.front());
            m_waiting.pop_front();
            auto socket = std::make_unique<TcpSocket>();
            socket->setConnectTimeout(m_settings.connectTimeoutMs);
            auto session = std::make_unique<BoxSession>(m_endpoints[task.box], task.job, m_settings.timing,
                                                        std::move(socket));
            if (task.program)
                session->setProgram(*task.program, task.verify);
            BoxSession* raw = session.get();
            if (phaseChange) {
                const std::size_t box = task.box;
                QObject::connect(
                    raw, &BoxSession::phaseChanged, &loop,
                    [raw, box, &phaseChange](BoxPhase phase) { phaseChange(box, phase, raw->pauseEnds()); });
            }
            // Queued: a session may finish inside its own socket's signal; it is deleted, and the next
            // one started, from the event loop rather than from there.
            QObject::connect(
                raw, &BoxSession::finished, &loop,
                [&, id] {
                    auto node = running.extract(id);
                    BoxOutcome outcome = node.mapped().session->outcome();
                    node.mapped().session.reset();  // its signal has returned; a long list keeps no sockets
                    done(node.mapped().task, outcome);
                    startWaiting();
                    if (running.empty())
                        loop.quit();
                },
                Qt::QueuedConnection);
            running.emplace(id, Running{std::move(task), std::move(session)});
            raw->start();
        }
    };
    startWaiting();
    if (!running.empty())
        loop.exec();
}

std::vector<BoxOutcome> runBoxes(const std::vector<Endpoint>& endpoints, BoxJob job,
                                 const BoxSettings& settings, int jobs,
                                 const std::function<void(std::size_t, const BoxOutcome&)>& done,
                                 const BoxQueue::PhaseChange& phaseChange) {
    std::vector<BoxOutcome> outcomes(endpoints.size());
    BoxQueue queue(endpoints, settings, jobs);
    for (std::size_t i = 0; i < endpoints.size(); ++i)
        queue.add(BoxTask{i, job, std::nullopt, true});
    queue.run(
        [&](const BoxTask& task, const BoxOutcome& outcome) {
            outcomes[task.box] = outcome;
            if (done)
                done(task.box, outcome);
        },
        phaseChange);
    return outcomes;
}

}  // namespace zeze::cli
