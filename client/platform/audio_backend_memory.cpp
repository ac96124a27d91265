// In-memory sound backend for unit tests: streams that hold their bytes, finish playback buffers
// at once and capture blocks when the test says so.
#include "platform/audio_backend.h"

#include "platform/audio_backend_memory.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>

namespace tamovox {

struct CaptureStream {
    std::uint8_t blocks[kCaptureQueueBlocks][kCaptureBlockBytesAudio] = {};
    int recorded[kCaptureQueueBlocks] = {-1, -1, -1};
};
struct PlaybackStream {
    int written = 0;
};
struct RenderStream {
    int queued = 0;
};

namespace {
std::mutex g_lock;
bool g_present = true;
float g_volumes[2] = {1.0f, 1.0f};
CaptureStream* g_capture = nullptr;
std::atomic<int> g_playbackWritten{0};

int index(VolumeTarget target) { return target == VolumeTarget::Source ? 0 : 1; }
}  // namespace

int openCaptureStream(const char*, CaptureStream*& out)
{
    std::lock_guard lock(g_lock);
    if (!g_present)
        return kAudioNoServer;
    out = g_capture = new CaptureStream;
    return kAudioOk;
}

int captureBlockDone(CaptureStream* stream, int i)
{
    std::lock_guard lock(g_lock);
    return stream->recorded[i];
}

std::uint8_t* captureBlockData(CaptureStream* stream, int i) { return stream->blocks[i]; }

void requeueCaptureBlock(CaptureStream* stream, int i)
{
    std::lock_guard lock(g_lock);
    stream->recorded[i] = -1;
}

bool captureStreamLost(CaptureStream*)
{
    std::lock_guard lock(g_lock);
    return !g_present;
}

void closeCaptureStream(CaptureStream* stream)
{
    std::lock_guard lock(g_lock);
    if (g_capture == stream)
        g_capture = nullptr;
    delete stream;
}

bool captureSourceName(int, char*, int) { return false; }
void waitCaptureProgress(CaptureStream*, int) {}

int openPlaybackStream(PlaybackStream*& out)
{
    std::lock_guard lock(g_lock);
    if (!g_present)
        return kAudioNoServer;
    out = new PlaybackStream;
    return kAudioOk;
}

void writePlaybackBuffer(PlaybackStream* stream, const std::uint8_t*)
{
    ++stream->written;
    ++g_playbackWritten;
}

int playbackBuffersDone(PlaybackStream* stream) { return stream->written; }

bool playbackStreamLost(PlaybackStream*)
{
    std::lock_guard lock(g_lock);
    return !g_present;
}

void closePlaybackStream(PlaybackStream* stream) { delete stream; }
void waitPlaybackProgress(PlaybackStream*, int) {}

int openRenderStream(RenderStream*& out, int& bufferFrames)
{
    std::lock_guard lock(g_lock);
    if (!g_present)
        return kAudioNoServer;
    out = new RenderStream;
    bufferFrames = kRenderRate;
    return kAudioOk;
}

int renderPaddingFrames(RenderStream*) { return 0; }
int writeRenderFrames(RenderStream*, const float*, int) { return 0; }
void closeRenderStream(RenderStream* stream) { delete stream; }

bool getDeviceVolume(VolumeTarget target, float& volume)
{
    std::lock_guard lock(g_lock);
    if (!g_present)
        return false;
    volume = g_volumes[index(target)];
    return true;
}

bool setDeviceVolume(VolumeTarget target, float volume)
{
    std::lock_guard lock(g_lock);
    if (!g_present)
        return false;
    g_volumes[index(target)] = std::clamp(volume, 0.0f, 1.0f);
    return true;
}

namespace memory_audio {

void setServerPresent(bool present)
{
    std::lock_guard lock(g_lock);
    g_present = present;
}

void setVolume(VolumeTarget target, float volume)
{
    std::lock_guard lock(g_lock);
    g_volumes[index(target)] = volume;
}

float volume(VolumeTarget target)
{
    std::lock_guard lock(g_lock);
    return g_volumes[index(target)];
}

void finishCaptureBlock(int i, const std::uint8_t* data, int bytes)
{
    std::lock_guard lock(g_lock);
    if (!g_capture)
        return;
    std::memcpy(g_capture->blocks[i], data, static_cast<std::size_t>(std::clamp(bytes, 0, kCaptureBlockBytesAudio)));
    g_capture->recorded[i] = bytes;
}

int playbackBuffersWritten() { return g_playbackWritten; }

}  // namespace memory_audio

}  // namespace tamovox
