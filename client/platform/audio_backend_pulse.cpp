// PulseAudio backend: libpulse's threaded mainloop and asynchronous API.
// Each stream owns its connection (mainloop + context), so that a sound server that goes away
// fails every stream on its own and the next open simply connects afresh. The volume calls share
// one connection, reopened when it has been lost. Connections never autospawn a server.
#include "platform/audio_backend.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>

namespace tamovox {

namespace {

constexpr const char* kClientName = "Tamo-Vox";

struct Connection {
    pa_threaded_mainloop* loop = nullptr;
    pa_context* context = nullptr;
};

void signalLoop(void* userdata) { pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(userdata), 0); }

void contextStateChanged(pa_context*, void* userdata) { signalLoop(userdata); }

bool contextReady(pa_context* context) { return context && pa_context_get_state(context) == PA_CONTEXT_READY; }

void disconnect(Connection& c)
{
    if (!c.loop)
        return;
    pa_threaded_mainloop_lock(c.loop);
    if (c.context) {
        pa_context_set_state_callback(c.context, nullptr, nullptr);
        pa_context_disconnect(c.context);
        pa_context_unref(c.context);
        c.context = nullptr;
    }
    pa_threaded_mainloop_unlock(c.loop);
    pa_threaded_mainloop_stop(c.loop);
    pa_threaded_mainloop_free(c.loop);
    c.loop = nullptr;
}

// Connects and waits for the context to be ready; false (nothing left open) when there is no server.
bool connect(Connection& c, const char* role)
{
    c.loop = pa_threaded_mainloop_new();
    if (!c.loop)
        return false;
    pa_proplist* props = pa_proplist_new();
    pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, kClientName);
    pa_proplist_sets(props, PA_PROP_MEDIA_ROLE, role);
    c.context = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(c.loop), kClientName, props);
    pa_proplist_free(props);
    if (!c.context) {
        pa_threaded_mainloop_free(c.loop);
        c.loop = nullptr;
        return false;
    }
    pa_context_set_state_callback(c.context, contextStateChanged, c.loop);
    if (pa_context_connect(c.context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 || pa_threaded_mainloop_start(c.loop) < 0) {
        pa_context_unref(c.context);
        c.context = nullptr;
        pa_threaded_mainloop_free(c.loop);
        c.loop = nullptr;
        return false;
    }
    pa_threaded_mainloop_lock(c.loop);
    for (;;) {
        pa_context_state_t state = pa_context_get_state(c.context);
        if (state == PA_CONTEXT_READY)
            break;
        if (!PA_CONTEXT_IS_GOOD(state)) {
            pa_threaded_mainloop_unlock(c.loop);
            disconnect(c);
            return false;
        }
        pa_threaded_mainloop_wait(c.loop);
    }
    pa_threaded_mainloop_unlock(c.loop);
    return true;
}

// Waits (mainloop locked) until the operation has finished or been cancelled by a lost connection.
void waitOperation(pa_threaded_mainloop* loop, pa_operation* operation)
{
    if (!operation)
        return;
    while (pa_operation_get_state(operation) == PA_OPERATION_RUNNING)
        pa_threaded_mainloop_wait(loop);
    pa_operation_unref(operation);
}

// Common to the three streams: creation, connection, wait for readiness, and the status of a failure.
struct StreamBase {
    Connection conn;
    pa_stream* stream = nullptr;
    std::atomic<bool> lost{false};
    // News for the owning thread, so that it sleeps until something happens instead of polling.
    std::mutex newsLock;
    std::condition_variable newsArrived;
    std::uint64_t news = 0;      // guarded by newsLock
    std::uint64_t newsSeen = 0;  // owning thread only
};

// Mainloop thread: something happened on the stream.
void postNews(StreamBase& base)
{
    {
        std::lock_guard lock(base.newsLock);
        ++base.news;
    }
    base.newsArrived.notify_one();
}

