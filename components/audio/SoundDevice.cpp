#include "components/audio/SoundDevice.h"

#include <QEventLoop>
#include <QPointer>
#include <QTimer>
#include <pulse/pulseaudio.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <type_traits>
#include <vector>

namespace kvsound {

namespace {

// How long a caller waits for the server to take a new connection.
constexpr int kConnectTimeoutMs = 3000;
// How long a device list may take.
constexpr int kListTimeoutMs = 3000;

// The sound thread, its connection, and a condition callers wait on with a
// deadline (the main loop's own wait has none).
struct Server {
    pa_threaded_mainloop* loop = nullptr;
    pa_context* context = nullptr;
    std::atomic<int> contextState{PA_CONTEXT_UNCONNECTED};
    std::mutex waitMutex;
    std::condition_variable changed;

    void notify()
    {
        std::lock_guard<std::mutex> lock(waitMutex);
        changed.notify_all();
    }
    template <class Pred>
    bool waitUntil(int timeoutMs, Pred pred)
    {
        std::unique_lock<std::mutex> lock(waitMutex);
        return changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), pred);
    }
};

// Lives as long as the process: streams may still be ending on the sound
// thread while the program exits.
Server& server()
{
    static Server* s = [] {
        auto* srv = new Server;
        srv->loop = pa_threaded_mainloop_new();
        if (srv->loop)
            pa_threaded_mainloop_set_name(srv->loop, "kv-sound");
        if (srv->loop && pa_threaded_mainloop_start(srv->loop) < 0) {
            pa_threaded_mainloop_free(srv->loop);
            srv->loop = nullptr;
        }
        return srv;
    }();
    return *s;
}

class LoopLock {
public:
    LoopLock() { pa_threaded_mainloop_lock(server().loop); }
    ~LoopLock() { pa_threaded_mainloop_unlock(server().loop); }
};

bool onSoundThread() { return server().loop && pa_threaded_mainloop_in_thread(server().loop); }

void contextStateChanged(pa_context* c, void*)
{
    server().contextState = pa_context_get_state(c);
    server().notify();
}

bool finalState(int s) { return s == PA_CONTEXT_READY || s == PA_CONTEXT_FAILED || s == PA_CONTEXT_TERMINATED; }

QString noServerText(const QString& why)
{
    return QStringLiteral("The sound system does not answer (%1). Check that it is running.").arg(why);
}

// The process's connection, made anew when the last one was lost. Null with
// *error when the server refuses or does not answer in time.
pa_context* connectedContext(QString* error)
{
    Server& srv = server();
    if (!srv.loop) {
        if (error)
            *error = noServerText(QStringLiteral("no sound thread"));
        return nullptr;
    }
    {
        LoopLock lock;
        if (srv.context) {
            const int state = pa_context_get_state(srv.context);
            if (state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED) {
                pa_context_set_state_callback(srv.context, nullptr, nullptr);
                pa_context_disconnect(srv.context);
                pa_context_unref(srv.context);
                srv.context = nullptr;
            }
        }
        if (!srv.context) {
            pa_proplist* props = pa_proplist_new();
            pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, "Kelvane");
            pa_proplist_sets(props, PA_PROP_APPLICATION_ID, "kelvane");
            srv.context = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(srv.loop), "Kelvane", props);
            pa_proplist_free(props);
            if (!srv.context) {
                if (error)
                    *error = noServerText(QStringLiteral("out of memory"));
                return nullptr;
            }
            srv.contextState = PA_CONTEXT_UNCONNECTED;
            pa_context_set_state_callback(srv.context, contextStateChanged, nullptr);
            if (pa_context_connect(srv.context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
                if (error)
                    *error = noServerText(QString::fromUtf8(pa_strerror(pa_context_errno(srv.context))));
                pa_context_unref(srv.context);
                srv.context = nullptr;
                return nullptr;
            }
        }
    }
    if (onSoundThread()) {
        // Never waits on itself.
        if (srv.contextState != PA_CONTEXT_READY)
            return nullptr;
    } else if (!srv.waitUntil(kConnectTimeoutMs, [&] { return finalState(srv.contextState); })) {
        if (error)
            *error = noServerText(QStringLiteral("no answer in time"));
        return nullptr;
    }
    LoopLock lock;
    if (!srv.context || pa_context_get_state(srv.context) != PA_CONTEXT_READY) {
        if (error)
            *error = noServerText(srv.context ? QString::fromUtf8(pa_strerror(pa_context_errno(srv.context)))
                                              : QStringLiteral("no connection"));
        return nullptr;
    }
    return srv.context;
}

