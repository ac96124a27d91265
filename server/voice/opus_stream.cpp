#include "opus_stream.h"

#include <opus.h>

#include <algorithm>

namespace tamovox::voice {

OpusStream::~OpusStream() { stopStream(*this); }

bool toStreamPcm(const WavSound& sound, std::vector<std::int16_t>& out, std::string& error)
{
    out.clear();
    if (sound.sampleRate <= 0 || sound.sampleRate > 384000 || sound.channels <= 0 || sound.channels > 16) {
        error = "unsupported sample rate or channel count";
        return false;
    }
    const std::size_t channels = static_cast<std::size_t>(sound.channels);
    const std::size_t inFrames = sound.samples.size() / channels;
    if (inFrames == 0) {
        error = "the file holds no sound";
        return false;
    }
    const double step = static_cast<double>(sound.sampleRate) / kStreamRate;
    const std::size_t outFrames = static_cast<std::size_t>(static_cast<double>(inFrames) / step);
    if (outFrames == 0 || outFrames > kMaxStreamFrames) {
        error = "the sound is too short or longer than half an hour";
        return false;
    }
    out.resize(outFrames * 2);
    auto sample = [&](std::size_t frame, std::size_t channel) {
        return static_cast<double>(sound.samples[frame * channels + std::min(channel, channels - 1)]);
    };
    // Linear interpolation; enough for a test and music stream at telephone rate.
    for (std::size_t f = 0; f < outFrames; ++f) {
        const double at = static_cast<double>(f) * step;
        const std::size_t i = std::min(static_cast<std::size_t>(at), inFrames - 1);
        const std::size_t j = std::min(i + 1, inFrames - 1);
        const double t = at - static_cast<double>(i);
        for (std::size_t c = 0; c < 2; ++c) {
            const double v = sample(i, c) * (1.0 - t) + sample(j, c) * t;
            out[f * 2 + c] = static_cast<std::int16_t>(std::clamp(v, -32768.0, 32767.0));
        }
    }
    return true;
}

bool startStream(OpusStream& stream, std::vector<std::int16_t> pcm, std::uint16_t talkerId, std::string& error)
{
    stopStream(stream);
    int rc = 0;
    stream.encoder = opus_encoder_create(kStreamRate, 2, OPUS_APPLICATION_AUDIO, &rc);
    if (!stream.encoder || rc != OPUS_OK) {
        error = std::string("opus encoder: ") + opus_strerror(rc);
        stream.encoder = nullptr;
        return false;
    }
    opus_encoder_ctl(stream.encoder, OPUS_SET_BITRATE(kStreamBitrate));
    stream.pcm = std::move(pcm);
    stream.position = 0;
    stream.talkerId = talkerId;
    stream.active = true;
    return true;
}

void stopStream(OpusStream& stream)
{
    if (stream.encoder)
        opus_encoder_destroy(stream.encoder);
    stream.encoder = nullptr;
    stream.active = false;
    stream.pcm.clear();
    stream.position = 0;
}

std::size_t nextOpusDatagram(OpusStream& stream, std::span<std::uint8_t, kOpusDatagramMaxBytes> out)
{
    if (!stream.active || !stream.encoder)
        return 0;
    const std::size_t frames = stream.pcm.size() / 2;
    if (stream.position >= frames) {
        stopStream(stream);
        return 0;
    }
    std::int16_t frame[kStreamFrameFrames * 2] = {};
    const std::size_t n = std::min<std::size_t>(kStreamFrameFrames, frames - stream.position);
    std::copy_n(stream.pcm.data() + stream.position * 2, n * 2, frame);
    stream.position += n;
    std::uint8_t packet[kOpusMaxPacketBytes];
    const opus_int32 length = opus_encode(stream.encoder, frame, kStreamFrameFrames, packet, sizeof packet);
    if (length < 0 || length > static_cast<opus_int32>(kOpusMaxPacketBytes)) {
        stopStream(stream);
        return 0;
    }
    const std::size_t size = buildOpusVoice(out, stream.sequence, stream.talkerId,
                                            std::span<const std::uint8_t>(packet, static_cast<std::size_t>(length)));
    stream.sequence = static_cast<std::uint8_t>(stream.sequence + 1);
    return size;
}

}  // namespace tamovox::voice