void waitNews(StreamBase& base, int timeoutMs)
{
    std::unique_lock lock(base.newsLock);
    base.newsArrived.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return base.news != base.newsSeen; });
    base.newsSeen = base.news;
}

void streamStateChanged(pa_stream* s, void* userdata)
{
    auto* base = static_cast<StreamBase*>(userdata);
    if (!PA_STREAM_IS_GOOD(pa_stream_get_state(s)))
        base->lost = true;
    postNews(*base);
    pa_threaded_mainloop_signal(base->conn.loop, 0);
}

// Waits for the stream (mainloop locked); kAudioOk, kAudioNoServer, or the server's refusal code.
int waitStreamReady(StreamBase& base)
{
    for (;;) {
        pa_stream_state_t state = pa_stream_get_state(base.stream);
        if (state == PA_STREAM_READY)
            return kAudioOk;
        if (!PA_STREAM_IS_GOOD(state)) {
            if (!contextReady(base.conn.context))
                return kAudioNoServer;
            int error = pa_context_errno(base.conn.context);
            return error > 0 ? error : PA_ERR_UNKNOWN;
        }
        pa_threaded_mainloop_wait(base.conn.loop);
    }
}

void closeBase(StreamBase& base)
{
    if (base.conn.loop && base.stream) {
        pa_threaded_mainloop_lock(base.conn.loop);
        pa_stream_set_state_callback(base.stream, nullptr, nullptr);
        pa_stream_set_read_callback(base.stream, nullptr, nullptr);
        pa_stream_set_write_callback(base.stream, nullptr, nullptr);
        pa_stream_disconnect(base.stream);
        pa_stream_unref(base.stream);
        base.stream = nullptr;
        pa_threaded_mainloop_unlock(base.conn.loop);
    }
    disconnect(base.conn);
}

bool baseLost(StreamBase& base)
{
    return base.lost.load() || !contextReady(base.conn.context);
}

}  // namespace

// ---- Capture ---------------------------------------------------------------------------------

struct CaptureStream : StreamBase {
    std::mutex lock;  // guards the blocks and the pending sound between the mainloop and the audio thread
    std::uint8_t blocks[kCaptureQueueBlocks][kCaptureBlockBytesAudio] = {};
    int recorded[kCaptureQueueBlocks] = {-1, -1, -1};  // -1 queued on the device, else bytes recorded
    int filling = 0;                                   // block being recorded into
    int fillBytes = 0;
    std::deque<std::uint8_t> pending;                  // sound received while no block was queued
};

namespace {

constexpr std::size_t kCapturePendingMax = 2 * 32000;  // two seconds; older sound is dropped first

// Like a device with a queue of three buffers, fed from what the server has delivered. Sources
// that deliver in bursts larger than the queue lose nothing: the rest waits in `pending`.
void fillBlocks(CaptureStream& c)
{
    while (!c.pending.empty() && c.recorded[c.filling] == -1) {
        const std::size_t n = std::min<std::size_t>(c.pending.size(), static_cast<std::size_t>(kCaptureBlockBytesAudio - c.fillBytes));
        std::copy_n(c.pending.begin(), n, c.blocks[c.filling] + c.fillBytes);
        c.pending.erase(c.pending.begin(), c.pending.begin() + static_cast<std::ptrdiff_t>(n));
        c.fillBytes += static_cast<int>(n);
        if (c.fillBytes == kCaptureBlockBytesAudio) {
            c.recorded[c.filling] = kCaptureBlockBytesAudio;
            c.filling = (c.filling + 1) % kCaptureQueueBlocks;
            c.fillBytes = 0;
        }
    }
}

void appendCapture(CaptureStream& c, const std::uint8_t* data, std::size_t bytes)
{
    std::lock_guard lock(c.lock);
    if (data)
        c.pending.insert(c.pending.end(), data, data + bytes);
    else
        c.pending.insert(c.pending.end(), bytes, 0);  // a hole in the stream is silence
    if (c.pending.size() > kCapturePendingMax)
        c.pending.erase(c.pending.begin(), c.pending.begin() + static_cast<std::ptrdiff_t>(c.pending.size() - kCapturePendingMax));
    fillBlocks(c);
}

void captureReadable(pa_stream* s, std::size_t, void* userdata)
{
    auto* c = static_cast<CaptureStream*>(userdata);
    for (;;) {
        const void* data = nullptr;
        std::size_t bytes = 0;
        if (pa_stream_peek(s, &data, &bytes) < 0 || bytes == 0)
            return;
        appendCapture(*c, static_cast<const std::uint8_t*>(data), bytes);
        pa_stream_drop(s);
        postNews(*c);
    }
}

pa_sample_spec voiceSpec()
{
    pa_sample_spec spec{};
    spec.format = PA_SAMPLE_S16LE;
    spec.rate = kVoiceRate;
    spec.channels = 2;
    return spec;
}

}  // namespace

