#include "app/startup.h"

#include "app/skin_files.h"
#include "app/termination_signals.h"
#include "app/timers.h"
#include "audio/audio_threads.h"
#include "audio/input_devices.h"
#include "audio/volume.h"
#include "audio/vu_meters.h"
#include "core/lifecycle_log.h"
#include "core/message_box.h"
#include "core/shared_state.h"
#include "core/text_field.h"
#include "devices/usb_ptt.h"
#include "imaging/animation.h"
#include "mainwindow/lamps.h"
#include "mainwindow/main_paint.h"
#include "mainwindow/main_window.h"
#include "mainwindow/usb_icon.h"
#include "platform/instance_lock.h"
#include "platform/machine_identity.h"
#include "platform/sound_player.h"
#include "transport/idle.h"
#include "transport/transport_threads.h"
#include "web/account_fetch.h"

#include <QApplication>
#include <QPainter>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <pthread.h>
#include <system_error>
#include <thread>

namespace tamovox {

namespace {

constexpr const char* kInstanceName = "Tamo-Vox";
constexpr const char* kChimeFile = "chimes.wav";
constexpr const char* kWelcome = "Bienvenue sur le réseau Tamo-Vox de téléphonie de loisir";
constexpr const char* kGreeting = "Bonjour. Le synthétiseur est actif. Sur la clé droite de la souris";

void showSecondInstanceMessage()
{
    showMessageBox(nullptr,
                   QString::fromUtf8("Another instance of application Tamo-Vox\nis already running.\n"
                                     "Une autre instance de l’application Tamo-Vox\nest déjà en cours d’exécution.\n"),
                   "Tamo-Vox System", BoxIcon::Error);
}

void setMachineIdentifier()
{
    std::string id;
    if (const char* forced = std::getenv("TAMOVOX_MACHINE_ID"); forced && *forced) {
        if (isMachineIdText(forced))
            id = forced;
        else
            logDiagnostic("TAMOVOX_MACHINE_ID doit compter 16 chiffres ; identifiant du disque utilisé");
    }
    if (id.empty())
        id = deriveMachineId();
    std::snprintf(shared().identity.machineId, sizeof shared().identity.machineId, "%s", id.c_str());
}

void frameAnimationArea(MainWindow* window)
{
    const Rect& r = shared().layout.animation;
    QPainter painter(&window->canvas());
    painter.setPen(QPen(Qt::white, 1));
    painter.drawRect(r.left, r.top, r.width() - 1, r.height() - 1);
    window->flush(r);
}

// Runs entry on a new thread named name (shown by top -H and debuggers).
template <typename Entry>
std::thread namedThread(const char* name, Entry entry)
{
    return std::thread([name, entry] {
        pthread_setname_np(pthread_self(), name);
        entry();
    });
}

std::atomic<bool> g_microphoneGainRestored{false};

void restoreMicrophoneGain()
{
    if (!g_microphoneGainRestored.exchange(true))
        setCaptureVolume(shared().audio.savedMicrophoneGain);
}

void startThreads()
{
    // These threads end with the process.
    namedThread("tv-link-blink", linkBlinkThread).detach();
    namedThread("tv-presence", presenceThread).detach();
    namedThread("tv-receive", receiveThread).detach();
    namedThread("tv-supervisor", supervisorThread).detach();
    namedThread("tv-speech", speechReceiveThread).detach();
    logLifecycle("start: transport threads");
}

int startUp(int& exitCode)
{
    SharedState& s = shared();
    // 1. Single instance.
    switch (acquireInstanceLock(kInstanceName)) {
    case InstanceLockResult::Acquired: break;
    case InstanceLockResult::AlreadyRunning:
        showSecondInstanceMessage();
        exitCode = 1;
        return -1;
    case InstanceLockResult::Failed: exitCode = 1; return -1;
    }
    logLifecycle("start: instance guard");
    // 2. Start chime.
    if (!playSoundFileAsync(kChimeFile))
        showMessageBox(nullptr, QString::fromUtf8("Échec de la lecture du son"), "Erreur", BoxIcon::Error);
    logLifecycle("start: chime");
    // 3, 4.
    s.appearance.backgroundColour = 0;
    setMachineIdentifier();
    logLifecycle(std::string("start: machine identifier ") + s.identity.machineId);
    s.web.responseBuffer = new (std::nothrow) char[kResponseBufferBytes + 1]();
    // 5, 6. The main window.
    MainWindow* window = createMainWindow();
    if (!window) {
        exitCode = 0;
        return -1;
    }
    logLifecycle("start: main window");
    installTerminationSignals();
    // 7.
    s.layout.dragStrip = {50, 0, 500, 100};
    s.layout.credit = {kMainWindowWidth - 160, kMainWindowHeight - 120, kMainWindowWidth - 15, kMainWindowHeight - 80};
    // 8. The push-to-talk lock is a constant-initialised mutex: nothing to create.
    logLifecycle("start: push-to-talk lock");
    // 9 - 11.
    s.audio.savedMicrophoneGain = getCaptureVolume();
    // A lost display ends the program through exit(), past the shutdown: put the level back then too.
    std::atexit(restoreMicrophoneGain);
    resetInputDeviceTable();
    createOpusDecoder();
    logLifecycle("start: audio set-up");
    // 12, 13.
    paintLogo();
    copyTextField(s.appearance.helpLine, sizeof s.appearance.helpLine, kWelcome);
    s.layout.closeCross = {510, 10, 540, 40};
    s.appearance.closeCrossEnabled = 1;
    // 14.
    s.layout.animation = {350, 450, 500, 600};
    frameAnimationArea(window);
    loadAnimation();
    logLifecycle("start: animation");
    // 15 - 17.
    loadLampBitmaps();
    logLifecycle("start: lamps");
    loadKnobBitmaps();
    s.layout.documentationIcon = {315, 610, 345, 640};
    s.layout.speechIcon = {315, 550, 347, 582};
    loadIconBitmaps();
    // 18.
    s.layout.statusBox = {10, 650, 540, 720};
    createVuMeters();
    s.layout.levelBarLeft = {200, 166, 350, 176};
    s.layout.levelBarRight = {370, 166, 520, 176};
    logLifecycle("start: vu meters");
    // 19.
    loadChannelBitmaps();
    s.layout.channelFrame = {10, 80, 190, 190};
    s.appearance.channelPanelReady = 1;
    logLifecycle("start: channel bitmaps");
    // 20 - 22.
    setupSockets();
    s.lamps.tcp = 4;
    logLifecycle("start: sockets");
    startThreads();
    // 23, 24.
    showUsbStatusIcon(1);
    s.audio.receivedAudioKind = 0;
    s.layout.codecLabel = {334, 179, 384, 194};
    namedThread("tv-audio", audioThread).detach();  // stopped through its run flag, never joined
    logLifecycle("start: audio thread");
    // 25.
    startPanelTimers();
    logLifecycle("start: panel timers");
    // 26.
    fetchAccount(0, FetchKind::Lookup);
    fetchAccount(s.identity.accountNumber, FetchKind::OwnProfile);
    if (fetchAccount(s.identity.accountNumber, FetchKind::Params) == 0 && !window->isDestroyed()) {
        window->setEnabled(false);
        showMessageBox(window,
                       QString::fromUtf8("Aucun paramètre n'a été trouvé sur votre compte\n"
                                         "les paramètres par défaut seront utilisés."),
                       QString::fromUtf8("Acquisition des paramètres"), BoxIcon::None);
        window->setEnabled(true);
    }
    logLifecycle("start: account fetches");
    // 27, 28.
    s.layout.countdown = {455, 270, 510, 285};
    resetIdleCountdown();
    startIdleTimer();
    s.appearance.repaintRefetch = 0;
    logLifecycle("start: idle timer");
    // 29, 30.
    setupLoopbackSocket();
    speak(kGreeting);
    logLifecycle("start: speech companion greeting");
    // 31.
    s.timers.deviceRunFlag = 1;
    s.timers.deviceThread = namedThread("tv-device", deviceThread);
    try {
        namedThread("tv-render", renderThread).detach();
    } catch (const std::system_error& error) {
        logDiagnostic(std::string("render thread: ") + error.what());
        std::abort();  // a system error ends the program, as with any thread that cannot start
    }
    logLifecycle("start: device and render threads");
    return 0;
}

void shutDown()
{
    SharedState& s = shared();
    quitCompanion();
    logLifecycle("shutdown: companion quit");
    destroyOpusDecoder();
    logLifecycle("shutdown: opus decoder");
    {
        std::lock_guard lock(s.skin.usbIconLock);
        s.skin.usbIcon = QImage();
    }
    logLifecycle("shutdown: usb icon");
    stopAllTimers();
    logLifecycle("shutdown: timers");
    s.audio.audioRunFlag = 0;
    logLifecycle("shutdown: audio run flag");
    if (s.timers.deviceThread.joinable()) {
        s.timers.deviceRunFlag = 0;
        s.timers.deviceThread.join();
    }
    logLifecycle("shutdown: device thread");
    restoreMicrophoneGain();
    logLifecycle("shutdown: microphone gain");
}

}  // namespace

int runClient()
{
    int exitCode = 0;
    if (startUp(exitCode) != 0)
        return exitCode;
    if (!quitPosted()) {
        logLifecycle("run: message loop");
        setMainLoopRunning(true);
        exitCode = QApplication::exec();
        setMainLoopRunning(false);
    } else {
        logLifecycle("run: message loop ends at its first turn");
    }
    shutDown();
    logLifecycle("shutdown: done");
    return exitCode;
}

}  // namespace tamovox
