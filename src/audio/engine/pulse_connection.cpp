#include "pulse_connection.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace audio::engine {

void sleepOneMillisecond() {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

bool Connection::waitExpired(std::int64_t deadlineNs) const {
    const bool cancelled = cancel_ && cancel_->load(std::memory_order_acquire);
    return cancelled || monotonicNs() > deadlineNs;
}

bool Connection::runOperation(pa_operation* op) {
    if (!op) {
        return false;
    }
    const bool done = waitFor([op] { return pa_operation_get_state(op) != PA_OPERATION_RUNNING; });
    if (!done) {
        pa_operation_cancel(op);
    }
    pa_operation_unref(op);
    return done;
}

bool Connection::connect(const char* name, const std::atomic<bool>* cancel) {
    cancel_ = cancel;
    if (!loop_) {
        return false;
    }
    context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), name);
    if (!context_ || pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 ||
        pa_threaded_mainloop_start(loop_) < 0) {
        return false;
    }
    started_ = true;
    Lock lock(loop_);
    const bool settled = waitFor([this] {
        const pa_context_state_t s = pa_context_get_state(context_);
        return s == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(s);
    });
    return settled && pa_context_get_state(context_) == PA_CONTEXT_READY;
}

void Connection::close() {
    if (context_) {
        if (started_) {
            Lock lock(loop_);
            pa_context_set_state_callback(context_, nullptr, nullptr);
            pa_context_disconnect(context_);
        } else {
            pa_context_disconnect(context_);
        }
    }
    if (loop_ && started_) {
        pa_threaded_mainloop_stop(loop_);
        started_ = false;
    }
    if (context_) {
        pa_context_unref(context_);
        context_ = nullptr;
    }
    if (loop_) {
        pa_threaded_mainloop_free(loop_);
        loop_ = nullptr;
    }
}

namespace {

struct SinkQuery {
    std::string defaultName;
    std::vector<SinkEntry> sinks;
};

void onServerInfo(pa_context*, const pa_server_info* info, void* user) {
    if (info && info->default_sink_name) {
        static_cast<SinkQuery*>(user)->defaultName = info->default_sink_name;
    }
}

void onSinkInfo(pa_context*, const pa_sink_info* info, int eol, void* user) {
    if (eol == 0 && info) {
        static_cast<SinkQuery*>(user)->sinks.push_back(
            {info->name, info->description ? info->description : info->name,
             info->sample_spec.rate});
    }
}

SinkQuery querySinks(Connection& connection) {
    SinkQuery query;
    Connection::Lock lock(connection.loop());
    connection.runOperation(pa_context_get_server_info(connection.context(), onServerInfo, &query));
    connection.runOperation(
        pa_context_get_sink_info_list(connection.context(), onSinkInfo, &query));
    return query;
}

} // namespace

std::vector<SinkEntry> listSinks(Connection& connection, std::size_t limit) {
    SinkQuery query = querySinks(connection);
    std::sort(query.sinks.begin(), query.sinks.end(), [&](const SinkEntry& a, const SinkEntry& b) {
        const bool aDefault = a.name == query.defaultName;
        const bool bDefault = b.name == query.defaultName;
        return aDefault != bDefault ? aDefault : a.name < b.name;
    });
    if (query.sinks.size() > limit) {
        query.sinks.resize(limit);
    }
    return query.sinks;
}

std::optional<SinkEntry> findSink(Connection& connection, const std::string& name) {
    for (SinkEntry& sink : querySinks(connection).sinks) {
        if (sink.name == name) {
            return std::move(sink);
        }
    }
    return std::nullopt;
}

} // namespace audio::engine