int openCaptureStream(const char* source, CaptureStream*& out)
{
    auto* c = new CaptureStream;
    if (!connect(c->conn, "phone")) {
        delete c;
        return kAudioNoServer;
    }
    pa_threaded_mainloop_lock(c->conn.loop);
    pa_sample_spec spec = voiceSpec();
    c->stream = pa_stream_new(c->conn.context, "micro", &spec, nullptr);
    int status = PA_ERR_UNKNOWN;
    if (c->stream) {
        pa_stream_set_state_callback(c->stream, streamStateChanged, static_cast<StreamBase*>(c));
        pa_stream_set_read_callback(c->stream, captureReadable, c);
        pa_buffer_attr attr{};
        attr.maxlength = static_cast<std::uint32_t>(-1);
        attr.fragsize = kCaptureBlockBytesAudio;  // delivered a block at a time
        if (pa_stream_connect_record(c->stream, source, &attr, PA_STREAM_ADJUST_LATENCY) < 0)
            status = contextReady(c->conn.context) ? pa_context_errno(c->conn.context) : kAudioNoServer;
        else
            status = waitStreamReady(*c);
    }
    pa_threaded_mainloop_unlock(c->conn.loop);
    if (status != kAudioOk) {
        closeBase(*c);
        delete c;
        return status;
    }
    out = c;
    return kAudioOk;
}

int captureBlockDone(CaptureStream* c, int index)
{
    std::lock_guard lock(c->lock);
    fillBlocks(*c);
    return c->recorded[index];
}

std::uint8_t* captureBlockData(CaptureStream* c, int index) { return c->blocks[index]; }

void requeueCaptureBlock(CaptureStream* c, int index)
{
    std::lock_guard lock(c->lock);
    c->recorded[index] = -1;
}

bool captureStreamLost(CaptureStream* c) { return baseLost(*c); }

void waitCaptureProgress(CaptureStream* c, int timeoutMs) { waitNews(*c, timeoutMs); }

void closeCaptureStream(CaptureStream* c)
{
    if (!c)
        return;
    closeBase(*c);
    delete c;
}

// ---- PCM playback ----------------------------------------------------------------------------

struct PlaybackStream : StreamBase {
    std::uint64_t bytesWritten = 0;  // audio thread
    std::uint32_t targetLength = 2 * kPlaybackBufferBytes;
};