// What a device list gathers on the sound thread; shared, so that a caller
// that gave up leaves nothing dangling.
struct ListRequest {
    std::atomic<int> pending{0};
    QList<Device> devices;
    QList<Device> monitors;
    QByteArray defaultSink;
    QByteArray defaultSource;
    bool failed = false;
};

void listStepDone(std::shared_ptr<ListRequest>* req)
{
    if (--(*req)->pending == 0)
        server().notify();
}

template <class Info>
Device deviceOf(const Info* i)
{
    Device d;
    d.id = QString::fromUtf8(i->name);
    d.description = QString::fromUtf8(i->description ? i->description : i->name);
    d.channels = i->sample_spec.channels;
    d.rate = int(i->sample_spec.rate);
    return d;
}

// One entry of a sink or source list; the last call only ends the list.
template <class Info>
void listed(pa_context*, const Info* i, int eol, void* u)
{
    auto* req = static_cast<std::shared_ptr<ListRequest>*>(u);
    if (eol) {
        (*req)->failed = (*req)->failed || eol < 0;
        listStepDone(req);
        delete req;
        return;
    }
    Device d = deviceOf(i);
    if constexpr (std::is_same_v<Info, pa_source_info>)
        d.isMonitor = i->monitor_of_sink != PA_INVALID_INDEX;
    (d.isMonitor ? (*req)->monitors : (*req)->devices).append(d);
}

void serverInfo(pa_context*, const pa_server_info* i, void* u)
{
    auto* req = static_cast<std::shared_ptr<ListRequest>*>(u);
    if (i) {
        (*req)->defaultSink = i->default_sink_name;
        (*req)->defaultSource = i->default_source_name;
    }
    listStepDone(req);
    delete req;
}

bool list(bool outputs, QList<Device>* out, QString* error)
{
    out->clear();
    pa_context* context = connectedContext(error);
    if (!context)
        return false;
    auto req = std::make_shared<ListRequest>();
    {
        LoopLock lock;
        req->pending = 2;
        pa_operation* a = outputs ? pa_context_get_sink_info_list(context, listed<pa_sink_info>, new std::shared_ptr(req))
                                  : pa_context_get_source_info_list(context, listed<pa_source_info>, new std::shared_ptr(req));
        pa_operation* b = pa_context_get_server_info(context, serverInfo, new std::shared_ptr(req));
        if (!a || !b) {
            // The connection went meanwhile; what was asked for never answers.
            if (a)
                pa_operation_cancel(a);
            if (b)
                pa_operation_cancel(b);
            req->failed = true;
            req->pending = 0;
        }
        if (a)
            pa_operation_unref(a);
        if (b)
            pa_operation_unref(b);
    }
    // A connection lost meanwhile answers nothing more: no use waiting for it.
    Server& srv = server();
    const bool answered = srv.waitUntil(kListTimeoutMs, [&] {
        return req->pending == 0 || srv.contextState == PA_CONTEXT_FAILED || srv.contextState == PA_CONTEXT_TERMINATED;
    });
    LoopLock lock;
    if (req->pending != 0 || req->failed) {
        if (error)
            *error = noServerText(!answered           ? QStringLiteral("no answer in time")
                                  : req->pending != 0 ? QStringLiteral("connection lost")
                                                      : QStringLiteral("the device list cannot be read"));
        return false;
    }
    const QByteArray& def = outputs ? req->defaultSink : req->defaultSource;
    *out = req->devices + req->monitors;
    for (Device& d : *out)
        d.isDefault = d.id.toUtf8() == def;
    return true;
}

pa_sample_format_t paFormat(SampleType t)
{
    switch (t) {
    case SampleType::U8:
        return PA_SAMPLE_U8;
    case SampleType::S16:
        return PA_SAMPLE_S16LE;
    case SampleType::F32:
        break;
    }
    return PA_SAMPLE_FLOAT32LE;
}

