#pragma once
// Runs the event loop until a condition holds or the time-out passes, instead of fixed sleeps.
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

template <typename Condition> bool waitUntil(Condition condition, int timeoutMs = 5000) {
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1); // polls like QTRY_VERIFY; the condition may change on another thread
    }
    return true;
}