int openPlaybackStream(PlaybackStream*& out)
{
    auto* p = new PlaybackStream;
    if (!connect(p->conn, "phone")) {
        delete p;
        return kAudioNoServer;
    }
    pa_threaded_mainloop_lock(p->conn.loop);
    pa_sample_spec spec = voiceSpec();
    p->stream = pa_stream_new(p->conn.context, "voix", &spec, nullptr);
    int status = PA_ERR_UNKNOWN;
    if (p->stream) {
        pa_stream_set_state_callback(p->stream, streamStateChanged, static_cast<StreamBase*>(p));
        pa_stream_set_write_callback(
            p->stream,
            [](pa_stream*, std::size_t, void* userdata) {
                auto* base = static_cast<StreamBase*>(userdata);
                postNews(*base);
                signalLoop(base->conn.loop);
            },
            static_cast<StreamBase*>(p));
        // Two buffers in flight: the server asks for the next one when one has been played.
        pa_buffer_attr attr{};
        attr.maxlength = static_cast<std::uint32_t>(-1);
        attr.tlength = kPlaybackBuffers * kPlaybackBufferBytes;
        attr.prebuf = kPlaybackBufferBytes;
        attr.minreq = kPlaybackBufferBytes;
        attr.fragsize = static_cast<std::uint32_t>(-1);
        // The buffer length is the whole latency: a sink that would otherwise take seconds at a
        // time (a null sink, a timer-scheduled card) is held to small steps.
        if (pa_stream_connect_playback(p->stream, nullptr, &attr, PA_STREAM_ADJUST_LATENCY, nullptr, nullptr) < 0)
            status = contextReady(p->conn.context) ? pa_context_errno(p->conn.context) : kAudioNoServer;
        else
            status = waitStreamReady(*p);
        if (status == kAudioOk)
            if (const pa_buffer_attr* actual = pa_stream_get_buffer_attr(p->stream))
                p->targetLength = std::max<std::uint32_t>(actual->tlength, kPlaybackBufferBytes);
    }
    pa_threaded_mainloop_unlock(p->conn.loop);
    if (status != kAudioOk) {
        closeBase(*p);
        delete p;
        return status;
    }
    out = p;
    return kAudioOk;
}

void writePlaybackBuffer(PlaybackStream* p, const std::uint8_t* data)
{
    pa_threaded_mainloop_lock(p->conn.loop);
    if (p->stream && pa_stream_write(p->stream, data, kPlaybackBufferBytes, nullptr, 0, PA_SEEK_RELATIVE) == 0)
        p->bytesWritten += kPlaybackBufferBytes;
    pa_threaded_mainloop_unlock(p->conn.loop);
}

int playbackBuffersDone(PlaybackStream* p)
{
    pa_threaded_mainloop_lock(p->conn.loop);
    std::size_t writable = p->stream ? pa_stream_writable_size(p->stream) : 0;
    pa_threaded_mainloop_unlock(p->conn.loop);
    if (writable == static_cast<std::size_t>(-1))
        writable = 0;
    // What the server has not yet asked back is still waiting to be played.
    std::uint64_t pending = p->targetLength > writable ? p->targetLength - writable : 0;
    pending = std::min(pending, p->bytesWritten);
    return static_cast<int>((p->bytesWritten - pending) / kPlaybackBufferBytes);
}

bool playbackStreamLost(PlaybackStream* p) { return baseLost(*p); }

void waitPlaybackProgress(PlaybackStream* p, int timeoutMs) { waitNews(*p, timeoutMs); }

void closePlaybackStream(PlaybackStream* p)
{
    if (!p)
        return;
    closeBase(*p);
    delete p;
}

// ---- Render ----------------------------------------------------------------------------------

struct RenderStream : StreamBase {
    std::uint32_t targetLength = 0;  // bytes
};

