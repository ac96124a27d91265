// The sound system as the audio logic needs it: a capture stream of 1000-byte blocks in a queue
// of three, a PCM playback stream of two 4000-byte buffers with a completion count, the 48 kHz
// float render stream, and the default source and sink volumes. Two implementations, chosen at
// link time: audio_backend_pulse.cpp (the program) and audio_backend_memory.cpp (unit tests).
// A stream belongs to the thread that opened it; the volume calls may come from any thread.
#pragma once

#include <cstdint>

namespace tamovox {

// Result of an open: 0 opened; kAudioNoServer when no sound server answers (absent, stopped,
// connection lost), which the caller treats as passing; a positive code (the sound server's
// error number) when the running server refuses the device, which is the caller's fatal case.
inline constexpr int kAudioOk = 0;
inline constexpr int kAudioNoServer = -1;

inline constexpr int kCaptureQueueBlocks = 3;
inline constexpr int kCaptureBlockBytesAudio = 1000;  // one capture block, 31.25 ms
inline constexpr int kPlaybackBufferBytes = 4000;     // four playout slots, 125 ms
inline constexpr int kPlaybackBuffers = 2;
inline constexpr int kVoiceRate = 8000;               // voice PCM: s16le stereo, frames/s
inline constexpr int kRenderRate = 48000;             // render stream: float32 stereo, frames/s
inline constexpr int kRenderChannels = 2;

// ---- Capture (the audio thread) --------------------------------------------------------------
struct CaptureStream;
// source: a source name, or nullptr for the default (PULSE_SOURCE, else the server's default).
[[nodiscard]] int openCaptureStream(const char* source, CaptureStream*& out);
// Without blocking: the bytes recorded into block index (0..2) once the device has finished it, else -1.
int captureBlockDone(CaptureStream* stream, int index);
std::uint8_t* captureBlockData(CaptureStream* stream, int index);  // kCaptureBlockBytesAudio bytes
// Gives a finished block back to the device, behind the others.
void requeueCaptureBlock(CaptureStream* stream, int index);
bool captureStreamLost(CaptureStream* stream);  // the sound server went away
// Sleeps until the stream has news (sound recorded, the stream lost) or timeoutMs have passed;
// returns at once when there was news since the previous wait.
void waitCaptureProgress(CaptureStream* stream, int timeoutMs);
void closeCaptureStream(CaptureStream* stream);
// Name of input device number `device` (sources that are not monitors, in server order); false if none.
bool captureSourceName(int device, char* name, int size);

// ---- PCM playback (the audio thread) ---------------------------------------------------------
struct PlaybackStream;
// Default sink (PULSE_SINK, else the server's), voice PCM format.
[[nodiscard]] int openPlaybackStream(PlaybackStream*& out);
// Queues one buffer of kPlaybackBufferBytes; the caller keeps at most kPlaybackBuffers outstanding.
void writePlaybackBuffer(PlaybackStream* stream, const std::uint8_t* data);
int playbackBuffersDone(PlaybackStream* stream);  // buffers played since the open
bool playbackStreamLost(PlaybackStream* stream);
// As waitCaptureProgress: news is a buffer played or the stream lost.
void waitPlaybackProgress(PlaybackStream* stream, int timeoutMs);
void closePlaybackStream(PlaybackStream* stream);

// ---- Render (the render thread) --------------------------------------------------------------
struct RenderStream;
// Always 48000 Hz float32 stereo whatever the sink's own format (the server converts); about 1 s
// of buffer, whose size in frames is returned in bufferFrames.
[[nodiscard]] int openRenderStream(RenderStream*& out, int& bufferFrames);
int renderPaddingFrames(RenderStream* stream);  // frames queued and not yet played; -1 when lost
int writeRenderFrames(RenderStream* stream, const float* values, int frames);  // 0, or -1 when lost
void closeRenderStream(RenderStream* stream);

// ---- Volumes (any thread) --------------------------------------------------------------------
enum class VolumeTarget { Source, Sink };
// The source the client records from and the sink it plays to (PULSE_SOURCE / PULSE_SINK, else the
// server's defaults); 0.0 silent, 1.0 full. False when the server or the device cannot be reached.
bool getDeviceVolume(VolumeTarget target, float& volume);
bool setDeviceVolume(VolumeTarget target, float volume);

}  // namespace tamovox
