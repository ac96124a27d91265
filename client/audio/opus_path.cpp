#include "audio/opus_path.h"

#include "audio/audio_threads.h"
#include "audio/meters.h"
#include "audio/render_ring.h"
#include "core/shared_state.h"

#include <opus/opus.h>

#include <cstdio>
#include <mutex>
#include <span>

namespace tamovox {

namespace {
constexpr int kOpusChannels = 2;
std::mutex g_decoderLock;  // shutdown destroys the decoder while the receive thread may be decoding
}

std::string opusErrorText(int code)
{
    switch (code) {
    case OPUS_BAD_ARG: return "Erreur : argument invalide\n";
    case OPUS_BUFFER_TOO_SMALL: return "Erreur : myRingBuffer trop petit\n";
    case OPUS_INTERNAL_ERROR: return "Erreur interne Opus\n";
    case OPUS_INVALID_PACKET: return "Erreur : paquet Opus invalide/corrompu\n";
    case OPUS_UNIMPLEMENTED: return "Erreur : fonctionnalité non implémentée\n";
    case OPUS_INVALID_STATE: return "Erreur : état du décodeur invalide\n";
    case OPUS_ALLOC_FAIL: return "Erreur : allocation mémoire échouée\n";
    default: {
        char line[64];
        std::snprintf(line, sizeof line, "Erreur inconnue : %d\n", code);
        return line;
    }
    }
}

void createOpusDecoder()
{
    int error = 0;
    OpusDecoder* decoder = opus_decoder_create(kOpusRate, kOpusChannels, &error);
    if (error != OPUS_OK) {
        if (decoder)
            opus_decoder_destroy(decoder);
        decoder = nullptr;
    }
    shared().audio.opusDecoder = decoder;
}

void destroyOpusDecoder()
{
    std::lock_guard lock(g_decoderLock);
    if (void* decoder = shared().audio.opusDecoder.exchange(nullptr))
        opus_decoder_destroy(static_cast<OpusDecoder*>(decoder));
}

int decodeOpusPacket(const std::uint8_t* packet, int length, std::int16_t* output)
{
    int result;
    {
        std::lock_guard lock(g_decoderLock);
        auto* decoder = static_cast<OpusDecoder*>(shared().audio.opusDecoder.load());
        if (!decoder)
            return -1;
        result = opus_decode(decoder, packet, length, output, kOpusFrameSize, /*decode_fec=*/0);
    }
    if (result < 0) {
        std::fputs(opusErrorText(result).c_str(), stdout);
        std::fflush(stdout);
    }
    return result;
}

void queueDecodedAudio(const std::int16_t* decodeBuffer, int frames)
{
    if (frames < 1)
        return;
    pushUpsampled(std::span<const std::int16_t>(decodeBuffer, static_cast<std::size_t>(frames) * kOpusChannels));
    receiveMeterUpdate(decodeBuffer);
    shared().audio.receivedAudioKind = 2;
}

}  // namespace tamovox