int openRenderStream(RenderStream*& out, int& bufferFrames)
{
    auto* r = new RenderStream;
    if (!connect(r->conn, "music")) {
        delete r;
        return kAudioNoServer;
    }
    constexpr int kFrameBytes = kRenderChannels * static_cast<int>(sizeof(float));
    pa_threaded_mainloop_lock(r->conn.loop);
    // Our own format whatever the sink's: the server converts rate, format and channels.
    pa_sample_spec spec{};
    spec.format = PA_SAMPLE_FLOAT32LE;
    spec.rate = kRenderRate;
    spec.channels = kRenderChannels;
    pa_channel_map map;
    pa_channel_map_init_stereo(&map);
    r->stream = pa_stream_new(r->conn.context, "opus", &spec, &map);
    int status = PA_ERR_UNKNOWN;
    if (r->stream) {
        pa_stream_set_state_callback(r->stream, streamStateChanged, static_cast<StreamBase*>(r));
        pa_buffer_attr attr{};
        attr.maxlength = static_cast<std::uint32_t>(-1);
        attr.tlength = static_cast<std::uint32_t>(kRenderRate * kFrameBytes);  // one second
        attr.prebuf = static_cast<std::uint32_t>(kRenderRate / 10 * kFrameBytes);
        attr.minreq = static_cast<std::uint32_t>(-1);
        attr.fragsize = static_cast<std::uint32_t>(-1);
        if (pa_stream_connect_playback(r->stream, nullptr, &attr, PA_STREAM_ADJUST_LATENCY, nullptr, nullptr) < 0)
            status = contextReady(r->conn.context) ? pa_context_errno(r->conn.context) : kAudioNoServer;
        else
            status = waitStreamReady(*r);
        if (status == kAudioOk) {
            const pa_buffer_attr* actual = pa_stream_get_buffer_attr(r->stream);
            r->targetLength = actual ? actual->tlength : attr.tlength;
        }
    }
    pa_threaded_mainloop_unlock(r->conn.loop);
    if (status != kAudioOk) {
        closeBase(*r);
        delete r;
        return status;
    }
    bufferFrames = static_cast<int>(r->targetLength / kFrameBytes);
    out = r;
    return kAudioOk;
}

int renderPaddingFrames(RenderStream* r)
{
    if (baseLost(*r))
        return -1;
    pa_threaded_mainloop_lock(r->conn.loop);
    std::size_t writable = pa_stream_writable_size(r->stream);
    pa_threaded_mainloop_unlock(r->conn.loop);
    if (writable == static_cast<std::size_t>(-1))
        return -1;
    std::size_t queued = r->targetLength > writable ? r->targetLength - writable : 0;
    return static_cast<int>(queued / (kRenderChannels * sizeof(float)));
}

int writeRenderFrames(RenderStream* r, const float* values, int frames)
{
    if (baseLost(*r))
        return -1;
    if (frames <= 0)
        return 0;
    pa_threaded_mainloop_lock(r->conn.loop);
    int result = pa_stream_write(r->stream, values, static_cast<std::size_t>(frames) * kRenderChannels * sizeof(float), nullptr,
                                 0, PA_SEEK_RELATIVE);
    pa_threaded_mainloop_unlock(r->conn.loop);
    return result == 0 ? 0 : -1;
}

void closeRenderStream(RenderStream* r)
{
    if (!r)
        return;
    closeBase(*r);
    delete r;
}

// ---- Introspection: volumes and source names -------------------------------------------------

namespace {

std::mutex g_controlLock;  // one caller at a time owns the control connection
Connection g_control;

// The control connection, reconnected after a loss; nullptr when there is no server.
Connection* controlConnection()
{
    if (g_control.loop && !contextReady(g_control.context))
        disconnect(g_control);
    if (!g_control.loop && !connect(g_control, "phone"))
        return nullptr;
    return &g_control;
}

const char* deviceName(VolumeTarget target)
{
    const char* name = std::getenv(target == VolumeTarget::Source ? "PULSE_SOURCE" : "PULSE_SINK");
    if (name && *name)
        return name;
    return target == VolumeTarget::Source ? "@DEFAULT_SOURCE@" : "@DEFAULT_SINK@";
}

struct VolumeQuery {
    pa_threaded_mainloop* loop = nullptr;
    bool found = false;
    pa_cvolume volume{};
};

template <typename Info>
void volumeInfo(pa_context*, const Info* info, int eol, void* userdata)
{
    auto* q = static_cast<VolumeQuery*>(userdata);
    if (eol == 0 && info) {
        q->found = true;
        q->volume = info->volume;
    }
    pa_threaded_mainloop_signal(q->loop, 0);
}

void successCallback(pa_context*, int, void* loop) { signalLoop(loop); }

// Reads the device's volume (control connection locked).
bool queryVolume(Connection& c, VolumeTarget target, pa_cvolume& volume)
{
    VolumeQuery q;
    q.loop = c.loop;
    pa_operation* op = target == VolumeTarget::Source
                           ? pa_context_get_source_info_by_name(c.context, deviceName(target), volumeInfo<pa_source_info>, &q)
                           : pa_context_get_sink_info_by_name(c.context, deviceName(target), volumeInfo<pa_sink_info>, &q);
    waitOperation(c.loop, op);
    if (!q.found || !pa_cvolume_valid(&q.volume))
        return false;
    volume = q.volume;
    return true;
}

}  // namespace

