// The one process-wide record shared by the main thread, the workers, the timers and the windows.
// Fields another thread reads without a lock are std::atomic (relaxed unless order matters);
// text buffers, images and rectangles are written by the main thread only unless noted.
#pragma once

#include "core/rect.h"

#include <QImage>

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>

class QWidget;
class QTimer;

namespace tamovox {

inline constexpr std::uint16_t kGuestAccountNumber = 19704;
inline constexpr int kFirstChannelPort = 30000;
inline constexpr int kChannelCount = 11;
inline constexpr int kMaxCorrespondents = 16;
inline constexpr int kCaptureBlockBytes = 1000;
inline constexpr int kPlayoutSlots = 16;
inline constexpr int kRenderRingValues = 192000;
inline constexpr int kRenderRingCapacity = kRenderRingValues - 2;  // one frame stays empty: full differs from empty
inline constexpr int kActivityLamps = 16;
inline constexpr int kInputDeviceEntries = 15;
inline constexpr std::size_t kResponseBufferBytes = 10'000'000;
inline constexpr std::size_t kUploadRecordBytes = 10'000'268;

// ---- Identity --------------------------------------------------------------------------------
struct Identity {
    char machineId[20] = {};                        // 16 decimal digits + terminator; start-up; read by lookup, presence
    char clientVersion[8] = "0.7.9";                // static; paint, lookup, presence
    std::atomic<std::uint8_t> accountNumberBytes[2] = {0x4C, 0xF8};  // high, low byte of accountNumber; lookup writes
    std::atomic<std::uint16_t> accountNumber{kGuestAccountNumber};   // lookup writes; presence, voice, idle read
    char lookupName[25] = {};                       // ANSI name + terminator; lookup; greeting
    char profileFirstName[64] = {};                 // UTF-8; OwnProfile fetch (main thread)
    char profileNickname[64] = {};
    char profileCity[64] = {};
    char profileDay[64] = {};
    char profileFolder[64] = {};
    char profilePhrase[128] = {};
    char profileEmail[128] = {};
};

// ---- Channel ---------------------------------------------------------------------------------
struct ChannelState {
    std::atomic<int> channelPort{kFirstChannelPort};         // 30000..30010; main window keys write
    std::atomic<int> currentChannelCount{0};                 // -1 after a change; supervisor thread, keys
    std::atomic<int> members[kChannelCount][kMaxCorrespondents] = {};  // account numbers; supervisor thread
    std::atomic<int> counts[kChannelCount] = {};             // per channel; supervisor thread
    std::atomic<int> talkerId{0};                            // speaker of the last voice datagram; receive thread
};

// ---- Push-to-talk (guarded by pushToTalkLock) -------------------------------------------------
inline constexpr int kPttReleased = 1;
inline constexpr int kPttPressed = 2;
struct PushToTalk {
    std::mutex pushToTalkLock;        // taken by main window, speech receive, device, audio, receive threads
    int manualState = kPttReleased;   // space bar, companion "T"/"R"
    int deviceState = kPttReleased;   // USB serial button
};

// ---- Lamps (colour codes 1 red, 2 dark red, 3 green, 4 yellow, 5 blue, 6 dark blue) ----------
struct LampStates {
    std::atomic<int> peer{5};              // "P2P"; receive thread
    std::atomic<int> https{5};             // web exchanges
    std::atomic<int> transmit{5};          // "TX-RX"; audio thread: 1 microphone open, 5 closed
    std::atomic<int> voiceLink{5};         // "UDP"; socket set-up, receive thread
    std::atomic<int> supervisorLink{5};    // "SVC"; socket set-up, supervisor thread
    std::atomic<int> tcp{5};               // "TCP"; start-up, link blink thread
    std::atomic<int> receptionErrorCount{99};        // receive thread; "ERROR LEVEL" row
    std::atomic<int> errorLevel[5] = {6, 6, 6, 6, 6};  // lamp panel only
    std::atomic<int> activity[kActivityLamps] = {5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5};
};

// ---- Idle ------------------------------------------------------------------------------------
struct IdleState {
    std::atomic<int> idleCountdown{0};  // seconds; start-up, key release, device press, idle timer
};

// ---- Appearance and texts --------------------------------------------------------------------
struct Appearance {
    std::atomic<std::uint32_t> backgroundColour{0};  // 0x00BBGGRR; start-up, Params fetch, Params window
    char helpLine[601] = {};                          // UTF-8, 200 characters; main thread
    char statusText[901] = {};                        // UTF-8, 300 characters; main thread
    std::atomic<int> closeCrossEnabled{0};
    std::atomic<std::uint8_t> channelPanelReady{0};
    std::atomic<std::uint8_t> repaintRefetch{0};      // paint sets, account fetch clears
};

// ---- Windows (main thread; the handles other threads read are atomic) ------------------------
struct WindowHandles {
    std::atomic<QWidget*> mainWindow{nullptr};
    QWidget* vuMeterLeft = nullptr;
    QWidget* vuMeterRight = nullptr;
    QWidget* canvasWindow = nullptr;
    std::atomic<int> canvasWindowOpen{0};
    QWidget* groupWindow = nullptr;
    std::atomic<int> groupWindowOpen{0};
    std::atomic<int> groupWindowReady{0};
    int groupRow = 0;
    QWidget* paramsWindow = nullptr;
    std::atomic<int> paramsWindowOpen{0};
    std::atomic<int> paramsWindowReady{0};
    QWidget* networkWindow = nullptr;
    std::atomic<int> networkWindowOpen{0};
    std::atomic<int> networkWindowReady{0};
    int networkLastDrawnCount = -1;
    std::atomic<QWidget*> supervisorDialog{nullptr};
    QWidget* inputDeviceWindow = nullptr;
    std::atomic<int> inputDeviceWindowOpen{0};
};

// ---- Skin images (written once in start-up, except the USB status icon) ----------------------
struct SkinImages {
    std::array<QImage, kChannelCount> channel;   // slot 0 frame background, 1..10 digits
    QImage knobArrow;                            // "btn-fleche.bmp": MIC GAIN, VOLUME
    QImage knobParams;                           // "btn-param.bmp": PARAMS
    QImage documentationIcon;                    // "doc_img.bmp"
    QImage speechIcon;                           // "synthe_1.bmp"
    std::array<QImage, 7> lamps;                 // index = colour code 1..6; 0 unused
    std::mutex usbIconLock;                      // device thread replaces the icon while paint reads it
    QImage usbIcon;                              // guarded by usbIconLock
    Rect usbIconRect;                            // guarded by usbIconLock
    int usbIconState = 0;                        // last state shown; guarded by usbIconLock
};

// ---- Layout rectangles (main thread) ---------------------------------------------------------
struct LayoutRects {
    Rect dragStrip;
    Rect credit;
    Rect closeCross;
    Rect channelFrame;
    Rect networkRing;
    Rect documentationIcon;
    Rect speechIcon;
    Rect animation;
    Rect countdown;
    Rect statusBox;
    Rect codecLabel;
    Rect levelBarLeft;
    Rect levelBarRight;
    Rect knobParams;
    Rect knobMicGain;
    Rect knobVolume;
};

// ---- Sockets (-1 = none) ---------------------------------------------------------------------
struct Sockets {
    std::atomic<int> voiceSocket{-1};
    std::atomic<int> controlSocket{-1};
    std::atomic<int> loopbackSocket{-1};   // main thread publishes it (release) while the speech thread polls (acquire)
};

// ---- Audio -----------------------------------------------------------------------------------
struct InputDeviceEntry {
    int device = -1;                  // -1: no device
    char deviceName[64] = "Windows Driver";
    char endpointName[256] = "Windows Driver";
};

struct AudioShared {
    std::atomic<int> audioRunFlag{0};            // 0 stop / 1 running / 99 ended; main thread sets 0
    std::atomic<int> selectedInputDevice{-1};    // -1 system default
    std::array<InputDeviceEntry, kInputDeviceEntries> inputDevices;  // main thread
    std::mutex playoutLock;                      // guards playoutBuffer and playoutWriteIndex
    std::uint8_t playoutBuffer[kPlayoutSlots][kCaptureBlockBytes] = {};
    int playoutWriteIndex = 0;
    std::atomic<int> lampPosition{0};            // 0..15, playback stream
    std::atomic<int> markedLamp{0};              // 0..15, playback stream; receive thread lights it
    int transmitChasePosition = 15;              // audio thread only
    std::atomic<float> renderRing[kRenderRingValues] = {};  // 48 kHz stereo; receive thread writes, render thread reads (see render_ring.h)
    std::atomic<int> renderWriteIndex{0};        // receive thread publishes (release)
    std::atomic<int> renderReadIndex{0};         // render thread hands back; receive thread moves it on when full (CAS)
    std::atomic<int> receivedAudioKind{0};       // 0 none, 1 PCM, 2 OPUS
    std::atomic<int> meterAngle[2] = {0, 0};     // degrees; left, right
    std::atomic<std::int16_t> smoothedPeak[2] = {0, 0};
    std::atomic<std::int16_t> barMemory[2] = {0, 0};
    std::atomic<int> barLevel[2] = {0, 0};
    std::atomic<float> savedMicrophoneGain{0.0f};  // read at start-up, written back at exit
    std::atomic<void*> opusDecoder{nullptr};       // OpusDecoder*; receive thread uses it
};

// ---- Web -------------------------------------------------------------------------------------
struct WebShared {
    std::mutex responseLock;          // one exchange at a time owns responseBuffer
    char* responseBuffer = nullptr;   // kResponseBufferBytes + 1, allocated at start-up
    int lastImageNumber = 0;          // speaker picture cache key (main thread)
    int lastProfileNumber = 0;        // speaker profile cache key (main thread)
    std::recursive_mutex accountLock; // held for the whole of each account fetch
    std::atomic<int> webLampCount[3] = {0, 0, 0};  // account fetch, httpGet, upload
    std::uint8_t* uploadRecord = nullptr;          // kUploadRecordBytes, allocated on first upload
    QImage sharedImage;
    int sharedImageFetched = 0;
    std::array<std::uint32_t, 16> customColours = {};
};

// ---- Timers and threads ----------------------------------------------------------------------
struct TimerHandles {
    QTimer* channelPanel = nullptr;   // id 13
    QTimer* networkRing = nullptr;    // id 3
    QTimer* knobPanel = nullptr;      // id 8
    QTimer* speakerFetch = nullptr;   // id 7
    QTimer* helpLine = nullptr;       // id 11
    QTimer* statusBox = nullptr;      // id 12
    QTimer* lampPanel = nullptr;      // id 6
    QTimer* idle = nullptr;           // id 16
    QTimer* animation = nullptr;      // main window timer 4
    std::thread deviceThread;
    std::atomic<std::uint8_t> deviceRunFlag{0};
};

struct SharedState {
    Identity identity;
    ChannelState channel;
    PushToTalk pushToTalk;
    LampStates lamps;
    IdleState idle;
    Appearance appearance;
    WindowHandles windows;
    SkinImages skin;
    LayoutRects layout;
    Sockets sockets;
    AudioShared audio;
    WebShared web;
    TimerHandles timers;
};

// The single instance, created with the process and never freed.
SharedState& shared();

// Push-to-talk counts as pressed when either source is pressed; takes the lock.
bool pushToTalkPressed();
void setManualPushToTalk(int state);
void setDevicePushToTalk(int state);

// Sets accountNumber and its two bytes together.
void setAccountNumber(std::uint16_t number);

}  // namespace tamovox
