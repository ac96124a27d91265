#include "audio/volume.h"

#include "core/shared_state.h"
#include "platform/audio_backend.h"

#include <algorithm>
#include <atomic>
#include <cmath>

namespace tamovox {

namespace {

constexpr int kKnobClickMargin = 14;
constexpr float kKnobSweepDegrees = 300.0f;
constexpr float kKnobZeroDegrees = 180.0f;

// The microphone level found before this program changed it. The start-up read can fail (no sound
// server yet); then the first successful read, made before any change of ours, is the user's level,
// and it replaces the 0.0 that would otherwise be written back at exit and mute the microphone.
std::atomic<bool> g_originalCaptureKnown{false};

void learnOriginalCapture(float volume)
{
    if (!g_originalCaptureKnown.exchange(true))
        shared().audio.savedMicrophoneGain = volume;
}

}  // namespace

float getCaptureVolume()
{
    float volume = 0.0f;
    if (!getDeviceVolume(VolumeTarget::Source, volume))
        return 0.0f;
    learnOriginalCapture(volume);
    return volume;
}

void setCaptureVolume(float volume)
{
    if (!g_originalCaptureKnown) {
        // Nothing has been read yet, so nothing of ours has been changed: the level to restore is
        // the one the device has now, and the user's level stays as it is.
        float original = 0.0f;
        if (getDeviceVolume(VolumeTarget::Source, original))
            learnOriginalCapture(original);
        return;
    }
    setDeviceVolume(VolumeTarget::Source, volume);
}

float getRenderVolume()
{
    float volume = 0.0f;
    return getDeviceVolume(VolumeTarget::Sink, volume) ? volume : 0.0f;
}

void setRenderVolume(float volume) { setDeviceVolume(VolumeTarget::Sink, volume); }

float knobAngleOfVolume(float volume) { return volume * kKnobSweepDegrees + kKnobZeroDegrees; }

float volumeOfClick(int x, int y, const Rect& knob)
{
    if (!knob.grown(kKnobClickMargin).contains(x, y))
        return -1.0f;
    const int cx = knob.left + (knob.right - knob.left) / 2;
    const int cy = knob.top + (knob.bottom - knob.top) / 2;
    double theta = std::atan2(static_cast<double>(y - cy), static_cast<double>(x - cx)) * 57.29577951308232;
    if (theta < 0)
        theta += 360.0;
    theta -= 90.0;
    if (theta < 0)
        theta += 360.0;
    return static_cast<float>(std::min(theta, 300.0)) / kKnobSweepDegrees;
}

}  // namespace tamovox