float peakOf(const void* data, size_t bytes, SampleType t)
{
    float peak = 0;
    if (t == SampleType::U8) {
        const auto* p = static_cast<const unsigned char*>(data);
        int m = 0;
        for (size_t i = 0; i < bytes; ++i)
            m = std::max(m, std::abs(int(p[i]) - 128));
        peak = m / 128.0f;
    } else if (t == SampleType::S16) {
        const auto* p = static_cast<const int16_t*>(data);
        int m = 0;
        for (size_t i = 0; i < bytes / 2; ++i)
            m = std::max(m, std::abs(int(p[i])));
        peak = m / 32768.0f;
    } else {
        const auto* p = static_cast<const float*>(data);
        for (size_t i = 0; i < bytes / 4; ++i)
            peak = std::max(peak, std::fabs(p[i]));
    }
    return std::min(peak, 1.0f);
}

void applyGain(void* data, size_t bytes, SampleType t, float gain)
{
    if (gain >= 0.9999f)
        return;
    if (t == SampleType::F32) {
        auto* p = static_cast<float*>(data);
        for (size_t i = 0; i < bytes / 4; ++i)
            p[i] *= gain;
    } else if (t == SampleType::S16) {
        auto* p = static_cast<int16_t*>(data);
        for (size_t i = 0; i < bytes / 2; ++i)
            p[i] = int16_t(std::lround(p[i] * gain));
    } else {
        auto* p = static_cast<unsigned char*>(data);
        for (size_t i = 0; i < bytes; ++i)
            p[i] = (unsigned char)(128 + std::lround((int(p[i]) - 128) * gain));
    }
}

} // namespace

bool listOutputs(QList<Device>* out, QString* error) { return list(true, out, error); }
bool listInputs(QList<Device>* out, QString* error) { return list(false, out, error); }

bool runWithDeadline(std::function<void()> work, int timeoutMs, bool pumpEvents, QEventLoop** running)
{
    struct State {
        std::mutex mutex;
        std::condition_variable cv;
        bool done = false;
        QEventLoop* loop = nullptr;
    };
    auto state = std::make_shared<State>();
    std::thread([state, work = std::move(work)] {
        work();
        std::lock_guard<std::mutex> lock(state->mutex);
        state->done = true;
        state->cv.notify_all();
        if (state->loop)
            QMetaObject::invokeMethod(state->loop, "quit", Qt::QueuedConnection);
    }).detach();
    if (!pumpEvents) {
        std::unique_lock<std::mutex> lock(state->mutex);
        return state->cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return state->done; });
    }
    QEventLoop loop;
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    {
        std::lock_guard<std::mutex> lock(state->mutex);
        if (state->done)
            return true;
        state->loop = &loop;
    }
    if (running)
        *running = &loop;
    // The caller may be gone after this: *running is its to clear.
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    std::lock_guard<std::mutex> lock(state->mutex);
    state->loop = nullptr;
    return state->done;
}

// The sound thread's side of a stream; each runs with the loop's lock held.
struct Stream::Callbacks {
    static void state(pa_stream* s, void* u)
    {
        auto* self = static_cast<Stream*>(u);
        switch (pa_stream_get_state(s)) {
        case PA_STREAM_READY:
            if (self->m_paused)
                if (pa_operation* o = pa_stream_cork(s, 1, nullptr, nullptr))
                    pa_operation_unref(o);
            self->m_state = 1;
            self->post(0);
            break;
        case PA_STREAM_FAILED:
        case PA_STREAM_TERMINATED: {
            const int err = pa_context_errno(pa_stream_get_context(s));
            self->m_failText = QString::fromUtf8(pa_strerror(err ? err : PA_ERR_CONNECTIONTERMINATED));
            self->m_state = -1;
            self->post(1, self->m_failText);
            break;
        }
        default:
            return;
        }
        server().notify();
    }

    static void write(pa_stream* s, size_t nbytes, void* u)
    {
        auto* self = static_cast<Stream*>(u);
        if (self->m_draining || !self->m_fill)
            return;
        const size_t frame = size_t(self->m_format.bytesPerFrame());
        while (nbytes >= frame) {
            void* buffer = nullptr;
            size_t size = nbytes;
            if (pa_stream_begin_write(s, &buffer, &size) < 0 || !buffer)
                return;
            size = std::min(size, nbytes) / frame * frame;
            const size_t got = size ? std::min(self->m_fill(buffer, size), size) / frame * frame : 0;
            if (got == 0) {
                pa_stream_cancel_write(s);
                self->m_draining = true;
                self->m_drain = pa_stream_drain(s, drained, u);
                return;
            }
            applyGain(buffer, got, self->m_format.type, self->m_gain);
            if (pa_stream_write(s, buffer, got, nullptr, 0, PA_SEEK_RELATIVE) < 0)
                return;
            nbytes -= got;
        }
    }

