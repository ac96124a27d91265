// Sockets towards the voice server and the speech companion, and the transport threads.
#pragma once

#include <cstdint>

namespace tamovox {

// Creates the voice and control sockets and sends the two hellos; 0, or -1 on failure. Main thread.
int setupSockets();
// Loopback socket towards the speech companion; main thread.
void setupLoopbackSocket();
// Speech companion datagrams: a text to speak (at most 200 bytes), and the quit byte.
int speak(const char* text);
void quitCompanion();

// One capture block (500 values) as the next voice datagram; audio thread only.
void sendVoiceBlock(const std::int16_t* block);
// List request for channel port p, sent to p + 1000; supervisor thread.
void listRequest(int channelPort);

void linkBlinkThread();
void presenceThread();
void receiveThread();
void supervisorThread();
void speechReceiveThread();

}  // namespace tamovox