bool getDeviceVolume(VolumeTarget target, float& volume)
{
    std::lock_guard guard(g_controlLock);
    Connection* c = controlConnection();
    if (!c)
        return false;
    pa_threaded_mainloop_lock(c->loop);
    pa_cvolume cv;
    bool ok = queryVolume(*c, target, cv);
    pa_threaded_mainloop_unlock(c->loop);
    if (ok)
        volume = std::min(1.0f, static_cast<float>(pa_cvolume_max(&cv)) / static_cast<float>(PA_VOLUME_NORM));
    return ok;
}

bool setDeviceVolume(VolumeTarget target, float volume)
{
    std::lock_guard guard(g_controlLock);
    Connection* c = controlConnection();
    if (!c)
        return false;
    pa_threaded_mainloop_lock(c->loop);
    pa_cvolume cv;
    bool ok = queryVolume(*c, target, cv);
    if (ok) {
        // Scaling keeps the balance between the channels.
        auto level = static_cast<pa_volume_t>(std::clamp(volume, 0.0f, 1.0f) * static_cast<float>(PA_VOLUME_NORM) + 0.5f);
        pa_cvolume_scale(&cv, level);
        pa_operation* op = target == VolumeTarget::Source
                               ? pa_context_set_source_volume_by_name(c->context, deviceName(target), &cv, successCallback, c->loop)
                               : pa_context_set_sink_volume_by_name(c->context, deviceName(target), &cv, successCallback, c->loop);
        ok = op != nullptr;
        waitOperation(c->loop, op);
    }
    pa_threaded_mainloop_unlock(c->loop);
    return ok;
}

namespace {
struct SourceSearch {
    pa_threaded_mainloop* loop = nullptr;
    int wanted = 0;
    int seen = 0;
    char* name = nullptr;
    int size = 0;
    bool found = false;
};
}  // namespace

bool captureSourceName(int device, char* name, int size)
{
    if (device < 0 || !name || size <= 0)
        return false;
    std::lock_guard guard(g_controlLock);
    Connection* c = controlConnection();
    if (!c)
        return false;
    SourceSearch search{c->loop, device, 0, name, size, false};
    pa_threaded_mainloop_lock(c->loop);
    pa_operation* op = pa_context_get_source_info_list(
        c->context,
        [](pa_context*, const pa_source_info* info, int eol, void* userdata) {
            auto* s = static_cast<SourceSearch*>(userdata);
            if (eol == 0 && info && info->monitor_of_sink == PA_INVALID_INDEX) {
                if (s->seen == s->wanted && info->name) {
                    std::snprintf(s->name, static_cast<std::size_t>(s->size), "%s", info->name);
                    s->found = true;
                }
                ++s->seen;
            }
            pa_threaded_mainloop_signal(s->loop, 0);
        },
        &search);
    waitOperation(c->loop, op);
    pa_threaded_mainloop_unlock(c->loop);
    return search.found;
}

}  // namespace tamovox