    static void drained(pa_stream* s, int success, void* u)
    {
        // A stop cancels this first, so self is still there.
        auto* self = static_cast<Stream*>(u);
        if (self->m_drain) {
            pa_operation_unref(self->m_drain);
            self->m_drain = nullptr;
        }
        if (success && self->m_stream == s)
            self->post(2);
    }

    static void read(pa_stream* s, size_t, void* u)
    {
        auto* self = static_cast<Stream*>(u);
        const size_t frame = size_t(self->m_format.bytesPerFrame());
        const void* data = nullptr;
        size_t bytes = 0;
        while (pa_stream_readable_size(s) > 0) {
            if (pa_stream_peek(s, &data, &bytes) < 0 || bytes == 0)
                return;
            if (data) {
                if (self->m_levelWanted)
                    self->m_level = peakOf(data, bytes, self->m_format.type);
                self->m_take(data, bytes);
            } else {
                // A gap the server lost: silence keeps the take's timing.
                std::vector<char> silence(bytes, self->m_format.type == SampleType::U8 ? char(0x80) : 0);
                self->m_take(silence.data(), bytes);
            }
            self->m_taken += qint64(bytes / frame);
            pa_stream_drop(s);
        }
    }
};

Stream::Stream(QObject* parent)
    : QObject(parent)
{
}

Stream::~Stream() { stop(); }

// Queued to the owner's thread; a stop in between cancels it.
void Stream::post(int what, const QString& text)
{
    const quint64 generation = m_generation;
    QMetaObject::invokeMethod(
        this,
        [this, generation, what, text] {
            if (!m_stream || m_generation != generation)
                return;
            if (what == 0)
                emit Ready();
            else if (what == 1)
                emit Failed(text);
            else
                emit Drained();
        },
        Qt::QueuedConnection);
}

bool Stream::startPlayback(const QString& id, const StreamFormat& format, int latencyMs, Fill fill, QString* error)
{
    stop();
    m_take = nullptr;
    m_fill = std::move(fill);
    return start(true, id, format, latencyMs, error);
}

bool Stream::startCapture(const QString& id, const StreamFormat& format, int latencyMs, Take take, QString* error)
{
    stop();
    m_fill = nullptr;
    m_take = std::move(take);
    return start(false, id, format, latencyMs, error);
}

bool Stream::start(bool playback, const QString& id, const StreamFormat& format, int latencyMs, QString* error)
{
    m_format = format;
    ++m_generation;
    m_state = 0;
    m_level = 0;
    m_taken = 0;
    m_heard = 0;
    m_draining = false;
    pa_context* context = connectedContext(error);
    if (!context)
        return false;
    pa_sample_spec sampleFormat;
    sampleFormat.format = paFormat(format.type);
    sampleFormat.rate = uint32_t(format.rate);
    sampleFormat.channels = uint8_t(format.channels);
    if (!pa_sample_spec_valid(&sampleFormat)) {
        if (error)
            *error = QStringLiteral("The sound system cannot take %1 channels at %2 Hz.")
                         .arg(format.channels)
                         .arg(format.rate);
        return false;
    }
    pa_buffer_attr attr;
    attr.maxlength = uint32_t(-1);
    // Written as it comes: plays as soon as anything is in.
    attr.prebuf = playback && !m_fill ? uint32_t(format.bytesPerFrame()) : uint32_t(-1);
    attr.minreq = uint32_t(-1);
    const uint32_t latencyBytes = uint32_t(pa_usec_to_bytes(pa_usec_t(std::max(latencyMs, 1)) * 1000, &sampleFormat));
    attr.tlength = playback ? latencyBytes : uint32_t(-1);
    attr.fragsize = playback ? uint32_t(-1) : latencyBytes;
    const QByteArray device = id.toUtf8();

    LoopLock lock;
    if (pa_context_get_state(context) != PA_CONTEXT_READY) {
        if (error)
            *error = noServerText(QStringLiteral("connection lost"));
        return false;
    }
    pa_stream* s = pa_stream_new(context, playback ? "Playback" : "Recording", &sampleFormat, nullptr);
    if (!s) {
        if (error)
            *error = noServerText(QString::fromUtf8(pa_strerror(pa_context_errno(context))));
        return false;
    }
    m_stream = s;
    pa_stream_set_state_callback(s, Callbacks::state, this);
    int rc;
    if (playback) {
        pa_stream_set_write_callback(s, Callbacks::write, this);
        rc = pa_stream_connect_playback(
            s, device.isEmpty() ? nullptr : device.constData(), &attr,
            pa_stream_flags_t(PA_STREAM_ADJUST_LATENCY | PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_INTERPOLATE_TIMING
                              | (m_paused ? PA_STREAM_START_CORKED : 0)),
            nullptr, nullptr);
    } else {
        pa_stream_set_read_callback(s, Callbacks::read, this);
        rc = pa_stream_connect_record(s, device.isEmpty() ? nullptr : device.constData(), &attr,
                                      PA_STREAM_ADJUST_LATENCY);
    }
    if (rc < 0) {
        if (error) {
            // The connection can go between the check above and here.
            const QString why = QString::fromUtf8(pa_strerror(pa_context_errno(context)));
            *error = pa_context_get_state(context) == PA_CONTEXT_READY ? why : noServerText(why);
        }
        pa_stream_set_state_callback(s, nullptr, nullptr);
        pa_stream_set_write_callback(s, nullptr, nullptr);
        pa_stream_set_read_callback(s, nullptr, nullptr);
        pa_stream_unref(s);
        m_stream = nullptr;
        return false;
    }
    return true;
}

int Stream::waitReady(int timeoutMs, QString* error)
{
    if (!m_stream)
        return -1;
    server().waitUntil(timeoutMs, [&] { return m_state != 0; });
    if (m_state < 0 && error) {
        LoopLock lock;
        *error = m_failText;
    }
    return m_state;
}

void Stream::stop()
{
    if (!m_stream)
        return;
    LoopLock lock;
    pa_stream* s = m_stream;
    m_stream = nullptr;
    pa_stream_set_state_callback(s, nullptr, nullptr);
    pa_stream_set_write_callback(s, nullptr, nullptr);
    pa_stream_set_read_callback(s, nullptr, nullptr);
    if (m_drain) {
        pa_operation_cancel(m_drain);
        pa_operation_unref(m_drain);
        m_drain = nullptr;
    }
    if (pa_stream_get_state(s) == PA_STREAM_READY || pa_stream_get_state(s) == PA_STREAM_CREATING)
        pa_stream_disconnect(s);
    pa_stream_unref(s);
}

qint64 Stream::write(const void* data, qint64 bytes)
{
    if (!m_stream || m_fill || bytes <= 0)
        return 0;
    LoopLock lock;
    if (pa_stream_get_state(m_stream) != PA_STREAM_READY)
        return 0;
    const size_t frame = size_t(m_format.bytesPerFrame());
    const size_t room = pa_stream_writable_size(m_stream);
    if (room == size_t(-1))
        return 0;
    const size_t n = std::min(room, size_t(bytes)) / frame * frame;
    if (n == 0)
        return 0;
    int rc;
    if (m_gain >= 0.9999f) {
        rc = pa_stream_write(m_stream, data, n, nullptr, 0, PA_SEEK_RELATIVE);
    } else {
        std::vector<char> copy(static_cast<const char*>(data), static_cast<const char*>(data) + n);
        applyGain(copy.data(), n, m_format.type, m_gain);
        rc = pa_stream_write(m_stream, copy.data(), n, nullptr, 0, PA_SEEK_RELATIVE);
    }
    if (rc < 0)
        return 0;
    return qint64(n);
}

void Stream::setPaused(bool paused)
{
    m_paused = paused;
    if (!m_stream)
        return;
    LoopLock lock;
    if (pa_stream_get_state(m_stream) != PA_STREAM_READY)
        return;
    if (pa_operation* o = pa_stream_cork(m_stream, paused ? 1 : 0, nullptr, nullptr))
        pa_operation_unref(o);
}

qint64 Stream::position() const
{
    if (!m_stream)
        return 0;
    if (m_take)
        return m_taken;
    LoopLock lock;
    pa_usec_t usec = 0;
    // Corked, the server's clock says nothing of what was heard (a stream
    // that starts corked reads as if it played): the last answer stands.
    if (pa_stream_get_state(m_stream) != PA_STREAM_READY || pa_stream_is_corked(m_stream) == 1
        || pa_stream_get_time(m_stream, &usec) < 0)
        return m_heard;
    m_heard = qint64(usec * uint64_t(m_format.rate) / 1000000);
    return m_heard;
}

} // namespace kvsound
